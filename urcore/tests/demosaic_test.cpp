#include <ur/bayer.h>
#include <ur/cancellation_token.h>
#include <ur/demosaic.h>

#include <zel_testing/image_builder.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <vector>

using namespace ur;
using zel::testing::ImageShape;
using zel::testing::MakeImage;
using zel::testing::MakeZeroImage;
using zel::testing::SampleAt;
using zel::testing::Samples;

namespace {

using Rgb = std::array<unsigned, 3>;  // logical order: red, green, blue

// Physical positions of red, green and blue: B, G, R for 8-bit samples, R, G, B for 16-bit.
template <typename T>
constexpr std::array<int, 3> kPhysical = sizeof(T) == 1 ? std::array<int, 3>{2, 1, 0}
                                                        : std::array<int, 3>{0, 1, 2};

template <typename T>
Rgb PixelAt(const SxImageBuf& b, int x, int y) {
  return {SampleAt<T>(b, x, y, kPhysical<T>[0]), SampleAt<T>(b, x, y, kPhysical<T>[1]),
          SampleAt<T>(b, x, y, kPhysical<T>[2])};
}

template <typename T>
std::vector<T> RandomSamples(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<T> v(n);
  for (T& s : v) s = T(rng());
  return v;
}

// A mosaic whose sites hold r, g or b by their colour under grid.
template <typename T>
std::vector<T> FlatMosaic(int w, int h, ExBayerGrid grid, Rgb rgb) {
  std::vector<T> v;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) v.push_back(T(rgb[ColorAt(grid, x, y)]));
  return v;
}

// Bilinear demosaicing written the slow, obvious way: every missing colour is the rounded mean of
// the sites of that colour among the 8 neighbours, the mosaic mirrored at its edges.
template <typename T>
std::vector<Rgb> NaiveBilinear(const std::vector<T>& m, int w, int h, ExBayerGrid grid) {
  auto mirror = [](int i, int n) { return i < 0 ? -i : (i >= n ? 2 * n - 2 - i : i); };
  std::vector<Rgb> out;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      Rgb sum{0, 0, 0}, count{0, 0, 0};
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          const int c = ColorAt(grid, x + dx + 2, y + dy + 2);
          sum[c] += m[std::size_t(mirror(y + dy, h)) * w + mirror(x + dx, w)];
          ++count[c];
        }
      Rgb px;
      const int own = ColorAt(grid, x, y);
      for (int c = 0; c < 3; ++c)
        px[c] = c == own ? m[std::size_t(y) * w + x] : (sum[c] + count[c] / 2) / count[c];
      out.push_back(px);
    }
  return out;
}

}  // namespace

class DemosaicGrid : public ::testing::TestWithParam<ExBayerGrid> {
protected:
  // Demosaics a region of a padded random mosaic and compares every pixel with the naive
  // version; also checks that each site keeps its own sample.
  template <typename T>
  void MatchesNaiveBilinear(int w, int h) {
    const ExBayerGrid grid = GetParam();
    const int mw = w + 3, mh = h + 2;
    const QRect region(1, 2, w, h);  // odd offset: the grid names the region's own cell
    const auto samples = RandomSamples<T>(std::size_t(mw) * mh, unsigned(w * 31 + h + grid));
    auto src = MakeImage<T>(ImageShape{mw, mh, 1, 0, 2, 0, grid}, samples);
    std::vector<T> inRegion;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        inRegion.push_back(samples[std::size_t(y + region.top()) * mw + x + region.left()]);

    auto dst = MakeZeroImage<T>(ImageShape{w + 1, h, 3, 0, 6});
    ASSERT_EQ(Demosaic(src.get(), region, dst.get()), rc::Ok);
    const std::vector<Rgb> expected = NaiveBilinear(inRegion, w, h, grid);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const Rgb px = PixelAt<T>(dst.get(), x, y);
        ASSERT_EQ(px, expected[std::size_t(y) * w + x]) << w << "x" << h << " at " << x << "," << y;
        ASSERT_EQ(px[ColorAt(grid, x, y)], inRegion[std::size_t(y) * w + x]);
      }
    EXPECT_EQ(PixelAt<T>(dst.get(), w, 0), Rgb({0, 0, 0})) << "wrote beyond the region";
  }
};

