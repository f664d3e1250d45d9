// Thresholding: which samples are replaced and by what, the ring order and reach of the search,
// channel positions, the recorded pixels, and the validation order with nothing written on
// failure.
#include <zel/thresholding.h>

#include <zel_testing/image_builder.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using urs::InvalidPixel;
using urs::zel::ApplyThreshold;
using zel::testing::ImageShape;
using zel::testing::MakeImage;
using zel::testing::SampleAt;
using zel::testing::Samples;
namespace rc = ur::rc;

struct Pair {
  int low = -1;
  int high = -1;
};

struct Outcome {
  unsigned int code = 0;
  QVector<InvalidPixel> pixels;
};

Outcome Apply(ur::SxImageBuf& image, Pair p0, int window, Pair p1 = {}, Pair p2 = {}) {
  Outcome out;
  ur::ScopedImageBuf border;
  out.code = ApplyThreshold(image, p0.low, p0.high, p1.low, p1.high, p2.low, p2.high,
                            border.get(), window, out.pixels);
  return out;
}

ur::ScopedImageBuf Grey8(int width, int height, std::uint8_t fill) {
  return MakeImage<std::uint8_t>(ImageShape{width, height},
                                 std::vector<std::uint8_t>(std::size_t(width) * height, fill));
}

void Set8(ur::SxImageBuf& b, int x, int y, std::uint8_t v) { ur::RowPtr(b, y)[x] = v; }

const InvalidPixel* EntryAt(const QVector<InvalidPixel>& list, int x, int y) {
  for (const InvalidPixel& p : list)
    if (p.col == x && p.row == y) return &p;
  return nullptr;
}

// Ring 1 clockwise from the top-left corner, as (row offset, column offset).
const int kRing1[8][2] = {{-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}, {1, 0}, {1, -1}, {0, -1}};

// --- Which samples are replaced, and by what -------------------------------------------------

TEST(ThresholdReplace, UnderExposedTakesTheAcceptableNeighbour) {
  auto image = Grey8(5, 5, 100);
  Set8(image.get(), 2, 2, 5);
  const Outcome r = Apply(image.get(), {10, 200}, 5);
  EXPECT_EQ(r.code, rc::Ok);
  EXPECT_EQ(SampleAt<std::uint8_t>(image.get(), 2, 2), 100);
  ASSERT_EQ(r.pixels.size(), 1);
  EXPECT_EQ(r.pixels[0].col, 2);
  EXPECT_EQ(r.pixels[0].row, 2);
  EXPECT_EQ(r.pixels[0].invalidValue[0], 5u);
  EXPECT_EQ(r.pixels[0].newValue[0], 100u);
  for (int c = 1; c < 4; ++c) {
    EXPECT_EQ(r.pixels[0].invalidValue[c], 0u);
    EXPECT_EQ(r.pixels[0].newValue[c], 0u);
  }
}

TEST(ThresholdReplace, OverExposedWithoutAcceptableNeighbourTakesHighMinusOne) {
  auto image = Grey8(11, 11, 255);
  Set8(image.get(), 5, 5, 250);
  const Outcome r = Apply(image.get(), {10, 200}, 5);
  EXPECT_EQ(r.code, rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(image.get()), std::vector<std::uint8_t>(121, 199));
  ASSERT_EQ(r.pixels.size(), 121);
  const InvalidPixel* centre = EntryAt(r.pixels, 5, 5);
  ASSERT_NE(centre, nullptr);
  EXPECT_EQ(centre->invalidValue[0], 250u);
  EXPECT_EQ(centre->newValue[0], 199u);
}

