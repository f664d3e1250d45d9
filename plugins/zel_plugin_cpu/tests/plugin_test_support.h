#pragma once
// The loaded plug-in and the analysis steps the converters run before and after it.

#include <ur/buffers.h>
#include <zel/plugin.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace zel::testing {

// The module zel_plugin_cpu loaded as the conversion library loads it; null when it cannot be.
urs::zel::ZelPlugin* CpuPlugin();

// n distinct levels spread over 0..top, the lowest 0 and the highest top; one level is top.
std::vector<int> SpreadLevels(int n, int top);

// count samples drawn from levels so that every level occurs when count >= levels.size().
std::vector<int> SamplesOf(const std::vector<int>& levels, std::size_t count, int salt);

// One channel's analysis as the converters keep it: occupancy, table, highest rank.
struct ChannelTables {
  int levelsCount = 0;
  std::unique_ptr<bool[]> occupied;
  std::unique_ptr<unsigned short[]> mapping;
  int count = 0;
  explicit ChannelTables(int levels)
      : levelsCount(levels),
        occupied(std::make_unique<bool[]>(std::size_t(levels))),
        mapping(std::make_unique<unsigned short[]>(std::size_t(levels))) {}
  unsigned short maximum() const { return count > 0 ? static_cast<unsigned short>(count - 1) : 0; }
};

// Occupancy, counts and rank tables of a grey or colour image (one ChannelTables per channel).
std::vector<ChannelTables> AnalyseRanks(const ur::SxImageBuf& image, int levelsCount);
// Occupancy, counts and 8-bit spread tables of a planar raw image.
std::vector<ChannelTables> AnalyseSpread(const ur::SxImageBuf& planar, int levelsCount,
                                         bool together);

// The rank of `level` among `sortedLevels`, or -1 when it is not one of them.
int RankOf(const std::vector<int>& sortedLevels, int level);

// Buffer contents including padding, to show that a failed call wrote nothing.
std::vector<std::uint8_t> RawBytes(const ur::SxImageBuf& b);

}  // namespace zel::testing
