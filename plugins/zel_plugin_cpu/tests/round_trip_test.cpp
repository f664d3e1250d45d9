// Forward then reverse through the plug-in, in memory, with the reverse buffers bottom-up as a
// loaded image delivers them: grey images and compacted raw mosaics.
#include <gtest/gtest.h>
#include <ur/geometry.h>
#include <ur/raw_planar.h>
#include <zel_testing/image_builder.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "plugin_test_support.h"
#include "reverse_kernels.h"

namespace {

using zel::testing::CpuPlugin;
using zel::testing::MakeImage;
using zel::testing::MakeZeroImage;
using zel::testing::RankOf;
using zel::testing::SampleAt;

// A restored sample that is not exact must be an occupied level whose rank lies within half a
// scaling step (maximum / 255) of the original's, plus the rounding of the rank itself.
bool WithinHalfStep(int rank, int restoredRank, int maximum) {
  return restoredRank >= 0 && std::abs(restoredRank - rank) <= 0.5 * maximum / 255.0 + 0.5;
}

struct GreyCase {
  int bitDepth;
  int levels;  // occupied levels
  int width;
  int height;
};

class GreyRoundTrip : public ::testing::TestWithParam<GreyCase> {};

template <typename T>
ur::ScopedImageBuf MakeGrey(const GreyCase& c, const std::vector<int>& samples) {
  return MakeImage<T>({c.width, c.height, 1, 0, 6, c.bitDepth},
                      std::vector<T>(samples.begin(), samples.end()));
}

TEST_P(GreyRoundTrip, RestoresEveryLevelOrItsNearestOccupiedNeighbour) {
  const GreyCase c = GetParam();
  const int levelsCount = 1 << c.bitDepth;
  const std::vector<int> levels = zel::testing::SpreadLevels(c.levels, levelsCount - 1);
  const std::vector<int> samples =
      zel::testing::SamplesOf(levels, std::size_t(c.width) * c.height, 5);
  auto src =
      c.bitDepth == 8 ? MakeGrey<std::uint8_t>(c, samples) : MakeGrey<std::uint16_t>(c, samples);
  auto tables = zel::testing::AnalyseRanks(src.get(), levelsCount);
  ASSERT_EQ(tables[0].count, c.levels);
  const unsigned short maximum = tables[0].maximum();

  auto zel = MakeZeroImage<std::uint8_t>({c.width, c.height, 1, 0, 3});
  const unsigned r =
      c.bitDepth == 8
          ? CpuPlugin()->convert8ToZel8(src.get(), zel.get(), tables[0].mapping.get(), nullptr,
                                        nullptr, static_cast<unsigned char>(maximum), 0, 0,
                                        urs::zel::Separated)
          : CpuPlugin()->convertToZel8(src.get(), zel.get(), tables[0].mapping.get(), nullptr,
                                       nullptr, maximum, 0, 0, urs::zel::Separated);
  ASSERT_EQ(r, ur::rc::Ok);
  ASSERT_EQ(ur::ReverseRowOrder(zel.get()), ur::rc::Ok);

  const bool wide = levelsCount > 256;
  auto raw = wide ? MakeZeroImage<std::uint16_t>({c.width, c.height, 1, 0, 4})
                  : MakeZeroImage<std::uint8_t>({c.width, c.height, 1, 0, 1});
  ASSERT_EQ(
      CpuPlugin()->convertZelToRaw(zel.get(), raw.get(), tables[0].mapping.get(),
                                   tables[0].occupied.get(), maximum, nullptr, levelsCount, 0),
      ur::rc::Ok);
  ASSERT_EQ(ur::ReverseRowOrder(raw.get()), ur::rc::Ok);

  int wrong = 0;
  for (int y = 0; y < c.height; ++y)
    for (int x = 0; x < c.width; ++x) {
      const int original = samples[std::size_t(y) * c.width + x];
      const int restored =
          wide ? SampleAt<std::uint16_t>(raw.get(), x, y) : SampleAt<std::uint8_t>(raw.get(), x, y);
      const bool ok = c.levels <= 256 ? restored == original
                                      : WithinHalfStep(RankOf(levels, original),
                                                       RankOf(levels, restored), maximum);
      wrong += ok ? 0 : 1;
    }
  EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(AtAndAboveTheLimit, GreyRoundTrip,
                         ::testing::Values(GreyCase{8, 256, 17, 19}, GreyCase{8, 2, 5, 3},
                                           GreyCase{10, 256, 23, 13}, GreyCase{10, 257, 23, 13},
                                           GreyCase{12, 256, 31, 9}, GreyCase{12, 1000, 41, 27},
                                           GreyCase{12, 100, 13, 11}, GreyCase{16, 256, 9, 33},
                                           GreyCase{16, 1000, 37, 29}, GreyCase{16, 1, 3, 2}));

// Colour letter of a site of a picture whose top-left cell is `grid`, and the plane it
// belongs to (greens of red rows 1, of blue rows 3), worked out from the grid's letters.
int PlaneOfSite(ur::ExBayerGrid grid, int x, int y) {
  static const char* const kLetters[4] = {"BGGR", "RGGB", "GBRG", "GRBG"};
  const char* cell = kLetters[grid];
  const char letter = cell[(y & 1) * 2 + (x & 1)];
  if (letter == 'R') return 0;
  if (letter == 'B') return 2;
  const char rowOther = cell[(y & 1) * 2 + 1 - (x & 1)];
  return rowOther == 'R' ? 1 : 3;
}

struct PlanesCase {
  ur::ExBayerGrid grid;
  int levels[4];
};

class PlanesRoundTrip : public ::testing::TestWithParam<PlanesCase> {};

// A 12-bit mosaic split into planes, spread-mapped to 8 bits, joined again and restored from
// the one-channel compacted mosaic: exact at 255 levels a plane, the lowest level of the same
// stored value above that.
TEST_P(PlanesRoundTrip, RestoresTheMosaicFromItsCompactedPlanes) {
  const PlanesCase c = GetParam();
  const int w = 66, h = 62, levelsCount = 4096;
  std::vector<int> levels[4];
  std::vector<int> planeSamples[4];
  for (int p = 0; p < 4; ++p) {
    levels[p] = zel::testing::SpreadLevels(c.levels[p], levelsCount - 1 - p);
    planeSamples[p] = zel::testing::SamplesOf(levels[p], std::size_t(w / 2) * (h / 2), p);
  }
  std::vector<std::uint16_t> mosaicSamples(std::size_t(w) * h);
  std::size_t next[4] = {};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int p = PlaneOfSite(c.grid, x, y);
      mosaicSamples[std::size_t(y) * w + x] = std::uint16_t(planeSamples[p][next[p]++]);
    }
  auto mosaic = MakeImage<std::uint16_t>({w, h, 1, 0, 2, 12, c.grid}, mosaicSamples);
  auto planar = MakeZeroImage<std::uint16_t>({w / 2, h / 2, 4, 1, 0, 12});
  ASSERT_EQ(ur::ConvertRawToPlanarRaw(mosaic.get(), QRect(0, 0, w, h), c.grid, planar.get()),
            ur::rc::Ok);
  auto t = zel::testing::AnalyseSpread(planar.get(), levelsCount, false);

  auto planar8 = MakeZeroImage<std::uint8_t>({w / 2, h / 2, 4, 1, 3});
  ASSERT_EQ(CpuPlugin()->convertRawPlanar16ToRawPlanar8Zel(planar.get(), planar8.get(),
                                                           t[0].mapping.get(), t[1].mapping.get(),
                                                           t[2].mapping.get(), t[3].mapping.get()),
            ur::rc::Ok);
  auto zel = MakeZeroImage<std::uint8_t>({w, h, 1, 0, 1});
  ASSERT_EQ(ur::ConvertPlanarRawToRaw(planar8.get(), zel.get(), c.grid), ur::rc::Ok);
  ASSERT_EQ(ur::ReverseRowOrder(zel.get()), ur::rc::Ok);

  auto raw = MakeZeroImage<std::uint16_t>({w, h, 1, 0, 6});
  ASSERT_EQ(CpuPlugin()->convertZelRgbToRaw(
                zel.get(), raw.get(), t[0].mapping.get(), t[1].mapping.get(), t[2].mapping.get(),
                t[3].mapping.get(), t[0].occupied.get(), t[1].occupied.get(), t[2].occupied.get(),
                t[3].occupied.get(), t[0].maximum(), t[1].maximum(), t[2].maximum(), t[3].maximum(),
                c.grid, nullptr, levelsCount, 1),
            ur::rc::Ok);
  ASSERT_EQ(ur::ReverseRowOrder(raw.get()), ur::rc::Ok);

  int wrong = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const int p = PlaneOfSite(c.grid, x, y);
      const int n = c.levels[p];
      const int original = mosaicSamples[std::size_t(y) * w + x];
      const int restored = SampleAt<std::uint16_t>(raw.get(), x, y);
      const int rank = RankOf(levels[p], original);
      const int restoredRank = RankOf(levels[p], restored);
      const auto spread = [n](int k) { return int(k / (n / 255.0)); };
      const bool ok = n <= 255 ? restored == original
                               : restoredRank >= 0 && restoredRank <= rank &&
                                     spread(restoredRank) == spread(rank) &&
                                     rank - restoredRank < n / 255.0;
      wrong += ok ? 0 : 1;
    }
  EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(AllGrids, PlanesRoundTrip,
                         ::testing::Values(PlanesCase{ur::eBayerBGGR, {255, 200, 255, 3}},
                                           PlanesCase{ur::eBayerRGGB, {255, 255, 2, 255}},
                                           PlanesCase{ur::eBayerGBRG, {1, 255, 100, 255}},
                                           PlanesCase{ur::eBayerGRBG, {255, 17, 255, 254}},
                                           PlanesCase{ur::eBayerRGGB, {256, 1000, 255, 300}},
                                           PlanesCase{ur::eBayerGBRG, {1000, 256, 1023, 255}}));

// Bands of rows on several threads restore what one thread restores, full size and in cells.
TEST(ReverseBands, MatchOneThread) {
  const int w = 1203, h = 701;
  std::vector<std::uint8_t> stored(std::size_t(w) * h * 3);
  for (std::size_t i = 0; i < stored.size(); ++i) stored[i] = std::uint8_t((i * 2654435761u) >> 7);
  auto zel = MakeImage<std::uint8_t>({w, h, 3, 0, 1}, stored);
  std::vector<int> levels = zel::testing::SpreadLevels(700, 4095);
  auto occupied = std::make_unique<bool[]>(4096);
  for (int l : levels) occupied[std::size_t(l)] = true;
  std::vector<unsigned short> mapping(4096, 0);
  const unsigned short* m[4] = {mapping.data(), mapping.data(), mapping.data(), mapping.data()};
  const bool* o[4] = {occupied.get(), occupied.get(), occupied.get(), occupied.get()};
  const unsigned short maxima[4] = {699, 699, 699, 699};
  for (const int scale : {1, 2}) {
    auto one = MakeZeroImage<std::uint16_t>({w * scale, h * scale, 1, 0, 2});
    auto many = MakeZeroImage<std::uint16_t>({w * scale, h * scale, 1, 0, 2});
    ASSERT_EQ(zel::cpu::ConvertZelRgbToRaw(zel.get(), one.get(), m, o, maxima, ur::eBayerGBRG,
                                           nullptr, 4096, 0, 1),
              ur::rc::Ok);
    ASSERT_EQ(zel::cpu::ConvertZelRgbToRaw(zel.get(), many.get(), m, o, maxima, ur::eBayerGBRG,
                                           nullptr, 4096, 0, 3),
              ur::rc::Ok);
    EXPECT_TRUE(zel::testing::RawBytes(one.get()) == zel::testing::RawBytes(many.get()));
  }
}

}  // namespace