TEST(ThresholdReplace, LevelsEqualToAThresholdViolateItAndScanOrderIsKept) {
  // Columns 10 | 100 | 200: the outer columns violate and take the middle column, whose
  // mirror also fills the margins.
  auto image = MakeImage<std::uint8_t>(ImageShape{3, 3},
                                       {10, 100, 200, 10, 100, 200, 10, 100, 200});
  const Outcome r = Apply(image.get(), {10, 200}, 1);
  EXPECT_EQ(Samples<std::uint8_t>(image.get()), std::vector<std::uint8_t>(9, 100));
  ASSERT_EQ(r.pixels.size(), 6);
  const int expected[6][3] = {{0, 0, 10}, {2, 0, 200}, {0, 1, 10},
                              {2, 1, 200}, {0, 2, 10}, {2, 2, 200}};
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(r.pixels[i].col, expected[i][0]);
    EXPECT_EQ(r.pixels[i].row, expected[i][1]);
    EXPECT_EQ(r.pixels[i].invalidValue[0], std::uint32_t(expected[i][2]));
    EXPECT_EQ(r.pixels[i].newValue[0], 100u);
  }
}

TEST(ThresholdReplace, LevelsJustInsideTheThresholdsStay) {
  auto image = MakeImage<std::uint8_t>(ImageShape{3, 1}, {11, 199, 11});
  const Outcome r = Apply(image.get(), {10, 200}, 5);
  EXPECT_EQ(r.code, rc::Ok);
  EXPECT_TRUE(r.pixels.isEmpty());
  EXPECT_EQ(Samples<std::uint8_t>(image.get()), (std::vector<std::uint8_t>{11, 199, 11}));
}

TEST(ThresholdReplace, WindowZeroUsesTheNextLevelWithoutSearching) {
  auto image = MakeImage<std::uint8_t>(ImageShape{3, 1}, {5, 100, 250});
  const Outcome r = Apply(image.get(), {10, 200}, 0);
  EXPECT_EQ(r.code, rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(image.get()), (std::vector<std::uint8_t>{11, 100, 199}));
  EXPECT_EQ(r.pixels.size(), 2);
}

TEST(ThresholdReplace, CandidatesComeFromTheImageBeforeReplacement) {
  // A (1,2) sees 77 at (0,2) and takes it; B (2,2) sees only A, which was 0 before.
  auto image = Grey8(5, 5, 0);
  Set8(image.get(), 0, 2, 77);
  Apply(image.get(), {10, 200}, 1);
  EXPECT_EQ(SampleAt<std::uint8_t>(image.get(), 1, 2), 77);
  EXPECT_EQ(SampleAt<std::uint8_t>(image.get(), 2, 2), 11);
}

TEST(ThresholdReplace, EdgeNeighboursComeFromTheMirroredMargin) {
  // Without a lower threshold a margin of zeros would be acceptable; the mirror holds only
  // pixels of the image, of which the one at (2,2) is the only acceptable level.
  auto image = Grey8(3, 3, 240);
  Set8(image.get(), 0, 0, 250);
  Set8(image.get(), 2, 2, 42);
  const Outcome r = Apply(image.get(), {-1, 200}, 2);
  EXPECT_EQ(SampleAt<std::uint8_t>(image.get(), 0, 0), 42);
  EXPECT_EQ(r.pixels.size(), 8);  // every pixel but (2,2) is over-exposed
}

// --- Disabled thresholds and degenerate pairs ---------------------------------------------------

TEST(ThresholdDisabled, NoLowerThresholdStillAcceptsNeighboursBelowHigh) {
  auto image = Grey8(3, 3, 0);
  Set8(image.get(), 1, 1, 250);
  const Outcome r = Apply(image.get(), {-1, 200}, 5);
  EXPECT_EQ(SampleAt<std::uint8_t>(image.get(), 1, 1), 0);
  ASSERT_EQ(r.pixels.size(), 1);  // zeros are not under-exposed without a lower threshold
  EXPECT_EQ(r.pixels[0].newValue[0], 0u);
}

TEST(ThresholdDisabled, NoLowerThresholdAndNoNeighbourGivesHighMinusOne) {
  auto image = Grey8(3, 3, 250);
  Apply(image.get(), {-1, 200}, 5);
  EXPECT_EQ(Samples<std::uint8_t>(image.get()), std::vector<std::uint8_t>(9, 199));
}

