#include <urs/image_repair.h>

#include <zel_testing/image_builder.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <set>
#include <vector>

using zel::testing::MakeImage;

namespace {

// Heap tables of exactly `levels` entries per channel, so that ASan sees any read past the end.
class LevelTable {
public:
  LevelTable(int channels, int levels, bool fill = false) : m_levels(levels) {
    for (int c = 0; c < channels; ++c) {
      m_tables.push_back(std::make_unique<bool[]>(std::size_t(levels)));
      std::fill(m_tables.back().get(), m_tables.back().get() + levels, fill);
      m_pointers.push_back(m_tables.back().get());
    }
  }
  bool** get() { return m_pointers.data(); }
  // The flagged levels of channel c.
  std::set<int> flagged(int c) const {
    std::set<int> out;
    for (int v = 0; v < m_levels; ++v)
      if (m_tables[std::size_t(c)][std::size_t(v)]) out.insert(v);
    return out;
  }

private:
  int m_levels;
  std::vector<std::unique_ptr<bool[]>> m_tables;
  std::vector<bool*> m_pointers;
};

ur::ScopedImageBuf FullMask(int w, int h) {
  return MakeImage<std::uint8_t>({w, h, 1}, std::vector<std::uint8_t>(std::size_t(w) * h, 1));
}

// 5 x 2 grey image of 4 significant bits: H[0]=2, H[1]=1, H[2]=3, H[5]=1, H[14]=1, H[15]=2.
ur::ScopedImageBuf TenPixels() {
  zel::testing::ImageShape s{5, 2, 1};
  s.bitDepth = 4;
  s.padBytes = 3;
  return MakeImage<std::uint8_t>(s, {0, 0, 1, 2, 2, 2, 5, 15, 15, 14});
}

}  // namespace

TEST(GetLevelsToRepair, NegativeThresholdsFlagNothing) {
  auto img = TenPixels();
  auto mask = FullMask(5, 2);
  LevelTable t(1, 16, true);  // every entry must be rewritten to false
  int low[] = {-1}, high[] = {-1};
  ASSERT_TRUE(urs::GetLevelsToRepair(img.get(), mask.get(), low, high, t.get()));
  EXPECT_TRUE(t.flagged(0).empty());
}

TEST(GetLevelsToRepair, FlagsOnlyOccupiedLevelsBeyondTheThresholds) {
  auto img = TenPixels();
  auto mask = FullMask(5, 2);
  LevelTable t(1, 16);
  int low[] = {3}, high[] = {14};
  ASSERT_TRUE(urs::GetLevelsToRepair(img.get(), mask.get(), low, high, t.get()));
  EXPECT_EQ(t.flagged(0), (std::set<int>{0, 1, 2, 14, 15}));  // 3 and 13 are not occupied

  // A low threshold beyond the top level and a high one beyond it are clipped to the table.
  low[0] = 1000;
  high[0] = 1000;
  ASSERT_TRUE(urs::GetLevelsToRepair(img.get(), mask.get(), low, high, t.get()));
  EXPECT_EQ(t.flagged(0), (std::set<int>{0, 1, 2, 5, 14, 15}));
}

TEST(GetLevelsToRepair, CountsOnlyMaskedPixelsOfEachLogicalChannel) {
  // Two BGR pixels in memory; red is byte 2. The mask excludes the second pixel.
  auto img = MakeImage<std::uint8_t>({2, 1, 3}, {1, 2, 3, 250, 251, 252});
  auto mask = MakeImage<std::uint8_t>({2, 1, 1}, {1, 0});
  LevelTable t(3, 256);
  int low[] = {10, -1, 10}, high[] = {-1, 200, 200};
  ASSERT_TRUE(urs::GetLevelsToRepair(img.get(), mask.get(), low, high, t.get()));
  EXPECT_EQ(t.flagged(0), (std::set<int>{3}));  // red of the first pixel; 252 is masked out
  EXPECT_TRUE(t.flagged(1).empty());            // 2 is below the switched-off low side
  EXPECT_EQ(t.flagged(2), (std::set<int>{1}));  // blue; 250 is masked out
}

TEST(GetLevelsToRepair, UsesTheTopLevelOfTheBitDepthAndIgnoresSamplesAbove) {
  // 10 significant bits in 16-bit samples: a table of 1024 entries; 5000 lies outside it.
  zel::testing::ImageShape s{3, 1, 1};
  s.bitDepth = 10;
  auto img = MakeImage<std::uint16_t>(s, {1023, 5000, 7});
  auto mask = FullMask(3, 1);
  LevelTable t(1, 1024);
  int low[] = {7}, high[] = {0};
  ASSERT_TRUE(urs::GetLevelsToRepair(img.get(), mask.get(), low, high, t.get()));
  EXPECT_EQ(t.flagged(0), (std::set<int>{7, 1023}));

  // 8-bit samples claiming 12 bits: the table is limited to the 256 levels a byte holds.
  zel::testing::ImageShape s8{2, 1, 1};
  s8.bitDepth = 12;
  auto img8 = MakeImage<std::uint8_t>(s8, {255, 3});
  LevelTable t8(1, 256);
  int high8[] = {255}, low8[] = {-1};
  ASSERT_TRUE(urs::GetLevelsToRepair(img8.get(), FullMask(2, 1).get(), low8, high8, t8.get()));
  EXPECT_EQ(t8.flagged(0), (std::set<int>{255}));
}

