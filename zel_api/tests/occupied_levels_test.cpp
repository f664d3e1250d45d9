// Marking occupied levels: channel order, threshold folding, accumulation, the
// validation order, and that no sample, however large, is written outside an occupancy array.
#include <zel/occupied_levels.h>

#include <zel_testing/image_builder.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace {

using namespace urs::zel;
using zel::testing::ImageShape;
using zel::testing::MakeImage;
namespace rc = ur::rc;

constexpr unsigned short kUntouched = 0xBEEF;  // a maximum the function has not written

// Occupancy arrays of exactly levelsCount entries each, on the heap, so that AddressSanitizer
// reports any write past the end.
struct Occupancy {
  Occupancy(int levels, int count) : levelsCount(levels) {
    for (int c = 0; c < count; ++c) arrays.push_back(std::make_unique<bool[]>(levels));
  }
  bool* operator[](int c) { return c < int(arrays.size()) ? arrays[c].get() : nullptr; }
  std::vector<int> marked(int c) const {
    std::vector<int> out;
    for (int i = 0; i < levelsCount; ++i)
      if (arrays[c][i]) out.push_back(i);
    return out;
  }
  int levelsCount;
  std::vector<std::unique_ptr<bool[]>> arrays;
};

using Levels = std::vector<int>;

// Threshold pairs per channel or plane; (-1, -1) is no threshold.
struct Pairs {
  int low[4] = {-1, -1, -1, -1};
  int high[4] = {-1, -1, -1, -1};
};

struct Maxima {
  unsigned short m[4] = {kUntouched, kUntouched, kUntouched, kUntouched};
};

unsigned int Analyse(const ur::SxImageBuf& image, Occupancy& occ, Maxima& max,
                     bool useThreshold = false, const Pairs& p = {}) {
  return GetOccupiedLevels(image, occ[0], occ[1], occ[2], occ.levelsCount, max.m[0], max.m[1],
                           max.m[2], useThreshold, p.low[0], p.high[0], p.low[1], p.high[1],
                           p.low[2], p.high[2]);
}

unsigned int AnalyseRaw(const ur::SxImageBuf& image, Occupancy& occ, Maxima& max,
                        bool useThreshold = false, const Pairs& p = {}) {
  return GetOccupiedLevelsRaw(image, occ[0], occ[1], occ[2], occ[3], occ.levelsCount, max.m[0],
                              max.m[1], max.m[2], max.m[3], useThreshold, p.low[0], p.high[0],
                              p.low[1], p.high[1], p.low[2], p.high[2], p.low[3], p.high[3]);
}

// A grey image of one row holding the given samples, with padding after the row.
template <typename T>
ur::ScopedImageBuf GreyRow(const std::vector<T>& samples, int bitDepth = 0) {
  return MakeImage<T>({int(samples.size()), 1, 1, 0, 3, bitDepth}, samples);
}

TEST(OccupiedLevels, FindsThreeLevelsOfA16BitImageAndRanksThem) {
  // Odd width and padded rows: the padding bytes 0xCDCD would mark level 52685.
  auto image = MakeImage<std::uint16_t>({3, 3, 1, 0, 6}, {3, 7, 1000, 7, 7, 3, 1000, 3, 3});
  Occupancy occ(65536, 1);
  Maxima max;
  ASSERT_EQ(Analyse(image.get(), occ, max), rc::Ok);  // occupied1 and occupied2 are null
  EXPECT_EQ(occ.marked(0), Levels({3, 7, 1000}));
  EXPECT_EQ(max.m[0], 1000);
  EXPECT_EQ(max.m[1], 0);
  EXPECT_EQ(max.m[2], 0);

  int counts[3] = {-1, -1, -1};
  ASSERT_EQ(GetLevelsCount(occ[0], nullptr, nullptr, 65536, counts[0], counts[1], counts[2]),
            rc::Ok);
  EXPECT_EQ(counts[0], 3);
  EXPECT_EQ(counts[1], 0);
  EXPECT_EQ(counts[2], 0);

  std::vector<unsigned short> mapping(65536, 0);
  ASSERT_EQ(GetZelChannelMapping(occ[0], nullptr, nullptr, mapping.data(), nullptr, nullptr, 65536),
            rc::Ok);
  std::vector<unsigned short> expected(65536, 0);
  expected[3] = 0;
  expected[7] = 1;
  expected[1000] = 2;
  EXPECT_EQ(mapping, expected);
}

