#include <ur/bayer.h>
#include <ur/geometry.h>

#include <zel_testing/image_builder.h>

#include <gtest/gtest.h>

#include <cstdint>
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

// Samples 0, 1, 2, ... in memory order.
template <typename T>
std::vector<T> Counting(std::size_t n) {
  std::vector<T> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = T(i);
  return v;
}

// Every padding byte after the pixels of every row of every plane still holds 0xCD.
bool PaddingIntact(const SxImageBuf& b) {
  const std::size_t used = std::size_t(MinLinePitch(b));
  for (int p = 0; p < (b.planar ? b.channels : 1); ++p)
    for (int y = 0; y < b.height; ++y)
      for (std::size_t i = used; i < std::size_t(b.linePitch); ++i)
        if (RowPtr(b, y, p)[i] != 0xCD) return false;
  return true;
}

// A mosaic sample that tells its colour: red 100s, green 50s, blue 200s, plus a small variation.
std::uint16_t ColourCoded(ExBayerGrid grid, int x, int y) {
  static const int kBase[3] = {100, 50, 200};
  return std::uint16_t(kBase[ColorAt(grid, x, y)] + (x + 3 * y) % 10);
}

ExBayerColor ColourOfCode(std::uint16_t v) {
  return v >= 200 ? eColorBlue : v >= 100 ? eColorRed : eColorGreen;
}

ScopedImageBuf ColourCodedMosaic(ExBayerGrid grid, int width, int height) {
  std::vector<std::uint16_t> v;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) v.push_back(ColourCoded(grid, x, y));
  return MakeImage<std::uint16_t>({width, height, 1, 0, 2, 12, grid}, v);
}

void ExpectMosaicOfGrid(const SxImageBuf& b, ExBayerGrid grid) {
  for (int y = 0; y < b.height; ++y)
    for (int x = 0; x < b.width; ++x)
      EXPECT_EQ(ColourOfCode(SampleAt<std::uint16_t>(b, x, y)), ColorAt(grid, x, y))
          << "at " << x << "," << y;
}
}  // namespace

