// Colour ZEL images back to the mosaic: full-size colour (each site takes its colour's
// channel) and half-size colour (a 2x2 cell per pixel), rank-scaled and spread-mapped.
#include <gtest/gtest.h>
#include <ur/demosaic.h>
#include <ur/geometry.h>
#include <ur/raw_planar.h>
#include <zel_testing/image_builder.h>

#include <cstdlib>
#include <vector>

#include "plugin_test_support.h"

namespace {

using zel::testing::ChannelTables;
using zel::testing::CpuPlugin;
using zel::testing::MakeImage;
using zel::testing::MakeZeroImage;
using zel::testing::RankOf;
using zel::testing::SampleAt;

const ur::ExBayerGrid kGrids[] = {ur::eBayerBGGR, ur::eBayerRGGB, ur::eBayerGBRG, ur::eBayerGRBG};

// Colour (0 red, 1 green, 2 blue) of a site, from the grid's letters.
int ColourOfSite(ur::ExBayerGrid grid, int x, int y) {
  static const char* const kLetters[4] = {"BGGR", "RGGB", "GBRG", "GRBG"};
  const char letter = kLetters[grid][(y & 1) * 2 + (x & 1)];
  return letter == 'R' ? 0 : letter == 'G' ? 1 : 2;
}

// Compacts a 16-bit colour image (top-down) to 8 bits, turns it bottom-up and restores a raw
// mosaic of rawW x rawH; returns the mosaic top-down. maxima receives the stored maxima.
ur::ScopedImageBuf CompactAndRestore(const ur::SxImageBuf& colour, int levelsCount,
                                     urs::zel::ZelChannelNormalization n, ur::ExBayerGrid grid,
                                     int rawW, int rawH, std::vector<ChannelTables>& t,
                                     unsigned short maxima[3]) {
  t = zel::testing::AnalyseRanks(colour, levelsCount);
  auto zel = MakeZeroImage<std::uint8_t>({colour.width, colour.height, 3, 0, 5});
  EXPECT_EQ(CpuPlugin()->convertToZel8(colour, zel.get(), t[0].mapping.get(), t[1].mapping.get(),
                                       t[2].mapping.get(), t[0].maximum(), t[1].maximum(),
                                       t[2].maximum(), n),
            ur::rc::Ok);
  EXPECT_EQ(ur::ReverseRowOrder(zel.get()), ur::rc::Ok);
  for (int c = 0; c < 3; ++c) maxima[c] = t[std::size_t(c)].maximum();
  if (n == urs::zel::Together)  // the record keeps the largest for every channel
    maxima[0] = maxima[1] = maxima[2] = std::max({maxima[0], maxima[1], maxima[2]});
  auto raw = MakeZeroImage<std::uint16_t>({rawW, rawH, 1, 0, 2});
  EXPECT_EQ(CpuPlugin()->convertZelRgbToRaw(
                zel.get(), raw.get(), t[0].mapping.get(), t[1].mapping.get(), t[2].mapping.get(),
                nullptr, t[0].occupied.get(), t[1].occupied.get(), t[2].occupied.get(), nullptr,
                maxima[0], maxima[1], maxima[2], maxima[1], grid, nullptr, levelsCount, 0),
            ur::rc::Ok);
  EXPECT_EQ(ur::ReverseRowOrder(raw.get()), ur::rc::Ok);
  return raw;
}

struct ColourCase {
  urs::zel::ZelChannelNormalization normalization;
  int levels[3];
};

class FullSizeColour : public ::testing::TestWithParam<ColourCase> {};

// Each site takes its own colour's channel of the colour pixel at its place: exact while the
// scaling reference is at most 255 ranks, within half a scaling step otherwise.
TEST_P(FullSizeColour, EachSiteRestoresItsColoursChannel) {
  const ColourCase c = GetParam();
  const int w = 41, h = 27, levelsCount = 4096;
  std::vector<int> levels[3], channel[3];
  for (int k = 0; k < 3; ++k) {
    levels[k] = zel::testing::SpreadLevels(c.levels[k], levelsCount - 1 - 9 * k);
    channel[k] = zel::testing::SamplesOf(levels[k], std::size_t(w) * h, 3 * k);
  }
  std::vector<std::uint16_t> samples;
  for (std::size_t i = 0; i < std::size_t(w) * h; ++i)
    for (int k = 0; k < 3; ++k) samples.push_back(std::uint16_t(channel[k][i]));
  auto colour = MakeImage<std::uint16_t>({w, h, 3, 0, 4, 12}, samples);
  for (const ur::ExBayerGrid grid : kGrids) {
    std::vector<ChannelTables> t;
    unsigned short maxima[3];
    auto raw = CompactAndRestore(colour.get(), levelsCount, c.normalization, grid, w, h, t, maxima);
    int wrong = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const int k = ColourOfSite(grid, x, y);
        const int original = channel[k][std::size_t(y) * w + x];
        const int restored = SampleAt<std::uint16_t>(raw.get(), x, y);
        const int restoredRank = RankOf(levels[k], restored);
        const bool ok =
            maxima[k] <= 255
                ? restored == original
                : restoredRank >= 0 && std::abs(restoredRank - RankOf(levels[k], original)) <=
                                           0.5 * maxima[k] / 255.0 + 0.5;
        wrong += ok ? 0 : 1;
      }
    EXPECT_EQ(wrong, 0) << "grid " << grid;
  }
}