TEST(OccupiedLevels, ReadsByteColourAsBgrAndWideColourAsRgb) {
  Maxima max;
  Occupancy bytes(256, 3);
  auto bgr = MakeImage<std::uint8_t>({2, 1, 3, 0, 2}, {10, 20, 30, 11, 21, 31});
  ASSERT_EQ(Analyse(bgr.get(), bytes, max), rc::Ok);
  EXPECT_EQ(bytes.marked(0), Levels({30, 31}));
  EXPECT_EQ(bytes.marked(1), Levels({20, 21}));
  EXPECT_EQ(bytes.marked(2), Levels({10, 11}));
  EXPECT_EQ(max.m[0], 31);
  EXPECT_EQ(max.m[1], 21);
  EXPECT_EQ(max.m[2], 11);

  Occupancy wide(65536, 3);
  auto rgb = MakeImage<std::uint16_t>({2, 1, 3, 0, 2}, {10, 20, 30, 11, 21, 31});
  ASSERT_EQ(Analyse(rgb.get(), wide, max), rc::Ok);
  EXPECT_EQ(wide.marked(0), Levels({10, 11}));
  EXPECT_EQ(wide.marked(1), Levels({20, 21}));
  EXPECT_EQ(wide.marked(2), Levels({30, 31}));
  EXPECT_EQ(max.m[0], 11);
  EXPECT_EQ(max.m[2], 31);
}

TEST(OccupiedLevels, GivesEachChannelItsOwnPair) {
  auto rgb = MakeImage<std::uint16_t>({1, 1, 3}, {5, 5, 5});
  Occupancy occ(65536, 3);
  Maxima max;
  Pairs p;
  p.low[0] = 10, p.high[0] = 200;  // red folds up to 11
  p.low[2] = 50, p.high[2] = 60;   // blue folds up to 51; green has no thresholds
  ASSERT_EQ(Analyse(rgb.get(), occ, max, true, p), rc::Ok);
  EXPECT_EQ(occ.marked(0), Levels({11}));
  EXPECT_EQ(occ.marked(1), Levels({5}));
  EXPECT_EQ(occ.marked(2), Levels({51}));
}

TEST(OccupiedLevels, AccumulatesOverImagesButReportsEachImagesMaximum) {
  Occupancy occ(256, 1);
  Maxima max;
  ASSERT_EQ(Analyse(GreyRow<std::uint8_t>({1, 2, 1}).get(), occ, max), rc::Ok);
  ASSERT_EQ(Analyse(GreyRow<std::uint8_t>({5, 2}).get(), occ, max), rc::Ok);
  EXPECT_EQ(occ.marked(0), Levels({1, 2, 5}));
  EXPECT_EQ(max.m[0], 5);
  ASSERT_EQ(Analyse(GreyRow<std::uint8_t>({0}).get(), occ, max), rc::Ok);
  EXPECT_EQ(occ.marked(0), Levels({0, 1, 2, 5}));
  EXPECT_EQ(max.m[0], 0);
}