TEST(ReverseRowOrder, ReversesOddAndEvenHeightsAndKeepsPadding) {
  auto odd = MakeImage<std::uint16_t>({2, 3, 1, 0, 2}, {1, 2, 3, 4, 5, 6});
  ASSERT_EQ(ReverseRowOrder(odd.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint16_t>(odd.get()), (Words{5, 6, 3, 4, 1, 2}));
  EXPECT_TRUE(PaddingIntact(odd.get()));

  auto even = MakeImage<std::uint8_t>({1, 4, 3, 0, 1}, Counting<std::uint8_t>(12));
  ASSERT_EQ(ReverseRowOrder(even.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(even.get()), (Bytes{9, 10, 11, 6, 7, 8, 3, 4, 5, 0, 1, 2}));
  EXPECT_TRUE(PaddingIntact(even.get()));
  ASSERT_EQ(ReverseRowOrder(even.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(even.get()), Counting<std::uint8_t>(12));  // twice: identity
}

TEST(ReverseRowOrder, ReversesEveryPlaneOnItsOwn) {
  auto planar = MakeImage<double>({2, 3, 2, 1, 8}, Counting<double>(12));
  ASSERT_EQ(ReverseRowOrder(planar.get()), rc::Ok);
  EXPECT_EQ(Samples<double>(planar.get()),
            (std::vector<double>{4, 5, 2, 3, 0, 1, 10, 11, 8, 9, 6, 7}));
  EXPECT_TRUE(PaddingIntact(planar.get()));
  ASSERT_EQ(ReverseRowOrder(planar.get()), rc::Ok);
  EXPECT_EQ(Samples<double>(planar.get()), Counting<double>(12));

  auto single = MakeImage<std::uint8_t>({3, 1}, {1, 2, 3});
  ASSERT_EQ(ReverseRowOrder(single.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(single.get()), (Bytes{1, 2, 3}));
  SxImageBuf empty;
  EXPECT_EQ(ReverseRowOrder(empty), rc::InvalidArg(1));
}

TEST(Transpose, SwapsRowsAndColumnsOfAnAsymmetricImage) {
  // 3 x 2:  1 2 3      2 x 3:  1 4
  //         4 5 6              2 5
  //                            3 6
  auto src = MakeImage<std::uint16_t>({3, 2, 1, 0, 2}, {1, 2, 3, 4, 5, 6});
  auto dst = MakeZeroImage<std::uint16_t>({2, 3, 1, 0, 4});
  ASSERT_EQ(Transpose(src.get(), dst.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint16_t>(dst.get()), (Words{1, 4, 2, 5, 3, 6}));
  EXPECT_TRUE(PaddingIntact(dst.get()));

  // Interleaved pixels move whole; planes move one by one.
  auto bgr = MakeImage<std::uint8_t>({3, 2, 3}, Counting<std::uint8_t>(18));
  auto bgrT = MakeZeroImage<std::uint8_t>({2, 3, 3, 0, 1});
  ASSERT_EQ(Transpose(bgr.get(), bgrT.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(bgrT.get()),
            (Bytes{0, 1, 2, 9, 10, 11, 3, 4, 5, 12, 13, 14, 6, 7, 8, 15, 16, 17}));

  auto planar = MakeImage<double>({3, 2, 2, 1}, Counting<double>(12));
  auto planarT = MakeZeroImage<double>({2, 3, 2, 1, 8});
  ASSERT_EQ(Transpose(planar.get(), planarT.get()), rc::Ok);
  EXPECT_EQ(Samples<double>(planarT.get()),
            (std::vector<double>{0, 3, 1, 4, 2, 5, 6, 9, 7, 10, 8, 11}));
}

TEST(Transpose, HandlesImagesLargerThanOneTile) {
  const int w = 70, h = 33;
  auto src = MakeImage<std::uint32_t>({w, h, 1, 0, 4}, Counting<std::uint32_t>(std::size_t(w) * h));
  auto dst = MakeZeroImage<std::uint32_t>({h, w});
  ASSERT_EQ(Transpose(src.get(), dst.get()), rc::Ok);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      ASSERT_EQ(SampleAt<std::uint32_t>(dst.get(), y, x), std::uint32_t(y * w + x));
}

TEST(Transpose, RefusesMismatchedImagesWithoutWriting) {
  auto src = MakeImage<std::uint8_t>({3, 2}, {1, 2, 3, 4, 5, 6});
  auto sameShape = MakeZeroImage<std::uint8_t>({3, 2});
  auto otherType = MakeZeroImage<std::uint16_t>({2, 3});
  auto otherLayout = MakeZeroImage<std::uint8_t>({2, 3, 1, 1});
  auto ok = MakeZeroImage<std::uint8_t>({2, 3});
  EXPECT_EQ(Transpose(src.get(), sameShape.get()), rc::InvalidArg(2));
  EXPECT_EQ(Transpose(src.get(), otherType.get()), rc::InvalidArg(2));
  EXPECT_EQ(Transpose(src.get(), otherLayout.get()), rc::Ok);  // one plane is one image
  EXPECT_EQ(Samples<std::uint8_t>(sameShape.get()), (Bytes(6, 0)));
  SxImageBuf empty;
  EXPECT_EQ(Transpose(empty, ok.get()), rc::InvalidArg(1));
}

TEST(Resample, AveragesWhenReducing) {
  // 4 x 2 -> 2 x 1: each output pixel is the rounded mean of a 2 x 2 block.
  auto src = MakeImage<std::uint8_t>({4, 2, 1, 0, 3}, {0, 1, 10, 20, 2, 4, 30, 41});
  auto dst = MakeZeroImage<std::uint8_t>({2, 1, 1, 0, 1});
  ASSERT_EQ(Resample(src.get(), dst.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(dst.get()), (Bytes{2, 25}));  // 7/4 -> 2, 101/4 -> 25

  // Channels are averaged apart, in every layout.
  auto rgb = MakeImage<std::uint16_t>({2, 1, 3}, {100, 0, 1000, 300, 2, 3000});
  auto rgb1 = MakeZeroImage<std::uint16_t>({1, 1, 3, 0, 2});
  ASSERT_EQ(Resample(rgb.get(), rgb1.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint16_t>(rgb1.get()), (Words{200, 1, 2000}));

  auto planar = MakeImage<float>({3, 1, 2, 1}, {1, 2, 3, -1, -2, -6});
  auto planar1 = MakeZeroImage<float>({1, 1, 2, 1});
  ASSERT_EQ(Resample(planar.get(), planar1.get()), rc::Ok);
  EXPECT_EQ(Samples<float>(planar1.get()), (std::vector<float>{2.0f, -3.0f}));
}

TEST(Resample, RepeatsTheNearestPixelWhenEnlarging) {
  auto src = MakeImage<std::uint8_t>({2, 2}, {1, 2, 3, 4});
  auto dst = MakeZeroImage<std::uint8_t>({4, 3, 1, 0, 2});
  ASSERT_EQ(Resample(src.get(), dst.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(dst.get()), (Bytes{1, 1, 2, 2, 3, 3, 4, 4, 3, 3, 4, 4}));
  EXPECT_TRUE(PaddingIntact(dst.get()));

  // Reducing one axis while enlarging the other.
  auto wide = MakeImage<std::int16_t>({4, 1}, {-1, -2, 5, 8});
  auto tall = MakeZeroImage<std::int16_t>({2, 2});
  ASSERT_EQ(Resample(wide.get(), tall.get()), rc::Ok);
  EXPECT_EQ(Samples<std::int16_t>(tall.get()), (std::vector<std::int16_t>{-2, 7, -2, 7}));
}

TEST(Resample, KeepsABayerMosaicAMosaicOfTheSameGrid) {
  for (ExBayerGrid grid : {eBayerBGGR, eBayerRGGB, eBayerGBRG, eBayerGRBG}) {
    SCOPED_TRACE(grid);
    auto src = ColourCodedMosaic(grid, 12, 9);
    for (auto [w, h] : {std::pair{4, 4}, std::pair{6, 2}, std::pair{16, 14}, std::pair{5, 7},
                        std::pair{12, 9}, std::pair{13, 3}}) {
      auto dst = MakeZeroImage<std::uint16_t>({w, h, 1, 0, 2, 12, grid});
      ASSERT_EQ(Resample(src.get(), dst.get()), rc::Ok);
      ExpectMosaicOfGrid(dst.get(), grid);
    }
  }
  // Reducing 4 x 2 cells to 2 x 1 averages each site over two cells.
  auto src = MakeImage<std::uint8_t>({4, 2, 1, 0, 0, 8, eBayerRGGB},
                                     {10, 50, 20, 60, 51, 200, 61, 210});
  auto dst = MakeZeroImage<std::uint8_t>({2, 2, 1, 0, 0, 8, eBayerRGGB});
  ASSERT_EQ(Resample(src.get(), dst.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(dst.get()), (Bytes{15, 55, 56, 205}));

  // The same size copies, odd sizes included.
  auto odd = ColourCodedMosaic(eBayerGRBG, 5, 3);
  auto same = MakeZeroImage<std::uint16_t>({5, 3, 1, 0, 2, 12, eBayerGRBG});
  ASSERT_EQ(Resample(odd.get(), same.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint16_t>(same.get()), Samples<std::uint16_t>(odd.get()));

  auto tooSmall = MakeImage<std::uint16_t>({1, 2, 1, 0, 0, 12, eBayerRGGB}, {100, 50});
  EXPECT_EQ(Resample(tooSmall.get(), same.get()), rc::InvalidArg(1));
  EXPECT_EQ(Samples<std::uint16_t>(same.get()), Samples<std::uint16_t>(odd.get()));
}

TEST(Resample, RefusesMismatchedImagesWithoutWriting) {
  auto src = MakeImage<std::uint8_t>({2, 1}, {1, 2});
  auto otherType = MakeZeroImage<std::uint16_t>({1, 1});
  auto otherChannels = MakeZeroImage<std::uint8_t>({1, 1, 3});
  EXPECT_EQ(Resample(src.get(), otherType.get()), rc::InvalidArg(2));
  EXPECT_EQ(Resample(src.get(), otherChannels.get()), rc::InvalidArg(2));
  EXPECT_EQ(Samples<std::uint8_t>(otherChannels.get()), (Bytes{0, 0, 0}));
  SxImageBuf empty;
  EXPECT_EQ(Resample(empty, otherType.get()), rc::InvalidArg(1));
}

TEST(MirroredBorder, MirrorsWithoutRepeatingTheEdge) {
  // 3 x 2 with 2 on every side; columns read c b | a b c | b a, rows alternate.
  auto src = MakeImage<std::uint8_t>({3, 2, 1, 0, 1}, {1, 2, 3, 4, 5, 6});
  SxImageBuf dst;
  ASSERT_EQ(AllocAndCreateMirroredBorderImage(src.get(), dst, 2, 2, 2, 2), rc::Ok);
  ScopedImageBuf owned(dst);
  ASSERT_EQ(dst.width, 7);
  ASSERT_EQ(dst.height, 6);
  const Bytes r0{3, 2, 1, 2, 3, 2, 1};
  const Bytes r1{6, 5, 4, 5, 6, 5, 4};
  Bytes expected;
  for (int y = 0; y < 6; ++y) {
    const Bytes& row = (y % 2 == 0) ? r0 : r1;
    expected.insert(expected.end(), row.begin(), row.end());
  }
  EXPECT_EQ(Samples<std::uint8_t>(dst), expected);
}

TEST(MirroredBorder, MirrorsBackAndForthWhenTheMarginIsWiderThanTheImage) {
  auto src = MakeImage<std::uint16_t>({3, 2}, {1, 2, 3, 4, 5, 6});
  SxImageBuf dst;
  ASSERT_EQ(AllocAndCreateMirroredBorderImage(src.get(), dst, 5, 5, 5, 5), rc::Ok);
  ScopedImageBuf owned(dst);
  ASSERT_EQ(dst.width, 13);
  ASSERT_EQ(dst.height, 12);
  // Columns -5..7 read 1 0 1 2 1 | 0 1 2 | 1 0 1 2 1; rows -5..6 read 1 0 1 0 1 | 0 1 | 0 1 0 1 0.
  const Words r0{2, 1, 2, 3, 2, 1, 2, 3, 2, 1, 2, 3, 2};
  const Words r1{5, 4, 5, 6, 5, 4, 5, 6, 5, 4, 5, 6, 5};
  for (int y = 0; y < 12; ++y) {
    const Words& row = (y % 2 == 0) ? r1 : r0;
    for (int x = 0; x < 13; ++x)
      EXPECT_EQ(SampleAt<std::uint16_t>(dst, x, y), row[x]) << "at " << x << "," << y;
  }
}

TEST(MirroredBorder, FillsAnAllocatedImageInPlaceWithUnequalMargins) {
  // Left 1, top 0, right 2, bottom 1, planar with two planes and padded rows.
  auto src = MakeImage<std::uint8_t>({3, 2, 2, 1}, {1, 2, 3, 4, 5, 6, 11, 12, 13, 14, 15, 16});
  auto dst = MakeZeroImage<std::uint8_t>({6, 3, 2, 1, 3});
  unsigned char* const pixels = dst->data;
  ASSERT_EQ(AllocAndCreateMirroredBorderImage(src.get(), dst.get(), 1, 0, 2, 1), rc::Ok);
  EXPECT_EQ(dst->data, pixels);  // not reallocated
  EXPECT_EQ(Samples<std::uint8_t>(dst.get()),
            (Bytes{2, 1, 2, 3, 2, 1, 5, 4, 5, 6, 5, 4, 2, 1, 2, 3, 2, 1,
                   12, 11, 12, 13, 12, 11, 15, 14, 15, 16, 15, 14, 12, 11, 12, 13, 12, 11}));
  EXPECT_TRUE(PaddingIntact(dst.get()));
}

TEST(MirroredBorder, KeepsTheMosaicPatternAndNamesTheNewTopLeftCell) {
  auto src = ColourCodedMosaic(eBayerRGGB, 6, 4);
  SxImageBuf dst;
  ASSERT_EQ(AllocAndCreateMirroredBorderImage(src.get(), dst, 5, 3, 5, 5), rc::Ok);
  ScopedImageBuf owned(dst);
  // Odd left and top margins: the top-left pixel mirrors (5, 3), a blue site.
  EXPECT_EQ(dst.bayerGrid, eBayerBGGR);
  EXPECT_EQ(dst.bitDepth, 12);
  ExpectMosaicOfGrid(dst, dst.bayerGrid);
}

TEST(MirroredBorder, RefusesBadArgumentsWithoutWriting) {
  auto src = MakeImage<std::uint8_t>({3, 2}, {1, 2, 3, 4, 5, 6});
  auto wrongSize = MakeZeroImage<std::uint8_t>({7, 5});
  auto wrongType = MakeZeroImage<std::uint16_t>({7, 6});
  EXPECT_EQ(AllocAndCreateMirroredBorderImage(src.get(), wrongSize.get(), 2, 2, 2, 2),
            rc::InvalidArg(2));
  EXPECT_EQ(AllocAndCreateMirroredBorderImage(src.get(), wrongType.get(), 2, 2, 2, 2),
            rc::InvalidArg(2));
  EXPECT_EQ(Samples<std::uint8_t>(wrongSize.get()), (Bytes(35, 0)));

  SxImageBuf dst;
  EXPECT_EQ(AllocAndCreateMirroredBorderImage(src.get(), dst, -1, 0, 0, 0), rc::InvalidArg(3));
  EXPECT_EQ(AllocAndCreateMirroredBorderImage(src.get(), dst, 0, -1, 0, 0), rc::InvalidArg(4));
  EXPECT_EQ(AllocAndCreateMirroredBorderImage(src.get(), dst, 0, 0, -1, 0), rc::InvalidArg(5));
  EXPECT_EQ(AllocAndCreateMirroredBorderImage(src.get(), dst, 0, 0, 0, -1), rc::InvalidArg(6));
  EXPECT_EQ(dst.data, nullptr);
  SxImageBuf empty;
  EXPECT_EQ(AllocAndCreateMirroredBorderImage(empty, dst, 1, 1, 1, 1), rc::InvalidArg(1));
  EXPECT_EQ(dst.data, nullptr);
}
