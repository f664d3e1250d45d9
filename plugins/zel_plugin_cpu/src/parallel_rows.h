#pragma once
// Splitting a pixel loop into bands of rows that run on several threads.

#include <cstddef>
#include <functional>

namespace zel::cpu {

// Threads a kernel uses when asked for `requested`: requested itself when positive, else one
// per core (at least 1).
int ResolveThreadCount(int requested);

// Calls band(firstRow, endRow) for consecutive bands covering rows 0..rows-1 and returns when
// all are done. The bands run on up to `threads` threads (0: one per core), but only as many
// as keep at least a few hundred thousand samples per band, so small images stay on the
// calling thread. A thread that cannot be started has its band run on the calling thread.
void ForEachRowBand(int rows, std::size_t samplesPerRow, int threads,
                    const std::function<void(int, int)>& band);

}  // namespace zel::cpu
