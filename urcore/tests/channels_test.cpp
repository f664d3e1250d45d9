#include <ur/channels.h>
#include <ur/histogram.h>

#include <zel_testing/image_builder.h>

#include <gtest/gtest.h>

#include <vector>

using namespace ur;
using zel::testing::MakeImage;
using zel::testing::SampleAt;

TEST(ChannelOrder, ByteColourIsBgrAndWideColourIsRgb) {
  SxImageInfo i;
  i.channels = 3;
  i.dataType = eImageDataUInt8;
  EXPECT_EQ(ChannelIndexLogicalToPhysical(0, i), 2);
  EXPECT_EQ(ChannelIndexLogicalToPhysical(1, i), 1);
  EXPECT_EQ(ChannelIndexLogicalToPhysical(2, i), 0);
  i.channels = 4;
  EXPECT_EQ(ChannelIndexLogicalToPhysical(3, i), 3);  // alpha stays last
  i.dataType = eImageDataUInt16;
  EXPECT_EQ(ChannelIndexLogicalToPhysical(0, i), 0);
  i.dataType = eImageDataDouble;
  EXPECT_EQ(ChannelIndexLogicalToPhysical(2, i), 2);
  i.dataType = eImageDataUInt8;
  i.planar = 1;
  EXPECT_EQ(ChannelIndexLogicalToPhysical(0, i), 0);
  i.planar = 0;
  i.channels = 1;
  EXPECT_EQ(ChannelIndexLogicalToPhysical(0, i), 0);
}

TEST(SetChannel, WritesOnlyThatChannelAndSaturates) {
  auto rgb = zel::testing::MakeZeroImage<std::uint8_t>({2, 2, 3, 0, 5});
  ASSERT_EQ(SetChannel(rgb.get(), 0, 300.0), rc::Ok);  // red, saturated to 255
  EXPECT_EQ(SampleAt<std::uint8_t>(rgb.get(), 1, 1, 2), 255);
  EXPECT_EQ(SampleAt<std::uint8_t>(rgb.get(), 1, 1, 0), 0);
  EXPECT_EQ(rgb->data[6], 0xCD);  // row padding untouched

  auto planar = zel::testing::MakeZeroImage<std::uint16_t>({3, 2, 2, 1});
  ASSERT_EQ(SetChannel(planar.get(), 1, 7.0), rc::Ok);
  EXPECT_EQ(SampleAt<std::uint16_t>(planar.get(), 2, 1, 1), 7);
  EXPECT_EQ(SampleAt<std::uint16_t>(planar.get(), 2, 1, 0), 0);

  EXPECT_EQ(SetChannel(planar.get(), 2, 1.0), rc::InvalidArg(2));
  SxImageBuf empty;
  EXPECT_EQ(SetChannel(empty, 0, 1.0), rc::InvalidArg(1));
}

TEST(HistogramMasked, CountsMaskedPixelsPerLogicalChannel) {
  // Two 8-bit BGR pixels in memory; the mask excludes the second.
  auto img = MakeImage<std::uint8_t>({2, 1, 3}, {10, 20, 30, 10, 20, 31});
  auto mask = MakeImage<std::uint8_t>({2, 1, 1}, {1, 0});
  std::vector<std::uint64_t> h(3 * 256, 0);
  ASSERT_EQ(HistogramMasked(img.get(), &mask.get(), h.data(), 256), rc::Ok);
  EXPECT_EQ(h[0 * 256 + 30], 1u);  // red is byte 2
  EXPECT_EQ(h[0 * 256 + 31], 0u);
  EXPECT_EQ(h[2 * 256 + 10], 1u);
  ASSERT_EQ(HistogramMasked(img.get(), nullptr, h.data(), 256), rc::Ok);  // adds up
  EXPECT_EQ(h[2 * 256 + 10], 3u);

  // Samples beyond the table are not counted.
  auto wide = MakeImage<std::uint16_t>({2, 1, 1, 0, 0, 10}, {5, 4000});
  std::vector<std::uint64_t> h10(1024, 0);
  ASSERT_EQ(HistogramMasked(wide.get(), nullptr, h10.data(), 1024), rc::Ok);
  EXPECT_EQ(h10[5], 1u);

  auto badMask = MakeImage<std::uint8_t>({1, 1, 1}, {1});
  EXPECT_EQ(HistogramMasked(img.get(), &badMask.get(), h.data(), 256), rc::InvalidArg(2));
  EXPECT_EQ(HistogramMasked(img.get(), nullptr, nullptr, 256), rc::InvalidArg(3));
  EXPECT_EQ(HistogramMasked(img.get(), nullptr, h.data(), 0), rc::InvalidArg(4));
}
