// Every operation refuses bad arguments with the code of the offending argument and leaves
// the destination as it was.
#include <gtest/gtest.h>
#include <zel_testing/image_builder.h>

#include <vector>

#include "plugin_test_support.h"

namespace {

using zel::testing::CpuPlugin;
using zel::testing::MakeZeroImage;
using zel::testing::RawBytes;

TEST(BadArguments, ForwardOperationsRefuseAndWriteNothing) {
  urs::zel::ZelPlugin* p = CpuPlugin();
  std::vector<unsigned short> table(65536, 1);
  const unsigned short* t = table.data();
  auto grey16 = MakeZeroImage<std::uint16_t>({4, 3, 1, 0, 0, 12});
  auto colour16 = MakeZeroImage<std::uint16_t>({4, 3, 3, 0, 0, 12});
  auto grey8 = MakeZeroImage<std::uint8_t>({4, 3});
  auto dst = MakeZeroImage<std::uint8_t>({4, 3, 1, 0, 2});
  auto wider = MakeZeroImage<std::uint8_t>({5, 3});
  auto dst16 = MakeZeroImage<std::uint16_t>({4, 3});
  const auto before = RawBytes(dst.get());
  const auto S = urs::zel::Separated;

  EXPECT_EQ(p->convertToZel8(grey16.get(), dst.get(), nullptr, t, t, 1, 1, 1, S),
            ur::rc::InvalidArg(3));
  EXPECT_EQ(p->convertToZel8(colour16.get(), dst.get(), t, t, t, 1, 1, 1, S),
            ur::rc::InvalidArg(2));
  EXPECT_EQ(p->convertToZel8(grey16.get(), wider.get(), t, t, t, 1, 1, 1, S),
            ur::rc::InvalidArg(2));
  EXPECT_EQ(p->convertToZel8(grey16.get(), dst16.get(), t, t, t, 1, 1, 1, S),
            ur::rc::InvalidArg(2));
  EXPECT_EQ(p->convertToZel8(grey8.get(), dst.get(), t, t, t, 1, 1, 1, S), ur::rc::InvalidArg(1));
  EXPECT_EQ(p->convert8ToZel8(grey16.get(), dst.get(), t, t, t, 1, 1, 1, S), ur::rc::InvalidArg(1));
  EXPECT_EQ(p->convertToZel16(grey16.get(), dst.get(), t, t, t), ur::rc::InvalidArg(2));
  ur::SxImageBuf empty;
  EXPECT_EQ(p->convertToZel8(empty, dst.get(), t, t, t, 1, 1, 1, S), ur::rc::InvalidArg(1));
  auto colourDst = MakeZeroImage<std::uint8_t>({4, 3, 3});
  const auto colourBefore = RawBytes(colourDst.get());
  EXPECT_EQ(p->convertToZel8(colour16.get(), colourDst.get(), t, t, nullptr, 1, 1, 1, S),
            ur::rc::InvalidArg(5));
  auto noDepth = MakeZeroImage<std::uint16_t>({4, 3});
  noDepth->bitDepth = 0;  // tables are sized by the depth, so it must be known
  EXPECT_EQ(p->convertToZel8(noDepth.get(), dst.get(), t, t, t, 1, 1, 1, S), ur::rc::InvalidArg(1));
  EXPECT_EQ(RawBytes(dst.get()), before);
  EXPECT_EQ(RawBytes(colourDst.get()), colourBefore);

  auto planar16 = MakeZeroImage<std::uint16_t>({2, 2, 4, 1});
  auto planar8 = MakeZeroImage<std::uint8_t>({2, 2, 4, 1});
  auto interleaved4 = MakeZeroImage<std::uint8_t>({2, 2, 4, 0});
  const auto planarBefore = RawBytes(planar8.get());
  EXPECT_EQ(p->convertRawPlanar16ToRawPlanar8Zel(planar16.get(), planar8.get(), t, t, t, nullptr),
            ur::rc::InvalidArg(6));
  EXPECT_EQ(p->convertRawPlanar16ToRawPlanar8Zel(planar16.get(), interleaved4.get(), t, t, t, t),
            ur::rc::InvalidArg(2));
  EXPECT_EQ(p->convertRawPlanar8ToRawPlanar8Zel(planar16.get(), planar8.get(), t, t, t, t),
            ur::rc::InvalidArg(1));
  EXPECT_EQ(p->convertRawPlanar16ToRawPlanar16Zel(planar16.get(), planar8.get(), t, t, t, t),
            ur::rc::InvalidArg(2));
  EXPECT_EQ(p->convertRawPlanar16ToRawPlanar8Zel(grey16.get(), planar8.get(), t, t, t, t),
            ur::rc::InvalidArg(1));
  EXPECT_EQ(RawBytes(planar8.get()), planarBefore);
}

TEST(BadArguments, ReverseOperationsRefuseAndWriteNothing) {
  urs::zel::ZelPlugin* p = CpuPlugin();
  std::vector<unsigned short> table(4096, 0);
  auto occupiedArray = std::make_unique<bool[]>(4096);
  occupiedArray[4000] = true;  // a level 8-bit samples cannot hold
  const unsigned short* m = table.data();
  const bool* o = occupiedArray.get();
  auto zel = MakeZeroImage<std::uint8_t>({3, 2});
  auto zel3 = MakeZeroImage<std::uint8_t>({3, 2, 3});
  auto zel16 = MakeZeroImage<std::uint16_t>({3, 2});
  auto raw = MakeZeroImage<std::uint16_t>({3, 2, 1, 0, 2});
  auto raw8 = MakeZeroImage<std::uint8_t>({3, 2});
  auto taller = MakeZeroImage<std::uint16_t>({3, 3});
  auto tripled = MakeZeroImage<std::uint16_t>({3, 2, 3});
  auto doubled = MakeZeroImage<std::uint16_t>({6, 4});
  const auto before = RawBytes(raw.get());
  const auto raw8Before = RawBytes(raw8.get());
  const auto doubledBefore = RawBytes(doubled.get());

  EXPECT_EQ(p->convertZelToRaw(zel.get(), raw.get(), nullptr, o, 0, nullptr, 4096, 0),
            ur::rc::InvalidArg(3));
  EXPECT_EQ(p->convertZelToRaw(zel.get(), raw.get(), m, nullptr, 0, nullptr, 4096, 0),
            ur::rc::InvalidArg(4));
  EXPECT_EQ(p->convertZelToRaw(zel.get(), taller.get(), m, o, 0, nullptr, 4096, 0),
            ur::rc::InvalidArg(2));
  EXPECT_EQ(p->convertZelToRaw(zel.get(), tripled.get(), m, o, 0, nullptr, 4096, 0),
            ur::rc::InvalidArg(2));
  EXPECT_EQ(p->convertZelToRaw(zel16.get(), raw.get(), m, o, 0, nullptr, 4096, 0),
            ur::rc::InvalidArg(1));
  EXPECT_EQ(p->convertZelToRaw(zel3.get(), raw.get(), m, o, 0, nullptr, 4096, 0),
            ur::rc::InvalidArg(1));
  EXPECT_EQ(p->convertZelToRaw(zel.get(), raw.get(), m, o, 0, nullptr, 0, 0),
            ur::rc::InvalidArg(7));
  EXPECT_EQ(p->convertZelToRaw(zel.get(), raw.get(), m, o, 0, nullptr, 4096, 1),
            ur::rc::InvalidArg(8));
  EXPECT_EQ(p->convertZelToRaw(zel.get(), raw8.get(), m, o, 0, nullptr, 4096, 0),
            ur::rc::InvalidArg(2));

  // Colour: tables of the three channels; a compacted mosaic needs all four planes.
  EXPECT_EQ(p->convertZelRgbToRaw(zel3.get(), raw.get(), m, m, m, nullptr, o, nullptr, o, nullptr,
                                  0, 0, 0, 0, ur::eBayerRGGB, nullptr, 4096, 0),
            ur::rc::InvalidArg(8));
  EXPECT_EQ(p->convertZelRgbToRaw(zel.get(), raw.get(), m, m, m, nullptr, o, o, o, o, 0, 0, 0, 0,
                                  ur::eBayerRGGB, nullptr, 4096, 1),
            ur::rc::InvalidArg(6));
  EXPECT_EQ(p->convertZelRgbToRaw(zel3.get(), raw.get(), m, m, m, m, o, o, o, o, 0, 0, 0, 0,
                                  ur::eBayerNone, nullptr, 4096, 0),
            ur::rc::InvalidArg(15));
  EXPECT_EQ(p->convertZelRgbToRaw(zel.get(), doubled.get(), m, m, m, m, o, o, o, o, 0, 0, 0, 0,
                                  ur::eBayerRGGB, nullptr, 4096, 1),
            ur::rc::InvalidArg(2));
  EXPECT_EQ(p->convertZelRgbToRaw(zel3.get(), taller.get(), m, m, m, m, o, o, o, o, 0, 0, 0, 0,
                                  ur::eBayerRGGB, nullptr, 4096, 0),
            ur::rc::InvalidArg(2));
  EXPECT_EQ(p->convertZelRgbToRaw(zel.get(), raw.get(), m, m, m, m, o, o, o, o, 0, 0, 0, 0,
                                  ur::eBayerRGGB, nullptr, 4096, 0),
            ur::rc::InvalidArg(18));
  EXPECT_EQ(p->convertZelRgbToRaw(zel3.get(), raw.get(), m, m, m, m, o, o, o, o, 0, 0, 0, 0,
                                  ur::eBayerRGGB, nullptr, 65537, 0),
            ur::rc::InvalidArg(17));
  EXPECT_EQ(p->convertZelRgbToRaw(zel3.get(), raw8.get(), m, m, m, m, o, o, o, o, 0, 0, 0, 0,
                                  ur::eBayerRGGB, nullptr, 4096, 0),
            ur::rc::InvalidArg(2));
  EXPECT_EQ(RawBytes(raw.get()), before);
  EXPECT_EQ(RawBytes(raw8.get()), raw8Before);
  EXPECT_EQ(RawBytes(doubled.get()), doubledBefore);
}

}  // namespace
