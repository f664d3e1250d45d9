#include "parallel_rows.h"

#include <algorithm>
#include <cstdint>
#include <system_error>
#include <thread>
#include <vector>

namespace zel::cpu {

namespace {
// Below this many samples a band costs more to start than it saves.
constexpr std::size_t kMinSamplesPerBand = std::size_t(1) << 18;
}  // namespace

int ResolveThreadCount(int requested) {
  if (requested > 0) return requested;
  const unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? int(cores) : 1;
}

void ForEachRowBand(int rows, std::size_t samplesPerRow, int threads,
                    const std::function<void(int, int)>& band) {
  if (rows <= 0) return;
  const std::size_t total = std::size_t(rows) * samplesPerRow;
  const std::size_t byWork = std::max<std::size_t>(1, total / kMinSamplesPerBand);
  const int bands = int(
      std::min<std::size_t>({std::size_t(ResolveThreadCount(threads)), std::size_t(rows), byWork}));
  if (bands <= 1) {
    band(0, rows);
    return;
  }
  std::vector<std::thread> workers;
  workers.reserve(std::size_t(bands) - 1);
  // The calling thread takes the first band itself, so it runs while the others start.
  for (int b = 1; b < bands; ++b) {
    const int first = int(std::int64_t(rows) * b / bands);
    const int end = int(std::int64_t(rows) * (b + 1) / bands);
    try {
      workers.emplace_back(band, first, end);
    } catch (const std::system_error&) {
      band(first, end);
    }
  }
  band(0, int(std::int64_t(rows) / bands));
  for (auto& w : workers) w.join();
}

}  // namespace zel::cpu
