// Integer FITS frames through a directory run of zelconv (-d) and back (-r to TIFF): at most 256
// occupied levels come back exactly and upright; FITS samples the converter does not take are
// refused by name.
#include <gtest/gtest.h>
#include <zel_testing/printers.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstring>
#include <vector>

#include "zelconv_test_support.h"

namespace {

using zel::testing::RunZelconv;
using zel::testing::ZelconvRun;

// A one-channel image of the type holding samples row by row.
template <typename T>
ur::ScopedImageBuf MakeImage(ur::ExImageDataType type, int width, int height,
                             const std::vector<int>& samples) {
  ur::ScopedImageBuf image;
  EXPECT_FALSE(ur::Failed(ur::AllocBuffer(image.get(), width, height, 1, 16, type)));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const T v = T(samples[std::size_t(y) * width + x]);
      std::memcpy(ur::RowPtr(image.get(), y) + x * sizeof(T), &v, sizeof(T));
    }
  return image;
}

struct FitsCase {
  const char* suffix;
  ur::ExImageDataType type;  // unsigned or signed 16-bit samples
  int levels;
  int top;  // highest level
};

class FitsRoundTrip : public ::testing::TestWithParam<FitsCase> {};

TEST_P(FitsRoundTrip, RestoresEverySampleUpright) {
  const FitsCase c = GetParam();
  const int width = 37, height = 23;
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("in")));
  const QString written = dir.filePath(QStringLiteral("written.fits"));
  const QString input = dir.filePath(QStringLiteral("in/frame.") + QLatin1String(c.suffix));
  const QString zel = dir.filePath(QStringLiteral("in/ZEL/frame.zel.png"));
  const QString restoredFile = dir.filePath(QStringLiteral("frame.dezel.tif"));

  const std::vector<int> levels = zel::testing::SpreadLevels(c.levels, c.top);
  const std::vector<int> samples =
      zel::testing::ShuffledSamples(levels, std::size_t(width) * height, 7);
  const ur::ScopedImageBuf image = c.type == ur::eImageDataUInt16
                                       ? MakeImage<quint16>(c.type, width, height, samples)
                                       : MakeImage<qint16>(c.type, width, height, samples);
  // Written as FITS by the format plug-in, then given the suffix under test.
  ASSERT_TRUE(zel::testing::WriteImage(written, image.get()));
  ASSERT_TRUE(QFile::rename(written, input));

  const ZelconvRun forward = RunZelconv({QStringLiteral("-d"), dir.filePath(QStringLiteral("in"))});
  ASSERT_TRUE(forward.finished);
  ASSERT_EQ(forward.exitCode, 0) << forward.err.toStdString();
  ASSERT_TRUE(QFile::exists(zel)) << forward.err.toStdString();
  // The single-file mode takes the frame too, and its verification finds it exact.
  const ZelconvRun single =
      RunZelconv({QStringLiteral("-i"), input, QStringLiteral("-o"),
                  dir.filePath(QStringLiteral("single.zel.png")), QStringLiteral("--verify")});
  EXPECT_EQ(single.exitCode, 0) << single.err.toStdString();
  EXPECT_TRUE(single.err.contains(QLatin1String(": exact."))) << single.err.toStdString();
  const ur::ScopedImageBuf restored = zel::testing::RestoreThroughZelconv(zel, restoredFile);
  ASSERT_NE(restored->data, nullptr);
  ASSERT_EQ(restored->width, width);
  ASSERT_EQ(restored->height, height);
  ASSERT_EQ(restored->channels, 1);
  zel::testing::ExpectSamples(restored.get(), samples);
}

INSTANTIATE_TEST_SUITE_P(Files, FitsRoundTrip,
                         ::testing::Values(FitsCase{"fits", ur::eImageDataUInt16, 256, 65535},
                                           FitsCase{"fit", ur::eImageDataUInt16, 200, 4095},
                                           FitsCase{"fts", ur::eImageDataInt16, 97, 32767}));

TEST(FitsInput, OtherSampleTypesAreRefusedByName) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const struct {
    const char* name;
    ur::ExImageDataType type;
    const char* said;
  } cases[] = {{"float.fits", ur::eImageDataFloat, "single values"},
               {"negative.fits", ur::eImageDataInt16, "negative samples"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ur::ScopedImageBuf image;
    ASSERT_FALSE(
        ur::Failed(ur::AllocBuffer(image.get(), 4, 3, 1, 16, c.type, 0, ur::eBayerNone, true)));
    if (c.type == ur::eImageDataInt16) reinterpret_cast<qint16*>(image->data)[5] = -1;
    const QString folder = dir.filePath(QLatin1String(c.name).chopped(5));
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(
        zel::testing::WriteImage(folder + QLatin1Char('/') + QLatin1String(c.name), image.get()));
    const ZelconvRun run = RunZelconv({QStringLiteral("-d"), folder});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QLatin1String(c.said))) << run.err.toStdString();
  }
}

}  // namespace
