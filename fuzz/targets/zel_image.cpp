// A whole file read as a ZEL image: the PNG, then its record.
#include "fuzz_support.h"

#include <zel/metadata.h>
#include <zel/zel_file.h>

#include <ur/image.h>
#include <ur/result.h>

int ZelFuzzOne(const std::uint8_t* data, std::size_t size) {
  const QString path = zel::fuzz::WriteScratchFile(data, size, ".zel.png");
  ur::CxImage image;
  urs::zel::ZelMetadata record;
  return ur::Succeeded(urs::zel::ReadZelImage(path, image, record)) ? 1 : 0;
}