TEST(ThresholdDisabled, BothDisabledChangesNothing) {
  auto image = MakeImage<std::uint8_t>(ImageShape{3, 1}, {0, 128, 255});
  const Outcome r = Apply(image.get(), {-1, -1}, 5);
  EXPECT_TRUE(r.pixels.isEmpty());
  EXPECT_EQ(Samples<std::uint8_t>(image.get()), (std::vector<std::uint8_t>{0, 128, 255}));
}

TEST(ThresholdDisabled, UnderFallbackNeverLandsOnTheUpperThreshold) {
  // (100, 101) leaves no level between: an under-exposed sample falls to 100, not to 101.
  auto image = MakeImage<std::uint8_t>(ImageShape{2, 1}, {50, 150});
  Apply(image.get(), {100, 101}, 5);
  EXPECT_EQ(Samples<std::uint8_t>(image.get()), (std::vector<std::uint8_t>{100, 100}));
}

TEST(ThresholdDisabled, FallbacksStayInsideTheLevelRange) {
  auto top = MakeImage<std::uint8_t>(ImageShape{2, 1}, {0, 255});
  Apply(top.get(), {255, 255}, 1);  // 256 would wrap to 0
  EXPECT_EQ(Samples<std::uint8_t>(top.get()), (std::vector<std::uint8_t>{254, 254}));

  auto bottom = MakeImage<std::uint8_t>(ImageShape{2, 1}, {0, 255});
  Apply(bottom.get(), {-1, 0}, 1);  // -1 would wrap to 255
  EXPECT_EQ(Samples<std::uint8_t>(bottom.get()), (std::vector<std::uint8_t>{0, 0}));
}

// --- The ring search ------------------------------------------------------------------------

TEST(ThresholdRings, EveryPositionBelongsToItsRingAndNoNearer) {
  // One acceptable level at each offset within distance 5 of the centre of an 11x11 image.
  for (int dy = -5; dy <= 5; ++dy)
    for (int dx = -5; dx <= 5; ++dx) {
      const int ring = std::max(std::abs(dy), std::abs(dx));
      if (ring == 0) continue;
      for (int window : {ring, ring - 1}) {
        auto image = Grey8(11, 11, 0);
        Set8(image.get(), 5 + dx, 5 + dy, 77);
        Apply(image.get(), {10, 200}, window);
        EXPECT_EQ(SampleAt<std::uint8_t>(image.get(), 5, 5), window == ring ? 77 : 11)
            << "offset (" << dy << ", " << dx << ") window " << window;
      }
    }
}

TEST(ThresholdRings, WindowAboveFiveSearchesFiveRings) {
  auto far = Grey8(15, 15, 0);
  Set8(far.get(), 13, 7, 77);  // distance 6
  EXPECT_EQ(Apply(far.get(), {10, 200}, 7).code, rc::Ok);
  EXPECT_EQ(SampleAt<std::uint8_t>(far.get(), 7, 7), 11);

  auto near = Grey8(15, 15, 0);
  Set8(near.get(), 12, 7, 77);  // distance 5
  Apply(near.get(), {10, 200}, 7);
  EXPECT_EQ(SampleAt<std::uint8_t>(near.get(), 7, 7), 77);
}

