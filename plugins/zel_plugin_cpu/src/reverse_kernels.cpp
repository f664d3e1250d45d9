#include "reverse_kernels.h"

#include <ur/bayer.h>
#include <ur/channels.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <new>
#include <vector>

#include "image_checks.h"
#include "invalid_pixels.h"
#include "parallel_rows.h"

namespace zel::cpu {

namespace {

namespace rc = ur::rc;
using ur::Result;
using ur::SxImageBuf;

constexpr int kMaxLevels = 65536;
constexpr int kValues = 256;
constexpr int kColourOfPlane[4] = {ur::eColorRed, ur::eColorGreen, ur::eColorBlue, ur::eColorGreen};

// Stored 8-bit value -> restored level.
using ValueTable = std::array<std::uint16_t, kValues>;

ValueTable RankInverse(const bool* occupied, int levelsCount, unsigned maximum) {
  std::vector<std::uint16_t> levelOfRank;
  for (int level = 0; level < levelsCount; ++level)
    if (occupied[level]) levelOfRank.push_back(std::uint16_t(level));
  ValueTable table{};
  if (levelOfRank.empty()) return table;
  const std::size_t last = levelOfRank.size() - 1;
  for (unsigned v = 0; v < kValues; ++v) {
    // round(v * maximum / 255); a maximum above the occupied count stops at the top level.
    const std::size_t rank = (2u * v * maximum + 255u) / 510u;
    table[v] = levelOfRank[std::min(rank, last)];
  }
  return table;
}

ValueTable SpreadInverse(const unsigned short* mapping, const bool* occupied, int levelsCount) {
  ValueTable table{};
  bool mapped[kValues] = {};
  for (int level = 0; level < levelsCount; ++level) {
    const unsigned v = mapping[level];
    if (occupied[level] && v < unsigned(kValues) && !mapped[v]) {
      mapped[v] = true;
      table[v] = std::uint16_t(level);
    }
  }
  // Values that no level maps to (a half-size green is a mean of two) take the nearest value
  // that one does, the lower on a tie.
  int below[kValues];
  int previous = -1;
  for (int v = 0; v < kValues; ++v) below[v] = previous = mapped[v] ? v : previous;
  int next = -1;
  for (int v = kValues - 1; v >= 0; --v) {
    next = mapped[v] ? v : next;
    if (mapped[v]) continue;
    const int from = below[v] < 0 ? next : (next < 0 || v - below[v] <= next - v) ? below[v] : next;
    if (from >= 0) table[v] = table[from];
  }
  return table;
}

// Where each site of the mosaic finds its value: per plane, the table and the sample's
// position inside a ZEL pixel; memGrid names the cell at memory row 0.
struct SitePlan {
  const std::uint16_t* table[4] = {nullptr, nullptr, nullptr, nullptr};
  int offset[4] = {0, 0, 0, 0};
  ur::ExBayerGrid memGrid = ur::eBayerRGGB;
};

struct RowPattern {
  int plane[2][2];  // [row parity][column parity]
  explicit RowPattern(ur::ExBayerGrid grid) {
    for (int dy = 0; dy < 2; ++dy)
      for (int dx = 0; dx < 2; ++dx) plane[dy][dx] = ur::PlaneAt(grid, dx, dy);
  }
};

// Writes one raw row from ZEL samples `step` bytes apart: even columns through plane pe, odd
// through po. Two raw columns per ZEL pixel when cells, else one.
template <typename T>
void RestoreRow(const std::uint8_t* z, T* r, int width, const SitePlan& plan, const int planes[2],
                int channels, bool cells) {
  const std::uint16_t* te = plan.table[planes[0]];
  const std::uint16_t* to = plan.table[planes[1]];
  const std::size_t oe = std::size_t(plan.offset[planes[0]]);
  // In a full-size row the odd site is the next ZEL pixel; in a cell it is the same pixel.
  const std::size_t oo = std::size_t(plan.offset[planes[1]]) + (cells ? 0u : unsigned(channels));
  const std::size_t pairStep = std::size_t(channels) * (cells ? 1u : 2u);
  int x = 0;
  std::size_t i = 0;
  for (; x + 1 < width; x += 2, i += pairStep) {
    r[x] = T(te[z[i + oe]]);
    r[x + 1] = T(to[z[i + oo]]);
  }
  if (x < width) r[x] = T(te[z[i + oe]]);
}

template <typename T>
void Restore(const SxImageBuf& zel, SxImageBuf& raw, const SitePlan& plan, int threads) {
  const RowPattern pattern(plan.memGrid);
  const bool cells = raw.height != zel.height;
  // ZEL row Y holds raw rows Y (full size) or 2Y and 2Y+1 (cells): both buffers are bottom-up.
  const int rowsPerZelRow = cells ? 2 : 1;
  ForEachRowBand(zel.height, std::size_t(raw.width) * rowsPerZelRow, threads, [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y) {
      const std::uint8_t* z = ur::RowPtr(zel, y);
      for (int k = 0; k < rowsPerZelRow; ++k) {
        const int ry = y * rowsPerZelRow + k;
        RestoreRow(z, reinterpret_cast<T*>(ur::RowPtr(raw, ry)), raw.width, plan,
                   pattern.plane[ry & 1], zel.channels, cells);
      }
    }
  });
}

bool TablesFit(const SitePlan& plan, const SxImageBuf& raw) {
  if (ur::BytesPerSample(raw.dataType) == 2) return true;
  for (const std::uint16_t* t : plan.table)
    if (*std::max_element(t, t + kValues) > 255) return false;
  return true;
}

// The steps after the checks: tables fit, records fit, then restore and write back.
Result RestoreAndWriteBack(const SxImageBuf& zel, SxImageBuf& raw, const SitePlan& plan,
                           const QVector<urs::InvalidPixel>* invalidPixels,
                           const RecordTarget& target, int invalidPixelsPosition, int threads) {
  if (!TablesFit(plan, raw)) return rc::InvalidArg(2);
  if (invalidPixels && !InvalidPixelsFit(*invalidPixels, raw, target))
    return rc::InvalidArg(invalidPixelsPosition);
  if (ur::BytesPerSample(raw.dataType) == 2)
    Restore<std::uint16_t>(zel, raw, plan, threads);
  else
    Restore<std::uint8_t>(zel, raw, plan, threads);
  if (invalidPixels) WriteBackInvalidPixels(*invalidPixels, raw, target);
  return rc::Ok;
}

bool IsZelImage(const SxImageBuf& zel, int channels) {
  return IsInterleavedImage(zel, channels) && HasSampleBytes(zel, 1);
}

bool IsRawMosaic(const SxImageBuf& raw) {
  return IsInterleavedImage(raw, 1) && (HasSampleBytes(raw, 1) || HasSampleBytes(raw, 2));
}

bool IsDoubleSize(const SxImageBuf& zel, const SxImageBuf& raw) {
  return std::int64_t(raw.width) == 2 * std::int64_t(zel.width) &&
         std::int64_t(raw.height) == 2 * std::int64_t(zel.height);
}

Result CheckRgbArguments(const SxImageBuf& zel, const SxImageBuf& raw,
                         const unsigned short* const mapping[4], const bool* const occupied[4],
                         ur::ExBayerGrid grid, int levelsCount, int zelType) {
  if (!IsZelImage(zel, 1) && !IsZelImage(zel, 3)) return rc::InvalidArg(1);
  const bool sizeFits = SameSize(zel, raw) || (zel.channels == 3 && IsDoubleSize(zel, raw));
  if (!IsRawMosaic(raw) || !sizeFits) return rc::InvalidArg(2);
  const int tables = zelType == 0 ? 3 : 4;
  for (int p = 0; p < tables; ++p)
    if (!mapping[p]) return rc::InvalidArg(3 + p);
  for (int p = 0; p < tables; ++p)
    if (!occupied[p]) return rc::InvalidArg(7 + p);
  if (!ur::IsBayer2x2(grid)) return rc::InvalidArg(15);
  if (levelsCount < 1 || levelsCount > kMaxLevels) return rc::InvalidArg(17);
  // A grey image is not a mosaic; it goes through ConvertZelToRaw.
  if ((zelType != 0 && zelType != 1) || (zelType == 0 && zel.channels != 3))
    return rc::InvalidArg(18);
  return rc::Ok;
}

}  // namespace

