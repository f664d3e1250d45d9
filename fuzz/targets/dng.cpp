// A whole file through the DNG reader, as the converters read their inputs.
#include "fuzz_support.h"

#include <zel/input_reading.h>

#include <ur/image.h>
#include <ur/result.h>

int ZelFuzzOne(const std::uint8_t* data, std::size_t size) {
  ur::CxImage image;
  ur::ExBayerGrid grid = ur::eBayerNone;
  const QString path = zel::fuzz::WriteScratchFile(data, size, ".dng");
  return ur::Succeeded(urs::zel::ReadInputImage(path, image, grid)) && image.isValid() ? 1 : 0;
}