TEST(GetLevelsToRepair, RefusesBadArgumentsWithoutTouchingTheTable) {
  auto img = TenPixels();
  auto mask = FullMask(5, 2);
  LevelTable t(1, 16, true);
  int low[] = {3}, high[] = {14};
  double lowP[] = {10}, highP[] = {10};
  EXPECT_FALSE(urs::GetLevelsToRepair(img.get(), mask.get(), nullptr, high, t.get()));
  EXPECT_FALSE(urs::GetLevelsToRepair(img.get(), mask.get(), low, nullptr, t.get()));
  EXPECT_FALSE(urs::GetLevelsToRepair(img.get(), mask.get(), low, high, nullptr));
  bool* nullChannel[] = {nullptr};
  EXPECT_FALSE(urs::GetLevelsToRepair(img.get(), mask.get(), low, high, nullChannel));
  EXPECT_FALSE(
      urs::GetLevelsToRepair(img.get(), mask.get(), nullptr, low, highP, high, t.get()));
  EXPECT_FALSE(urs::GetLevelsToRepair(img.get(), mask.get(), lowP, low, highP, high, nullptr));

  ur::SxImageBuf empty;
  EXPECT_FALSE(urs::GetLevelsToRepair(empty, mask.get(), low, high, t.get()));
  auto wide = MakeImage<std::uint32_t>({1, 1, 1}, {5});
  EXPECT_FALSE(urs::GetLevelsToRepair(wide.get(), FullMask(1, 1).get(), low, high, t.get()));
  ur::SxImageBuf noDepth = img.get();
  noDepth.bitDepth = 0;
  EXPECT_FALSE(urs::GetLevelsToRepair(noDepth, mask.get(), low, high, t.get()));
  EXPECT_EQ(t.flagged(0).size(), 16u);

  // A mask of another size makes the histogram fail.
  EXPECT_FALSE(urs::GetLevelsToRepair(img.get(), FullMask(4, 2).get(), low, high, t.get()));
}

TEST(GetLevelsToRepairPercent, ClampsPercentagesInPlace) {
  auto img = TenPixels();
  auto mask = FullMask(5, 2);
  LevelTable t(1, 16);
  double lowP[] = {150}, highP[] = {-5};
  int low[] = {3}, high[] = {0};
  ASSERT_TRUE(urs::GetLevelsToRepair(img.get(), mask.get(), lowP, low, highP, high, t.get()));
  EXPECT_EQ(lowP[0], 100.0);
  EXPECT_EQ(highP[0], 0.0);
  // 100 per cent allows all 10 pixels: every occupied level up to 3; the high side is off.
  EXPECT_EQ(t.flagged(0), (std::set<int>{0, 1, 2}));
}

TEST(GetLevelsToRepairPercent, StopsWhenTheRunningSumExceedsTheTruncatedLimit) {
  auto img = TenPixels();
  auto mask = FullMask(5, 2);
  LevelTable t(1, 16);
  int low[] = {10}, high[] = {0};

  // N = 10. Low 30 %: limit 3; sums 2 (level 0), 3 (level 1), 6 (level 2, stop).
  // High 20 %: limit 2; sums 2 (level 15), 3 (level 14, stop).
  double lowP[] = {30}, highP[] = {20};
  ASSERT_TRUE(urs::GetLevelsToRepair(img.get(), mask.get(), lowP, low, highP, high, t.get()));
  EXPECT_EQ(t.flagged(0), (std::set<int>{0, 1, 15}));

  // 25 % of 10 is 2.5, truncated to 2: level 1 (sum 3) is no longer flagged.
  double lowP25[] = {25}, highP0[] = {0};
  ASSERT_TRUE(urs::GetLevelsToRepair(img.get(), mask.get(), lowP25, low, highP0, high, t.get()));
  EXPECT_EQ(t.flagged(0), (std::set<int>{0}));

  // The level threshold stops the low side before the limit does.
  int low0[] = {0}, highOff[] = {-1};
  double all[] = {100}, allHigh[] = {100};
  ASSERT_TRUE(urs::GetLevelsToRepair(img.get(), mask.get(), all, low0, allHigh, highOff, t.get()));
  EXPECT_EQ(t.flagged(0), (std::set<int>{0}));
}

TEST(GetLevelsToRepairPercent, LimitCountsAllPixelsButHistogramOnlyMaskedOnes) {
  auto img = TenPixels();
  // Exclude the two 15s (row 1, columns 2 and 3): level 15 is empty, level 14 sums to 1.
  auto mask = MakeImage<std::uint8_t>({5, 2, 1}, {1, 1, 1, 1, 1, 1, 1, 0, 0, 1});
  LevelTable t(1, 16);
  double lowP[] = {0}, highP[] = {20};  // limit 2 of N = 10, not of the 8 masked pixels
  int low[] = {10}, high[] = {0};
  ASSERT_TRUE(urs::GetLevelsToRepair(img.get(), mask.get(), lowP, low, highP, high, t.get()));
  // Sums from the top: 0 (15), 1 (14), 1 (13..6), 2 (5), 5 (2, stop).
  EXPECT_EQ(t.flagged(0), (std::set<int>{14, 5}));
}
