#include "fits/fits_saver.h"

#include <ur/atomic_file.h>
#include <ur/common_image_metadata.h>
#include <ur/image_data.h>

#include <QAction>
#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <QStringList>
#include <QWidget>
#include <new>

#include "fits/fits_cards.h"
#include "fits/fits_keyword_editor.h"
#include "fits/fits_samples.h"

namespace ur {

namespace {

using fits::RealValue;
using fits::StringValue;
using fits::ValueCard;

constexpr int kSample8Bits = 8;

// Keywords that describe the data array: written from the image only, never from the options.
bool IsStructureKeyword(const QString& keyword) {
  static const QStringList kReserved = {QStringLiteral("SIMPLE"), QStringLiteral("BITPIX"),
                                        QStringLiteral("EXTEND"), QStringLiteral("XTENSION"),
                                        QStringLiteral("PCOUNT"), QStringLiteral("GCOUNT"),
                                        QStringLiteral("BZERO"),  QStringLiteral("BSCALE"),
                                        QStringLiteral("BLANK"),  QStringLiteral("END")};
  const QString key = keyword.left(fits::kKeywordBytes);
  return kReserved.contains(key) || key.startsWith(QLatin1String("NAXIS"));
}

// Keywords hold upper-case letters, digits, '-' and '_'.
bool IsValidKeyword(const QString& keyword) {
  for (const QChar c : keyword)
    if (!((c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
          (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('-') ||
          c == QLatin1Char('_')))
      return false;
  return !keyword.isEmpty();
}

bool IsTextKeyword(const QString& keyword) {
  return keyword == QLatin1String("HISTORY") || keyword == QLatin1String("COMMENT");
}

QString Logical(bool value) { return value ? QStringLiteral("T") : QStringLiteral("F"); }

QString DateValue(const QDate& date, const QTime& time) {
  return StringValue((date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd")) : QString()) +
                     QLatin1Char('T') +
                     (time.isValid() ? time.toString(QStringLiteral("HH:mm:ss.zzz")) : QString()));
}

QString DateTimeValue(const QDateTime& when) {
  const QDateTime utc = when.toUTC();
  return DateValue(utc.date(), utc.time());
}

// The cards that tell how stored samples become values. Offsets are written as integers:
// readers take a real BZERO as a scaling to floating-point values.
QByteArray ScalingCards(const SxImageBuf& image) {
  QByteArray cards;
  const double zero = fits::StorageZeroOf(image.dataType);
  const bool is8Bit = image.dataType == eImageDataUInt8 || image.dataType == eImageDataInt8;
  if (image.dataType == eImageDataUInt8) {
    cards += ValueCard(QStringLiteral("BZERO"), RealValue(0.0));
    cards += ValueCard(QStringLiteral("BSCALE"), RealValue(1.0));
  } else if (zero != 0.0) {
    cards += ValueCard(QStringLiteral("BZERO"), QString::number(qint64(zero)));
    cards += ValueCard(QStringLiteral("BSCALE"), QStringLiteral("1"));
  }
  if (is8Bit) {
    const int depth = image.bitDepth > 0 && image.bitDepth <= kSample8Bits ? image.bitDepth : 8;
    const bool isSigned = image.dataType == eImageDataInt8;
    const double min = isSigned ? -double(1 << (depth - 1)) : 0.0;
    const double max = isSigned ? double((1 << (depth - 1)) - 1) : double((1 << depth) - 1);
    cards += ValueCard(QStringLiteral("DATAMIN"), RealValue(min));
    cards += ValueCard(QStringLiteral("DATAMAX"), RealValue(max));
  }
  return cards;
}

QByteArray RecordCards(const CxCommonImageMetadata& r) {
  QByteArray cards;
  const QString camera = r.cameraModel.isEmpty() ? r.cameraMake : r.cameraModel;
  cards += ValueCard(QStringLiteral("AUTHOR"), StringValue(r.author));
  cards += ValueCard(QStringLiteral("CAMERA"), StringValue(camera));
  cards += ValueCard(QStringLiteral("PROGRAM"), StringValue(r.software));
  cards += ValueCard(QStringLiteral("UNITTIME"), StringValue(QStringLiteral("s")));
  cards += ValueCard(QStringLiteral("TIMESYS"), StringValue(QStringLiteral("UTC")));
  if (r.exposureTime > 0.0)
    cards +=
        ValueCard(QStringLiteral("EXPOSURE"), RealValue(r.exposureTime), QStringLiteral("[s]"));
  // A negative gain means "not recorded" in the common record.
  if (r.gain >= 0.0)
    cards += ValueCard(QStringLiteral("GAIN"), RealValue(r.gain), QStringLiteral("[dB]"));
  if (r.dateTime.isValid()) {
    cards += ValueCard(QStringLiteral("DATE"), DateTimeValue(r.dateTime));
    cards += ValueCard(QStringLiteral("DATE-OBS"), DateTimeValue(r.dateTime));
  }
  if (r.aperture > 0.0) cards += ValueCard(QStringLiteral("APERTURE"), RealValue(r.aperture));
  return cards;
}

QByteArray UserCard(const QString& keyword, const QVariant& value) {
  if (IsTextKeyword(keyword)) return fits::TextCards(keyword, value.toString());
  switch (int(value.type())) {
    case QMetaType::QDateTime:
      return ValueCard(keyword, DateTimeValue(value.toDateTime()));
    case QMetaType::QDate:
      return ValueCard(keyword, DateValue(value.toDate(), QTime()));
    case QMetaType::QTime:
      return ValueCard(keyword, DateValue(QDate(), value.toTime()));
    case QMetaType::Int:
    case QMetaType::LongLong:
      return ValueCard(keyword, QString::number(value.toLongLong()));
    case QMetaType::UInt:
    case QMetaType::ULongLong:
      return ValueCard(keyword, QString::number(value.toULongLong()));
    case QMetaType::Double:
    case QMetaType::Float:
      return ValueCard(keyword, RealValue(value.toDouble()));
    case QMetaType::Bool:
      return ValueCard(keyword, Logical(value.toBool()));
    default:
      return ValueCard(keyword, StringValue(value.toString()));
  }
}

QByteArray BuildHeader(const SxImageBuf& image, const CxMetadata& metadata,
                       const SaveOptions& options) {
  QByteArray header;
  header += ValueCard(QStringLiteral("SIMPLE"), Logical(true));
  header += ValueCard(QStringLiteral("BITPIX"), QString::number(fits::BitpixOf(image.dataType)));
  header += ValueCard(QStringLiteral("NAXIS"), QString::number(image.channels == 1 ? 2 : 3));
  header += ValueCard(QStringLiteral("NAXIS1"), QString::number(image.width));
  header += ValueCard(QStringLiteral("NAXIS2"), QString::number(image.height));
  if (image.channels > 1)
    header += ValueCard(QStringLiteral("NAXIS3"), QString::number(image.channels));
  header += ValueCard(QStringLiteral("EXTEND"), Logical(true));
  header += ScalingCards(image);
  if (const auto* record = metadata.find<CxCommonImageMetadata>()) header += RecordCards(*record);
  for (auto it = options.cbegin(); it != options.cend(); ++it) {
    const QString& key = it.key();
    if (key.isEmpty() || key != key.toUpper()) continue;
    if (IsStructureKeyword(key) || !IsValidKeyword(key)) {
      qWarning().noquote() << QStringLiteral(
                                  "The option %1 is no FITS keyword the saver may "
                                  "write; it is ignored.")
                                  .arg(key);
      continue;
    }
    header += UserCard(key, it.value());
  }
  header += fits::EndCard();
  return header.leftJustified(int(fits::PaddedToBlocks(header.size())), ' ');
}

}  // namespace

CxFitsImageSaver::CxFitsImageSaver(QObject* parent) : IxImageDataSaver(parent) {}

CxFitsImageSaver::~CxFitsImageSaver() = default;

FileFormatList CxFitsImageSaver::fileFormats() const {
  return {SxFileFormat{QStringLiteral("Flexible Image Transport System (*.fits)"), 1}};
}

bool CxFitsImageSaver::refuse(const QString& reason) const {
  qWarning().noquote()
      << QStringLiteral("Cannot save the FITS file %1: %2").arg(m_fileName, reason);
  return false;
}

bool CxFitsImageSaver::saveImageData(const IxData* data, int /*frame*/) {
  const auto* imageData = qobject_cast<const CxImageData*>(data);
  if (!imageData || !imageData->hasPixels()) return refuse(QStringLiteral("there is no image"));
  const SxImageBuf& image = imageData->image();
  if (fits::BitpixOf(image.dataType) == 0)
    return refuse(QStringLiteral("data type %1 cannot be stored").arg(int(image.dataType)));
  try {
    const QByteArray header = BuildHeader(image, imageData->metadata(), m_options);
    CxAtomicFile target(m_fileName);
    QFile file(target.tempPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return refuse(file.errorString());
    const bool written = file.write(header) == header.size() && fits::WriteImageData(file, image);
    const QString writeError = file.errorString();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) return refuse(writeError);
    if (!target.commit()) return refuse(QStringLiteral("the written file cannot replace it"));
    return true;
  } catch (const std::bad_alloc&) {
    return refuse(QStringLiteral("out of memory"));
  }
}

QWidget* CxFitsImageSaver::widgetForSaveDlg(QWidget* parent) {
  QWidget* editor = fits::CreateKeywordEditor(this, m_options, parent);
  m_editor = editor;
  return editor;
}

QVariantMap CxFitsImageSaver::optionsFromWidget(QWidget* widget) {
  return fits::ReadKeywords(widget, m_options);
}

void CxFitsImageSaver::on_btnAddClicked(QAction* pMenuAction) {
  if (!m_editor || !pMenuAction) return;
  fits::AddKeywordRow(m_editor, this, pMenuAction->text(), QString());
  fits::ResizeEnclosingDialog(m_editor);
}

void CxFitsImageSaver::on_btnRemoveClicked() {
  auto* button = qobject_cast<QWidget*>(sender());
  if (!m_editor || !button) return;
  fits::RemoveKeywordRow(m_editor, button);
  button->deleteLater();
  fits::ResizeEnclosingDialog(m_editor);
}

}  // namespace ur
