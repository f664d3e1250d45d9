#include <ur/buffers.h>

#include <zel_testing/image_builder.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

using namespace ur;
using zel::testing::ImageShape;
using zel::testing::MakeImage;
using zel::testing::SampleAt;
using zel::testing::Samples;

TEST(AllocBuffer, ComputesPitchAndClears) {
  SxImageBuf b;
  ASSERT_EQ(AllocBuffer(b, 5, 3, 3, 12, eImageDataUInt16, 0, eBayerNone, true), rc::Ok);
  EXPECT_EQ(b.linePitch, 5 * 3 * 2);
  EXPECT_EQ(b.bitDepth, 12);
  EXPECT_EQ(BufferBytes(b), 5 * 3 * 2 * 3);
  for (std::int64_t i = 0; i < BufferBytes(b); ++i) ASSERT_EQ(b.data[i], 0);
  FreeBuffer(b);
  EXPECT_EQ(b.data, nullptr);
  EXPECT_EQ(b.width, 0);
  EXPECT_EQ(b.bayerGrid, eBayerNone);

  // Planar: the pitch holds one plane's row, the planes follow each other.
  ASSERT_EQ(AllocBuffer(b, 5, 3, 4, 8, eImageDataUInt8, 1), rc::Ok);
  EXPECT_EQ(b.linePitch, 5);
  EXPECT_EQ(BufferBytes(b), 5 * 3 * 4);
  FreeBuffer(b);
}

TEST(AllocBuffer, RefusesDescriptionsThatCannotHoldPixels) {
  SxImageBuf b;
  EXPECT_EQ(AllocBuffer(b, 0, 3, 1, 8, eImageDataUInt8), rc::InvalidArg(1));
  EXPECT_EQ(AllocBuffer(b, 3, -1, 1, 8, eImageDataUInt8), rc::InvalidArg(1));
  EXPECT_EQ(AllocBuffer(b, 3, 3, 0, 8, eImageDataUInt8), rc::InvalidArg(1));
  EXPECT_EQ(AllocBuffer(b, 3, 3, 1, 8, eImageDataUnknown), rc::InvalidArg(1));
  EXPECT_EQ(AllocBuffer(b, 3, 3, 1, 8, ExImageDataType(42)), rc::InvalidArg(1));
  EXPECT_EQ(AllocBuffer(b, INT_MAX, INT_MAX, 4, 16, eImageDataDouble), rc::InvalidArg(1));
  EXPECT_EQ(b.data, nullptr);

  SxImageBuf tooNarrow;
  tooNarrow.width = 4;
  tooNarrow.height = 2;
  tooNarrow.channels = 1;
  tooNarrow.dataType = eImageDataUInt16;
  tooNarrow.linePitch = 7;  // one row needs 8 bytes
  EXPECT_EQ(AllocBuffer(tooNarrow), rc::InvalidArg(1));
  EXPECT_EQ(tooNarrow.data, nullptr);
  FreeBuffer(tooNarrow);  // safe on a record without pixels
}

TEST(ScopedImageBuf, FreesOnceAndHandsOverOwnership) {
  SxImageBuf b;
  ASSERT_EQ(AllocBuffer(b, 4, 4, 1, 8, eImageDataUInt8), rc::Ok);
  ScopedImageBuf a(b);
  ScopedImageBuf moved(std::move(a));
  EXPECT_EQ(a.get().data, nullptr);
  EXPECT_EQ(moved->data, b.data);
  SxImageBuf released = moved.release();
  EXPECT_EQ(moved->data, nullptr);
  FreeBuffer(released);
}

