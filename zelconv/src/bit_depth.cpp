#include "bit_depth.h"

#include <zel/input_reading.h>

#include <ur/bit_depth.h>
#include <ur/buffers.h>
#include <ur/image.h>
#include <ur/result.h>

#include <algorithm>

namespace urs::zel {

namespace {

constexpr int kDeepest = 16;

// 0 when the frame cannot be read. The format manager alone does not read DNG, MATLAB or text
// frames, so the conversion's own reader is asked.
int FrameBitDepth(const QString& path) {
  ur::CxImage image;
  ur::ExBayerGrid grid = ur::eBayerNone;
  ur::SxImageBuf buf;
  if (ur::Failed(ReadRawImage(path, image, grid)) || ur::Failed(image.getImageBuf(buf))) return 0;
  ur::SxImageBuf needed = buf;
  if (ur::Succeeded(ur::DetectColorBitDepth(needed, 8 * ur::BytesPerSample(buf.dataType))))
    return std::max(buf.bitDepth, needed.bitDepth);
  return buf.bitDepth;
}

}  // namespace

int DetectBitDepth(const QString& dir, const QStringList& files) {
  int bits = 0;
  for (const QString& name : files) bits = std::max(bits, FrameBitDepth(dir + name));
  return bits >= 1 ? bits : kDeepest;
}

}  // namespace urs::zel
