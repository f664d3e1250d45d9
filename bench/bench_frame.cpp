#include "bench_frame.h"

#include <cstdint>
#include <random>

namespace zel::bench {

const ur::SxImageBuf& Frame16() {
  static ur::ScopedImageBuf frame = [] {
    ur::SxImageBuf b;
    ur::AllocBuffer(b, kFrameWidth, kFrameHeight, 1, 12, ur::eImageDataUInt16, 0, ur::eBayerRGGB);
    std::mt19937 rng(12345);
    std::normal_distribution<double> noise(0.0, 12.0);
    for (int y = 0; y < b.height; ++y) {
      auto* row = reinterpret_cast<std::uint16_t*>(ur::RowPtr(b, y));
      for (int x = 0; x < b.width; ++x) {
        const double scene = 200.0 + 3000.0 * (double(x) / b.width) * (double(y) / b.height);
        const double v = scene * ((x + y) % 2 ? 1.0 : 0.6) + noise(rng);
        row[x] = std::uint16_t(v < 0 ? 0 : (v > 4095 ? 4095 : v));
      }
    }
    return ur::ScopedImageBuf(b);
  }();
  return frame.get();
}

}  // namespace zel::bench
