#include <ur/bayer.h>

#include <gtest/gtest.h>

#include <string>

using namespace ur;

namespace {
// The four letters of a grid's top-left cell, read row by row.
std::string Letters(ExBayerGrid g) {
  std::string s;
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 2; ++x) s += "RGB"[ColorAt(g, x, y)];
  return s;
}
}  // namespace

TEST(Bayer, GridsNameTheirTopLeftCell) {
  EXPECT_EQ(Letters(eBayerBGGR), "BGGR");
  EXPECT_EQ(Letters(eBayerRGGB), "RGGB");
  EXPECT_EQ(Letters(eBayerGBRG), "GBRG");
  EXPECT_EQ(Letters(eBayerGRBG), "GRBG");
  // Plane 1 is the green on red rows, plane 3 the green on blue rows.
  EXPECT_EQ(PlaneAt(eBayerRGGB, 1, 0), ePlaneGreenR);
  EXPECT_EQ(PlaneAt(eBayerRGGB, 0, 1), ePlaneGreenB);
  EXPECT_EQ(PlaneAt(eBayerGBRG, 0, 0), ePlaneGreenB);
  EXPECT_EQ(PlaneAt(eBayerBGGR, 5, 7), ePlaneRed);
}

TEST(Bayer, ShiftedAndBottomUpGridsMatchTheSites) {
  for (int g = 0; g < 4; ++g) {
    const auto grid = ExBayerGrid(g);
    for (int dx = 0; dx < 3; ++dx)
      for (int dy = 0; dy < 3; ++dy) {
        const ExBayerGrid shifted = ShiftBayerGrid(grid, dx, dy);
        for (int x = 0; x < 2; ++x)
          for (int y = 0; y < 2; ++y)
            EXPECT_EQ(PlaneAt(shifted, x, y), PlaneAt(grid, x + dx, y + dy));
      }
    for (int height : {4, 5}) {
      const ExBayerGrid up = BottomUpBayerGrid(grid, height);
      for (int x = 0; x < 2; ++x) {
        EXPECT_EQ(PlaneAt(up, x, 0), PlaneAt(grid, x, height - 1));
        EXPECT_EQ(PlaneAt(up, x, 1), PlaneAt(grid, x, height - 2));
      }
    }
  }
  EXPECT_EQ(ShiftBayerGrid(eBayerNone, 1, 1), eBayerNone);
}

TEST(Bayer, RawChannelsOffsetsAddressEachPlanesSite) {
  std::size_t off[4];
  ASSERT_EQ(RawChannelsOffsets(eBayerGBRG, 100, 2, off), rc::Ok);
  EXPECT_EQ(off[ePlaneRed], 100u);
  EXPECT_EQ(off[ePlaneGreenR], 102u);
  EXPECT_EQ(off[ePlaneBlue], 2u);
  EXPECT_EQ(off[ePlaneGreenB], 0u);
  EXPECT_EQ(RawChannelsOffsets(eBayerNone, 100, 2, off), rc::InvalidArg(1));
  EXPECT_EQ(RawChannelsOffsets(eBayerRGGB, 0, 2, off), rc::InvalidArg(2));
  EXPECT_EQ(RawChannelsOffsets(eBayerRGGB, 10, 0, off), rc::InvalidArg(3));
}