Result ConvertZelToRaw(const SxImageBuf& zel, SxImageBuf& raw, const unsigned short* mapping0,
                       const bool* occupied0, unsigned short maximum0,
                       const QVector<urs::InvalidPixel>* invalidPixels, int levelsCount,
                       int zelType, int threads) {
  if (!IsZelImage(zel, 1)) return rc::InvalidArg(1);
  if (!IsRawMosaic(raw) || !SameSize(zel, raw)) return rc::InvalidArg(2);
  if (!mapping0) return rc::InvalidArg(3);
  if (!occupied0) return rc::InvalidArg(4);
  if (levelsCount < 1 || levelsCount > kMaxLevels) return rc::InvalidArg(7);
  // A compacted mosaic needs its four plane tables and its grid: ConvertZelRgbToRaw.
  if (zelType != 0) return rc::InvalidArg(8);
  try {
    const ValueTable table = RankInverse(occupied0, levelsCount, maximum0);
    SitePlan plan;
    std::fill(plan.table, plan.table + 4, table.data());
    return RestoreAndWriteBack(zel, raw, plan, invalidPixels, RecordTarget{}, 6, threads);
  } catch (const std::bad_alloc&) {
    return rc::Fail;
  }
}

Result ConvertZelRgbToRaw(const SxImageBuf& zel, SxImageBuf& raw,
                          const unsigned short* const mapping[4], const bool* const occupied[4],
                          const unsigned short maximum[4], ur::ExBayerGrid grid,
                          const QVector<urs::InvalidPixel>* invalidPixels, int levelsCount,
                          int zelType, int threads) {
  if (const Result r = CheckRgbArguments(zel, raw, mapping, occupied, grid, levelsCount, zelType);
      ur::Failed(r))
    return r;
  try {
    ValueTable tables[4];
    for (int p = 0; p < 4; ++p)
      tables[p] = zelType == 0 ? RankInverse(occupied[kColourOfPlane[p]], levelsCount,
                                             maximum[kColourOfPlane[p]])
                               : SpreadInverse(mapping[p], occupied[p], levelsCount);
    SitePlan plan;
    for (int p = 0; p < 4; ++p) {
      plan.table[p] = tables[p].data();
      plan.offset[p] =
          zel.channels == 3 ? ur::ChannelIndexLogicalToPhysical(kColourOfPlane[p], zel) : 0;
    }
    plan.memGrid = ur::BottomUpBayerGrid(grid, raw.height);
    const bool cells = IsDoubleSize(zel, raw) && zel.channels == 3;
    RecordTarget target;
    target.grid = grid;
    target.layout = zelType == 1 ? RecordLayout::PlaneCell
                    : cells      ? RecordLayout::ColourCell
                                 : RecordLayout::ColourSite;
    return RestoreAndWriteBack(zel, raw, plan, invalidPixels, target, 16, threads);
  } catch (const std::bad_alloc&) {
    return rc::Fail;
  }
}

}  // namespace zel::cpu