// Tiles of size x size with the target at the centre, level 50 at ring position `first` and 60
// at the next one clockwise (both at Chebyshev distance `ring`), everything else 0 and
// under-exposed. Walking clockwise from a uniform start, the later position is met first only
// when the start is exactly there: one time in 8 x ring. Counter-clockwise it would be nearly
// always.
void ExpectClockwise(int ring, const int first[2], const int second[2], int tilesPerSide) {
  const int size = 2 * ring + 1;
  const int side = size * tilesPerSide;
  auto image = Grey8(side, side, 0);
  for (int ty = 0; ty < tilesPerSide; ++ty)
    for (int tx = 0; tx < tilesPerSide; ++tx) {
      const int cy = ty * size + ring;
      const int cx = tx * size + ring;
      Set8(image.get(), cx + first[1], cy + first[0], 50);
      Set8(image.get(), cx + second[1], cy + second[0], 60);
    }
  Apply(image.get(), {10, 200}, ring);
  int later = 0;
  const int targets = tilesPerSide * tilesPerSide;
  for (int ty = 0; ty < tilesPerSide; ++ty)
    for (int tx = 0; tx < tilesPerSide; ++tx) {
      const int v = SampleAt<std::uint8_t>(image.get(), tx * size + ring, ty * size + ring);
      ASSERT_TRUE(v == 50 || v == 60) << v;
      later += v == 60;
    }
  const double expected = double(targets) / (8 * ring);
  EXPECT_GT(later, 0) << "the start is not spread over the ring";
  EXPECT_LT(later, 3 * expected) << "ring walked the wrong way from (" << first[0] << ", "
                                 << first[1] << ")";
}

TEST(ThresholdRings, RingOneIsWalkedClockwiseFromTheTopLeft) {
  for (int k = 0; k < 8; ++k) ExpectClockwise(1, kRing1[k], kRing1[(k + 1) % 8], 30);
}

TEST(ThresholdRings, OuterRingWrapsFromTheLeftColumnToTheTopLeftCorner) {
  const int last[2] = {-4, -5};
  const int corner[2] = {-5, -5};
  const int right[2] = {-5, 5};
  const int belowRight[2] = {-4, 5};
  ExpectClockwise(5, last, corner, 40);
  ExpectClockwise(5, right, belowRight, 40);
}

// --- Colour images and channel positions ----------------------------------------------------

TEST(ThresholdColour, OnlyChannelOneOverExposedIsRecordedOnce) {
  // 1-byte colour pixels hold B, G, R: every pixel R 50, G 120, B 30; the centre's G is 230.
  std::vector<std::uint8_t> samples;
  for (int i = 0; i < 9; ++i) {
    const std::uint8_t green = i == 4 ? 230 : 120;
    samples.insert(samples.end(), {30, green, 50});
  }
  auto image = MakeImage<std::uint8_t>(ImageShape{3, 3, 3}, samples);
  const Outcome r = Apply(image.get(), {10, 200}, 5, {10, 200}, {10, 200});
  ASSERT_EQ(r.pixels.size(), 1);
  const InvalidPixel& p = r.pixels[0];
  EXPECT_EQ(p.col, 1);
  EXPECT_EQ(p.row, 1);
  EXPECT_EQ(p.invalidValue[0], 50u);
  EXPECT_EQ(p.newValue[0], 50u);
  EXPECT_EQ(p.invalidValue[1], 230u);
  EXPECT_EQ(p.newValue[1], 120u);
  EXPECT_EQ(p.invalidValue[2], 30u);
  EXPECT_EQ(p.newValue[2], 30u);
  EXPECT_EQ(p.invalidValue[3], 0u);
  EXPECT_EQ(SampleAt<std::uint8_t>(image.get(), 1, 1, 1), 120);
}

TEST(ThresholdColour, OneByteBlueIsReadAndWrittenAtByteZero) {
  // Memory (B, G, R) = (100, 100, 150) everywhere, the centre's B is 5.
  std::vector<std::uint8_t> samples;
  for (int i = 0; i < 9; ++i) {
    const std::uint8_t blue = i == 4 ? 5 : 100;
    samples.insert(samples.end(), {blue, 100, 150});
  }
  auto image = MakeImage<std::uint8_t>(ImageShape{3, 3, 3}, samples);

  // A threshold on red does not see the blue 5.
  EXPECT_TRUE(Apply(image.get(), {10, 200}, 1).pixels.isEmpty());

  const Outcome r = Apply(image.get(), {}, 1, {}, {10, 200});
  ASSERT_EQ(r.pixels.size(), 1);
  EXPECT_EQ(r.pixels[0].invalidValue[2], 5u);
  EXPECT_EQ(r.pixels[0].newValue[2], 100u);  // the neighbours' blue, not their red 150
  EXPECT_EQ(r.pixels[0].newValue[0], 150u);
  EXPECT_EQ(SampleAt<std::uint8_t>(image.get(), 1, 1, 0), 100);
  EXPECT_EQ(SampleAt<std::uint8_t>(image.get(), 1, 1, 2), 150);
}

