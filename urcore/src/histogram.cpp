#include <ur/channels.h>
#include <ur/histogram.h>
#include <ur/image_data.h>

#include "sample_dispatch.h"

#include <algorithm>
#include <vector>

namespace ur {

namespace {
template <typename T>
void CountPlaneOrPixels(const SxImageBuf& image, const SxImageBuf* mask, std::uint64_t* histogram,
                        int levels) {
  const int planes = image.planar ? image.channels : 1;
  const int perPixel = image.planar ? 1 : image.channels;
  for (int p = 0; p < planes; ++p) {
    for (int c = 0; c < perPixel; ++c) {
      const int logical = image.planar ? p : c;
      const int offset = image.planar ? 0 : ChannelIndexLogicalToPhysical(logical, image);
      std::uint64_t* hist = histogram + std::size_t(logical) * std::size_t(levels);
      for (int y = 0; y < image.height; ++y) {
        const T* row = reinterpret_cast<const T*>(RowPtr(image, y, p)) + offset;
        const unsigned char* m = mask ? RowPtr(*mask, y) : nullptr;
        for (int x = 0; x < image.width; ++x) {
          const unsigned v = row[std::size_t(x) * perPixel];
          if ((!m || m[x]) && v < unsigned(levels)) ++hist[v];
        }
      }
    }
  }
}
}  // namespace

Result HistogramMasked(const SxImageBuf& image, const SxImageBuf* mask, std::uint64_t* histogram,
                       int levels) {
  const int bps = BytesPerSample(image.dataType);
  if (!HasPixels(image) || (image.dataType != eImageDataUInt8 && image.dataType != eImageDataUInt16) ||
      bps == 0)
    return rc::InvalidArg(1);
  if (mask && (!HasPixels(*mask) || mask->channels != 1 || BytesPerSample(mask->dataType) != 1 ||
               mask->width != image.width || mask->height != image.height))
    return rc::InvalidArg(2);
  if (!histogram) return rc::InvalidArg(3);
  if (levels <= 0) return rc::InvalidArg(4);
  detail::VisitUnsigned8or16(image.dataType, [&](auto tag) {
    CountPlaneOrPixels<decltype(tag)>(image, mask, histogram, levels);
  });
  return rc::Ok;
}

bool ComputeImageHistogram(const SxImageBuf& image, CxImageHistogram& histogram) {
  if (image.dataType != eImageDataUInt8 && image.dataType != eImageDataUInt16) return false;
  const int typeBits = 8 * BytesPerSample(image.dataType);
  const int bits = (image.bitDepth > 0 && image.bitDepth <= typeBits) ? image.bitDepth : typeBits;
  const int levels = 1 << bits;
  std::vector<std::uint64_t> counts(std::size_t(image.channels) * std::size_t(levels), 0);
  if (Failed(HistogramMasked(image, nullptr, counts.data(), levels))) return false;
  histogram.reset(image.channels, levels);
  std::copy(counts.begin(), counts.end(), histogram.counts().begin());
  return true;
}

}  // namespace ur
