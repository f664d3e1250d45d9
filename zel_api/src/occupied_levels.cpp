// Marking the occupied levels of an ordinary image or of the four planes of a raw planar image
//. Validation here, the pixel scan in levels_scan.h.
#include <zel/occupied_levels.h>

#include "levels_scan.h"

#include <ur/result.h>

#include <algorithm>
#include <cstdint>

namespace urs::zel {

namespace {

namespace rc = ur::rc;
using detail::ChannelScan;
using detail::ScanArea;

// 2^bitDepth as the contract writes it, (int)pow(2.0, bitDepth), in 64 bits so that no bit depth
// overflows; 0 for a negative bit depth, as the truncated power is.
std::int64_t TwoToThe(int bitDepth) {
  if (bitDepth < 0) return 0;
  return bitDepth > 62 ? INT64_MAX : std::int64_t(1) << bitDepth;
}

// Bytes per sample of an image the scan can read: pixel data present, the expected channel
// count, 1- or 2-byte samples. 0 when it cannot.
int ScannableBytesPerSample(const SxImageBuf& image, bool planarRaw) {
  if (!image.data) return 0;
  if (planarRaw ? image.channels != 4 : (image.channels != 1 && image.channels != 3)) return 0;
  const int bytes = ur::BytesPerSample(image.dataType);
  return (bytes == 1 || bytes == 2) ? bytes : 0;
}

// A threshold pair as the contract accepts it, tested before a negative high is replaced: so
// (5, -1) fails and (-1, -1) passes.
bool IsValidPair(int low, int high, std::int64_t levels) { return low <= high && low <= levels; }

// The fold of one channel's pair; a negative high stands for 2^bitDepth.
detail::ThresholdFold FoldOf(int low, int high, std::int64_t levels, int bytesPerSample) {
  const std::int64_t sampleLevels = std::int64_t(1) << (8 * bytesPerSample);
  return detail::MakeThresholdFold(low, high < 0 ? levels : high, sampleLevels);
}

// Runs the one kernel that fits the call over the given areas, channels[i] receiving area i
// (planes), or over one area with all channels interleaved.
void Scan(const ScanArea* areas, int areaCount, ChannelScan* channels, int channelsPerPixel,
          int bytesPerSample, int levelsCount, bool useThreshold) {
  detail::Fold fold = detail::Fold::None;
  if (useThreshold) {
    const int scanned = areaCount * channelsPerPixel;
    const bool allClamp = std::all_of(channels, channels + scanned,
                                      [](const ChannelScan& c) { return c.fold.clamp; });
    fold = allClamp ? detail::Fold::Clamp : detail::Fold::General;
  }
  const bool check = std::int64_t(levelsCount) < (std::int64_t(1) << (8 * bytesPerSample));
  const unsigned limit = levelsCount > 0 ? unsigned(levelsCount) : 0u;
  const detail::ScanKernel kernel =
      detail::PickScanKernel(bytesPerSample, channelsPerPixel, fold, check);
  for (int i = 0; i < areaCount; ++i) kernel(areas[i], channels + i * channelsPerPixel, limit);
}

}  // namespace

unsigned int GetOccupiedLevels(const SxImageBuf& image, bool* occupied0, bool* occupied1,
                               bool* occupied2, int levelsCount, unsigned short& max0,
                               unsigned short& max1, unsigned short& max2, bool useThreshold,
                               int low0, int high0, int low1, int high1, int low2, int high2) {
  const int bytes = ScannableBytesPerSample(image, false);
  if (bytes == 0) return rc::InvalidArg(1);
  const std::int64_t levels = TwoToThe(image.bitDepth);
  if (levelsCount < levels) return rc::InvalidArg(5);
  if (!occupied0) return rc::InvalidArg(2);
  const bool colour = image.channels == 3;
  if (colour && !occupied1) return rc::InvalidArg(3);
  if (colour && !occupied2) return rc::InvalidArg(4);
  // Only the pairs of the channels the image has are looked at, as in thresholding:
  // a grey image is analysed with whatever the caller holds for green and blue.
  const int low[3] = {low0, low1, low2};
  const int high[3] = {high0, high1, high2};
  if (useThreshold)
    for (int c = 0; c < image.channels; ++c)
      if (!IsValidPair(low[c], high[c], levels)) return rc::InvalidArg(9);

  ChannelScan channels[3];
  channels[0].occupied = occupied0;
  channels[1].occupied = occupied1;
  channels[2].occupied = occupied2;
  if (useThreshold)
    for (int c = 0; c < image.channels; ++c)
      channels[c].fold = FoldOf(low[c], high[c], levels, bytes);
  const ScanArea area{image.data, image.linePitch, image.width, image.height};
  Scan(&area, 1, channels, image.channels, bytes, levelsCount, useThreshold);
  max0 = static_cast<unsigned short>(channels[0].max);
  max1 = colour ? static_cast<unsigned short>(channels[1].max) : 0;
  max2 = colour ? static_cast<unsigned short>(channels[2].max) : 0;
  return rc::Ok;
}

unsigned int GetOccupiedLevelsRaw(const SxImageBuf& planarRaw, bool* occupied0, bool* occupied1,
                                  bool* occupied2, bool* occupied3, int levelsCount,
                                  unsigned short& max0, unsigned short& max1,
                                  unsigned short& max2, unsigned short& max3, bool useThreshold,
                                  int low0, int high0, int low1, int high1, int low2, int high2,
                                  int low3, int high3) {
  const int bytes = ScannableBytesPerSample(planarRaw, true);
  if (bytes == 0) return rc::InvalidArg(1);
  bool* const occupied[4] = {occupied0, occupied1, occupied2, occupied3};
  for (int p = 0; p < 4; ++p)
    if (!occupied[p]) return rc::InvalidArg(2 + p);
  const std::int64_t levels = TwoToThe(planarRaw.bitDepth);
  if (levelsCount < levels) return rc::InvalidArg(6);
  const int low[4] = {low0, low1, low2, low3};
  const int high[4] = {high0, high1, high2, high3};
  if (useThreshold)
    for (int p = 0; p < 4; ++p)
      if (!IsValidPair(low[p], high[p], levels)) return rc::InvalidArg(7 + p);

  // Plane p starts p x height x linePitch bytes after the data pointer.
  const std::ptrdiff_t planeBytes = std::ptrdiff_t(planarRaw.height) * planarRaw.linePitch;
  ChannelScan planes[4];
  ScanArea areas[4];
  for (int p = 0; p < 4; ++p) {
    planes[p].occupied = occupied[p];
    if (useThreshold) planes[p].fold = FoldOf(low[p], high[p], levels, bytes);
    areas[p] = ScanArea{planarRaw.data + p * planeBytes, planarRaw.linePitch, planarRaw.width,
                        planarRaw.height};
  }
  Scan(areas, 4, planes, 1, bytes, levelsCount, useThreshold);
  max0 = static_cast<unsigned short>(planes[0].max);
  max1 = static_cast<unsigned short>(planes[1].max);
  max2 = static_cast<unsigned short>(planes[2].max);
  max3 = static_cast<unsigned short>(planes[3].max);
  return rc::Ok;
}

}  // namespace urs::zel