TEST(OccupiedLevels, IgnoresRowPadding) {
  // Every padding byte is 0xCD: level 205 for 1-byte samples, 52685 for 2-byte samples.
  Maxima max;
  Occupancy grey(256, 1);
  auto g = MakeImage<std::uint8_t>({3, 2, 1, 0, 5}, {1, 2, 3, 4, 5, 6});
  ASSERT_EQ(Analyse(g.get(), grey, max), rc::Ok);
  EXPECT_EQ(grey.marked(0), Levels({1, 2, 3, 4, 5, 6}));

  Occupancy colour(65536, 3);
  auto c = MakeImage<std::uint16_t>({1, 2, 3, 0, 2}, {1, 2, 3, 4, 5, 6});
  ASSERT_EQ(Analyse(c.get(), colour, max), rc::Ok);
  EXPECT_EQ(colour.marked(0), Levels({1, 4}));
  EXPECT_EQ(colour.marked(2), Levels({3, 6}));
  EXPECT_EQ(max.m[2], 6);
}

TEST(OccupiedLevels, RejectsTooFewLevelsButAcceptsExactly2PowBitDepth) {
  auto image16 = GreyRow<std::uint16_t>({1, 2});
  Occupancy occ(65536, 4);
  Maxima max;
  EXPECT_EQ(GetOccupiedLevels(image16.get(), occ[0], nullptr, nullptr, 256, max.m[0], max.m[1],
                              max.m[2], false, -1, -1, -1, -1, -1, -1),
            rc::InvalidArg(5));  // 0xA0004317
  EXPECT_EQ(GetOccupiedLevels(image16.get(), occ[0], nullptr, nullptr, 65535, max.m[0], max.m[1],
                              max.m[2], false, -1, -1, -1, -1, -1, -1),
            rc::InvalidArg(5));
  auto raw16 = MakeImage<std::uint16_t>({1, 1, 4, 1}, {1, 2, 3, 4});
  EXPECT_EQ(GetOccupiedLevelsRaw(raw16.get(), occ[0], occ[1], occ[2], occ[3], 256, max.m[0],
                                 max.m[1], max.m[2], max.m[3], false, -1, -1, -1, -1, -1, -1, -1,
                                 -1),
            rc::InvalidArg(6));  // 0xA0004318
  EXPECT_EQ(occ.marked(0), Levels());
  EXPECT_EQ(max.m[0], kUntouched);

  Occupancy exact(1024, 1);
  EXPECT_EQ(Analyse(GreyRow<std::uint16_t>({1, 2}, 10).get(), exact, max), rc::Ok);
}

// ---- Threshold folding, for both sample widths --------------------------------------------

template <typename T>
class ThresholdFolding : public ::testing::Test {
protected:
  static constexpr int kTop = (1 << (8 * sizeof(T))) - 1;  // 255 or 65535
  static constexpr int kLevels = kTop + 1;

  // Marks the samples with the pair on channel 0 into fresh arrays; returns the marked levels.
  Levels Fold(const std::vector<T>& samples, int low, int high, unsigned short* max = nullptr) {
    Occupancy occ(kLevels, 1);
    return FoldInto(occ, samples, low, high, max);
  }
  Levels FoldInto(Occupancy& occ, const std::vector<T>& samples, int low, int high,
                  unsigned short* max = nullptr) {
    Maxima m;
    Pairs p;
    p.low[0] = low;
    p.high[0] = high;
    EXPECT_EQ(Analyse(GreyRow<T>(samples).get(), occ, m, true, p), rc::Ok);
    if (max) *max = m.m[0];
    return occ.marked(0);
  }
};
using SampleTypes = ::testing::Types<std::uint8_t, std::uint16_t>;
TYPED_TEST_SUITE(ThresholdFolding, SampleTypes);