TEST_P(DemosaicGrid, BilinearMatchesNaiveVersionIncludingEdges) {
  for (auto [w, h] : {std::pair{2, 2}, {3, 2}, {2, 3}, {5, 4}, {7, 5}, {8, 6}, {16, 3}}) {
    MatchesNaiveBilinear<std::uint8_t>(w, h);
    MatchesNaiveBilinear<std::uint16_t>(w, h);
  }
}

TEST(Demosaic, LargeFramesSplitIntoBandsGiveTheSameResult) {
  // Big enough to be split into row bands on a machine with more than one core.
  const int w = 1030, h = 520;
  const auto samples = RandomSamples<std::uint16_t>(std::size_t(w) * h, 7);
  auto src = MakeImage<std::uint16_t>(ImageShape{w, h, 1, 0, 0, 16, eBayerGBRG}, samples);
  auto dst = MakeZeroImage<std::uint16_t>(ImageShape{w, h, 3});
  CxCancellationToken token;
  ASSERT_EQ(Demosaic(src.get(), QRect(0, 0, w, h), dst.get(), &token), rc::Ok);
  const std::vector<Rgb> expected = NaiveBilinear(samples, w, h, eBayerGBRG);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      ASSERT_EQ(PixelAt<std::uint16_t>(dst.get(), x, y), expected[std::size_t(y) * w + x])
          << x << "," << y;

  token.cancel();
  EXPECT_EQ(Demosaic(src.get(), QRect(0, 0, w, h), dst.get(), &token), rc::Cancelled);
}

TEST(DemosaicSimple, LargeFramesSplitIntoBandsGiveTheSameResult) {
  const int w = 2048, h = 1026;  // 1024 x 513 cells
  const auto samples = RandomSamples<std::uint16_t>(std::size_t(w) * h, 8);
  auto src = MakeImage<std::uint16_t>(ImageShape{w, h, 1, 0, 0, 16, eBayerBGGR}, samples);
  auto dst = MakeZeroImage<std::uint16_t>(ImageShape{w / 2, h / 2, 3});
  ASSERT_EQ(DemosaicSimple(src.get(), QRect(0, 0, w, h), dst.get(), eBayerBGGR), rc::Ok);
  auto at = [&](int x, int y) -> unsigned { return samples[std::size_t(y) * w + x]; };
  for (int cy = 0; cy < h / 2; ++cy)
    for (int cx = 0; cx < w / 2; ++cx) {
      const int x = 2 * cx, y = 2 * cy;  // BGGR: blue, green / green, red
      const Rgb expected{at(x + 1, y + 1), (at(x + 1, y) + at(x, y + 1) + 1) / 2, at(x, y)};
      ASSERT_EQ(PixelAt<std::uint16_t>(dst.get(), cx, cy), expected) << cx << "," << cy;
    }
}

TEST_P(DemosaicGrid, EverySiteKeepsItsOwnSample) {
  const ExBayerGrid grid = GetParam();
  const int w = 33, h = 21;
  const auto samples = RandomSamples<std::uint16_t>(std::size_t(w) * h, 99);
  auto src = MakeImage<std::uint16_t>(ImageShape{w, h, 1, 0, 0, 16, grid}, samples);
  auto dst = MakeZeroImage<std::uint16_t>(ImageShape{w, h, 3});
  ASSERT_EQ(Demosaic(src.get(), QRect(0, 0, w, h), dst.get()), rc::Ok);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      ASSERT_EQ(PixelAt<std::uint16_t>(dst.get(), x, y)[ColorAt(grid, x, y)],
                samples[std::size_t(y) * w + x]);
}

namespace {

// Flat colour in, the same colour out at every pixel, borders included, for both algorithms.
template <typename T>
void ExpectFlatColourEverywhere(ExBayerGrid grid, Rgb rgb, int bitDepth) {
  const int w = 7, h = 5;
  auto src =
      MakeImage<T>(ImageShape{w, h, 1, 0, 4, bitDepth, grid}, FlatMosaic<T>(w, h, grid, rgb));
  auto full = MakeZeroImage<T>(ImageShape{w, h, 3});
  ASSERT_EQ(Demosaic(src.get(), QRect(0, 0, w, h), full.get()), rc::Ok);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) ASSERT_EQ(PixelAt<T>(full.get(), x, y), rgb) << x << "," << y;
  EXPECT_EQ(full->bitDepth, bitDepth);
  EXPECT_EQ(full->bayerGrid, eBayerNone);

