#include "dng_raw.h"
#include "input_loaders.h"

#include <ur/buffers.h>
#include <ur/result.h>

namespace urs::zel {

unsigned int ReadDngImage(const QString& path, ur::CxImage& image, ur::ExBayerGrid& grid) {
  grid = ur::eBayerNone;
  ur::ScopedImageBuf raw;
  const unsigned int rc = ReadDngRaw(path, raw);
  if (ur::Failed(rc)) return rc;

  ur::CxImage loaded(raw.get());
  if (!loaded.isValid()) return ur::rc::Fail;
  grid = raw->bayerGrid;
  // The file's tags travel with the pixels; a DNG FreeImage cannot open simply has none to give.
  ur::CxImage tags;
  if (ur::Succeeded(tags.loadMetadata(path))) loaded.copyMetadataFromImage(tags);
  image = std::move(loaded);
  return ur::rc::Ok;
}

}  // namespace urs::zel
