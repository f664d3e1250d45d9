// The record of how an image was stored in a MATLAB file, and its XML saver and loader.

#include <urs/matlab_metadata.h>

#include "matlab/metadata_codecs.h"

#include <ur/result.h>
#include <ur/rtti.h>

namespace urs::matlab {

namespace {

const QString kReverseRows = QStringLiteral("reverse_rows");
const QString kOrigChannels = QStringLiteral("orig_channels");
const QString kSavedChannels = QStringLiteral("saved_channels");

QString RecordType() {
  return QString::fromLatin1(CxMatlabImageMetadata::staticMetaObject.className());
}

void AppendElement(QDomDocument& doc, QDomElement& parent, const QString& name,
                   const QString& text) {
  QDomElement element = doc.createElement(name);
  element.appendChild(doc.createTextNode(text));
  parent.appendChild(element);
}

// The text of the first element of that name anywhere below parent: false when there is no such
// element (logged); `text` stays null when the element has no content.
bool FindElementText(const QDomElement& parent, const QString& name, QString& text) {
  const QDomNodeList found = parent.elementsByTagName(name);
  if (found.isEmpty()) {
    ur::LogError(QStringLiteral("Missing '%1' tag.").arg(name));
    return false;
  }
  const QDomNode child = found.at(0).firstChild();
  if (!child.isNull()) text = child.isElement() ? child.toElement().text() : child.nodeValue();
  return true;
}

}  // namespace

// CxMatlabImageMetadata ---------------------------------------------------------------------

CxMatlabImageMetadata::CxMatlabImageMetadata(QObject* parent) : ur::IxMetadataItem(parent) {}

ur::IxMetadataItem* CxMatlabImageMetadata::clone() const {
  auto* copy = new CxMatlabImageMetadata();
  copy->reverseRows = reverseRows;
  copy->origChannels = origChannels;
  copy->savedChannels = savedChannels;
  return copy;
}

// CxMatlabMetadataSaver ---------------------------------------------------------------------

CxMatlabMetadataSaver::CxMatlabMetadataSaver(QObject* parent) : ur::IxMetadataSaver(parent) {}

bool CxMatlabMetadataSaver::save(QDomDocument& doc, QDomElement& parent,
                                 const ur::IxMetadataItem* item) {
  const auto* record = qobject_cast<const CxMatlabImageMetadata*>(item);
  if (!record) return false;
  AppendElement(doc, parent, kReverseRows,
                record->reverseRows ? QStringLiteral("true") : QStringLiteral("false"));
  AppendElement(doc, parent, kOrigChannels, QString::number(record->origChannels));
  AppendElement(doc, parent, kSavedChannels, QString::number(record->savedChannels));
  return true;
}

QStringList CxMatlabMetadataSaver::supportedTypes() const { return {RecordType()}; }

// CxMatlabMetadataLoader --------------------------------------------------------------------

CxMatlabMetadataLoader::CxMatlabMetadataLoader(QObject* parent) : ur::IxMetadataLoader(parent) {}

bool CxMatlabMetadataLoader::load(const QDomElement& parent, ur::IxMetadataItem* item) {
  auto* record = qobject_cast<CxMatlabImageMetadata*>(item);
  if (!record) return false;
  bool complete = true;
  // Each element is looked for even after one is missing, so that what is there still counts.
  const auto read = [&](const QString& name, auto apply) {
    QString text;
    if (!FindElementText(parent, name, text))
      complete = false;
    else if (!text.isNull())
      apply(text.trimmed());
  };
  read(kReverseRows,
       [&](const QString& t) { record->reverseRows = t.toLower() == QLatin1String("true"); });
  read(kOrigChannels,
       [&](const QString& t) { record->origChannels = t.toInt(); });  // 0: not a number
  read(kSavedChannels, [&](const QString& t) { record->savedChannels = t.toInt(); });
  return complete;
}

QStringList CxMatlabMetadataLoader::supportedTypes() const { return {RecordType()}; }

// Registration ------------------------------------------------------------------------------

namespace detail {
void RegisterMetadataClasses() {
  ur::CxRtti* rtti = ur::CxRtti::instance();
  rtti->registerClass(nullptr, CxMatlabMetadataLoader::staticMetaObject,
                      QStringLiteral("IxMetadataLoader"));
  rtti->registerClass(nullptr, CxMatlabMetadataSaver::staticMetaObject,
                      QStringLiteral("IxMetadataSaver"));
  rtti->registerClass(nullptr, CxMatlabImageMetadata::staticMetaObject,
                      QStringLiteral("IxMetadata"));
}
}  // namespace detail

}  // namespace urs::matlab
