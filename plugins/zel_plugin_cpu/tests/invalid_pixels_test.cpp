// Values that thresholding replaced go back into the restored mosaic at the right sites.
#include <gtest/gtest.h>
#include <ur/geometry.h>
#include <zel_testing/image_builder.h>

#include <vector>

#include "plugin_test_support.h"

namespace {

using zel::testing::CpuPlugin;
using zel::testing::MakeImage;
using zel::testing::MakeZeroImage;
using zel::testing::SampleAt;

urs::InvalidPixel Record(int col, int row, std::vector<std::uint32_t> invalid,
                         std::vector<std::uint32_t> replacement) {
  urs::InvalidPixel p;
  p.col = col;
  p.row = row;
  for (std::size_t s = 0; s < invalid.size(); ++s) {
    p.invalidValue[s] = invalid[s];
    p.newValue[s] = replacement[s];
  }
  return p;
}

// One occupied level (42) per channel of 4096: every stored value restores to 42.
struct SingleLevelTables {
  std::vector<unsigned short> mapping = std::vector<unsigned short>(4096, 0);
  std::unique_ptr<bool[]> occupied = std::make_unique<bool[]>(4096);
  SingleLevelTables() { occupied[42] = true; }
};

// A 4 x 3 grey image: records are top-down, the buffers bottom-up.
TEST(InvalidPixels, GreyRecordsRestoreTheirValues) {
  SingleLevelTables t;
  auto zel = MakeZeroImage<std::uint8_t>({4, 3, 1, 0, 2});
  auto raw = MakeZeroImage<std::uint16_t>({4, 3, 1, 0, 2});
  const QVector<urs::InvalidPixel> records = {
      Record(1, 0, {4000}, {42}),  // top row, written
      Record(3, 2, {4095}, {42}),  // bottom-right corner, written
      Record(2, 1, {42}, {42}),    // nothing replaced: not written
      Record(4, 0, {7}, {42}),     // outside: ignored
      Record(0, -1, {7}, {42})};   // outside: ignored
  ASSERT_EQ(CpuPlugin()->convertZelToRaw(zel.get(), raw.get(), t.mapping.data(), t.occupied.get(),
                                         0, &records, 4096, 0),
            ur::rc::Ok);
  ASSERT_EQ(ur::ReverseRowOrder(raw.get()), ur::rc::Ok);
  std::vector<std::uint16_t> expected(12, 42);
  expected[1] = 4000;
  expected[11] = 4095;
  EXPECT_EQ(zel::testing::Samples<std::uint16_t>(raw.get()), expected);
}

// A half-size colour pixel fills its cell: red and blue sites from slots 0 and 2, both
// greens from slot 1; a slot whose values are equal stays as restored.
TEST(InvalidPixels, HalfSizeColourRecordFillsItsCell) {
  SingleLevelTables t;
  auto zel = MakeZeroImage<std::uint8_t>({2, 2, 3});
  auto raw = MakeZeroImage<std::uint16_t>({4, 4, 1, 0, 2});
  const QVector<urs::InvalidPixel> records = {Record(1, 0, {900, 901, 902}, {1, 2, 3}),
                                              Record(0, 1, {903, 42, 904}, {1, 42, 3})};
  const unsigned short* m = t.mapping.data();
  const bool* o = t.occupied.get();
  ASSERT_EQ(CpuPlugin()->convertZelRgbToRaw(zel.get(), raw.get(), m, m, m, nullptr, o, o, o,
                                            nullptr, 0, 0, 0, 0, ur::eBayerGRBG, &records, 4096, 0),
            ur::rc::Ok);
  ASSERT_EQ(ur::ReverseRowOrder(raw.get()), ur::rc::Ok);
  // GRBG: rows G R / B G. Cell (1,0) covers x 2..3, y 0..1; cell (0,1) x 0..1, y 2..3.
  const std::vector<std::uint16_t> expected = {42,  42,  901, 900,  //
                                               42,  42,  902, 901,  //
                                               42,  903, 42,  42,   //
                                               904, 42,  42,  42};
  EXPECT_EQ(zel::testing::Samples<std::uint16_t>(raw.get()), expected);
}

// A full-size colour pixel restores only its own site, from the slot of the site's colour.
TEST(InvalidPixels, FullSizeColourRecordRestoresItsSite) {
  SingleLevelTables t;
  auto zel = MakeZeroImage<std::uint8_t>({3, 2, 3});
  auto raw = MakeZeroImage<std::uint8_t>({3, 2, 1});
  const QVector<urs::InvalidPixel> records = {Record(1, 0, {200, 201, 202}, {1, 2, 3}),
                                              Record(1, 1, {210, 211, 212}, {1, 2, 3})};
  const unsigned short* m = t.mapping.data();
  const bool* o = t.occupied.get();
  ASSERT_EQ(CpuPlugin()->convertZelRgbToRaw(zel.get(), raw.get(), m, m, m, nullptr, o, o, o,
                                            nullptr, 0, 0, 0, 0, ur::eBayerRGGB, &records, 256, 0),
            ur::rc::Ok);
  ASSERT_EQ(ur::ReverseRowOrder(raw.get()), ur::rc::Ok);
  // RGGB: (1,0) is green -> 201; (1,1) is blue -> 212.
  EXPECT_EQ(zel::testing::Samples<std::uint8_t>(raw.get()),
            (std::vector<std::uint8_t>{42, 201, 42, 42, 212, 42}));
}

// A plane record (slot p) restores the site of plane p in its cell of a compacted mosaic.
TEST(InvalidPixels, PlaneRecordRestoresItsPlanesSite) {
  std::vector<std::vector<unsigned short>> mapping(4, std::vector<unsigned short>(4096, 0));
  auto occupied = std::make_unique<bool[]>(4096);
  occupied[42] = true;
  auto zel = MakeZeroImage<std::uint8_t>({4, 4, 1, 0, 3});
  auto raw = MakeZeroImage<std::uint16_t>({4, 4, 1});
  const QVector<urs::InvalidPixel> records = {Record(0, 1, {0, 0, 3000}, {0, 0, 42}),
                                              Record(1, 0, {0, 3001, 0, 3003}, {0, 1, 0, 3})};
  const bool* o = occupied.get();
  ASSERT_EQ(CpuPlugin()->convertZelRgbToRaw(
                zel.get(), raw.get(), mapping[0].data(), mapping[1].data(), mapping[2].data(),
                mapping[3].data(), o, o, o, o, 0, 0, 0, 0, ur::eBayerGRBG, &records, 4096, 1),
            ur::rc::Ok);
  ASSERT_EQ(ur::ReverseRowOrder(raw.get()), ur::rc::Ok);
  // GRBG: G(red row) R / B G(blue row). Blue of cell (0,1) is (0,3); in cell (1,0) the green of
  // the red row is (2,0) and the green of the blue row (3,1).
  const std::vector<std::uint16_t> expected = {42,   42, 3001, 42,    //
                                               42,   42, 42,   3003,  //
                                               42,   42, 42,   42,    //
                                               3000, 42, 42,   42};
  EXPECT_EQ(zel::testing::Samples<std::uint16_t>(raw.get()), expected);
}

// A recorded value that an 8-bit raw image cannot hold fails the call before anything is
// written.
TEST(InvalidPixels, ValueTooLargeForTheRawSamplesFailsUntouched) {
  SingleLevelTables t;
  auto zel = MakeZeroImage<std::uint8_t>({2, 2});
  auto raw = MakeZeroImage<std::uint8_t>({2, 2, 1, 0, 2});
  const auto before = zel::testing::RawBytes(raw.get());
  const QVector<urs::InvalidPixel> records = {Record(0, 0, {300}, {42})};
  EXPECT_EQ(CpuPlugin()->convertZelToRaw(zel.get(), raw.get(), t.mapping.data(), t.occupied.get(),
                                         0, &records, 4096, 0),
            ur::rc::InvalidArg(6));
  EXPECT_EQ(zel::testing::RawBytes(raw.get()), before);
}

}  // namespace
