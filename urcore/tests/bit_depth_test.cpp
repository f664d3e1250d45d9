#include <ur/bit_depth.h>

#include <zel_testing/image_builder.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using namespace ur;
using zel::testing::ImageShape;
using zel::testing::MakeImage;
using zel::testing::SampleAt;
using zel::testing::Samples;

namespace {
// A one-row 16-bit image; its rows are padded with 0xCDCD, which must never count as a sample.
ScopedImageBuf Row16(const std::vector<std::uint16_t>& samples) {
  return MakeImage<std::uint16_t>({int(samples.size()), 1, 1, 0, 4}, samples);
}

int Detect(SxImageBuf& buf, int maxBitDepth = 0) {
  EXPECT_EQ(DetectColorBitDepth(buf, maxBitDepth), rc::Ok);
  return buf.bitDepth;
}
}  // namespace

TEST(DetectColorBitDepth, FindsTheLeastDepthThatHoldsTheLargestSample) {
  auto a = Row16({3, 1000, 17});
  EXPECT_EQ(Detect(a.get()), 10);
  auto b = Row16({1023, 1024});
  EXPECT_EQ(Detect(b.get()), 11);
  auto c = Row16({0, 0});
  EXPECT_EQ(Detect(c.get()), 1);  // an all-black image still has one bit
  auto d = Row16({65535});
  EXPECT_EQ(Detect(d.get()), 16);

  auto bytes = MakeImage<std::uint8_t>({2, 2, 1, 0, 3}, {1, 5, 2, 0});
  EXPECT_EQ(Detect(bytes.get()), 3);
  auto words = MakeImage<std::uint32_t>({2, 1}, {70000, 1});
  EXPECT_EQ(Detect(words.get()), 17);
}

TEST(DetectColorBitDepth, CountsEveryChannelAndPlane) {
  // The largest sample is the last channel of the last pixel, and the last plane.
  auto rgb = MakeImage<std::uint16_t>({2, 2, 3, 0, 6},
                                      {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 4000});
  EXPECT_EQ(Detect(rgb.get()), 12);
  auto planar = MakeImage<std::uint16_t>({2, 1, 3, 1, 2}, {1, 1, 2, 2, 3, 300});
  EXPECT_EQ(Detect(planar.get()), 9);
}

TEST(DetectColorBitDepth, CapsAtThePositiveMaximum) {
  auto a = Row16({4095});
  EXPECT_EQ(Detect(a.get(), 10), 10);
  EXPECT_EQ(Detect(a.get(), 14), 12);  // a cap above the need changes nothing
  EXPECT_EQ(Detect(a.get(), -3), 12);  // not positive: no cap
}

TEST(DetectColorBitDepth, RefusesOtherTypesAndEmptyImages) {
  auto f = MakeImage<float>({1, 1}, {3.0f});
  f->bitDepth = 5;
  EXPECT_EQ(DetectColorBitDepth(f.get()), rc::InvalidArg(1));
  EXPECT_EQ(f->bitDepth, 5);
  auto s = MakeImage<std::int16_t>({1, 1}, {3});
  EXPECT_EQ(DetectColorBitDepth(s.get()), rc::InvalidArg(1));
  SxImageBuf empty;
  EXPECT_EQ(DetectColorBitDepth(empty), rc::InvalidArg(1));
}