  auto half = MakeZeroImage<T>(ImageShape{3, 2, 3});
  ASSERT_EQ(DemosaicSimple(src.get(), QRect(0, 0, w, h), half.get(), grid), rc::Ok);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) ASSERT_EQ(PixelAt<T>(half.get(), x, y), rgb);
  EXPECT_EQ(half->bitDepth, bitDepth);
  EXPECT_EQ(half->bayerGrid, eBayerNone);
}

}  // namespace

TEST_P(DemosaicGrid, FlatColourStaysFlatInBothAlgorithms) {
  ExpectFlatColourEverywhere<std::uint8_t>(GetParam(), {255, 70, 3}, 8);
  ExpectFlatColourEverywhere<std::uint16_t>(GetParam(), {65535, 4000, 17}, 16);
  ExpectFlatColourEverywhere<std::uint16_t>(GetParam(), {1, 4095, 2048}, 12);
}

INSTANTIATE_TEST_SUITE_P(AllGrids, DemosaicGrid,
                         ::testing::Values(eBayerBGGR, eBayerRGGB, eBayerGBRG, eBayerGRBG));

TEST(Demosaic, ChannelOrderIsBgrFor8BitAndRgbFor16Bit) {
  // One RGGB cell of red 200, greens 100, blue 10 gives that colour at the red site.
  auto src8 =
      MakeImage<std::uint8_t>(ImageShape{2, 2, 1, 0, 0, 8, eBayerRGGB}, {200, 100, 100, 10});
  auto dst8 = MakeZeroImage<std::uint8_t>(ImageShape{2, 2, 3});
  ASSERT_EQ(Demosaic(src8.get(), QRect(0, 0, 2, 2), dst8.get()), rc::Ok);
  EXPECT_EQ(SampleAt<std::uint8_t>(dst8.get(), 0, 0, 0), 10);  // blue first
  EXPECT_EQ(SampleAt<std::uint8_t>(dst8.get(), 0, 0, 2), 200);

  auto src16 =
      MakeImage<std::uint16_t>(ImageShape{2, 2, 1, 0, 0, 16, eBayerRGGB}, {200, 100, 100, 10});
  auto dst16 = MakeZeroImage<std::uint16_t>(ImageShape{2, 2, 3});
  ASSERT_EQ(Demosaic(src16.get(), QRect(0, 0, 2, 2), dst16.get()), rc::Ok);
  EXPECT_EQ(SampleAt<std::uint16_t>(dst16.get(), 0, 0, 0), 200);  // red first
  EXPECT_EQ(SampleAt<std::uint16_t>(dst16.get(), 0, 0, 2), 10);
}

TEST(Demosaic, InterpolatesEachCaseFromItsNeighbours) {
  // RGGB:   R  G  R  G          12  21  33  40
  //         G  B  G  B          52  61  74  80
  //         R  G  R  G          95 103 110 127
  //         G  B  G  B         130 141 150 167
  auto src = MakeImage<std::uint16_t>(
      ImageShape{4, 4, 1, 0, 0, 8, eBayerRGGB},
      {12, 21, 33, 40, 52, 61, 74, 80, 95, 103, 110, 127, 130, 141, 150, 167});
  auto dst = MakeZeroImage<std::uint16_t>(ImageShape{4, 4, 3});
  ASSERT_EQ(Demosaic(src.get(), QRect(0, 0, 4, 4), dst.get()), rc::Ok);
  // Blue site (1,1): green (52+74+21+103)/4 = 62.5 -> 63; red (12+33+95+110)/4 = 62.5 -> 63.
  EXPECT_EQ(PixelAt<std::uint16_t>(dst.get(), 1, 1), Rgb({63, 63, 61}));
  // Green site (2,1) on a blue row: blue (61+80)/2 = 70.5 -> 71; red (33+110)/2 = 71.5 -> 72.
  EXPECT_EQ(PixelAt<std::uint16_t>(dst.get(), 2, 1), Rgb({72, 74, 71}));
  // Green site (1,2) on a red row: red (95+110)/2 = 102.5 -> 103; blue (61+141)/2 = 101.
  EXPECT_EQ(PixelAt<std::uint16_t>(dst.get(), 1, 2), Rgb({103, 103, 101}));
  // Red site (2,2): green (103+127+74+150)/4 = 113.5 -> 114; blue (61+80+141+167)/4 = 112.25 ->
  // 112.
  EXPECT_EQ(PixelAt<std::uint16_t>(dst.get(), 2, 2), Rgb({110, 114, 112}));
  // Corner red site (0,0): mirrored, its neighbours are (1,0), (0,1) and (1,1) twice each.
  EXPECT_EQ(PixelAt<std::uint16_t>(dst.get(), 0, 0), Rgb({12, 37, 61}));
}

