// Forward compaction through the plug-in: values worked out by hand or by a naive loop here.
#include "forward_kernels.h"

#include <gtest/gtest.h>
#include <zel_testing/image_builder.h>

#include <cmath>
#include <vector>

#include "plugin_test_support.h"

namespace {

using zel::testing::CpuPlugin;
using zel::testing::ImageShape;
using zel::testing::MakeImage;
using zel::testing::MakeZeroImage;
using zel::testing::SampleAt;

constexpr std::uint8_t kPadding = 205;  // the image builder's padding filler

int NaiveScale(int rank, int maximum) {
  return maximum == 0 ? 0 : int(std::floor(rank * 255.0 / maximum + 0.5));
}

// Every padding byte of a row still holds the builder's filler.
bool PaddingUntouched(const ur::SxImageBuf& b) {
  const int used =
      b.width * b.channels * ur::BytesPerSample(b.dataType) / (b.planar ? b.channels : 1);
  const int planes = b.planar ? b.channels : 1;
  for (int p = 0; p < planes; ++p)
    for (int y = 0; y < b.height; ++y)
      for (int i = used; i < b.linePitch; ++i)
        if (ur::RowPtr(b, y, p)[i] != kPadding) return false;
  return true;
}

TEST(PluginIdentity, IsTheProcessorPlugin) {
  ASSERT_NE(CpuPlugin(), nullptr);
  EXPECT_EQ(CpuPlugin()->name(), QStringLiteral("ZEL CPU"));
  EXPECT_EQ(CpuPlugin()->deviceType(), 0);
}

// A 12-bit grey image of odd width with padded rows: every sample becomes its scaled rank,
// the padding stays, and the top level 4095 takes 255.
TEST(ConvertToZel8, ScalesGreyRanksToNearestAndKeepsPadding) {
  const int w = 5, h = 3, levels = 4096;
  std::vector<unsigned short> table(levels, 0);
  const int used[] = {0, 7, 100, 2048, 4095};  // ranks 0..4
  for (int r = 0; r < 5; ++r) table[std::size_t(used[r])] = static_cast<unsigned short>(r);
  std::vector<std::uint16_t> samples;
  for (int i = 0; i < w * h; ++i) samples.push_back(std::uint16_t(used[(i * 3) % 5]));
  auto src = MakeImage<std::uint16_t>({w, h, 1, 0, 6, 12}, samples);
  auto dst = MakeZeroImage<std::uint8_t>({w, h, 1, 0, 3});
  std::memset(dst->data, kPadding, std::size_t(ur::BufferBytes(dst.get())));
  ASSERT_EQ(CpuPlugin()->convertToZel8(src.get(), dst.get(), table.data(), nullptr, nullptr, 4, 0,
                                       0, urs::zel::Separated),
            ur::rc::Ok);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int rank = table[SampleAt<std::uint16_t>(src.get(), x, y)];
      EXPECT_EQ(SampleAt<std::uint8_t>(dst.get(), x, y), NaiveScale(rank, 4)) << x << "," << y;
    }
  EXPECT_EQ(SampleAt<std::uint8_t>(dst.get(), 3, 0), 255);  // sample 3 is level 4095
  EXPECT_TRUE(PaddingUntouched(dst.get()));
}

// 2-byte colour pixels hold R, G, B; 1-byte ones B, G, R. Table c belongs to red, green, blue.
TEST(ConvertToZel8, ColourChannelsFollowTheirOwnTableAndOrder) {
  std::vector<unsigned short> red(256, 0), green(256, 0), blue(256, 0);
  red[10] = 1;    // maximum 2
  green[20] = 3;  // maximum 3
  blue[30] = 4;   // maximum 10
  auto src16 = MakeImage<std::uint16_t>({1, 1, 3, 0, 2, 8}, {10, 20, 30});
  auto dst = MakeZeroImage<std::uint8_t>({1, 1, 3});
  ASSERT_EQ(CpuPlugin()->convertToZel8(src16.get(), dst.get(), red.data(), green.data(),
                                       blue.data(), 2, 3, 10, urs::zel::Separated),
            ur::rc::Ok);
  // Separated: red round(127.5) = 128, green 255, blue round(102) = 102; stored B, G, R.
  EXPECT_EQ(zel::testing::Samples<std::uint8_t>(dst.get()),
            (std::vector<std::uint8_t>{102, 255, 128}));
  ASSERT_EQ(CpuPlugin()->convertToZel8(src16.get(), dst.get(), red.data(), green.data(),
                                       blue.data(), 2, 3, 10, urs::zel::Together),
            ur::rc::Ok);
  // Together by 10: red round(25.5) = 26, green round(76.5) = 77, blue 102.
  EXPECT_EQ(zel::testing::Samples<std::uint8_t>(dst.get()),
            (std::vector<std::uint8_t>{102, 77, 26}));

  auto src8 = MakeImage<std::uint8_t>({1, 1, 3}, {30, 20, 10});  // B, G, R
  ASSERT_EQ(CpuPlugin()->convert8ToZel8(src8.get(), dst.get(), red.data(), green.data(),
                                        blue.data(), 2, 3, 10, urs::zel::Separated),
            ur::rc::Ok);
  EXPECT_EQ(zel::testing::Samples<std::uint8_t>(dst.get()),
            (std::vector<std::uint8_t>{102, 255, 128}));
}

