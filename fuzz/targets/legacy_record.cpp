// The key-per-item record of the first format generation: the input is lines "KEY=value",
// stored as the comment tags of a one-pixel image.
#include "fuzz_support.h"

#include <zel/metadata.h>

#include <ur/buffers.h>
#include <ur/image.h>
#include <ur/result.h>

#include <QByteArray>
#include <QList>

int ZelFuzzOne(const std::uint8_t* data, std::size_t size) {
  ur::ScopedImageBuf pixel;
  pixel->width = pixel->height = pixel->channels = 1;
  pixel->dataType = ur::eImageDataUInt8;
  if (ur::Failed(ur::AllocBuffer(pixel.get()))) return 0;
  ur::CxImage image(pixel.get());
  const QByteArray text(reinterpret_cast<const char*>(data), int(size));
  for (const QByteArray& line : text.split('\n')) {
    const int equals = line.indexOf('=');
    if (equals <= 0) continue;
    fipTag tag;
    if (tag.setKeyValue(line.left(equals).constData(), line.mid(equals + 1).constData()))
      image.setMetadata(FIMD_COMMENTS, QString::fromLatin1(line.left(equals)), tag);
  }
  urs::zel::ZelMetadata record;
  return ur::Succeeded(urs::zel::ReadLegacyMetadata(image, record)) ? 1 : 0;
}
