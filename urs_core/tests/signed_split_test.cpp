#include <urs/signed_split.h>

#include <zel_testing/image_builder.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <vector>

using zel::testing::ImageShape;
using zel::testing::MakeImage;
using zel::testing::MakeZeroImage;
using zel::testing::Samples;

namespace {

using Bytes = std::vector<unsigned char>;

Bytes AllBytes(const ur::SxImageBuf& b) {
  return Bytes(b.data, b.data + ur::BufferBytes(b));
}

// Targets start out non-zero so that the zeroing is seen.
ur::ScopedImageBuf Filled(ImageShape s, double value) {
  const int planes = s.planar ? s.channels : 1;
  const std::size_t n = std::size_t(s.width) * (s.planar ? 1 : s.channels) * s.height * planes;
  return MakeImage<double>(s, std::vector<double>(n, value));
}

TEST(SplitToPlusMinus, PositiveAndNegativeParts) {
  const ImageShape s{2, 1};
  auto src = MakeImage<double>(s, {3.5, -2.0});
  auto plus = Filled(s, 9.0);
  auto minus = Filled(s, 9.0);

  ASSERT_TRUE(urs::SplitToPlusMinus(src.get(), plus.get(), minus.get(), true));
  EXPECT_EQ(Samples<double>(plus.get()), (std::vector<double>{3.5, 0.0}));
  EXPECT_EQ(Samples<double>(minus.get()), (std::vector<double>{0.0, 2.0}));

  ASSERT_TRUE(urs::SplitToPlusMinus(src.get(), plus.get(), minus.get(), false));
  EXPECT_EQ(Samples<double>(plus.get()), (std::vector<double>{3.5, 0.0}));
  EXPECT_EQ(Samples<double>(minus.get()), (std::vector<double>{0.0, -2.0}));
}

TEST(SplitToPlusMinus, ZeroNegativeZeroAndNaNGoNowhere) {
  const ImageShape s{3, 1};
  auto src = MakeImage<double>(s, {0.0, -0.0, std::numeric_limits<double>::quiet_NaN()});
  auto plus = Filled(s, 9.0);
  auto minus = Filled(s, 9.0);
  ASSERT_TRUE(urs::SplitToPlusMinus(src.get(), plus.get(), minus.get(), true));
  // All bytes zero: +0.0 everywhere, no -0.0 and no NaN copied through.
  EXPECT_EQ(AllBytes(plus.get()), Bytes(24, 0));
  EXPECT_EQ(AllBytes(minus.get()), Bytes(24, 0));
}

TEST(SplitToPlusMinus, InterleavedRowsWithDifferentPitches) {
  // Three rows of 2 pixels x 2 channels; each buffer has its own padding.
  ImageShape s{2, 3, 2};
  s.padBytes = 8;
  auto src = MakeImage<double>(s, {1, -1, 2, -2,  //
                                   -3, 3, 0, 4,   //
                                   5, -5, -6, 6});
  s.padBytes = 0;
  auto plus = Filled(s, 9.0);
  s.padBytes = 24;
  auto minus = Filled(s, 9.0);

  ASSERT_TRUE(urs::SplitToPlusMinus(src.get(), plus.get(), minus.get(), true));
  EXPECT_EQ(Samples<double>(plus.get()), (std::vector<double>{1, 0, 2, 0,  //
                                                              0, 3, 0, 4,  //
                                                              5, 0, 0, 6}));
  EXPECT_EQ(Samples<double>(minus.get()), (std::vector<double>{0, 1, 0, 2,  //
                                                               3, 0, 0, 0,  //
                                                               0, 5, 6, 0}));
  // The row padding of a target is zeroed too.
  EXPECT_EQ(ur::RowPtr(minus.get(), 2)[32], 0);
}

TEST(SplitToPlusMinus, PlanarPlanesStayApart) {
  ImageShape s{2, 2, 2, 1};  // two planes of 2 x 2
  s.padBytes = 16;
  auto src = MakeImage<double>(s, {1, -2, -3, 4,  //
                                   -5, 6, 7, -8});
  s.padBytes = 8;
  auto plus = Filled(s, 9.0);
  auto minus = Filled(s, 9.0);
  ASSERT_TRUE(urs::SplitToPlusMinus(src.get(), plus.get(), minus.get(), false));
  EXPECT_EQ(Samples<double>(plus.get()), (std::vector<double>{1, 0, 0, 4,  //
                                                              0, 6, 7, 0}));
  EXPECT_EQ(Samples<double>(minus.get()), (std::vector<double>{0, -2, -3, 0,  //
                                                               -5, 0, 0, -8}));
}

class SplitRefusal : public ::testing::Test {
protected:
  const ImageShape m_shape{2, 2};
  ur::ScopedImageBuf m_src = MakeImage<double>(m_shape, {1, -1, 2, -2});
  ur::ScopedImageBuf m_plus = Filled(m_shape, 9.0);
  ur::ScopedImageBuf m_minus = Filled(m_shape, 9.0);

  // The call fails and neither target changed.
  void ExpectRefused(const ur::SxImageBuf& src, ur::SxImageBuf& plus, ur::SxImageBuf& minus) {
    const Bytes plusBefore = AllBytes(plus);
    const Bytes minusBefore = AllBytes(minus);
    EXPECT_FALSE(urs::SplitToPlusMinus(src, plus, minus, true));
    EXPECT_EQ(AllBytes(plus), plusBefore);
    EXPECT_EQ(AllBytes(minus), minusBefore);
  }
};

TEST_F(SplitRefusal, SourceOfAnotherType) {
  auto src = MakeImage<float>(m_shape, {1, -1, 2, -2});
  ExpectRefused(src.get(), m_plus.get(), m_minus.get());
  ur::SxImageBuf noPixels = m_src.get();
  noPixels.data = nullptr;
  ExpectRefused(noPixels, m_plus.get(), m_minus.get());
}

TEST_F(SplitRefusal, TargetOfAnotherShapeOrType) {
  auto wide = Filled({4, 1}, 9.0);  // same byte count, other geometry
  ExpectRefused(m_src.get(), wide.get(), m_minus.get());
  auto floats = MakeZeroImage<float>({2, 2});
  ExpectRefused(m_src.get(), m_plus.get(), floats.get());
  ur::SxImageBuf otherGrid = m_minus.get();
  otherGrid.bayerGrid = ur::eBayerRGGB;
  ExpectRefused(m_src.get(), m_plus.get(), otherGrid);
}

TEST_F(SplitRefusal, UnknownLayout) {
  // A layout that is neither interleaved nor planar cannot be walked; it is not a success.
  ur::SxImageBuf src = m_src.get();
  ur::SxImageBuf plus = m_plus.get();
  ur::SxImageBuf minus = m_minus.get();
  src.planar = plus.planar = minus.planar = 2;
  ExpectRefused(src, plus, minus);
}

TEST_F(SplitRefusal, SharedMemory) {
  ExpectRefused(m_src.get(), m_plus.get(), m_plus.get());
  ur::SxImageBuf alias = m_src.get();
  ExpectRefused(m_src.get(), alias, m_minus.get());
  EXPECT_EQ(Samples<double>(m_src.get()), (std::vector<double>{1, -1, 2, -2}));
}

}  // namespace
