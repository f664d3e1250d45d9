// Grey PNG and TIFF frames through zelconv and back (-r): at most 256 occupied levels come back
// exactly and upright; with more, each sample comes back as a nearby occupied level.
#include <gtest/gtest.h>
#include <zel_testing/printers.h>

#include <QTemporaryDir>
#include <cstdlib>

#include "zelconv_test_support.h"

namespace {

using zel::testing::RankOf;
using zel::testing::RunZelconv;
using zel::testing::ZelconvRun;

struct GreyCase {
  const char* suffix;
  int bitDepth;
  int levels;  // occupied levels, spread over the whole range of the bit depth
  int width;
  int height;
};

std::ostream& operator<<(std::ostream& os, const GreyCase& c) {
  return os << c.suffix << " " << c.bitDepth << "-bit, " << c.levels << " levels, " << c.width
            << "x" << c.height;
}

class GreyRoundTrip : public ::testing::TestWithParam<GreyCase> {};

TEST_P(GreyRoundTrip, RestoresEverySampleUpright) {
  const GreyCase c = GetParam();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString input = dir.filePath(QStringLiteral("frame.") + QLatin1String(c.suffix));
  const QString zel = dir.filePath(QStringLiteral("frame.zel.png"));
  const QString restoredFile =
      dir.filePath(QStringLiteral("frame.dezel.") + QLatin1String(c.suffix));

  const std::vector<int> levels = zel::testing::SpreadLevels(c.levels, (1 << c.bitDepth) - 1);
  const std::vector<int> samples =
      zel::testing::ShuffledSamples(levels, std::size_t(c.width) * c.height, c.levels);
  ASSERT_TRUE(zel::testing::WriteImage(
      input, zel::testing::MakeGreyImage(c.width, c.height, c.bitDepth, samples).get()));

  const ZelconvRun forward = RunZelconv({QStringLiteral("-i"), input, QStringLiteral("-o"), zel});
  ASSERT_TRUE(forward.finished);
  ASSERT_TRUE(forward.saidLine(QStringLiteral("Success"))) << forward.err.toStdString();
  // A round trip that cannot be exact is announced before the file is written.
  EXPECT_EQ(forward.err.contains(QLatin1String("the way back gives each sample the nearest")),
            c.levels > 256)
      << forward.err.toStdString();
  const ur::ScopedImageBuf restored = zel::testing::RestoreThroughZelconv(zel, restoredFile);
  ASSERT_NE(restored->data, nullptr);
  ASSERT_EQ(restored->width, c.width);
  ASSERT_EQ(restored->height, c.height);
  ASSERT_EQ(restored->channels, 1);
  EXPECT_EQ(restored->dataType, c.bitDepth > 8 ? ur::eImageDataUInt16 : ur::eImageDataUInt8);

  // One scaling step spans (levels - 1) / 255 ranks; the restored rank is rounded once more.
  const bool exact = c.levels <= 256;
  const double tolerance = 0.5 * (c.levels - 1) / 255.0 + 0.5;
  int wrong = 0;
  for (int y = 0; y < c.height && wrong < 10; ++y)
    for (int x = 0; x < c.width && wrong < 10; ++x) {
      const int original = samples[std::size_t(y) * c.width + x];
      const int got = zel::testing::GreyAt(restored.get(), x, y);
      const int rank = RankOf(levels, got);
      const bool good = exact ? got == original
                              : rank >= 0 && std::abs(rank - RankOf(levels, original)) <= tolerance;
      if (!good) {
        ++wrong;
        ADD_FAILURE() << "at " << x << "," << y << ": " << original << " came back as " << got;
      }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, GreyRoundTrip,
    ::testing::Values(GreyCase{"png", 8, 200, 37, 23}, GreyCase{"tif", 8, 256, 37, 23},
                      GreyCase{"png", 10, 256, 23, 37}, GreyCase{"tif", 10, 97, 37, 23},
                      GreyCase{"tif", 12, 256, 37, 23}, GreyCase{"png", 12, 5, 31, 11},
                      GreyCase{"png", 16, 256, 37, 23}, GreyCase{"tif", 16, 256, 23, 37},
                      GreyCase{"png", 12, 1500, 61, 43}, GreyCase{"tif", 16, 3000, 73, 47},
                      GreyCase{"tif", 10, 700, 41, 29}));

}  // namespace
