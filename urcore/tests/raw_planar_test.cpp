#include <ur/bayer.h>
#include <ur/raw_planar.h>

#include <zel_testing/image_builder.h>

#include <gtest/gtest.h>

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

template <typename T>
std::vector<T> RandomSamples(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<T> v(n);
  for (T& s : v) s = T(rng());
  return v;
}

ScopedImageBuf MakePlanar16(int width, int height, int padBytes = 0) {
  return MakeZeroImage<std::uint16_t>(ImageShape{width, height, 4, 1, padBytes});
}

// A plane sample of a planar raw image.
std::uint16_t Plane16(const SxImageBuf& planar, ExBayerPlane p, int x, int y) {
  return SampleAt<std::uint16_t>(planar, x, y, p);
}

}  // namespace

TEST(RawPlanar, PlanesHoldTheSitesTheirGridNames) {
  // 4x2 mosaic:  1 2 3 4 / 5 6 7 8.
  const std::vector<std::uint16_t> mosaic{1, 2, 3, 4, 5, 6, 7, 8};
  auto m = MakeImage<std::uint16_t>(ImageShape{4, 2, 1, 0, 2, 12}, mosaic);

  // RGGB: R G R G / G B G B.
  auto planar = MakePlanar16(2, 1);
  ASSERT_EQ(ConvertRawToPlanarRaw(m.get(), QRect(0, 0, 4, 2), eBayerRGGB, planar.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint16_t>(planar.get()),
            (std::vector<std::uint16_t>{1, 3, 2, 4, 6, 8, 5, 7}));
  EXPECT_EQ(planar->bitDepth, 12);
  EXPECT_EQ(planar->bayerGrid, eBayerRGGB);

  // GBRG: G B G B / R G R G. Plane 1 is the green of the red row, plane 3 that of the blue row.
  ASSERT_EQ(ConvertRawToPlanarRaw(m.get(), QRect(0, 0, 4, 2), eBayerGBRG, planar.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint16_t>(planar.get()),
            (std::vector<std::uint16_t>{5, 7, 6, 8, 2, 4, 1, 3}));
}

TEST(RawPlanar, GridNamesTheRegionsCellWithoutShifting) {
  // An RGGB mosaic cut from column 1 starts with G R / B G; the caller says so with GRBG.
  // 1 2 3 4 5 6 / 7 8 9 10 11 12: red sites are 1, 3, 5.
  std::vector<std::uint16_t> mosaic(12);
  for (int i = 0; i < 12; ++i) mosaic[i] = std::uint16_t(i + 1);
  auto m = MakeImage<std::uint16_t>(ImageShape{6, 2, 1}, mosaic);
  auto planar = MakePlanar16(2, 1);
  ASSERT_EQ(ConvertRawToPlanarRaw(m.get(), QRect(1, 0, 4, 2), eBayerGRBG, planar.get()), rc::Ok);
  EXPECT_EQ(Plane16(planar.get(), ePlaneRed, 0, 0), 3);
  EXPECT_EQ(Plane16(planar.get(), ePlaneRed, 1, 0), 5);
  EXPECT_EQ(Plane16(planar.get(), ePlaneGreenR, 0, 0), 2);
  EXPECT_EQ(Plane16(planar.get(), ePlaneBlue, 0, 0), 8);
  EXPECT_EQ(Plane16(planar.get(), ePlaneGreenB, 1, 0), 11);

  // The same cut with the mosaic's own grid is the caller's mistake and is not corrected.
  ASSERT_EQ(ConvertRawToPlanarRaw(m.get(), QRect(1, 0, 4, 2), eBayerRGGB, planar.get()), rc::Ok);
  EXPECT_EQ(Plane16(planar.get(), ePlaneRed, 0, 0), 2);
}

TEST(RawPlanar, OddLastColumnAndRowOfTheRegionAreDropped) {
  const auto samples = RandomSamples<std::uint8_t>(7 * 5, 3);
  auto m = MakeImage<std::uint8_t>(ImageShape{7, 5, 1, 0, 1}, samples);
  auto planar = MakeZeroImage<std::uint8_t>(ImageShape{3, 2, 4, 1});
  ASSERT_EQ(ConvertRawToPlanarRaw(m.get(), QRect(0, 0, 7, 5), eBayerBGGR, planar.get()), rc::Ok);
  EXPECT_EQ(SampleAt<std::uint8_t>(planar.get(), 2, 1, ePlaneBlue), samples[2 * 7 + 4]);
  EXPECT_EQ(SampleAt<std::uint8_t>(planar.get(), 2, 1, ePlaneRed), samples[3 * 7 + 5]);
}

class RawPlanarGrid : public ::testing::TestWithParam<ExBayerGrid> {
protected:
  // Splits a region (offset by an even amount) of a padded asymmetric mosaic, checks every plane
  // sample against its site, joins the planes into a fresh mosaic and compares with the region.
  template <typename T>
  void SplitAndJoinRestoreTheRegion() {
    const ExBayerGrid grid = GetParam();
    const int w = 10, h = 8;
    const QRect region(2, 2, 6, 4);
    const auto samples = RandomSamples<T>(std::size_t(w) * h, 17 + unsigned(grid));
    auto mosaic = MakeImage<T>(ImageShape{w, h, 1, 0, 6, 0, grid}, samples);
    auto planar = MakeZeroImage<T>(ImageShape{3, 2, 4, 1, 4});
    ASSERT_EQ(ConvertRawToPlanarRaw(mosaic.get(), region, grid, planar.get()), rc::Ok);

    for (int y = 0; y < region.height(); ++y)
      for (int x = 0; x < region.width(); ++x) {
        const T site = samples[std::size_t(region.top() + y) * w + region.left() + x];
        EXPECT_EQ(SampleAt<T>(planar.get(), x / 2, y / 2, PlaneAt(grid, x, y)), site)
            << "site " << x << "," << y;
      }

    auto joined = MakeZeroImage<T>(ImageShape{6, 4, 1, 0, 2});
    ASSERT_EQ(ConvertPlanarRawToRaw(planar.get(), joined.get(), grid), rc::Ok);
    for (int y = 0; y < region.height(); ++y)
      for (int x = 0; x < region.width(); ++x)
        EXPECT_EQ(SampleAt<T>(joined.get(), x, y),
                  samples[std::size_t(region.top() + y) * w + region.left() + x]);
    EXPECT_EQ(joined->bayerGrid, grid);

    // And the other way round: splitting the joined mosaic gives the same planes.
    auto again = MakeZeroImage<T>(ImageShape{3, 2, 4, 1});
    ASSERT_EQ(ConvertRawToPlanarRaw(joined.get(), QRect(0, 0, 6, 4), grid, again.get()), rc::Ok);
    EXPECT_EQ(Samples<T>(again.get()), Samples<T>(planar.get()));
  }
};

TEST_P(RawPlanarGrid, SplitAndJoinAreInverse8Bit) { SplitAndJoinRestoreTheRegion<std::uint8_t>(); }
TEST_P(RawPlanarGrid, SplitAndJoinAreInverse16Bit) {
  SplitAndJoinRestoreTheRegion<std::uint16_t>();
}

INSTANTIATE_TEST_SUITE_P(AllGrids, RawPlanarGrid,
                         ::testing::Values(eBayerBGGR, eBayerRGGB, eBayerGBRG, eBayerGRBG));

TEST(RawPlanar, RejectsBadArgumentsAndLeavesTheTargetUntouched) {
  auto mosaic = MakeImage<std::uint16_t>(ImageShape{6, 4, 1}, RandomSamples<std::uint16_t>(24, 5));
  auto planar = MakePlanar16(3, 2);
  const QRect whole(0, 0, 6, 4);
  const auto before = Samples<std::uint16_t>(planar.get());

  const SxImageBuf empty;
  EXPECT_EQ(ConvertRawToPlanarRaw(empty, whole, eBayerRGGB, planar.get()), rc::InvalidArg(1));
  auto rgb = MakeZeroImage<std::uint16_t>(ImageShape{6, 4, 3});
  EXPECT_EQ(ConvertRawToPlanarRaw(rgb.get(), whole, eBayerRGGB, planar.get()), rc::InvalidArg(1));
  auto wide = MakeZeroImage<std::uint32_t>(ImageShape{6, 4, 1});
  EXPECT_EQ(ConvertRawToPlanarRaw(wide.get(), whole, eBayerRGGB, planar.get()), rc::InvalidArg(1));
  EXPECT_EQ(ConvertRawToPlanarRaw(mosaic.get(), QRect(1, 0, 6, 4), eBayerRGGB, planar.get()),
            rc::InvalidArg(2));
  EXPECT_EQ(ConvertRawToPlanarRaw(mosaic.get(), QRect(0, 0, 1, 4), eBayerRGGB, planar.get()),
            rc::InvalidArg(2));
  EXPECT_EQ(ConvertRawToPlanarRaw(mosaic.get(), QRect(), eBayerRGGB, planar.get()),
            rc::InvalidArg(2));
  EXPECT_EQ(ConvertRawToPlanarRaw(mosaic.get(), whole, eBayerNone, planar.get()),
            rc::InvalidArg(3));
  auto small = MakePlanar16(2, 2);
  EXPECT_EQ(ConvertRawToPlanarRaw(mosaic.get(), whole, eBayerRGGB, small.get()), rc::InvalidArg(4));
  auto planar8 = MakeZeroImage<std::uint8_t>(ImageShape{3, 2, 4, 1});
  EXPECT_EQ(ConvertRawToPlanarRaw(mosaic.get(), whole, eBayerRGGB, planar8.get()),
            rc::InvalidArg(4));
  auto interleaved = MakeZeroImage<std::uint16_t>(ImageShape{3, 2, 4, 0});
  EXPECT_EQ(ConvertRawToPlanarRaw(mosaic.get(), whole, eBayerRGGB, interleaved.get()),
            rc::InvalidArg(4));
  EXPECT_EQ(Samples<std::uint16_t>(planar.get()), before);
  EXPECT_EQ(planar->bayerGrid, eBayerNone);

  const auto mosaicBefore = Samples<std::uint16_t>(mosaic.get());
  EXPECT_EQ(ConvertPlanarRawToRaw(interleaved.get(), mosaic.get(), eBayerRGGB), rc::InvalidArg(1));
  EXPECT_EQ(ConvertPlanarRawToRaw(empty, mosaic.get(), eBayerRGGB), rc::InvalidArg(1));
  auto tooSmall = MakeZeroImage<std::uint16_t>(ImageShape{5, 4, 1});
  EXPECT_EQ(ConvertPlanarRawToRaw(planar.get(), tooSmall.get(), eBayerRGGB), rc::InvalidArg(2));
  auto mosaic8 = MakeZeroImage<std::uint8_t>(ImageShape{6, 4, 1});
  EXPECT_EQ(ConvertPlanarRawToRaw(planar.get(), mosaic8.get(), eBayerRGGB), rc::InvalidArg(2));
  EXPECT_EQ(ConvertPlanarRawToRaw(planar.get(), mosaic.get(), ExBayerGrid(eBayerMosaic)),
            rc::InvalidArg(3));
  EXPECT_EQ(Samples<std::uint16_t>(mosaic.get()), mosaicBefore);
}