INSTANTIATE_TEST_SUITE_P(SeparatedAndTogether, FullSizeColour,
                         ::testing::Values(ColourCase{urs::zel::Separated, {256, 100, 3}},
                                           ColourCase{urs::zel::Together, {40, 256, 2}},
                                           ColourCase{urs::zel::Separated, {1000, 256, 20}},
                                           ColourCase{urs::zel::Together, {300, 1000, 257}}));

// A small asymmetric mosaic with few levels a colour; wantEqualGreens makes both greens of a
// cell the same.
ur::ScopedImageBuf MakeMosaic(ur::ExBayerGrid grid, int w, int h, bool equalGreens) {
  const int palette[3][3] = {{100, 2000, 4095}, {0, 50, 3000}, {7, 8, 9}};
  std::vector<std::uint16_t> s(std::size_t(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int k = ColourOfSite(grid, x, y);
      const int pick = k == 1 && equalGreens ? (x / 2 + 2 * (y / 2)) % 3 : (x * 5 + y * 3) % 3;
      s[std::size_t(y) * w + x] = std::uint16_t(palette[k][pick]);
    }
  return MakeImage<std::uint16_t>({w, h, 1, 0, 2, 12, grid}, s);
}

// Bilinear demosaicing keeps every site's sample, so the mosaic comes back exactly.
TEST(FullSizeColour, RestoresADemosaicedMosaicExactly) {
  const int w = 10, h = 6;
  for (const ur::ExBayerGrid grid : kGrids) {
    auto mosaic = MakeMosaic(grid, w, h, false);
    auto rgb = MakeZeroImage<std::uint16_t>({w, h, 3, 0, 0, 12});
    ASSERT_EQ(ur::Demosaic(mosaic.get(), QRect(0, 0, w, h), rgb.get()), ur::rc::Ok);
    std::vector<ChannelTables> t;
    unsigned short maxima[3];
    auto raw = CompactAndRestore(rgb.get(), 4096, urs::zel::Separated, grid, w, h, t, maxima);
    ASSERT_LE(t[0].count, 256);
    ASSERT_LE(t[1].count, 256);
    EXPECT_EQ(zel::testing::Samples<std::uint16_t>(raw.get()),
              zel::testing::Samples<std::uint16_t>(mosaic.get()))
        << "grid " << grid;
  }
}

// Half-size colour: red and blue sites come back exactly, both greens as the cell's green.
TEST(HalfSizeColour, EachPixelFillsItsCell) {
  const int w = 12, h = 6;
  for (const ur::ExBayerGrid grid : kGrids)
    for (const bool equalGreens : {true, false}) {
      auto mosaic = MakeMosaic(grid, w, h, equalGreens);
      auto rgb = MakeZeroImage<std::uint16_t>({w / 2, h / 2, 3, 0, 2, 12});
      ASSERT_EQ(ur::DemosaicSimple(mosaic.get(), QRect(0, 0, w, h), rgb.get(), grid), ur::rc::Ok);
      std::vector<ChannelTables> t;
      unsigned short maxima[3];
      auto raw = CompactAndRestore(rgb.get(), 4096, urs::zel::Together, grid, w, h, t, maxima);
      int wrong = 0;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const int k = ColourOfSite(grid, x, y);
          const int expected = k == 1 ? SampleAt<std::uint16_t>(rgb.get(), x / 2, y / 2, 1)
                                      : SampleAt<std::uint16_t>(mosaic.get(), x, y);
          wrong += SampleAt<std::uint16_t>(raw.get(), x, y) != expected;
        }
      EXPECT_EQ(wrong, 0) << "grid " << grid;
      if (equalGreens) {
        EXPECT_EQ(zel::testing::Samples<std::uint16_t>(raw.get()),
                  zel::testing::Samples<std::uint16_t>(mosaic.get()));
      }
    }
}

