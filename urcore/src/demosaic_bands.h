#pragma once
// Runs a row kernel over horizontal bands of an image on a few threads. Output rows depend only
// on input rows, so bands share nothing but the read-only source and disjoint output rows.

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <exception>
#include <thread>

namespace ur::detail {

constexpr int kMaxBands = 8;
// Below this many pixels per band, starting a thread costs more than it saves.
constexpr std::int64_t kMinPixelsPerBand = std::int64_t(1) << 18;

// How many bands an image of width x height is split into: one per core, fewer for small images.
inline int BandCount(int width, int height) {
  const std::int64_t cores = std::max(1u, std::thread::hardware_concurrency());
  const std::int64_t bySize = std::int64_t(width) * height / kMinPixelsPerBand;
  return int(
      std::clamp<std::int64_t>(std::min({cores, bySize, std::int64_t(height)}), 1, kMaxBands));
}

// Calls band(y0, y1) for consecutive row ranges covering 0..height-1, band 0 on the calling
// thread and the others on worker threads; a band whose thread cannot start runs here too.
// band returns false when it stopped early (cancelled); so does RunInBands if any band did.
template <typename Band>
bool RunInBands(int width, int height, const Band& band) {
  const int bands = BandCount(width, height);
  std::atomic<bool> complete{true};
  auto run = [&](int i) {
    const int y0 = int(std::int64_t(height) * i / bands);
    const int y1 = int(std::int64_t(height) * (i + 1) / bands);
    if (!band(y0, y1)) complete.store(false, std::memory_order_relaxed);
  };
  std::array<std::thread, kMaxBands> workers;
  for (int i = 1; i < bands; ++i) {
    try {
      workers[std::size_t(i)] = std::thread(run, i);
    } catch (const std::exception&) {  // no thread to be had (system_error, bad_alloc)
      run(i);
    }
  }
  run(0);
  for (std::thread& t : workers)
    if (t.joinable()) t.join();
  return complete.load(std::memory_order_relaxed);
}

}  // namespace ur::detail
