// The XML form of the common image record: its saver and loader, registered by the framework.

#include "framework_builtin_classes.h"

#include <ur/common_image_metadata.h>
#include <ur/rtti.h>

#include <QLocale>

#include <climits>

namespace ur {

namespace {
// Element names of the record; see ur/common_image_metadata.h.
namespace tag {
const QString DataType = QStringLiteral("data_type");
const QString BitDepth = QStringLiteral("bit_depth");
const QString BayerGrid = QStringLiteral("bayer_grid");
const QString Planar = QStringLiteral("planar");
const QString PatternWidth = QStringLiteral("pattern_width");
const QString PatternHeight = QStringLiteral("pattern_height");
const QString CameraMake = QStringLiteral("camera_make");
const QString CameraModel = QStringLiteral("camera_model");
const QString Author = QStringLiteral("author");
const QString Software = QStringLiteral("software");
const QString Copyright = QStringLiteral("copyright");
const QString DateTime = QStringLiteral("date_time");
const QString ExposureTime = QStringLiteral("exposure_time");
const QString Gain = QStringLiteral("gain");
const QString Aperture = QStringLiteral("aperture");
const QString FNumber = QStringLiteral("f_number");
const QString Iso = QStringLiteral("iso");
const QString WhiteBalance = QStringLiteral("white_balance");
const QString Description = QStringLiteral("description");
}  // namespace tag

constexpr int kLastDataType = eImageDataUInt64;
constexpr int kLastBayerGrid = eBayerMosaic;

QString RecordType() {
  return QString::fromLatin1(CxCommonImageMetadata::staticMetaObject.className());
}

// Writing: numbers in the C locale (QString::number never uses the user's locale).
class Writer {
public:
  Writer(QDomDocument& doc, QDomElement& parent) : m_doc(doc), m_parent(parent) {}
  void text(const QString& name, const QString& value) {
    QDomElement e = m_doc.createElement(name);
    e.appendChild(m_doc.createTextNode(value));
    m_parent.appendChild(e);
  }
  void number(const QString& name, int value) { text(name, QString::number(value)); }
  void number(const QString& name, double value) {
    text(name, QString::number(value, 'g', QLocale::FloatingPointShortest));
  }
  // Acquisition fields are written only when recorded.
  void optionalText(const QString& name, const QString& value) {
    if (!value.isEmpty()) text(name, value);
  }
  void optional(const QString& name, double value) {
    if (value >= 0.0) number(name, value);
  }
  void optional(const QString& name, int value) {
    if (value >= 0) number(name, value);
  }

private:
  QDomDocument& m_doc;
  QDomElement& m_parent;
};

// Reading: a missing or unreadable element leaves the field as it is.
class Reader {
public:
  explicit Reader(const QDomElement& parent) : m_parent(parent) {}
  bool text(const QString& name, QString& value) const {
    const QDomElement e = m_parent.firstChildElement(name);
    if (e.isNull()) return false;
    value = e.text();
    return true;
  }
  void number(const QString& name, int& value, int min, int max) const {
    QString s;
    bool ok = false;
    const int v = text(name, s) ? s.trimmed().toInt(&ok) : 0;
    if (ok && v >= min && v <= max) value = v;
  }
  void number(const QString& name, double& value) const {
    QString s;
    bool ok = false;
    const double v = text(name, s) ? s.trimmed().toDouble(&ok) : 0.0;
    if (ok) value = v;
  }
  void date(const QString& name, QDateTime& value) const {
    QString s;
    if (!text(name, s)) return;
    const QDateTime d = QDateTime::fromString(s.trimmed(), Qt::ISODateWithMs);
    if (d.isValid()) value = d;
  }

private:
  const QDomElement& m_parent;
};

class CxCommonImageMetadataSaver : public IxMetadataSaver {
  Q_OBJECT
  Q_CLASSINFO("CustomName", "Common Image Metadata Saver")
public:
  Q_INVOKABLE explicit CxCommonImageMetadataSaver(QObject* parent = nullptr)
      : IxMetadataSaver(parent) {}

