#pragma once
// The pixel scan behind GetOccupiedLevels and GetOccupiedLevelsRaw: one pass over the rows of an
// interleaved image or of one plane that marks the level of every sample.
//
// The public functions validate, then pick one kernel per call by sample size, channel count,
// the kind of threshold folding and whether levelsCount is below the sample range (kCheck);
// only with kCheck does the inner loop test a level against levelsCount. The usual threshold
// pair (low + 1 < high) folds as a plain clamp to low + 1 .. high - 1 with every flag set;
// only degenerate pairs take the general fold with its branches.

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace urs::zel::detail {

// The threshold pair of one channel, resolved per call into where a sample lands. A sample
// v <= low (v < underBelow) lands on underLevel, else a sample v >= high (v >= overFrom) on
// overLevel, any other sample stays. Both landing levels are worked out once, with the
// reduction to the sample width after each folding step; so is the flag each of them gets,
// since "low <= level <= high" depends on the level alone. A sample that stays always lies
// strictly between the thresholds and is set.
struct ThresholdFold {
  unsigned underBelow = 0;
  unsigned overFrom = 0;
  unsigned underLevel = 0;
  unsigned overLevel = 0;
  bool underFlag = true;
  bool overFlag = true;

  // The fold is the clamp to underBelow .. overFrom - 1 and sets every flag: the usual pair,
  // low + 1 < high. Degenerate pairs (low + 1 >= high, high <= 0, low at the top of the
  // sample range) land samples elsewhere or clear flags.
  bool clamp = false;
};

// low and high as validated, a negative high already replaced by 2^bitDepth.
inline ThresholdFold MakeThresholdFold(std::int64_t low, std::int64_t high,
                                       std::int64_t sampleLevels) {
  const std::int64_t mask = sampleLevels - 1;  // modulo 2^8 or 2^16, also of negative values
  ThresholdFold f;
  f.underBelow = unsigned(std::clamp<std::int64_t>(low + 1, 0, sampleLevels));
  f.overFrom = unsigned(std::clamp<std::int64_t>(high, 0, sampleLevels));
  std::int64_t under = (low + 1) & mask;
  if (under >= high) under = (high - 1) & mask;
  const std::int64_t over = (high - 1) & mask;
  f.underLevel = unsigned(under);
  f.overLevel = unsigned(over);
  f.underFlag = low <= under && under <= high;
  f.overFlag = low <= over && over <= high;
  f.clamp = low + 1 < sampleLevels && high >= 1 && f.underBelow + 1 <= f.overFrom;
  return f;
}

// What happens to a sample before it is marked.
enum class Fold { None, Clamp, General };

// One channel or plane being scanned: its occupancy array, its pair and its running maximum.
struct ChannelScan {
  bool* occupied = nullptr;
  ThresholdFold fold;
  unsigned max = 0;
};

// The rows to scan: `height` rows of `width` pixels, `pitch` bytes apart (rows may be padded).
struct ScanArea {
  const unsigned char* data = nullptr;
  std::ptrdiff_t pitch = 0;
  int width = 0;
  int height = 0;
};

// Position of channel c within a pixel: 1-byte colour pixels hold B, G, R, all others R, G, B.
template <typename T, int kChannels>
constexpr int SampleOffset(int c) {
  return (kChannels == 3 && sizeof(T) == 1) ? 2 - c : c;
}

// Pixels clamped at a time by Fold::Clamp: the buffers stay small on the stack and in L1.
constexpr int kClampChunkPixels = 128;

// Per-channel state of one kernel call, held in locals so that the compiler keeps it in
// registers across the stores into the occupancy arrays.
template <int kChannels>
struct Channels {
  bool* occupied[kChannels];
  ThresholdFold fold[kChannels];
  unsigned max[kChannels];
};

// Marks one sample of channel c. kCheck: a level at or above levelsCount is ignored, neither
// marked nor counted in the maximum.
template <Fold kFold, bool kCheck, int kChannels>
inline void MarkSample(unsigned v, int c, Channels<kChannels>& ch, unsigned levelsCount) {
  bool flag = true;
  if constexpr (kFold == Fold::General) {
    const ThresholdFold& fold = ch.fold[c];
    if (v < fold.underBelow) {
      v = fold.underLevel;
      flag = fold.underFlag;
    } else if (v >= fold.overFrom) {
      v = fold.overLevel;
      flag = fold.overFlag;
    }
  }
  if constexpr (kCheck) {
    if (v >= levelsCount) return;
  }
  ch.occupied[c][v] = flag;
  ch.max[c] = std::max(ch.max[c], v);
}

// The loop is bound by its one store per sample, so the maximum and the levelsCount test come
// almost for free; for a single channel, two samples per step with a maximum each keep the
// compare chains short.
template <typename T, int kChannels, Fold kFold, bool kCheck>
void MarkRow(const T* row, int width, Channels<kChannels>& ch, unsigned levelsCount) {
  int x = 0;
  if constexpr (kChannels == 1) {
    Channels<1> odd = ch;
    for (; x + 1 < width; x += 2) {
      MarkSample<kFold, kCheck>(row[x], 0, ch, levelsCount);
      MarkSample<kFold, kCheck>(row[x + 1], 0, odd, levelsCount);
    }
    ch.max[0] = std::max(ch.max[0], odd.max[0]);
  }
  for (; x < width; ++x) {
    const T* pixel = row + std::size_t(x) * kChannels;
    for (int c = 0; c < kChannels; ++c)
      MarkSample<kFold, kCheck>(pixel[SampleOffset<T, kChannels>(c)], c, ch, levelsCount);
  }
}

// Fold::Clamp in two steps per chunk of pixels: a loop the compiler vectorises clamps the
// samples into a small buffer on the stack, then the marking loop of unthresholded samples runs
// over the buffer. Clamping inside the marking loop would double its instructions per sample.
// lo and hi hold each sample position's bounds for one chunk (the channels repeat).
template <typename T, int kChannels, bool kCheck>
void MarkRowClamped(const T* row, int width, Channels<kChannels>& ch, const T* lo, const T* hi,
                    unsigned levelsCount) {
  T clamped[kClampChunkPixels * kChannels];
  for (int x0 = 0; x0 < width; x0 += kClampChunkPixels) {
    const int pixels = std::min(kClampChunkPixels, width - x0);
    const T* samples = row + std::size_t(x0) * kChannels;
    for (int i = 0; i < pixels * kChannels; ++i) {
      const T v = samples[i] < lo[i] ? lo[i] : samples[i];
      clamped[i] = v > hi[i] ? hi[i] : v;
    }
    MarkRow<T, kChannels, Fold::None, kCheck>(clamped, pixels, ch, levelsCount);
  }
}

// Scans interleaved pixels of kChannels samples (1 or 3); channels[c] is logical channel c.
template <typename T, int kChannels, Fold kFold, bool kCheck>
void ScanRows(const ScanArea& area, ChannelScan* channels, unsigned levelsCount) {
  Channels<kChannels> ch;
  for (int c = 0; c < kChannels; ++c) {
    ch.occupied[c] = channels[c].occupied;
    ch.fold[c] = channels[c].fold;
    ch.max[c] = channels[c].max;
  }
  if constexpr (kFold == Fold::Clamp) {
    // A clamp fold has underBelow < overFrom <= the sample range, so both bounds fit in T.
    T lo[kClampChunkPixels * kChannels];
    T hi[kClampChunkPixels * kChannels];
    for (int i = 0; i < kClampChunkPixels * kChannels; ++i) {
      const ThresholdFold& fold = ch.fold[SampleOffset<T, kChannels>(i % kChannels)];
      lo[i] = T(fold.underBelow);
      hi[i] = T(fold.overFrom - 1);
    }
    for (int y = 0; y < area.height; ++y) {
      const T* row = reinterpret_cast<const T*>(area.data + std::ptrdiff_t(y) * area.pitch);
      MarkRowClamped<T, kChannels, kCheck>(row, area.width, ch, lo, hi, levelsCount);
    }
  } else {
    for (int y = 0; y < area.height; ++y) {
      const T* row = reinterpret_cast<const T*>(area.data + std::ptrdiff_t(y) * area.pitch);
      MarkRow<T, kChannels, kFold, kCheck>(row, area.width, ch, levelsCount);
    }
  }
  for (int c = 0; c < kChannels; ++c) channels[c].max = ch.max[c];
}

using ScanKernel = void (*)(const ScanArea&, ChannelScan*, unsigned);

template <typename T, int kChannels, Fold kFold>
ScanKernel PickKernel(bool check) {
  return check ? ScanRows<T, kChannels, kFold, true> : ScanRows<T, kChannels, kFold, false>;
}

template <typename T, int kChannels>
ScanKernel PickKernel(Fold fold, bool check) {
  switch (fold) {
    case Fold::None: return PickKernel<T, kChannels, Fold::None>(check);
    case Fold::Clamp: return PickKernel<T, kChannels, Fold::Clamp>(check);
    default: return PickKernel<T, kChannels, Fold::General>(check);
  }
}

// The kernel for samples of bytesPerSample (1 or 2) and channels (1 or 3) per pixel. check:
// levelsCount is below the sample range.
inline ScanKernel PickScanKernel(int bytesPerSample, int channels, Fold fold, bool check) {
  if (bytesPerSample == 1)
    return channels == 3 ? PickKernel<std::uint8_t, 3>(fold, check)
                         : PickKernel<std::uint8_t, 1>(fold, check);
  return channels == 3 ? PickKernel<std::uint16_t, 3>(fold, check)
                       : PickKernel<std::uint16_t, 1>(fold, check);
}

}  // namespace urs::zel::detail