TEST(CopyBuffer, CopiesBetweenDifferentPitches) {
  auto src = MakeImage<std::uint16_t>({3, 2, 1, 0, 6}, {1, 2, 3, 4, 5, 6});
  SxImageBuf dst;
  ASSERT_EQ(AllocBuffer(dst, 3, 2, 1, 16, eImageDataUInt16), rc::Ok);
  ScopedImageBuf owner(dst);
  ASSERT_EQ(CopyBuffer(src.get(), dst), rc::Ok);
  EXPECT_EQ(Samples<std::uint16_t>(dst), (std::vector<std::uint16_t>{1, 2, 3, 4, 5, 6}));

  SxImageBuf other;
  ASSERT_EQ(AllocBuffer(other, 2, 3, 1, 16, eImageDataUInt16), rc::Ok);
  ScopedImageBuf otherOwner(other);
  EXPECT_EQ(CopyBuffer(src.get(), other), rc::InvalidArg(2));
  EXPECT_EQ(CopyBuffer(SxImageBuf{}, dst), rc::InvalidArg(1));
}

TEST(CopyBuffer, CopiesARegionToAPosition) {
  // 4x3 two-channel source, region (1,1) 2x2 copied to (1,0) of a 3x2 target.
  auto src = MakeImage<std::uint8_t>({4, 3, 2}, {0,  1,  2,  3,  4,  5,  6,  7,    //
                                                 10, 11, 12, 13, 14, 15, 16, 17,  //
                                                 20, 21, 22, 23, 24, 25, 26, 27});
  src->bayerGrid = eBayerGRBG;
  auto dst = zel::testing::MakeZeroImage<std::uint8_t>({3, 2, 2, 0, 3});
  ASSERT_EQ(CopyBuffer(src.get(), QRect(1, 1, 2, 2), dst.get(), QPoint(1, 0), true), rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(dst.get()),
            (std::vector<std::uint8_t>{0, 0, 12, 13, 14, 15, 0, 0, 22, 23, 24, 25}));
  EXPECT_EQ(dst->bayerGrid, eBayerGRBG);

  EXPECT_EQ(CopyBuffer(src.get(), QRect(3, 0, 2, 1), dst.get(), QPoint(0, 0)), rc::InvalidArg(2));
  EXPECT_EQ(CopyBuffer(src.get(), QRect(0, 0, 2, 2), dst.get(), QPoint(2, 0)), rc::InvalidArg(3));
  auto grey = zel::testing::MakeZeroImage<std::uint8_t>({3, 2, 1});
  EXPECT_EQ(CopyBuffer(src.get(), QRect(0, 0, 1, 1), grey.get(), QPoint(0, 0)), rc::InvalidArg(3));
}

TEST(AllocAndCopyBuffer, KeepsLayoutAndCompactsPitch) {
  auto src = MakeImage<std::uint16_t>({2, 2, 3, 1, 4}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
  SxImageBuf copy;
  ASSERT_EQ(AllocAndCopyBuffer(src.get(), copy), rc::Ok);
  ScopedImageBuf owner(copy);
  EXPECT_EQ(copy.planar, 1);
  EXPECT_EQ(copy.linePitch, 4);
  EXPECT_EQ(Samples<std::uint16_t>(copy), Samples<std::uint16_t>(src.get()));
  EXPECT_NE(copy.data, src->data);
}

TEST(ShallowSubImage, ViewsTheRegionWithoutCopying) {
  auto src = MakeImage<std::uint16_t>({3, 3, 1, 0, 2}, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  SxImageBuf view;
  ASSERT_EQ(ShallowSubImage(src.get(), QRect(1, 1, 2, 2), view), rc::Ok);
  EXPECT_EQ(view.width, 2);
  EXPECT_EQ(view.linePitch, src->linePitch);
  EXPECT_EQ(Samples<std::uint16_t>(view), (std::vector<std::uint16_t>{5, 6, 8, 9}));
  EXPECT_EQ(ShallowSubImage(src.get(), QRect(2, 2, 2, 1), view), rc::InvalidArg(2));

  auto planar = zel::testing::MakeZeroImage<std::uint8_t>({2, 2, 3, 1});
  EXPECT_EQ(ShallowSubImage(planar.get(), QRect(0, 0, 2, 1), view), rc::InvalidArg(2));
}