// Spread-mapped planes joined and demosaiced at full size (8-bit colour, blue first in memory)
// come back through the planes' tables.
TEST(FullSizeColour, RestoresDemosaicedSpreadMappedPlanes) {
  const int w = 14, h = 8;
  for (const ur::ExBayerGrid grid : kGrids) {
    auto mosaic = MakeMosaic(grid, w, h, false);
    auto planar = MakeZeroImage<std::uint16_t>({w / 2, h / 2, 4, 1, 0, 12});
    ASSERT_EQ(ur::ConvertRawToPlanarRaw(mosaic.get(), QRect(0, 0, w, h), grid, planar.get()),
              ur::rc::Ok);
    auto t = zel::testing::AnalyseSpread(planar.get(), 4096, true);
    auto planar8 = MakeZeroImage<std::uint8_t>({w / 2, h / 2, 4, 1});
    ASSERT_EQ(CpuPlugin()->convertRawPlanar16ToRawPlanar8Zel(
                  planar.get(), planar8.get(), t[0].mapping.get(), t[1].mapping.get(),
                  t[2].mapping.get(), t[3].mapping.get()),
              ur::rc::Ok);
    auto mosaic8 = MakeZeroImage<std::uint8_t>({w, h, 1, 0, 0, 8, grid});
    ASSERT_EQ(ur::ConvertPlanarRawToRaw(planar8.get(), mosaic8.get(), grid), ur::rc::Ok);
    mosaic8->bayerGrid = grid;
    auto rgb8 = MakeZeroImage<std::uint8_t>({w, h, 3, 0, 1});
    ASSERT_EQ(ur::Demosaic(mosaic8.get(), QRect(0, 0, w, h), rgb8.get()), ur::rc::Ok);
    ASSERT_EQ(ur::ReverseRowOrder(rgb8.get()), ur::rc::Ok);
    auto raw = MakeZeroImage<std::uint16_t>({w, h, 1});
    ASSERT_EQ(CpuPlugin()->convertZelRgbToRaw(
                  rgb8.get(), raw.get(), t[0].mapping.get(), t[1].mapping.get(), t[2].mapping.get(),
                  t[3].mapping.get(), t[0].occupied.get(), t[1].occupied.get(), t[2].occupied.get(),
                  t[3].occupied.get(), 0, 0, 0, 0, grid, nullptr, 4096, 1),
              ur::rc::Ok);
    ASSERT_EQ(ur::ReverseRowOrder(raw.get()), ur::rc::Ok);
    EXPECT_EQ(zel::testing::Samples<std::uint16_t>(raw.get()),
              zel::testing::Samples<std::uint16_t>(mosaic.get()))
        << "grid " << grid;
  }
}

}  // namespace
