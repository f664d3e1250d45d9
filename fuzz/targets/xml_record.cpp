// The ZEL record's XML text.
#include "fuzz_support.h"

#include <zel/metadata.h>

#include <ur/result.h>

#include <QByteArray>
#include <QDomDocument>

int ZelFuzzOne(const std::uint8_t* data, std::size_t size) {
  QDomDocument doc;
  if (!doc.setContent(QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size))))
    return 0;
  urs::zel::ZelMetadata record;
  return ur::Succeeded(urs::zel::ReadMetadataFromXml(doc, record)) ? 1 : 0;
}