TEST(DemosaicSimple, OnePixelPerCellWithRoundedGreen) {
  // A GRBG region cut at column 1 of a wider mosaic; 5 columns, so the last one is dropped.
  //   x  G  R  G  R  G        x 100 900 101 800 7
  //   x  B  G  B  G  B        x 300  50 400  60 7
  auto src = MakeImage<std::uint16_t>(ImageShape{7, 2, 1, 0, 2, 12, eBayerRGGB},
                                      {1, 100, 900, 101, 800, 7, 7, 1, 300, 50, 400, 60, 7, 7});
  auto dst = MakeZeroImage<std::uint16_t>(ImageShape{2, 1, 3});
  ASSERT_EQ(DemosaicSimple(src.get(), QRect(1, 0, 5, 2), dst.get(), eBayerGRBG), rc::Ok);
  EXPECT_EQ(PixelAt<std::uint16_t>(dst.get(), 0, 0), Rgb({900, 75, 300}));  // (100+50)/2
  EXPECT_EQ(PixelAt<std::uint16_t>(dst.get(), 1, 0), Rgb({800, 81, 400}));  // 80.5 -> 81
}

TEST(DemosaicSimple, ToRgb24ScalesTo8BitsInBgrOrder) {
  // 12-bit RGGB, 5x3: the odd column and row are dropped; samples shift right by 4.
  auto src12 = MakeImage<std::uint16_t>(ImageShape{5, 3, 1, 0, 2, 12, eBayerRGGB},
                                        {4095, 160, 32, 48, 1, 176, 16, 64, 80, 1, 9, 9, 9, 9, 9});
  auto dst = MakeZeroImage<std::uint8_t>(ImageShape{2, 1, 3, 0, 3});
  ASSERT_EQ(DemosaicSimpleToRGB24(src12.get(), dst.get()), rc::Ok);
  // Cell 0: red 4095 -> 255, greens (160+176+1)/2 = 168 -> 10, blue 16 -> 1.
  EXPECT_EQ(PixelAt<std::uint8_t>(dst.get(), 0, 0), Rgb({255, 10, 1}));
  EXPECT_EQ(SampleAt<std::uint8_t>(dst.get(), 0, 0, 0), 1);  // blue first in memory
  // Cell 1: red 32 -> 2, greens (48+64+1)/2 = 56 -> 3, blue 80 -> 5.
  EXPECT_EQ(PixelAt<std::uint8_t>(dst.get(), 1, 0), Rgb({2, 3, 5}));
  EXPECT_EQ(dst->bitDepth, 8);

  // 8-bit mosaics keep their samples.
  auto src8 = MakeImage<std::uint8_t>(ImageShape{2, 2, 1, 0, 0, 8, eBayerBGGR}, {7, 20, 31, 250});
  auto dst8 = MakeZeroImage<std::uint8_t>(ImageShape{1, 1, 3});
  ASSERT_EQ(DemosaicSimpleToRGB24(src8.get(), dst8.get()), rc::Ok);
  EXPECT_EQ(PixelAt<std::uint8_t>(dst8.get(), 0, 0), Rgb({250, 26, 7}));  // (20+31)/2 = 25.5
}