TYPED_TEST(ThresholdFolding, FoldsBothEndsIntoTheLevelsNextToThePair) {
  using T = TypeParam;
  unsigned short max = 0;
  EXPECT_EQ(this->Fold({0, 1, 5, 9, 10}, 10, 200, &max), Levels({11}));
  EXPECT_EQ(max, 11);
  EXPECT_EQ(this->Fold({200, 201, 254, T(this->kTop)}, 10, 200, &max), Levels({199}));
  EXPECT_EQ(max, 199);
  EXPECT_EQ(this->Fold({11, 100, 199}, 10, 200, &max), Levels({11, 100, 199}));
  // high = 2^bitDepth: the top level stays.
  EXPECT_EQ(this->Fold({3, T(this->kTop)}, 10, this->kLevels, &max), Levels({11, this->kTop}));
  EXPECT_EQ(max, this->kTop);
}

TYPED_TEST(ThresholdFolding, EqualThresholdsClearTheFlagBelowThem) {
  Occupancy occ(this->kLevels, 1);
  occ[0][49] = true;  // set by an earlier image
  unsigned short max = 0;
  // 50 <= low becomes 51, 51 >= high becomes 49, and 49 lies outside 50..50.
  EXPECT_EQ(this->FoldInto(occ, {50}, 50, 50, &max), Levels());
  EXPECT_EQ(max, 49);
}

TYPED_TEST(ThresholdFolding, ReducesToTheSampleWidthAfterEachStep) {
  using T = TypeParam;
  const int top = this->kTop;
  Occupancy occ(this->kLevels, 1);
  occ[0][0] = true;
  occ[0][top] = true;
  // low = top: every sample becomes top + 1, which wraps to 0; 0 lies outside top..top+1.
  EXPECT_EQ(this->FoldInto(occ, {7, T(top)}, top, top + 1), Levels({top}));
  // high = 0: every sample becomes -1, which wraps to top; top lies outside -1..0.
  EXPECT_EQ(this->FoldInto(occ, {7}, -1, 0), Levels());
}

TEST(OccupiedLevels, RejectsBadPairsOnlyWithThresholdsAndWritesNothing) {
  auto grey = GreyRow<std::uint8_t>({1, 2});
  auto rgb = MakeImage<std::uint8_t>({1, 1, 3}, {1, 2, 3});
  Occupancy occ(256, 3);
  Maxima max;
  Pairs bad;
  bad.low[0] = 5, bad.high[0] = -1;  // a negative high is checked before it becomes 2^bitDepth
  EXPECT_EQ(Analyse(grey.get(), occ, max, true, bad), rc::InvalidArg(9));  // 0xA000431B
  Pairs badBlue;
  badBlue.low[2] = 7, badBlue.high[2] = 6;
  EXPECT_EQ(Analyse(rgb.get(), occ, max, true, badBlue), rc::InvalidArg(9));
  Pairs tooHigh;
  tooHigh.low[0] = 257, tooHigh.high[0] = 300;  // low above 2^bitDepth
  EXPECT_EQ(Analyse(grey.get(), occ, max, true, tooHigh), rc::InvalidArg(9));
  for (int c = 0; c < 3; ++c) EXPECT_EQ(occ.marked(c), Levels());
  EXPECT_EQ(max.m[0], kUntouched);

  // The same pairs are not looked at without thresholds.
  EXPECT_EQ(Analyse(grey.get(), occ, max, false, bad), rc::Ok);
  EXPECT_EQ(occ.marked(0), Levels({1, 2}));
  // (-1, -1) leaves a channel unthresholded, also its lowest and highest level.
  EXPECT_EQ(Analyse(GreyRow<std::uint8_t>({0, 255}).get(), occ, max, true, Pairs{}), rc::Ok);
  EXPECT_EQ(occ.marked(0), Levels({0, 1, 2, 255}));
  // low = 2^bitDepth is still accepted; a grey image has only channel 0's pair checked.
  tooHigh.low[0] = 256;
  tooHigh.low[1] = 9, tooHigh.high[1] = -1;
  EXPECT_EQ(Analyse(grey.get(), occ, max, true, tooHigh), rc::Ok);
}