TEST(ThresholdColour, TwoByteRedIsSampleZero) {
  // 2-byte colour pixels hold R, G, B: (1000, 2000, 3000), the centre's R is 5; 12 bits.
  std::vector<std::uint16_t> samples;
  for (int i = 0; i < 9; ++i) {
    const std::uint16_t red = i == 4 ? 5 : 1000;
    samples.insert(samples.end(), {red, 2000, 3000});
  }
  auto image = MakeImage<std::uint16_t>(ImageShape{3, 3, 3, 0, 0, 12}, samples);
  const Outcome r = Apply(image.get(), {10, 4000}, 1, {10, 4000}, {10, 4000});
  ASSERT_EQ(r.pixels.size(), 1);
  EXPECT_EQ(r.pixels[0].invalidValue[0], 5u);
  EXPECT_EQ(r.pixels[0].newValue[0], 1000u);
  EXPECT_EQ(r.pixels[0].newValue[1], 2000u);
  EXPECT_EQ(r.pixels[0].newValue[2], 3000u);
  EXPECT_EQ(SampleAt<std::uint16_t>(image.get(), 1, 1, 0), 1000);
}

// --- Validation and the border image ------------------------------------------------------

TEST(ThresholdValidation, ImageIsCheckedFirst) {
  ur::SxImageBuf empty;
  EXPECT_EQ(Apply(empty, {300, 0}, 5).code, rc::InvalidArg(1));

  auto four = MakeImage<std::uint8_t>(ImageShape{1, 1, 4}, {1, 2, 3, 4});
  EXPECT_EQ(Apply(four.get(), {10, 200}, 5).code, rc::InvalidArg(1));

  auto signedImage = MakeImage<std::int16_t>(ImageShape{1, 1}, {1});
  EXPECT_EQ(Apply(signedImage.get(), {10, 200}, 5).code, rc::InvalidArg(1));

  auto floats = MakeImage<float>(ImageShape{1, 1}, {1.0f});
  EXPECT_EQ(Apply(floats.get(), {10, 200}, 5).code, rc::InvalidArg(1));

  auto noDepth = Grey8(1, 1, 1);
  noDepth->bitDepth = 0;
  EXPECT_EQ(Apply(noDepth.get(), {10, 200}, 5).code, rc::InvalidArg(1));
}

TEST(ThresholdValidation, PairsAreCheckedInOrderAgainstTheBitDepth) {
  auto grey = MakeImage<std::uint16_t>(ImageShape{1, 1, 1, 0, 0, 12}, {7});
  EXPECT_EQ(Apply(grey.get(), {4096, -1}, 5).code, rc::InvalidArg(2));
  EXPECT_EQ(Apply(grey.get(), {10, 4096}, 5).code, rc::InvalidArg(3));
  EXPECT_EQ(Apply(grey.get(), {10, 5}, 5).code, rc::InvalidArg(3));
  EXPECT_EQ(Apply(grey.get(), {5, -1}, 5).code, rc::InvalidArg(3));
  EXPECT_EQ(Apply(grey.get(), {4095, 4095}, 5).code, rc::Ok);
  // A grey image ignores the other pairs.
  EXPECT_EQ(Apply(grey.get(), {-1, -1}, 5, {5000, 1}, {5000, 1}).code, rc::Ok);

  auto colour = MakeImage<std::uint8_t>(ImageShape{1, 1, 3}, {1, 2, 3});
  EXPECT_EQ(Apply(colour.get(), {256, 300}, 5, {256, 1}).code, rc::InvalidArg(2));
  EXPECT_EQ(Apply(colour.get(), {}, 5, {256, -1}).code, rc::InvalidArg(4));
  EXPECT_EQ(Apply(colour.get(), {}, 5, {5, -1}).code, rc::InvalidArg(5));
  EXPECT_EQ(Apply(colour.get(), {}, 5, {}, {256, -1}).code, rc::InvalidArg(6));
  EXPECT_EQ(Apply(colour.get(), {}, 5, {}, {10, 256}).code, rc::InvalidArg(7));
}

