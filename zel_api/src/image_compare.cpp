#include <zel/image_compare.h>

#include <ur/bayer.h>
#include <ur/channels.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace urs::zel {
namespace {

bool HasComparableSamples(const ur::SxImageBuf& buf) {
  return ur::HasPixels(buf) && buf.planar == 0 &&
         (buf.dataType == ur::eImageDataUInt8 || buf.dataType == ur::eImageDataUInt16);
}

template <typename T>
void ReadRowAs(const ur::SxImageBuf& buf, int y, std::vector<int>& out) {
  const T* row = reinterpret_cast<const T*>(ur::RowPtr(buf, y));
  std::copy(row, row + out.size(), out.begin());
}

// Row y of buf as ints, the samples of a pixel together.
void ReadRow(const ur::SxImageBuf& buf, int y, std::vector<int>& out) {
  out.resize(std::size_t(buf.width) * buf.channels);
  if (buf.dataType == ur::eImageDataUInt8)
    ReadRowAs<std::uint8_t>(buf, y, out);
  else
    ReadRowAs<std::uint16_t>(buf, y, out);
}

ZelComparison NotComparable(const QString& reason) {
  ZelComparison result;
  result.reason = reason;
  return result;
}

QString Describe(const ur::SxImageBuf& buf) {
  return QStringLiteral("%1x%2, %3 channel(s)").arg(buf.width).arg(buf.height).arg(buf.channels);
}

}  // namespace

ZelComparison CompareImages(const ur::SxImageBuf& source, const ur::SxImageBuf& restored,
                           ur::ExBayerGrid grid) {
  if (!HasComparableSamples(source) || !HasComparableSamples(restored))
    return NotComparable(QStringLiteral("only interleaved 8- and 16-bit unsigned images"));
  if (source.width != restored.width || source.height != restored.height)
    return NotComparable(QStringLiteral("sizes differ: %1 and %2")
                             .arg(Describe(source), Describe(restored)));
  const bool sameLayout = source.channels == restored.channels;
  const bool mosaicToColour =
      source.channels == 1 && restored.channels == 3 && ur::IsBayer2x2(grid);
  if (!sameLayout && !mosaicToColour)
    return NotComparable(QStringLiteral("channels differ: %1 and %2 (a mosaic needs its grid)")
                             .arg(Describe(source), Describe(restored)));

  // The restored channel that holds the colour of each site of a 2x2 cell; the colour order of
  // the restored image follows its sample type.
  int siteChannel[2][2] = {};
  if (mosaicToColour)
    for (int y = 0; y < 2; ++y)
      for (int x = 0; x < 2; ++x)
        siteChannel[y][x] = ur::ChannelIndexLogicalToPhysical(ur::ColorAt(grid, x, y), restored);

  ZelComparison result;
  result.comparable = true;
  std::vector<int> a;
  std::vector<int> b;
  for (int y = 0; y < source.height; ++y) {
    ReadRow(source, y, a);
    ReadRow(restored, y, b);
    if (sameLayout) {
      for (std::size_t i = 0; i < a.size(); ++i)
        result.maxDifference = std::max(result.maxDifference, std::abs(a[i] - b[i]));
      continue;
    }
    const int* rowChannels = siteChannel[y & 1];
    for (int x = 0; x < source.width; ++x) {
      const int c = rowChannels[x & 1];
      const int restoredValue = b[std::size_t(x) * 3 + std::size_t(c)];
      result.maxDifference =
          std::max(result.maxDifference, std::abs(a[std::size_t(x)] - restoredValue));
    }
  }
  return result;
}

}  // namespace urs::zel
