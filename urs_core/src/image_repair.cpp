#include <urs/image_repair.h>

#include <ur/buffers.h>
#include <ur/channels.h>

#include "repair_common.h"

#include <QTime>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <random>

namespace urs {

namespace {

constexpr int kMaxChannels = 4;  // one record slot per channel

// One channel of an image, addressed by pixel: interleaved samples are `step` elements apart,
// planar samples 1; rows are linePitch bytes apart (rows may be padded).
template <typename T>
struct ChannelView {
  unsigned char* base = nullptr;
  std::size_t pitch = 0;
  std::size_t step = 1;
  T& at(int x, int y) const {
    return reinterpret_cast<T*>(base + std::size_t(y) * pitch)[std::size_t(x) * step];
  }
};

template <typename T>
ChannelView<T> MakeChannelView(const SxImageBuf& image, int logical) {
  ChannelView<T> v;
  v.pitch = std::size_t(image.linePitch);
  if (image.planar) {
    v.base = ur::RowPtr(image, 0, logical);
    v.step = 1;
  } else {
    const int physical = ur::ChannelIndexLogicalToPhysical(logical, image);
    v.base = image.data + std::size_t(physical) * sizeof(T);
    v.step = std::size_t(image.channels);
  }
  return v;
}

// The state one repair run shares between its samples.
struct RepairContext {
  const SxImageBuf& image;
  const SxImageBuf& mask;
  const bool* const* levels;  // per logical channel
  unsigned levelCount;
  QVector<InvalidPixel>* records;
  std::minstd_rand& rng;
  // A channel without any acceptable sample can never get one (a repair only copies acceptable
  // values), so after one search has covered the whole image in vain the channel is skipped.
  bool exhausted[kMaxChannels] = {false, false, false, false};

