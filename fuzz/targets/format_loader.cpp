// A whole file through the format plug-in loader of one suffix (ZEL_FUZZ_SUFFIX: ".png",
// ".tif", ".fits", ".h5i"): the loaders the framework picks by suffix.
#include "fuzz_support.h"

#include <ur/buffers.h>
#include <ur/format_manager.h>

int ZelFuzzOne(const std::uint8_t* data, std::size_t size) {
  const QString path = zel::fuzz::WriteScratchFile(data, size, ZEL_FUZZ_SUFFIX);
  ur::ScopedImageBuf image;
  ur::CxMetadata metadata;
  return ur::CxImageFormatManager::instance()->loadImageFromFile(path, image.get(), &metadata)
             ? 1
             : 0;
}