TEST(OccupiedLevelsRaw, RejectsEachPlanesBadPairWithItsCode) {
  auto raw = MakeImage<std::uint16_t>({1, 1, 4, 1, 0, 12}, {1, 2, 3, 4});
  Occupancy occ(4096, 4);
  Maxima max;
  for (int p = 0; p < 4; ++p) {
    Pairs pairs;
    pairs.low[p] = 5;
    pairs.high[p] = -1;
    EXPECT_EQ(AnalyseRaw(raw.get(), occ, max, true, pairs), 0xA0004319u + unsigned(p));
    EXPECT_EQ(AnalyseRaw(raw.get(), occ, max, false, pairs), rc::Ok);
  }
  Pairs pairs;
  pairs.low[3] = 4097;  // above 2^12
  pairs.high[3] = 5000;
  EXPECT_EQ(AnalyseRaw(raw.get(), occ, max, true, pairs), 0xA000431Cu);
}

// ---- Samples beyond the declared bit depth ------------------------------------------------

TEST(OccupiedLevels, NeverWritesOutsideTheArrayForSamplesBeyondTheBitDepth) {
  // Declared 10-bit, 1024 levels; row 1 holds samples a 10-bit array cannot take.
  const std::vector<std::uint16_t> samples = {0, 7, 1023, 5000, 1024, 65535, 12, 13, 14};
  auto grey = MakeImage<std::uint16_t>({3, 3, 1, 0, 2, 10}, samples);
  Occupancy occ(1024, 1);
  Maxima max;
  ASSERT_EQ(Analyse(grey.get(), occ, max), rc::Ok);
  EXPECT_EQ(occ.marked(0), Levels({0, 7, 12, 13, 14, 1023}));
  EXPECT_EQ(max.m[0], 1023);

  // With thresholds the folded level can lie beyond the array too: (10, 60000) leaves 5000
  // where it is and folds 65535 to 59999; (1024, 60000) folds every low sample to 1025.
  Pairs clamp;
  clamp.low[0] = 10, clamp.high[0] = 60000;
  Occupancy folded(1024, 1);
  ASSERT_EQ(Analyse(grey.get(), folded, max, true, clamp), rc::Ok);
  EXPECT_EQ(folded.marked(0), Levels({11, 12, 13, 14, 1023}));
  EXPECT_EQ(max.m[0], 1023);
  Pairs allAbove;
  allAbove.low[0] = 1024, allAbove.high[0] = 60000;
  Occupancy none(1024, 1);
  ASSERT_EQ(Analyse(grey.get(), none, max, true, allAbove), rc::Ok);
  EXPECT_EQ(none.marked(0), Levels());
  EXPECT_EQ(max.m[0], 0);
  // A degenerate pair (low + 1 = high) folds everything onto one level, here 1024.
  Pairs degenerate;
  degenerate.low[0] = 1024, degenerate.high[0] = 1025;
  Occupancy one(1024, 1);
  ASSERT_EQ(Analyse(grey.get(), one, max, true, degenerate), rc::Ok);
  EXPECT_EQ(one.marked(0), Levels());
  EXPECT_EQ(max.m[0], 0);

  // Colour and raw planar take the same care.
  auto rgb = MakeImage<std::uint16_t>({3, 1, 3, 0, 0, 10}, samples);
  Occupancy colour(1024, 3);
  for (int c = 1; c < 3; ++c) clamp.low[c] = 10, clamp.high[c] = 60000;
  ASSERT_EQ(Analyse(rgb.get(), colour, max, true, clamp), rc::Ok);
  EXPECT_EQ(colour.marked(0), Levels({11, 12}));    // 0, 5000, 12
  EXPECT_EQ(colour.marked(1), Levels({11, 13}));    // 7, 1024, 13
  EXPECT_EQ(colour.marked(2), Levels({14, 1023}));  // 1023, 65535, 14
  EXPECT_EQ(max.m[1], 13);
  auto raw = MakeImage<std::uint8_t>({2, 1, 4, 1, 0, 6}, {0, 63, 64, 200, 255, 1, 2, 3});
  Occupancy planes(64, 4);
  ASSERT_EQ(AnalyseRaw(raw.get(), planes, max), rc::Ok);
  EXPECT_EQ(planes.marked(0), Levels({0, 63}));
  EXPECT_EQ(planes.marked(1), Levels());
  EXPECT_EQ(planes.marked(2), Levels({1}));
  EXPECT_EQ(max.m[1], 0);
  EXPECT_EQ(max.m[3], 3);
}

