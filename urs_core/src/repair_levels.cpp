#include <urs/image_repair.h>

#include <ur/histogram.h>

#include "repair_common.h"

#include <algorithm>
#include <cstdint>
#include <new>
#include <vector>

namespace urs {

namespace {

// The checks both overloads share; returns the per-channel level count, 0 when they fail.
int CheckLevelArgs(const SxImageBuf& image, bool** levels) {
  if (!ur::HasPixels(image) || !levels) return 0;
  for (int c = 0; c < image.channels; ++c)
    if (!levels[c]) return 0;
  return detail::RepairLevelCount(image);
}

// Masked histogram: channels rows of levelCount counts (logical channel order).
bool ComputeHistogram(const SxImageBuf& image, const SxImageBuf& mask, int levelCount,
                      std::vector<std::uint64_t>& histogram) {
  try {
    histogram.assign(std::size_t(image.channels) * std::size_t(levelCount), 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return ur::Succeeded(ur::HistogramMasked(image, &mask, histogram.data(), levelCount));
}

// NaN counts as 0; the order (0 first, then 100) follows the contract.
double ClampPercent(double p) {
  if (!(p > 0.0)) return 0.0;
  return p > 100.0 ? 100.0 : p;
}

}  // namespace

bool GetLevelsToRepair(const SxImageBuf& image, const SxImageBuf& mask, int* lowLevel,
                       int* highLevel, bool** levels) {
  if (!lowLevel || !highLevel) return false;
  const int levelCount = CheckLevelArgs(image, levels);
  if (levelCount == 0) return false;

  std::vector<std::uint64_t> histogram;
  if (!ComputeHistogram(image, mask, levelCount, histogram)) return false;

  for (int c = 0; c < image.channels; ++c) {
    const std::uint64_t* h = histogram.data() + std::size_t(c) * std::size_t(levelCount);
    bool* table = levels[c];
    std::fill(table, table + levelCount, false);
    if (lowLevel[c] >= 0) {
      const int last = std::min(lowLevel[c], levelCount - 1);
      for (int v = 0; v <= last; ++v) table[v] = h[v] > 0;
    }
    if (highLevel[c] >= 0) {
      for (int v = levelCount - 1; v >= highLevel[c]; --v) table[v] = h[v] > 0;
    }
  }
  return true;
}

bool GetLevelsToRepair(const SxImageBuf& image, const SxImageBuf& mask, double* lowPercent,
                       int* lowLevel, double* highPercent, int* highLevel, bool** levels) {
  if (!lowPercent || !lowLevel || !highPercent || !highLevel) return false;
  const int levelCount = CheckLevelArgs(image, levels);
  if (levelCount == 0) return false;

  for (int c = 0; c < image.channels; ++c) {
    lowPercent[c] = ClampPercent(lowPercent[c]);
    highPercent[c] = ClampPercent(highPercent[c]);
  }

  std::vector<std::uint64_t> histogram;
  if (!ComputeHistogram(image, mask, levelCount, histogram)) return false;

  // The limits count all pixels of the image, not only the masked ones.
  const double pixelCount = double(image.width) * double(image.height);
  for (int c = 0; c < image.channels; ++c) {
    const std::uint64_t* h = histogram.data() + std::size_t(c) * std::size_t(levelCount);
    bool* table = levels[c];
    std::fill(table, table + levelCount, false);

    // The running sum includes the level being tested: a level is flagged only while the
    // pixels at and beyond it stay within the limit.
    if (lowLevel[c] >= 0 && lowPercent[c] > 0.0) {
      const auto limit = std::uint64_t(pixelCount * lowPercent[c] / 100.0);
      std::uint64_t sum = 0;
      for (int v = 0; v < levelCount; ++v) {
        sum += h[v];
        if (sum > limit || v > lowLevel[c]) break;
        table[v] = h[v] > 0;
      }
    }
    if (highLevel[c] >= 0 && highPercent[c] > 0.0) {
      const auto limit = std::uint64_t(pixelCount * highPercent[c] / 100.0);
      std::uint64_t sum = 0;
      for (int v = levelCount - 1; v >= 0; --v) {
        sum += h[v];
        if (sum > limit || v < highLevel[c]) break;
        table[v] = h[v] > 0;
      }
    }
  }
  return true;
}

}  // namespace urs
