#include "invalid_pixels.h"

#include <ur/bayer.h>

#include <cstdint>

namespace zel::cpu {

namespace {

constexpr int kColourOfPlane[4] = {ur::eColorRed, ur::eColorGreen, ur::eColorBlue, ur::eColorGreen};

// Calls write(x, memoryRow, value) for every sample a record restores.
template <typename WriteFn>
void ForEachRestoredSample(const QVector<urs::InvalidPixel>& records, const ur::SxImageBuf& raw,
                           const RecordTarget& target, WriteFn write) {
  int planeAt[2][2] = {{0, 0}, {0, 0}};
  if (target.layout != RecordLayout::Grey)
    for (int dy = 0; dy < 2; ++dy)
      for (int dx = 0; dx < 2; ++dx) planeAt[dy][dx] = ur::PlaneAt(target.grid, dx, dy);
  const auto put = [&](std::int64_t x, std::int64_t y, const urs::InvalidPixel& px, int slot) {
    if (px.invalidValue[slot] == px.newValue[slot]) return;
    if (x < 0 || y < 0 || x >= raw.width || y >= raw.height) return;
    write(int(x), raw.height - 1 - int(y), px.invalidValue[slot]);
  };
  for (const urs::InvalidPixel& px : records) {
    const std::int64_t col = px.col;
    const std::int64_t row = px.row;
    switch (target.layout) {
      case RecordLayout::Grey:
        put(col, row, px, 0);
        break;
      case RecordLayout::ColourSite:
        if (col >= 0 && row >= 0) put(col, row, px, kColourOfPlane[planeAt[row & 1][col & 1]]);
        break;
      case RecordLayout::ColourCell:
      case RecordLayout::PlaneCell:
        for (int dy = 0; dy < 2; ++dy)
          for (int dx = 0; dx < 2; ++dx) {
            const int plane = planeAt[dy][dx];
            const int slot =
                target.layout == RecordLayout::PlaneCell ? plane : kColourOfPlane[plane];
            put(2 * col + dx, 2 * row + dy, px, slot);
          }
        break;
    }
  }
}

}  // namespace

bool InvalidPixelsFit(const QVector<urs::InvalidPixel>& records, const ur::SxImageBuf& raw,
                      const RecordTarget& target) {
  const std::uint32_t top = ur::BytesPerSample(raw.dataType) == 1 ? 255u : 65535u;
  bool fits = true;
  ForEachRestoredSample(records, raw, target,
                        [&](int, int, std::uint32_t value) { fits = fits && value <= top; });
  return fits;
}

void WriteBackInvalidPixels(const QVector<urs::InvalidPixel>& records, ur::SxImageBuf& raw,
                            const RecordTarget& target) {
  const bool wide = ur::BytesPerSample(raw.dataType) == 2;
  ForEachRestoredSample(records, raw, target, [&](int x, int y, std::uint32_t value) {
    unsigned char* row = ur::RowPtr(raw, y);
    if (wide)
      reinterpret_cast<std::uint16_t*>(row)[x] = std::uint16_t(value);
    else
      row[x] = std::uint8_t(value);
  });
}

}  // namespace zel::cpu
