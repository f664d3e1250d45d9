// A synthetic Bayer mosaic through zelconv with interpolating demosaicing and back: every
// sample returns exactly, upright and at its own site, for each of the four grids.
#include <gtest/gtest.h>
#include <zel_testing/printers.h>

#include <QTemporaryDir>
#include <array>

#include "zelconv_test_support.h"

namespace {

using zel::testing::RunZelconv;
using zel::testing::ZelconvRun;

struct MosaicCase {
  const char* grid;  // the -b value, also the colours of the top-left 2x2 cell row by row
  int width;
  int height;
};

std::ostream& operator<<(std::ostream& os, const MosaicCase& c) {
  return os << c.grid << " " << c.width << "x" << c.height;
}

// Each colour has a few levels of its own, so a sample found at another colour's site shows.
// With four levels per colour the interpolated channels stay far below 256 levels.
int LevelOf(char colour, int index) {
  static const std::array<int, 4> red{64, 1000, 2500, 4000};
  static const std::array<int, 4> green{300, 1800, 3100, 4095};
  static const std::array<int, 4> blue{0, 777, 2222, 3333};
  const std::array<int, 4>& set = colour == 'r' ? red : colour == 'g' ? green : blue;
  return set[std::size_t(index % 4)];
}

class MosaicRoundTrip : public ::testing::TestWithParam<MosaicCase> {};

TEST_P(MosaicRoundTrip, InterpolatedRoundTripRestoresTheMosaic) {
  const int width = GetParam().width;
  const int height = GetParam().height;
  const char* grid = GetParam().grid;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString input = dir.filePath(QStringLiteral("mosaic.png"));
  const QString zel = dir.filePath(QStringLiteral("mosaic.zel.png"));
  const QString restoredFile = dir.filePath(QStringLiteral("mosaic.dezel.png"));

  std::vector<int> samples(std::size_t(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      samples[std::size_t(y) * width + x] =
          LevelOf(grid[(y % 2) * 2 + x % 2], (x * 7 + y * 3 + x / 5) % 4);
  ASSERT_TRUE(zel::testing::WriteImage(
      input, zel::testing::MakeGreyImage(width, height, 16, samples).get()));

  const ZelconvRun forward =
      RunZelconv({QStringLiteral("-i"), input, QStringLiteral("-o"), zel, QStringLiteral("-b"),
                  QLatin1String(grid), QStringLiteral("-a"), QStringLiteral("id")});
  ASSERT_TRUE(forward.finished);
  ASSERT_TRUE(forward.saidLine(QStringLiteral("Success"))) << forward.err.toStdString();
  const ur::ScopedImageBuf stored = zel::testing::ReadImage(zel);
  ASSERT_NE(stored->data, nullptr);
  EXPECT_EQ(stored->channels, 3);
  EXPECT_EQ(stored->width, width);
  EXPECT_EQ(stored->height, height);

  const ur::ScopedImageBuf restored = zel::testing::RestoreThroughZelconv(zel, restoredFile);
  ASSERT_NE(restored->data, nullptr);
  ASSERT_EQ(restored->width, width);
  ASSERT_EQ(restored->height, height);
  ASSERT_EQ(restored->channels, 1);
  zel::testing::ExpectSamples(restored.get(), samples, grid);
}

// An odd last column and row hold incomplete cells, which interpolation must keep as well.
INSTANTIATE_TEST_SUITE_P(Grids, MosaicRoundTrip,
                         ::testing::Values(MosaicCase{"bggr", 38, 26}, MosaicCase{"rggb", 38, 26},
                                           MosaicCase{"gbrg", 38, 26}, MosaicCase{"grbg", 38, 26},
                                           MosaicCase{"rggb", 37, 25}, MosaicCase{"grbg", 25, 37}));

}  // namespace
