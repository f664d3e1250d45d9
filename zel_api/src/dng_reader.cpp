#include "dng_raw.h"
#include "dng_tags.h"
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
  // The file's tags travel with the pixels.
  CopyDngTags(path, loaded);
  image = std::move(loaded);
  return ur::rc::Ok;
}

}  // namespace urs::zel