TEST(Demosaic, RejectsBadArgumentsAndLeavesDstUntouched) {
  const int w = 6, h = 4;
  const QRect whole(0, 0, w, h);
  auto src = MakeImage<std::uint16_t>(ImageShape{w, h, 1, 0, 0, 12, eBayerRGGB},
                                      RandomSamples<std::uint16_t>(w * h, 1));
  auto dst =
      MakeImage<std::uint16_t>(ImageShape{w, h, 3}, RandomSamples<std::uint16_t>(w * h * 3, 2));
  dst->bitDepth = 5;
  dst->bayerGrid = eBayerGBRG;
  const auto before = Samples<std::uint16_t>(dst.get());

  SxImageBuf empty;
  auto rgbSrc = MakeZeroImage<std::uint16_t>(ImageShape{w, h, 3, 0, 0, 0, eBayerRGGB});
  auto wideSrc = MakeZeroImage<std::uint32_t>(ImageShape{w, h, 1, 0, 0, 0, eBayerRGGB});
  auto signedSrc = MakeZeroImage<std::int16_t>(ImageShape{w, h, 1, 0, 0, 0, eBayerRGGB});
  auto noGrid = MakeZeroImage<std::uint16_t>(ImageShape{w, h, 1});
  auto small = MakeZeroImage<std::uint16_t>(ImageShape{w, h - 1, 3});
  auto dst8 = MakeZeroImage<std::uint8_t>(ImageShape{w, h, 3});
  auto planarDst = MakeZeroImage<std::uint16_t>(ImageShape{w, h, 3, 1});
  for (const SxImageBuf* bad :
       {&empty, &rgbSrc.get(), &wideSrc.get(), &signedSrc.get(), &noGrid.get()})
    EXPECT_EQ(Demosaic(*bad, whole, dst.get()), rc::InvalidArg(1));
  for (const QRect& bad :
       {QRect(), QRect(1, 0, w, h), QRect(0, -1, 2, 2), QRect(0, 0, 1, h), QRect(0, 0, w, 1)})
    EXPECT_EQ(Demosaic(src.get(), bad, dst.get()), rc::InvalidArg(2))
        << bad.x() << "," << bad.width();
  SxImageBuf noPixels = dst.get();
  noPixels.data = nullptr;
  for (SxImageBuf* bad : {&small.get(), &dst8.get(), &planarDst.get(), &noPixels})
    EXPECT_EQ(Demosaic(src.get(), whole, *bad), rc::InvalidArg(3));

  EXPECT_EQ(DemosaicSimple(empty, whole, dst.get(), eBayerRGGB), rc::InvalidArg(1));
  EXPECT_EQ(DemosaicSimple(src.get(), QRect(0, 0, 1, 2), dst.get(), eBayerRGGB), rc::InvalidArg(2));
  EXPECT_EQ(DemosaicSimple(src.get(), whole, dst8.get(), eBayerRGGB), rc::InvalidArg(3));
  EXPECT_EQ(DemosaicSimple(src.get(), whole, dst.get(), eBayerNone), rc::InvalidArg(4));
  EXPECT_EQ(DemosaicSimpleToRGB24(noGrid.get(), dst8.get()), rc::InvalidArg(1));
  EXPECT_EQ(DemosaicSimpleToRGB24(src.get(), dst.get()), rc::InvalidArg(2));

  EXPECT_EQ(Samples<std::uint16_t>(dst.get()), before);
  EXPECT_EQ(dst->bitDepth, 5);
  EXPECT_EQ(dst->bayerGrid, eBayerGBRG);
}

TEST(Demosaic, CancelledTokenStopsIt) {
  auto src = MakeZeroImage<std::uint8_t>(ImageShape{8, 8, 1, 0, 0, 8, eBayerRGGB});
  auto dst = MakeZeroImage<std::uint8_t>(ImageShape{8, 8, 3});
  CxCancellationToken token;
  ASSERT_EQ(Demosaic(src.get(), QRect(0, 0, 8, 8), dst.get(), &token), rc::Ok);
  token.cancel();
  EXPECT_EQ(Demosaic(src.get(), QRect(0, 0, 8, 8), dst.get(), &token), rc::Cancelled);
}