TEST(ReduceBits, ShiftsTwelveBitDataToEightBits) {
  auto src = MakeImage<std::uint16_t>({5, 1, 1, 0, 2, 12}, {0, 15, 16, 2048, 4095});
  auto dst = zel::testing::MakeZeroImage<std::uint8_t>({5, 1, 1, 0, 3});
  ASSERT_EQ(ReduceBits(src.get(), dst.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(dst.get()), (std::vector<std::uint8_t>{0, 0, 1, 128, 255}));
  EXPECT_EQ(dst->bitDepth, 8);
  EXPECT_EQ(RowPtr(dst.get(), 0)[5], 0xCD);  // padding untouched
}

TEST(ReduceBits, KeepsLogicalChannelsAndSaturatesSamplesAboveTheDepth) {
  // 16-bit colour is R, G, B in memory, 8-bit colour B, G, R.
  auto src = MakeImage<std::uint16_t>({1, 1, 3, 0, 0, 10}, {1023, 512, 4000});
  auto dst = zel::testing::MakeZeroImage<std::uint8_t>({1, 1, 3});
  ASSERT_EQ(ReduceBits(src.get(), dst.get()), rc::Ok);
  EXPECT_EQ(SampleAt<std::uint8_t>(dst.get(), 0, 0, 2), 255);  // red
  EXPECT_EQ(SampleAt<std::uint8_t>(dst.get(), 0, 0, 1), 128);  // green
  EXPECT_EQ(SampleAt<std::uint8_t>(dst.get(), 0, 0, 0), 255);  // blue, 4000 > 1023

  auto eight = MakeImage<std::uint16_t>({2, 1, 1, 0, 0, 8}, {200, 255});
  auto out = zel::testing::MakeZeroImage<std::uint8_t>({2, 1});
  ASSERT_EQ(ReduceBits(eight.get(), out.get()), rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(out.get()), (std::vector<std::uint8_t>{200, 255}));
}

TEST(ReduceBits, RefusesBadImagesWithoutWriting) {
  auto src = MakeImage<std::uint16_t>({2, 1, 1, 0, 0, 12}, {4095, 4095});
  auto bytes = MakeImage<std::uint8_t>({2, 1}, {7, 7});
  auto narrow = MakeImage<std::uint8_t>({1, 1}, {7});
  EXPECT_EQ(ReduceBits(bytes.get(), bytes.get()), rc::InvalidArg(1));
  EXPECT_EQ(ReduceBits(src.get(), narrow.get()), rc::InvalidArg(2));
  EXPECT_EQ(ReduceBits(src.get(), src.get()), rc::InvalidArg(2));  // not 8-bit
  SxImageBuf empty;
  EXPECT_EQ(ReduceBits(src.get(), empty), rc::InvalidArg(2));
  EXPECT_EQ(narrow->data[0], 7);
}

TEST(ShiftBits, ShiftsBothWaysLosingBitsAtTheEdges) {
  auto img = MakeImage<std::uint16_t>({3, 1, 1, 0, 2, 12}, {0x0ABC, 0x1FFF, 0x0007});
  ASSERT_EQ(ShiftBits(img.get(), 4), rc::Ok);
  EXPECT_EQ(Samples<std::uint16_t>(img.get()),
            (std::vector<std::uint16_t>{0xABC0, 0xFFF0, 0x0070}));  // 0x1FFF loses its top bit
  EXPECT_EQ(img->bitDepth, 16);
  EXPECT_EQ(RowPtr(img.get(), 0)[6], 0xCD);

  ASSERT_EQ(ShiftBits(img.get(), -7), rc::Ok);
  EXPECT_EQ(Samples<std::uint16_t>(img.get()),
            (std::vector<std::uint16_t>{0x0157, 0x01FF, 0x0000}));  // 0x70 >> 7 is gone
  EXPECT_EQ(img->bitDepth, 9);

  ASSERT_EQ(ShiftBits(img.get(), -15), rc::Ok);
  EXPECT_EQ(img->bitDepth, 1);  // never below one bit
  ASSERT_EQ(ShiftBits(img.get(), 0), rc::Ok);
  EXPECT_EQ(img->bitDepth, 1);

  auto bytes = MakeImage<std::uint8_t>({2, 1, 2, 1}, {0x81, 0x03, 0x40, 0xFF});
  ASSERT_EQ(ShiftBits(bytes.get(), 1), rc::Ok);  // planar: both planes
  EXPECT_EQ(Samples<std::uint8_t>(bytes.get()),
            (std::vector<std::uint8_t>{0x02, 0x06, 0x80, 0xFE}));
  EXPECT_EQ(bytes->bitDepth, 8);  // kept within the sample's width
}

TEST(ShiftBits, RefusesBadArgumentsWithoutWriting) {
  auto img = MakeImage<std::uint16_t>({1, 1}, {5});
  EXPECT_EQ(ShiftBits(img.get(), 16), rc::InvalidArg(2));
  EXPECT_EQ(ShiftBits(img.get(), -16), rc::InvalidArg(2));
  EXPECT_EQ(SampleAt<std::uint16_t>(img.get(), 0, 0), 5);
  EXPECT_EQ(img->bitDepth, 16);
  auto words = MakeImage<std::uint32_t>({1, 1}, {5});
  EXPECT_EQ(ShiftBits(words.get(), 1), rc::InvalidArg(1));
  EXPECT_EQ(SampleAt<std::uint32_t>(words.get(), 0, 0), 5u);
  SxImageBuf empty;
  EXPECT_EQ(ShiftBits(empty, 1), rc::InvalidArg(1));
}