  bool save(QDomDocument& doc, QDomElement& parent, const IxMetadataItem* item) override {
    const auto* record = qobject_cast<const CxCommonImageMetadata*>(item);
    if (!record) return false;
    Writer w(doc, parent);
    w.number(tag::DataType, int(record->dataType));
    w.number(tag::BitDepth, record->bitDepth);
    w.number(tag::BayerGrid, int(record->bayerGrid));
    w.number(tag::Planar, record->planar);
    w.number(tag::PatternWidth, record->patternWidth);
    w.number(tag::PatternHeight, record->patternHeight);
    w.optionalText(tag::CameraMake, record->cameraMake);
    w.optionalText(tag::CameraModel, record->cameraModel);
    w.optionalText(tag::Author, record->author);
    w.optionalText(tag::Software, record->software);
    w.optionalText(tag::Copyright, record->copyright);
    if (record->dateTime.isValid())
      w.text(tag::DateTime, record->dateTime.toString(Qt::ISODateWithMs));
    w.optional(tag::ExposureTime, record->exposureTime);
    w.optional(tag::Gain, record->gain);
    w.optional(tag::Aperture, record->aperture);
    w.optional(tag::FNumber, record->fNumber);
    w.optional(tag::Iso, record->iso);
    w.optional(tag::WhiteBalance, record->whiteBalance);
    w.optionalText(tag::Description, record->description);
    return true;
  }

  QStringList supportedTypes() const override { return {RecordType()}; }
};

class CxCommonImageMetadataLoader : public IxMetadataLoader {
  Q_OBJECT
  Q_CLASSINFO("CustomName", "Common Image Metadata Loader")
public:
  Q_INVOKABLE explicit CxCommonImageMetadataLoader(QObject* parent = nullptr)
      : IxMetadataLoader(parent) {}

  bool load(const QDomElement& parent, IxMetadataItem* item) override {
    auto* record = qobject_cast<CxCommonImageMetadata*>(item);
    if (!record) return false;
    const Reader r(parent);
    int dataType = record->dataType;
    r.number(tag::DataType, dataType, 0, kLastDataType);
    record->dataType = ExImageDataType(dataType);
    r.number(tag::BitDepth, record->bitDepth, 0, 64);
    int grid = record->bayerGrid;
    r.number(tag::BayerGrid, grid, 0, kLastBayerGrid);
    record->bayerGrid = ExBayerGrid(grid);
    r.number(tag::Planar, record->planar, 0, 1);
    r.number(tag::PatternWidth, record->patternWidth, 0, 1 << 16);
    r.number(tag::PatternHeight, record->patternHeight, 0, 1 << 16);
    r.text(tag::CameraMake, record->cameraMake);
    r.text(tag::CameraModel, record->cameraModel);
    r.text(tag::Author, record->author);
    r.text(tag::Software, record->software);
    r.text(tag::Copyright, record->copyright);
    r.date(tag::DateTime, record->dateTime);
    r.number(tag::ExposureTime, record->exposureTime);
    r.number(tag::Gain, record->gain);
    r.number(tag::Aperture, record->aperture);
    r.number(tag::FNumber, record->fNumber);
    r.number(tag::Iso, record->iso, -1, INT_MAX);
    r.number(tag::WhiteBalance, record->whiteBalance, -1, INT_MAX);
    r.text(tag::Description, record->description);
    return true;
  }

  QStringList supportedTypes() const override { return {RecordType()}; }
};
}  // namespace

namespace detail {
void RegisterCommonMetadataClasses(CxRtti& rtti) {
  rtti.registerClass(nullptr, CxCommonImageMetadata::staticMetaObject,
                     QStringLiteral("IxMetadataItem"));
  rtti.registerClass(nullptr, CxCommonImageMetadataSaver::staticMetaObject,
                     QStringLiteral("IxMetadataSaver"));
  rtti.registerClass(nullptr, CxCommonImageMetadataLoader::staticMetaObject,
                     QStringLiteral("IxMetadataLoader"));
}
}  // namespace detail

}  // namespace ur

#include "common_image_metadata_xml.moc"
