#include <ur/color_convert.h>

#include <zel_testing/log_capture.h>
#include <zel_testing/image_builder.h>

#include <gtest/gtest.h>

#include <QStringList>
#include <QtGlobal>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

using namespace ur;
using zel::testing::ImageShape;
using zel::testing::MakeImage;
using zel::testing::MakeZeroImage;
using zel::testing::SampleAt;
using zel::testing::Samples;

namespace {
using Bytes = std::vector<std::uint8_t>;
using Words = std::vector<std::uint16_t>;

// An 8-bit B, G, R destination of the size, rows padded to catch pitch mistakes.
ScopedImageBuf Bgr8(int width, int height) {
  return MakeZeroImage<std::uint8_t>({width, height, 3, 0, 5});
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
}  // namespace

TEST(ConvertToRGB8, ReplicatesGreyIntoAllThreeChannels) {
  auto grey = MakeImage<std::uint8_t>({2, 1}, {7, 200});
  auto dst = Bgr8(2, 1);
  ASSERT_EQ(ConvertToRGB8(grey.get(), dst.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(dst.get()), (Bytes{7, 7, 7, 200, 200, 200}));
  EXPECT_EQ(RowPtr(dst.get(), 0)[6], 0xCD);

  auto grey12 = MakeImage<std::uint16_t>({2, 1, 1, 0, 0, 12}, {4095, 16});
  ASSERT_EQ(ConvertToRGB8(grey12.get(), dst.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(dst.get()), (Bytes{255, 255, 255, 1, 1, 1}));
}

TEST(ConvertToRGB8, WritesSixteenBitRgbAsScaledBgr) {
  // 12-bit R, G, B in memory, interleaved and planar, become bytes B, G, R.
  auto rgb = MakeImage<std::uint16_t>({2, 1, 3, 0, 2, 12}, {4095, 2048, 16, 0, 32, 64});
  auto dst = Bgr8(2, 1);
  ASSERT_EQ(ConvertToRGB8(rgb.get(), dst.get()), rc::Ok);
  const Bytes expected{1, 128, 255, 4, 2, 0};
  EXPECT_EQ(Samples<std::uint8_t>(dst.get()), expected);

  auto planar = MakeImage<std::uint16_t>({2, 1, 3, 1, 0, 12}, {4095, 0, 2048, 32, 16, 64});
  auto dst2 = Bgr8(2, 1);
  ASSERT_EQ(ConvertToRGB8(planar.get(), dst2.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(dst2.get()), expected);

  // Four 8-bit channels B, G, R, A: the alpha is dropped, the order kept.
  auto bgra = MakeImage<std::uint8_t>({1, 1, 4}, {10, 20, 30, 99});
  auto dst3 = Bgr8(1, 1);
  ASSERT_EQ(ConvertToRGB8(bgra.get(), dst3.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(dst3.get()), (Bytes{10, 20, 30}));
}

TEST(ConvertToRGB8, ScalesFloatingSamplesFromTheirRange) {
  auto f = MakeImage<double>({4, 1}, {-1.0, 0.0, 1.0, kNaN});
  auto dst = Bgr8(4, 1);
  ASSERT_EQ(ConvertToRGB8(f.get(), dst.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(dst.get()),
            (Bytes{0, 0, 0, 128, 128, 128, 255, 255, 255, 0, 0, 0}));

  // A flat image has no range to spread: black.
  auto flat = MakeImage<float>({2, 1}, {3.0f, 3.0f});
  auto dst2 = Bgr8(2, 1);
  std::memset(dst2->data, 0x55, 6);
  ASSERT_EQ(ConvertToRGB8(flat.get(), dst2.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(dst2.get()), (Bytes(6, 0)));
}

TEST(ConvertToRGB8, RefusesBadImagesWithoutWriting) {
  auto two = MakeImage<std::uint8_t>({1, 1, 2}, {1, 2});
  auto s32 = MakeImage<std::uint32_t>({1, 1}, {1});
  auto grey = MakeImage<std::uint8_t>({1, 1}, {9});
  auto dst = Bgr8(1, 1);
  auto wrongSize = Bgr8(2, 1);
  auto wide = MakeZeroImage<std::uint16_t>({1, 1, 3});
  EXPECT_EQ(ConvertToRGB8(two.get(), dst.get()), rc::InvalidArg(1));
  EXPECT_EQ(ConvertToRGB8(s32.get(), dst.get()), rc::InvalidArg(1));
  EXPECT_EQ(ConvertToRGB8(grey.get(), wrongSize.get()), rc::InvalidArg(2));
  EXPECT_EQ(ConvertToRGB8(grey.get(), wide.get()), rc::InvalidArg(2));
  EXPECT_EQ(Samples<std::uint8_t>(dst.get()), (Bytes{0, 0, 0}));
}

TEST(ConvertPlanarToRGB, PutsEachPlaneAtItsChannelPosition) {
  const Bytes planes{1, 2, 10, 20, 100, 200};  // red, green, blue planes of two pixels
  auto p8 = MakeImage<std::uint8_t>({2, 1, 3, 1}, planes);
  auto i8 = MakeZeroImage<std::uint8_t>({2, 1, 3, 0, 1});
  ASSERT_EQ(ConvertPlanarToRGB(p8.get(), i8.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(i8.get()), (Bytes{100, 10, 1, 200, 20, 2}));  // B, G, R

  auto p16 = MakeImage<std::uint16_t>({2, 1, 3, 1}, {1, 2, 10, 20, 100, 200});
  auto i16 = MakeZeroImage<std::uint16_t>({2, 1, 3});
  ASSERT_EQ(ConvertPlanarToRGB(p16.get(), i16.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint16_t>(i16.get()), (Words{1, 10, 100, 2, 20, 200}));  // R, G, B

  EXPECT_EQ(ConvertPlanarToRGB(i16.get(), i16.get()), rc::InvalidArg(1));  // not planar
  auto i16Small = MakeZeroImage<std::uint16_t>({1, 1, 3});
  EXPECT_EQ(ConvertPlanarToRGB(p16.get(), i16Small.get()), rc::InvalidArg(2));
  EXPECT_EQ(ConvertPlanarToRGB(p16.get(), i8.get()), rc::InvalidArg(2));  // other type
}

TEST(ConvertRGBA8ToRGB8, DropsTheAlphaByte) {
  auto bgra = MakeImage<std::uint8_t>({2, 1, 4, 0, 3}, {1, 2, 3, 4, 5, 6, 7, 8});
  auto dst = Bgr8(2, 1);
  ASSERT_EQ(ConvertRGBA8ToRGB8(bgra.get(), dst.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(dst.get()), (Bytes{1, 2, 3, 5, 6, 7}));
  EXPECT_EQ(ConvertRGBA8ToRGB8(dst.get(), dst.get()), rc::InvalidArg(1));
  auto small = Bgr8(1, 1);
  EXPECT_EQ(ConvertRGBA8ToRGB8(bgra.get(), small.get()), rc::InvalidArg(2));
}

TEST(SwapRedAndBlue, SwapsFirstAndThirdSample) {
  auto img = MakeImage<std::uint16_t>({2, 1, 4}, {1, 2, 3, 4, 5, 6, 7, 8});
  ASSERT_EQ(SwapRedAndBlue(img.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint16_t>(img.get()), (Words{3, 2, 1, 4, 7, 6, 5, 8}));
  auto grey = MakeImage<std::uint8_t>({1, 1}, {1});
  EXPECT_EQ(SwapRedAndBlue(grey.get()), rc::InvalidArg(1));
  auto planar = MakeImage<std::uint8_t>({1, 1, 3, 1}, {1, 2, 3});
  EXPECT_EQ(SwapRedAndBlue(planar.get()), rc::InvalidArg(1));
}

TEST(ConvertPackPixelToPlanar, SplitsAGeneralMosaicBySite) {
  // A 2 x 3 pattern: 5 x 7 samples hold 2 x 2 whole cells (the odd column and row are dropped).
  std::vector<std::uint16_t> v;
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 5; ++x) v.push_back(std::uint16_t(10 * y + x));
  auto mosaic = MakeImage<std::uint16_t>({5, 7, 1, 0, 2}, v);
  mosaic->bayerGrid = eBayerMosaic;
  mosaic->patternWidth = 2;
  mosaic->patternHeight = 3;
  auto planes = MakeZeroImage<std::uint16_t>({2, 2, 6, 1, 4});
  ASSERT_EQ(ConvertPackPixelToPlanar(mosaic.get(), planes.get()), rc::Ok);
  EXPECT_EQ(planes->packCount, 6);
  // Plane i holds site (i % 2, i / 2); cell (cx, cy) starts at column 2 cx, row 3 cy.
  for (int i = 0; i < 6; ++i)
    for (int cy = 0; cy < 2; ++cy)
      for (int cx = 0; cx < 2; ++cx)
        EXPECT_EQ(SampleAt<std::uint16_t>(planes.get(), cx, cy, i),
                  10 * (3 * cy + i / 2) + 2 * cx + i % 2)
            << "plane " << i << " cell " << cx << "," << cy;

  auto wrong = MakeZeroImage<std::uint16_t>({2, 2, 4, 1});
  EXPECT_EQ(ConvertPackPixelToPlanar(mosaic.get(), wrong.get()), rc::InvalidArg(2));
  mosaic->patternHeight = 0;
  EXPECT_EQ(ConvertPackPixelToPlanar(mosaic.get(), planes.get()), rc::InvalidArg(1));
}

TEST(ConvertPackPixelToPlanar, SplitsInterleavedChannelsInLogicalOrder) {
  auto bgr = MakeImage<std::uint8_t>({2, 1, 3, 0, 1}, {1, 2, 3, 4, 5, 6});
  auto planes = MakeZeroImage<std::uint8_t>({2, 1, 3, 1, 2});
  ASSERT_EQ(ConvertPackPixelToPlanar(bgr.get(), planes.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(planes.get()), (Bytes{3, 6, 2, 5, 1, 4}));  // R, G, B planes

  auto rgb = MakeImage<double>({2, 1, 3}, {1, 2, 3, 4, 5, 6});
  auto dplanes = MakeZeroImage<double>({2, 1, 3, 1});
  ASSERT_EQ(ConvertPackPixelToPlanar(rgb.get(), dplanes.get()), rc::Ok);
  EXPECT_EQ(Samples<double>(dplanes.get()), (std::vector<double>{1, 4, 2, 5, 3, 6}));

  auto halfSize = MakeZeroImage<std::uint8_t>({1, 1, 3, 1});
  EXPECT_EQ(ConvertPackPixelToPlanar(bgr.get(), halfSize.get()), rc::InvalidArg(2));
  EXPECT_EQ(ConvertPackPixelToPlanar(planes.get(), halfSize.get()), rc::InvalidArg(1));
  EXPECT_EQ(Samples<std::uint8_t>(halfSize.get()), (Bytes{0, 0, 0}));
}

TEST(ConvertPackPixelToPlanar, SplitsABayerMosaicIntoRedGreenBlueGreenPlanes) {
  // GBRG: row 0 is G B, row 1 is R G; the green beside red is in row 1.
  auto mosaic = MakeImage<std::uint16_t>({4, 2, 1, 0, 2, 12, eBayerGBRG},
                                         {1, 2, 11, 12, 3, 4, 13, 14});
  auto planes = MakeZeroImage<std::uint16_t>({2, 1, 4, 1});
  ASSERT_EQ(ConvertPackPixelToPlanar(mosaic.get(), planes.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint16_t>(planes.get()), (Words{3, 13, 4, 14, 2, 12, 1, 11}));
  EXPECT_EQ(planes->packCount, 4);

  auto fullSize = MakeZeroImage<std::uint16_t>({4, 2, 4, 1});
  EXPECT_EQ(ConvertPackPixelToPlanar(mosaic.get(), fullSize.get()), rc::InvalidArg(2));
}

TEST(ConvertDoubleToU, MapsMinimumToMaximumOntoTheBitDepth) {
  auto src = MakeImage<double>({4, 1, 1, 0, 8}, {-2.0, 0.0, 2.0, kNaN});
  auto dst = MakeZeroImage<std::uint16_t>({4, 1, 1, 0, 2});
  ASSERT_EQ(ConvertDoubleToU(src.get(), dst.get(), eNormalizeMinMax, nullptr, nullptr, false),
            rc::Ok);
  EXPECT_EQ(Samples<std::uint16_t>(dst.get()), (Words{0, 32768, 65535, 0}));

  dst->bitDepth = 12;
  const double lo = 0.0;
  ASSERT_EQ(ConvertDoubleToU(src.get(), dst.get(), eNormalizeMinMax, &lo, nullptr, false), rc::Ok);
  EXPECT_EQ(Samples<std::uint16_t>(dst.get()), (Words{0, 0, 4095, 0}));  // below the minimum: 0

  auto flat = MakeImage<double>({2, 1}, {5.0, 5.0});
  auto out = MakeImage<std::uint8_t>({2, 1}, {9, 9});
  ASSERT_EQ(ConvertDoubleToU(flat.get(), out.get(), eNormalizeMinMax, nullptr, nullptr, true),
            rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(out.get()), (Bytes{0, 0}));
}

TEST(ConvertDoubleToU, NormalisesChannelsTogetherOrApartInLogicalOrder) {
  // Red spans 0..10, green 0..100, blue 0..1000; 8-bit colour is stored B, G, R.
  auto src = MakeImage<double>({2, 1, 3}, {0, 0, 0, 10, 100, 1000});
  auto dst = MakeZeroImage<std::uint8_t>({2, 1, 3});
  ASSERT_EQ(ConvertDoubleToU(src.get(), dst.get(), eNormalizeMinMax, nullptr, nullptr, true),
            rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(dst.get()), (Bytes{0, 0, 0, 255, 255, 255}));
  ASSERT_EQ(ConvertDoubleToU(src.get(), dst.get(), eNormalizeMinMax, nullptr, nullptr, false),
            rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(dst.get()), (Bytes{0, 0, 0, 255, 26, 3}));
}

TEST(ConvertDoubleToU, ClampsAndRounds) {
  auto src = MakeImage<double>({6, 1}, {-3.7, 2.4, 2.5, 70000.0, kNaN, 65535.0});
  auto dst = MakeZeroImage<std::uint16_t>({6, 1});
  dst->bitDepth = 0;  // the type's width
  ASSERT_EQ(ConvertDoubleToU(src.get(), dst.get(), eNormalizeClamp, nullptr, nullptr, false),
            rc::Ok);
  EXPECT_EQ(Samples<std::uint16_t>(dst.get()), (Words{0, 2, 3, 65535, 0, 65535}));
  EXPECT_EQ(dst->bitDepth, 16);
}

// Whole numbers that fit are sample levels: kept, with the depth of the largest, silently.
// Anything else is stretched as by eNormalizeMinMax, and the range is reported.
TEST(ConvertDoubleToU, KeepsWholeNumbersThatFitAndReportsEveryStretch) {
  auto levels = MakeImage<double>({4, 1, 1, 0, 8}, {1.0, 50.0, 0.0, 17.0});
  auto dst = MakeZeroImage<std::uint16_t>({4, 1, 1, 0, 2});
  {
    const zel::testing::LogCapture capture(QtWarningMsg);
    ASSERT_EQ(ConvertDoubleToU(levels.get(), dst.get(), eNormalizeKeepIntegers, nullptr, nullptr,
                               false),
              rc::Ok);
    EXPECT_TRUE(capture.lines().isEmpty());
  }
  EXPECT_EQ(Samples<std::uint16_t>(dst.get()), (Words{1, 50, 0, 17}));
  EXPECT_EQ(dst->bitDepth, 6);
  auto zeros = MakeImage<double>({2, 1}, {0.0, 0.0});
  auto zerosOut = MakeZeroImage<std::uint8_t>({2, 1});
  ASSERT_EQ(ConvertDoubleToU(zeros.get(), zerosOut.get(), eNormalizeKeepIntegers, nullptr, nullptr,
                             false),
            rc::Ok);
  EXPECT_EQ(zerosOut->bitDepth, 1);

  struct Case {
    std::vector<double> values;
    Words expected;
    const char* range;
  };
  for (const Case& c : {Case{{0.5, 1.0, 1.5, 2.5}, {0, 16384, 32768, 65535}, "[0.5, 2.5]"},
                        Case{{-1.0, 0.0, 1.0, 3.0}, {0, 16384, 32768, 65535}, "[-1, 3]"},
                        Case{{0.0, 70000.0, 35000.0, kNaN}, {0, 65535, 32768, 0}, "[0, 70000]"}}) {
    SCOPED_TRACE(c.range);
    auto src = MakeImage<double>({4, 1, 1, 0, 8}, c.values);
    auto out = MakeZeroImage<std::uint16_t>({4, 1});
    const zel::testing::LogCapture capture(QtWarningMsg);
    ASSERT_EQ(
        ConvertDoubleToU(src.get(), out.get(), eNormalizeKeepIntegers, nullptr, nullptr, false),
        rc::Ok);
    EXPECT_EQ(Samples<std::uint16_t>(out.get()), c.expected);
    EXPECT_EQ(out->bitDepth, 16);
    ASSERT_EQ(capture.lines().size(), 1);
    EXPECT_TRUE(capture.lines()[0].contains(QLatin1String(c.range)))
        << capture.lines()[0].toStdString();
    EXPECT_TRUE(capture.lines()[0].contains(QLatin1String("0..65535")));
  }

  // The destination's range decides what fits: 300 does not fit 8 bits.
  auto wide = MakeImage<double>({2, 1}, {0.0, 300.0});
  auto bytes = MakeZeroImage<std::uint8_t>({2, 1});
  const zel::testing::LogCapture capture(QtWarningMsg);
  ASSERT_EQ(ConvertDoubleToU(wide.get(), bytes.get(), eNormalizeKeepIntegers, nullptr, nullptr,
                             false),
            rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(bytes.get()), (Bytes{0, 255}));
  EXPECT_EQ(capture.lines().size(), 1);
}

TEST(ConvertDoubleToU, RefusesBadArgumentsWithoutWriting) {
  auto src = MakeImage<double>({1, 1}, {1.0});
  auto dst = MakeImage<std::uint16_t>({1, 1}, {7});
  auto notDouble = MakeImage<float>({1, 1}, {1.0f});
  auto signedDst = MakeZeroImage<std::int16_t>({1, 1});
  auto wrongSize = MakeZeroImage<std::uint16_t>({2, 1});
  EXPECT_EQ(ConvertDoubleToU(notDouble.get(), dst.get(), 0, nullptr, nullptr, false),
            rc::InvalidArg(1));
  EXPECT_EQ(ConvertDoubleToU(src.get(), signedDst.get(), 0, nullptr, nullptr, false),
            rc::InvalidArg(2));
  EXPECT_EQ(ConvertDoubleToU(src.get(), wrongSize.get(), 0, nullptr, nullptr, false),
            rc::InvalidArg(2));
  dst->bitDepth = 17;
  EXPECT_EQ(ConvertDoubleToU(src.get(), dst.get(), 0, nullptr, nullptr, false), rc::InvalidArg(2));
  dst->bitDepth = 16;
  EXPECT_EQ(ConvertDoubleToU(src.get(), dst.get(), 3, nullptr, nullptr, false), rc::InvalidArg(3));
  EXPECT_EQ(SampleAt<std::uint16_t>(dst.get(), 0, 0), 7);
}