TEST(ConvertToZel16, WritesRanksOfA16BitTableUpToTheTopLevel) {
  std::vector<unsigned short> table(65536, 0);
  table[0] = 0;
  table[40000] = 1;
  table[65535] = 2;
  auto src = MakeImage<std::uint16_t>({3, 2, 1, 0, 4}, {65535, 0, 40000, 40000, 65535, 0});
  auto dst = MakeZeroImage<std::uint16_t>({3, 2, 1, 0, 2});
  ASSERT_EQ(CpuPlugin()->convertToZel16(src.get(), dst.get(), table.data(), nullptr, nullptr),
            ur::rc::Ok);
  EXPECT_EQ(zel::testing::Samples<std::uint16_t>(dst.get()),
            (std::vector<std::uint16_t>{2, 0, 1, 1, 2, 0}));
}

// Each plane through its own table; an asymmetric padded planar image of 16-bit samples with
// 65536-entry tables.
TEST(ConvertRawPlanar, EachPlaneUsesItsOwnTable) {
  const int w = 3, h = 2;
  std::vector<std::vector<unsigned short>> tables(4, std::vector<unsigned short>(65536, 0));
  std::vector<std::uint16_t> samples;
  for (int p = 0; p < 4; ++p)
    for (int i = 0; i < w * h; ++i) {
      const std::uint16_t level = std::uint16_t(i == 0 ? 65535 : 1000 * p + i);
      samples.push_back(level);
      tables[std::size_t(p)][level] =
          static_cast<unsigned short>(p * 300 + i);  // above 255 for p >= 1
    }
  const unsigned short* t[4] = {tables[0].data(), tables[1].data(), tables[2].data(),
                                tables[3].data()};
  auto src = MakeImage<std::uint16_t>({w, h, 4, 1, 2}, samples);
  auto dst8 = MakeZeroImage<std::uint8_t>({w, h, 4, 1, 5});
  auto dst16 = MakeZeroImage<std::uint16_t>({w, h, 4, 1, 0});
  ASSERT_EQ(
      CpuPlugin()->convertRawPlanar16ToRawPlanar8Zel(src.get(), dst8.get(), t[0], t[1], t[2], t[3]),
      ur::rc::Ok);
  ASSERT_EQ(CpuPlugin()->convertRawPlanar16ToRawPlanar16Zel(src.get(), dst16.get(), t[0], t[1],
                                                            t[2], t[3]),
            ur::rc::Ok);
  for (int p = 0; p < 4; ++p)
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int entry = tables[std::size_t(p)][SampleAt<std::uint16_t>(src.get(), x, y, p)];
        EXPECT_EQ(SampleAt<std::uint16_t>(dst16.get(), x, y, p), entry);
        EXPECT_EQ(SampleAt<std::uint8_t>(dst8.get(), x, y, p), std::min(entry, 255));
      }

  auto src8 = MakeImage<std::uint8_t>({2, 1, 4, 1, 1}, {0, 255, 1, 2, 3, 4, 5, 6});
  std::vector<std::vector<unsigned short>> t8(4, std::vector<unsigned short>(256, 0));
  t8[0][255] = 254;
  t8[1][2] = 85;
  t8[2][3] = 170;
  t8[3][6] = 1;
  auto out8 = MakeZeroImage<std::uint8_t>({2, 1, 4, 1});
  ASSERT_EQ(CpuPlugin()->convertRawPlanar8ToRawPlanar8Zel(src8.get(), out8.get(), t8[0].data(),
                                                          t8[1].data(), t8[2].data(), t8[3].data()),
            ur::rc::Ok);
  EXPECT_EQ(zel::testing::Samples<std::uint8_t>(out8.get()),
            (std::vector<std::uint8_t>{0, 254, 0, 85, 170, 0, 0, 1}));
}

// Data beyond the declared depth reads the top level and never past the end of the table.
TEST(ConvertToZel8, SampleBeyondDeclaredDepthReadsTheTopLevel) {
  std::vector<unsigned short> table(1024, 0);  // 10-bit table, exactly sized
  table[1023] = 5;
  table[3] = 1;
  auto src = MakeImage<std::uint16_t>({3, 1, 1, 0, 0, 10}, {3, 2000, 65535});
  auto dst = MakeZeroImage<std::uint8_t>({3, 1});
  ASSERT_EQ(CpuPlugin()->convertToZel8(src.get(), dst.get(), table.data(), nullptr, nullptr, 5, 0,
                                       0, urs::zel::Separated),
            ur::rc::Ok);
  EXPECT_EQ(zel::testing::Samples<std::uint8_t>(dst.get()),
            (std::vector<std::uint8_t>{51, 255, 255}));
}

// Bands of rows on several threads give what one thread gives, at every band edge.
TEST(ConvertToZel8, ThreadBandsMatchANaiveLoop) {
  const int w = 1001, h = 900, levels = 4096;
  std::vector<unsigned short> table(levels);
  for (int i = 0; i < levels; ++i) table[std::size_t(i)] = static_cast<unsigned short>(i / 3);
  std::vector<std::uint16_t> samples(std::size_t(w) * h);
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = std::uint16_t((i * 2654435761u) % levels);
  auto src = MakeImage<std::uint16_t>({w, h, 1, 0, 2, 12}, samples);
  auto dst = MakeZeroImage<std::uint8_t>({w, h, 1, 0, 1});
  const unsigned short* t[3] = {table.data(), nullptr, nullptr};
  const unsigned maxima[3] = {1365, 0, 0};
  ASSERT_EQ(zel::cpu::ConvertToZel8(src.get(), dst.get(), t, maxima, urs::zel::Separated, 2, 3),
            ur::rc::Ok);
  int wrong = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      wrong += SampleAt<std::uint8_t>(dst.get(), x, y) !=
               NaiveScale(table[SampleAt<std::uint16_t>(src.get(), x, y)], 1365);
  EXPECT_EQ(wrong, 0);
}

}  // namespace
