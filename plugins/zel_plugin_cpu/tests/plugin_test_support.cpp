#include "plugin_test_support.h"

#include <gtest/gtest.h>
#include <zel/occupied_levels.h>

#include <QPluginLoader>
#include <algorithm>

namespace zel::testing {

urs::zel::ZelPlugin* CpuPlugin() {
  static urs::zel::ZelPlugin* plugin = [] {
    QPluginLoader loader(QStringLiteral(ZEL_PLUGIN_CPU_PATH));
    return qobject_cast<urs::zel::ZelPlugin*>(loader.instance());
  }();
  return plugin;
}

std::vector<int> SpreadLevels(int n, int top) {
  if (n == 1) return {top};
  std::vector<int> levels(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) levels[std::size_t(i)] = int(std::int64_t(i) * top / (n - 1));
  return levels;
}

std::vector<int> SamplesOf(const std::vector<int>& levels, std::size_t count, int salt) {
  std::vector<int> out(count);
  // 7919 is prime, so stepping by it visits every level before repeating one.
  for (std::size_t k = 0; k < count; ++k)
    out[k] = levels[(k * 7919u + std::size_t(salt)) % levels.size()];
  return out;
}

std::vector<ChannelTables> AnalyseRanks(const ur::SxImageBuf& image, int levelsCount) {
  std::vector<ChannelTables> t;
  for (int c = 0; c < 3; ++c) t.emplace_back(levelsCount);
  const bool colour = image.channels == 3;
  unsigned short m0 = 0, m1 = 0, m2 = 0;
  EXPECT_EQ(urs::zel::GetOccupiedLevels(image, t[0].occupied.get(),
                                        colour ? t[1].occupied.get() : nullptr,
                                        colour ? t[2].occupied.get() : nullptr, levelsCount, m0, m1,
                                        m2, false, -1, -1, -1, -1, -1, -1),
            ur::rc::Ok);
  EXPECT_EQ(urs::zel::GetLevelsCount(t[0].occupied.get(), t[1].occupied.get(), t[2].occupied.get(),
                                     levelsCount, t[0].count, t[1].count, t[2].count),
            ur::rc::Ok);
  EXPECT_EQ(urs::zel::GetZelChannelMapping(t[0].occupied.get(), t[1].occupied.get(),
                                           t[2].occupied.get(), t[0].mapping.get(),
                                           t[1].mapping.get(), t[2].mapping.get(), levelsCount),
            ur::rc::Ok);
  if (!colour) t.erase(t.begin() + 1, t.end());
  return t;
}

std::vector<ChannelTables> AnalyseSpread(const ur::SxImageBuf& planar, int levelsCount,
                                         bool together) {
  std::vector<ChannelTables> t;
  for (int p = 0; p < 4; ++p) t.emplace_back(levelsCount);
  unsigned short m[4] = {};
  EXPECT_EQ(
      urs::zel::GetOccupiedLevelsRaw(planar, t[0].occupied.get(), t[1].occupied.get(),
                                     t[2].occupied.get(), t[3].occupied.get(), levelsCount, m[0],
                                     m[1], m[2], m[3], false, -1, -1, -1, -1, -1, -1, -1, -1),
      ur::rc::Ok);
  EXPECT_EQ(urs::zel::GetLevelsCount(t[0].occupied.get(), t[1].occupied.get(), t[2].occupied.get(),
                                     t[3].occupied.get(), levelsCount, t[0].count, t[1].count,
                                     t[2].count, t[3].count),
            ur::rc::Ok);
  EXPECT_EQ(urs::zel::GetZel8ChannelMapping(
                t[0].occupied.get(), t[1].occupied.get(), t[2].occupied.get(), t[3].occupied.get(),
                t[0].mapping.get(), t[1].mapping.get(), t[2].mapping.get(), t[3].mapping.get(),
                levelsCount, together ? urs::zel::Together : urs::zel::Separated),
            ur::rc::Ok);
  return t;
}

int RankOf(const std::vector<int>& sortedLevels, int level) {
  const auto it = std::lower_bound(sortedLevels.begin(), sortedLevels.end(), level);
  return it != sortedLevels.end() && *it == level ? int(it - sortedLevels.begin()) : -1;
}

std::vector<std::uint8_t> RawBytes(const ur::SxImageBuf& b) {
  return std::vector<std::uint8_t>(b.data, b.data + ur::BufferBytes(b));
}

}  // namespace zel::testing
