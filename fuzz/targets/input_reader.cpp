// A whole file through the converters' input reader for one suffix (ZEL_FUZZ_SUFFIX: ".txt",
// ".mat", ".dng"): text matrices, MATLAB files and DNG mosaics as the converters read them.
#include "fuzz_support.h"

#include <zel/input_reading.h>

#include <ur/image.h>
#include <ur/result.h>

int ZelFuzzOne(const std::uint8_t* data, std::size_t size) {
  ur::CxImage image;
  ur::ExBayerGrid grid = ur::eBayerNone;
  const QString path = zel::fuzz::WriteScratchFile(data, size, ZEL_FUZZ_SUFFIX);
  return ur::Succeeded(urs::zel::ReadInputImage(path, image, grid)) && image.isValid() ? 1 : 0;
}