// ---- Raw planar images ---------------------------------------------------------------------

template <typename T>
class OccupiedLevelsRawPlanes : public ::testing::Test {};
TYPED_TEST_SUITE(OccupiedLevelsRawPlanes, SampleTypes);

TYPED_TEST(OccupiedLevelsRawPlanes, MarksEachPlaneIntoItsOwnArray) {
  using T = TypeParam;
  // 3 x 2 planes with padded rows: plane p starts p x height x linePitch bytes in.
  auto raw = MakeImage<T>({3, 2, 4, 1, 4, 8},
                          {1, 2, 3, 4, 5, 6,  20, 21, 22, 23, 24, 25,
                           100, 100, 100, 101, 101, 101,  0, 255, 0, 255, 0, 255});
  Occupancy occ(256, 4);
  Maxima max;
  ASSERT_EQ(AnalyseRaw(raw.get(), occ, max), rc::Ok);
  EXPECT_EQ(occ.marked(0), Levels({1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(occ.marked(1), Levels({20, 21, 22, 23, 24, 25}));
  EXPECT_EQ(occ.marked(2), Levels({100, 101}));
  EXPECT_EQ(occ.marked(3), Levels({0, 255}));
  EXPECT_EQ(max.m[0], 6);
  EXPECT_EQ(max.m[1], 25);
  EXPECT_EQ(max.m[2], 101);
  EXPECT_EQ(max.m[3], 255);

  // Each plane folds by its own pair.
  Occupancy folded(256, 4);
  Pairs p;
  p.low[0] = 3, p.high[0] = 5;
  p.low[1] = 22, p.high[1] = 256;
  p.low[3] = 10, p.high[3] = 200;
  ASSERT_EQ(AnalyseRaw(raw.get(), folded, max, true, p), rc::Ok);
  EXPECT_EQ(folded.marked(0), Levels({4}));
  EXPECT_EQ(folded.marked(1), Levels({23, 24, 25}));
  EXPECT_EQ(folded.marked(2), Levels({100, 101}));
  EXPECT_EQ(folded.marked(3), Levels({11, 199}));
  EXPECT_EQ(max.m[0], 4);
  EXPECT_EQ(max.m[3], 199);
}

// ---- Validation order ----------------------------------------------------------------------

// Starts with every argument wrong and repairs them one at a time in the documented order:
// each step must report the next code and leave arrays and maxima untouched.
TEST(OccupiedLevels, ValidatesInTheDocumentedOrderBeforeWritingAnything) {
  auto rgb = MakeImage<std::uint16_t>({2, 1, 3, 0, 0, 16}, {1, 2, 3, 4, 5, 6});
  Occupancy occ(65536, 3);
  Maxima max;
  ur::SxImageBuf image = rgb.get();
  image.data = nullptr;
  int levels = 4096;
  bool* o[3] = {nullptr, nullptr, nullptr};
  int low0 = 5, high0 = -1;
  auto call = [&] {
    return GetOccupiedLevels(image, o[0], o[1], o[2], levels, max.m[0], max.m[1], max.m[2], true,
                             low0, high0, -1, -1, -1, -1);
  };
  EXPECT_EQ(call(), 0xA0004313u);
  image.data = rgb->data;
  EXPECT_EQ(call(), 0xA0004317u);
  levels = 65536;
  EXPECT_EQ(call(), 0xA0004314u);
  o[0] = occ[0];
  EXPECT_EQ(call(), 0xA0004315u);
  o[1] = occ[1];
  EXPECT_EQ(call(), 0xA0004316u);
  o[2] = occ[2];
  EXPECT_EQ(call(), 0xA000431Bu);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(occ.marked(c), Levels());
  for (int c = 0; c < 3; ++c) EXPECT_EQ(max.m[c], kUntouched);
  high0 = 10;
  EXPECT_EQ(call(), rc::Ok);
  EXPECT_EQ(occ.marked(0), Levels({6}));  // 1 and 4 fold to 6

  // The image is rejected for its layout as well: 2 or 4 channels, 4-byte samples.
  image.channels = 2;
  EXPECT_EQ(call(), 0xA0004313u);
  image.channels = 4;
  EXPECT_EQ(call(), 0xA0004313u);
  image.channels = 3;
  image.dataType = ur::eImageDataFloat;
  EXPECT_EQ(call(), 0xA0004313u);
  image.dataType = ur::eImageDataInt16;  // only the sample size counts
  EXPECT_EQ(call(), rc::Ok);
}

TEST(OccupiedLevelsRaw, ValidatesInTheDocumentedOrderBeforeWritingAnything) {
  auto raw = MakeImage<std::uint8_t>({1, 1, 4, 1, 0, 8}, {1, 2, 3, 4});
  Occupancy occ(256, 4);
  Maxima max;
  ur::SxImageBuf image = raw.get();
  image.channels = 3;
  int levels = 128;
  bool* o[4] = {nullptr, nullptr, nullptr, nullptr};
  Pairs p;
  for (int i = 0; i < 4; ++i) p.low[i] = 5, p.high[i] = -1;
  auto call = [&] {
    return GetOccupiedLevelsRaw(image, o[0], o[1], o[2], o[3], levels, max.m[0], max.m[1],
                                max.m[2], max.m[3], true, p.low[0], p.high[0], p.low[1],
                                p.high[1], p.low[2], p.high[2], p.low[3], p.high[3]);
  };
  EXPECT_EQ(call(), 0xA0004313u);
  image.channels = 4;
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(call(), 0xA0004314u + unsigned(i));
    o[i] = occ[i];
  }
  EXPECT_EQ(call(), 0xA0004318u);
  levels = 256;
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(call(), 0xA0004319u + unsigned(i));
    p.low[i] = -1;
  }
  for (int i = 0; i < 4; ++i) EXPECT_EQ(occ.marked(i), Levels());
  for (int i = 0; i < 4; ++i) EXPECT_EQ(max.m[i], kUntouched);
  EXPECT_EQ(call(), rc::Ok);
  EXPECT_EQ(occ.marked(3), Levels({4}));
}

// ---- Against a literal reading of the algorithm --------------------------------------------

// The marking steps written out sample by sample, as plainly as possible.
template <typename T>
void ReferenceMark(std::vector<T> samples, std::vector<bool>& occupied, unsigned short& max,
                   bool useThreshold, int low, int high, int bitDepth) {
  const long long mod = 1LL << (8 * sizeof(T));
  if (high < 0) high = 1 << bitDepth;
  for (T s : samples) {
    long long v = s;
    if (useThreshold) {
      if (v <= low) v = (low + 1) % mod;
      if (v >= high) v = ((high - 1) % mod + mod) % mod;
    }
    if (v >= (long long)occupied.size()) continue;
    occupied[std::size_t(v)] = !useThreshold || (low <= v && v <= high);
    if (v > max) max = static_cast<unsigned short>(v);
  }
}

struct RandomCase {
  int bitDepth;     // declared
  int levelsCount;  // 2^bitDepth, or the sample range
  bool useThreshold;
  int low, high;    // channel c gets (low + c x step, high)
  int step;
};

template <typename T>
void CheckAgainstReference(const RandomCase& tc, int channels, bool planar, int width) {
  std::mt19937 rng(42 + channels + width);
  const int height = 5;
  // Mostly inside the declared depth, with a few samples beyond it.
  std::uniform_int_distribution<int> inside(0, (1 << tc.bitDepth) - 1);
  std::uniform_int_distribution<int> any(0, (1 << (8 * sizeof(T))) - 1);
  std::uniform_int_distribution<int> pick(0, 19);
  std::vector<T> samples(std::size_t(width) * height * channels);
  for (auto& s : samples) s = T(pick(rng) == 0 ? any(rng) : inside(rng));
  auto image = MakeImage<T>({width, height, channels, planar ? 1 : 0, 6, tc.bitDepth}, samples);

  Occupancy occ(tc.levelsCount, channels);
  Maxima max;
  Pairs p;
  for (int c = 0; c < 4; ++c) p.low[c] = tc.low + c * tc.step, p.high[c] = tc.high;
  const unsigned int code = planar ? AnalyseRaw(image.get(), occ, max, tc.useThreshold, p)
                                   : Analyse(image.get(), occ, max, tc.useThreshold, p);
  ASSERT_EQ(code, rc::Ok);
  for (int c = 0; c < channels; ++c) {
    std::vector<T> channel;
    const int physical = (!planar && channels == 3 && sizeof(T) == 1) ? 2 - c : c;
    for (std::size_t i = 0; i < samples.size(); ++i) {
      const bool ofChannel = planar ? i / (std::size_t(width) * height) == std::size_t(c)
                                    : int(i % channels) == physical;
      if (ofChannel) channel.push_back(samples[i]);
    }
    std::vector<bool> expected(std::size_t(tc.levelsCount), false);
    unsigned short expectedMax = 0;
    ReferenceMark(channel, expected, expectedMax, tc.useThreshold, p.low[c], p.high[c],
                  tc.bitDepth);
    Levels expectedLevels;
    for (int i = 0; i < tc.levelsCount; ++i)
      if (expected[std::size_t(i)]) expectedLevels.push_back(i);
    EXPECT_EQ(occ.marked(c), expectedLevels) << "channel " << c;
    EXPECT_EQ(max.m[c], expectedMax) << "channel " << c;
  }
}

template <typename T>
class OccupiedLevelsReference : public ::testing::Test {};
TYPED_TEST_SUITE(OccupiedLevelsReference, SampleTypes);

TYPED_TEST(OccupiedLevelsReference, AgreesForEveryLayoutThresholdAndLevelsCount) {
  using T = TypeParam;
  const int full = 1 << (8 * sizeof(T));
  const int depth = sizeof(T) == 1 ? 6 : 12;
  const int declared = 1 << depth;
  const RandomCase cases[] = {
      {depth, full, false, -1, -1, 0},              // whole sample range, no thresholds
      {depth, declared, false, -1, -1, 0},          // samples beyond the declared depth
      {depth, full, true, 10, 40, 5},               // the usual pairs: clamps
      {depth, declared, true, 10, 40, 5},
      {depth, declared, true, -1, declared + 50, 0},  // high beyond the array
      {depth, declared, true, 20, 20, 0},           // degenerate pairs fold and clear
      {depth, declared, true, 20, 21, 0},
      {depth, declared, true, 39, 40, -15},         // a degenerate pair next to clamps
      {depth, full, true, -1, 0, 0},
      {depth, declared, true, declared, declared, 0},
  };
  for (const RandomCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "levels " << c.levelsCount << " pair (" << c.low << ", "
                                      << c.high << ") step " << c.step << " thresholds "
                                      << c.useThreshold);
    for (int width : {37, 301}) {  // 301 pixels span several chunks of the clamp kernel
      CheckAgainstReference<T>(c, 1, false, width);
      CheckAgainstReference<T>(c, 3, false, width);
      CheckAgainstReference<T>(c, 4, true, width);
    }
  }
}

}  // namespace