TEST(ThresholdValidation, FailureWritesNothing) {
  auto image = MakeImage<std::uint8_t>(ImageShape{2, 1}, {0, 255});
  QVector<InvalidPixel> list(1);
  list[0].col = 42;
  ur::ScopedImageBuf border;
  EXPECT_EQ(ApplyThreshold(image.get(), 10, 5, -1, -1, -1, -1, border.get(), 5, list),
            rc::InvalidArg(3));
  EXPECT_EQ(border->data, nullptr);
  ASSERT_EQ(list.size(), 1);
  EXPECT_EQ(list[0].col, 42);
  EXPECT_EQ(Samples<std::uint8_t>(image.get()), (std::vector<std::uint8_t>{0, 255}));
}

TEST(ThresholdBorder, CallerAllocatedBorderIsFilledWithTheMirror) {
  auto image = MakeImage<std::uint8_t>(ImageShape{3, 3}, {1, 2, 3, 4, 5, 6, 7, 8, 9});
  auto border = Grey8(5, 5, 0);
  QVector<InvalidPixel> list;
  EXPECT_EQ(ApplyThreshold(image.get(), -1, -1, -1, -1, -1, -1, border.get(), 1, list), rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(border.get()),
            (std::vector<std::uint8_t>{5, 4, 5, 6, 5, 2, 1, 2, 3, 2, 5, 4, 5, 6, 5,
                                       8, 7, 8, 9, 8, 5, 4, 5, 6, 5}));
}

TEST(ThresholdBorder, BorderOfTheWrongShapeIsRefusedBeforeAnyWrite) {
  auto image = MakeImage<std::uint8_t>(ImageShape{3, 3}, {0, 0, 0, 0, 0, 0, 0, 0, 0});
  QVector<InvalidPixel> list(1);

  auto small = Grey8(5, 5, 0);  // window 2 needs 7 x 7
  EXPECT_EQ(ApplyThreshold(image.get(), 10, 200, -1, -1, -1, -1, small.get(), 2, list),
            rc::Fail);
  auto wrongType = MakeImage<std::uint16_t>(ImageShape{7, 7}, std::vector<std::uint16_t>(49));
  EXPECT_EQ(ApplyThreshold(image.get(), 10, 200, -1, -1, -1, -1, wrongType.get(), 2, list),
            rc::Fail);
  ur::ScopedImageBuf none;
  EXPECT_EQ(ApplyThreshold(image.get(), 10, 200, -1, -1, -1, -1, none.get(), -1, list),
            rc::Fail);

  EXPECT_EQ(list.size(), 1);
  EXPECT_EQ(Samples<std::uint8_t>(small.get()), std::vector<std::uint8_t>(25, 0));
  EXPECT_EQ(Samples<std::uint8_t>(image.get()), std::vector<std::uint8_t>(9, 0));
}

TEST(ThresholdBorder, TheListIsEmptiedOnSuccess) {
  auto image = Grey8(2, 2, 100);
  QVector<InvalidPixel> list(3);
  ur::ScopedImageBuf border;
  EXPECT_EQ(ApplyThreshold(image.get(), 10, 200, -1, -1, -1, -1, border.get(), 5, list), rc::Ok);
  EXPECT_TRUE(list.isEmpty());
  EXPECT_EQ(border->width, 12);
  EXPECT_EQ(border->height, 12);
}

}  // namespace