  bool masked(int x, int y) const { return ur::RowPtr(mask, y)[x] != 0; }
  // Samples at or above 2^b are outside the table: never flagged and never a source.
  bool flagged(int c, unsigned v) const { return v < levelCount && levels[c][v]; }
  bool acceptable(int c, unsigned v) const { return v < levelCount && !levels[c][v]; }
};

// Searches rings k = 1, 2, ... around (x, y) for an acceptable sample of channel c, starting each
// ring at a random cell and scanning it cyclically. Stops once the ring lies wholly outside the
// image. Returns false when no acceptable sample exists anywhere.
template <typename T>
bool FindReplacement(RepairContext& ctx, const ChannelView<T>& channel, int c, int x, int y,
                     T& value) {
  const int w = ctx.image.width;
  const int h = ctx.image.height;
  const int lastRing = std::max({x, w - 1 - x, y, h - 1 - y});
  for (int k = 1; k <= lastRing; ++k) {
    const unsigned cells = 8u * unsigned(k);
    const unsigned start = unsigned(ctx.rng()) % cells;
    for (unsigned n = 0; n < cells; ++n) {
      unsigned i = start + n;
      if (i >= cells) i -= cells;
      const detail::RingOffset o = detail::RingOffsetAt(k, int(i));
      const int sx = x + o.dx;
      const int sy = y + o.dy;
      if (sx < 0 || sy < 0 || sx >= w || sy >= h || !ctx.masked(sx, sy)) continue;
      const T candidate = channel.at(sx, sy);
      if (ctx.acceptable(c, candidate)) {
        value = candidate;
        return true;
      }
    }
  }
  return false;
}

// Repairs the sample of channel c at (x, y) when it is flagged. Returns true when it was
// replaced, with the old and new values.
template <typename T>
bool RepairSample(RepairContext& ctx, const ChannelView<T>& channel, int c, int x, int y,
                  unsigned& oldValue, unsigned& newValue) {
  if (ctx.exhausted[c]) return false;
  T& sample = channel.at(x, y);
  if (!ctx.flagged(c, sample)) return false;
  T replacement{};
  if (!FindReplacement(ctx, channel, c, x, y, replacement)) {
    ctx.exhausted[c] = true;
    return false;
  }
  oldValue = sample;
  newValue = replacement;
  sample = replacement;
  return true;
}

// Rows, columns, then the samples of a pixel in memory order. The pixel's record is cleared
// once and appended after each repaired channel, so later records also hold earlier channels.
template <typename T>
void RepairInterleaved(RepairContext& ctx) {
  const SxImageBuf& image = ctx.image;
  ChannelView<T> views[kMaxChannels];
  int logicalAt[kMaxChannels] = {0, 1, 2, 3};  // memory position -> logical channel
  for (int c = 0; c < image.channels; ++c) {
    views[c] = MakeChannelView<T>(image, c);
    logicalAt[ur::ChannelIndexLogicalToPhysical(c, image)] = c;
  }
  InvalidPixel record;
  for (int y = 0; y < image.height; ++y) {
    const unsigned char* maskRow = ur::RowPtr(ctx.mask, y);
    for (int x = 0; x < image.width; ++x) {
      if (!maskRow[x]) continue;
      bool cleared = false;  // clear lazily: most pixels need no record
      for (int p = 0; p < image.channels; ++p) {
        const int c = logicalAt[p];
        unsigned oldValue = 0, newValue = 0;
        if (!RepairSample(ctx, views[c], c, x, y, oldValue, newValue) || !ctx.records) continue;
        if (!cleared) {
          record = InvalidPixel{};
          record.col = x;
          record.row = y;
          cleared = true;
        }
        record.invalidValue[c] = oldValue;
        record.newValue[c] = newValue;
        ctx.records->append(record);
      }
    }
  }
}

// Planes (logical channels), rows, columns; one fresh record per repaired sample.
template <typename T>
void RepairPlanar(RepairContext& ctx) {
  const SxImageBuf& image = ctx.image;
  for (int c = 0; c < image.channels; ++c) {
    const ChannelView<T> view = MakeChannelView<T>(image, c);
    for (int y = 0; y < image.height; ++y) {
      const unsigned char* maskRow = ur::RowPtr(ctx.mask, y);
      for (int x = 0; x < image.width; ++x) {
        if (!maskRow[x]) continue;
        unsigned oldValue = 0, newValue = 0;
        if (!RepairSample(ctx, view, c, x, y, oldValue, newValue) || !ctx.records) continue;
        InvalidPixel record;
        record.col = x;
        record.row = y;
        record.invalidValue[c] = oldValue;
        record.newValue[c] = newValue;
        ctx.records->append(record);
      }
    }
  }
}

// The checks both overloads share (image and table pointer); returns the per-channel level
// count, 0 when they fail.
int CheckRepairImage(const SxImageBuf& image, const void* table) {
  if (!ur::HasPixels(image) || image.channels > kMaxChannels || !table) return 0;
  return detail::RepairLevelCount(image);
}

bool MaskFits(const SxImageBuf& mask, const SxImageBuf& image) {
  return ur::HasPixels(mask) && mask.channels == 1 && ur::BytesPerSample(mask.dataType) == 1 &&
         mask.width == image.width && mask.height == image.height;
}

// Per-thread generator, reseeded at every call, as qsrand/qrand behaved.
std::minstd_rand& ThreadRng() {
  thread_local std::minstd_rand rng;
  return rng;
}

}  // namespace

bool RepairImage(SxImageBuf& image, const SxImageBuf& mask, const bool** levels,
                 QVector<InvalidPixel>* invalidPixels) {
  const int levelCount = CheckRepairImage(image, levels);
  if (levelCount == 0) return false;
  for (int c = 0; c < image.channels; ++c)
    if (!levels[c]) return false;
  if (image.planar != 0 && image.planar != 1) return false;
  if (!MaskFits(mask, image)) return false;

  std::minstd_rand& rng = ThreadRng();
  rng.seed(std::minstd_rand::result_type(QTime::currentTime().msec()));

  RepairContext ctx{image, mask, levels, unsigned(levelCount), invalidPixels, rng};
  try {
    const bool wide = ur::BytesPerSample(image.dataType) == 2;
    if (image.planar) {
      wide ? RepairPlanar<std::uint16_t>(ctx) : RepairPlanar<std::uint8_t>(ctx);
    } else {
      wide ? RepairInterleaved<std::uint16_t>(ctx) : RepairInterleaved<std::uint8_t>(ctx);
    }
  } catch (const std::bad_alloc&) {
    return false;  // the record list could not grow
  }
  return true;
}

bool RepairImage(SxImageBuf& image, const unsigned short** ranges,
                 QVector<InvalidPixel>& invalidPixels) {
  const int levelCount = CheckRepairImage(image, ranges);
  if (levelCount == 0) return false;
  for (int c = 0; c < image.channels; ++c)
    if (!ranges[c]) return false;

  try {
    // Every level outside the valid range is flagged, whether or not it occurs.
    const std::size_t count = std::size_t(levelCount);
    auto table = std::make_unique<bool[]>(std::size_t(image.channels) * count);
    const bool* levels[kMaxChannels] = {};
    for (int c = 0; c < image.channels; ++c) {
      bool* t = table.get() + std::size_t(c) * count;
      const std::size_t low = std::min<std::size_t>(ranges[c][0], count);
      const std::size_t high = std::size_t(ranges[c][1]) + 1;
      std::fill(t, t + low, true);
      if (high < count) std::fill(t + high, t + count, true);
      levels[c] = t;
    }

    SxImageBuf maskBuf;
    if (ur::Failed(ur::AllocBuffer(maskBuf, image.width, image.height, 1, 8, ur::eImageDataUInt8)))
      return false;
    ur::ScopedImageBuf mask(maskBuf);
    if (ur::Failed(ur::SetChannel(mask.get(), 0, 1.0))) return false;

    return RepairImage(image, mask.get(), levels, &invalidPixels);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace urs
