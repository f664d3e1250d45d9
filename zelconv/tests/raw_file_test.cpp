// One mosaic through --raw and back: a DNG with few levels per plane returns exactly, and a
// conversion that fails says "Failed", ends with status 1 and leaves nothing behind.
#include <gtest/gtest.h>
#include <ur/image.h>
#include <zel/input_reading.h>
#include <zel_testing/printers.h>
#include <zel_testing/test_data.h>

#include <QFile>
#include <QTemporaryDir>

#include "zelconv_test_support.h"

namespace {

using zel::testing::FilesBelow;
using zel::testing::RunZelconv;
using zel::testing::ZelconvRun;

std::vector<int> Samples(const ur::SxImageBuf& image) {
  std::vector<int> samples;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) samples.push_back(zel::testing::GreyAt(image, x, y));
  return samples;
}

class ZelconvRawFile : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
  QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
  QTemporaryDir m_dir;
};

TEST_F(ZelconvRawFile, DngWithFewLevelsComesBackExactly) {
  const QString dng = zel::testing::TestDataPath(QStringLiteral("derived/dng/d550_bggr_8bit.dng"));
  ZEL_REQUIRE_TESTDATA(dng);
  ur::CxImage image;
  ur::ExBayerGrid grid = ur::eBayerNone;
  ASSERT_EQ(urs::zel::ReadInputImage(dng, image, grid), ur::rc::Ok);
  ur::SxImageBuf raw;
  ASSERT_EQ(image.getImageBuf(raw), ur::rc::Ok);

  // An earlier output is replaced whole.
  ASSERT_TRUE(zel::testing::WriteBytes(path("frame.zel.png"), "earlier"));
  const ZelconvRun run = RunZelconv({QStringLiteral("-i"), dng, QStringLiteral("-o"),
                                     path("frame.zel.png"), QStringLiteral("--raw")});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, QStringLiteral("Success\n"));
  EXPECT_EQ(FilesBelow(m_dir.path()), QStringList{QStringLiteral("frame.zel.png")});
  const ur::ScopedImageBuf zel = zel::testing::ReadImage(path("frame.zel.png"));
  ASSERT_NE(zel->data, nullptr);
  EXPECT_EQ(zel->channels, 1);
  EXPECT_EQ(zel->width, raw.width);

  const ur::ScopedImageBuf restored =
      zel::testing::RestoreThroughZelconv(path("frame.zel.png"), path("frame.tif"));
  ASSERT_NE(restored->data, nullptr);
  EXPECT_EQ(restored->width, raw.width);
  EXPECT_EQ(restored->height, raw.height);
  EXPECT_EQ(Samples(restored.get()), Samples(raw));
}

// A grey PNG names no grid, so the raw path cannot split it; an unreadable input fails too.
TEST_F(ZelconvRawFile, FailuresEndWithStatusOneAndLeaveNoTrace) {
  ASSERT_TRUE(zel::testing::WriteImage(
      path("grey.png"), zel::testing::MakeGreyImage(8, 6, 8, std::vector<int>(48, 7)).get()));
  ASSERT_TRUE(zel::testing::WriteBytes(path("broken.dng"), "no dng"));
  for (const char* input : {"grey.png", "broken.dng", "missing.dng"}) {
    SCOPED_TRACE(input);
    const QStringList before = FilesBelow(m_dir.path());
    const ZelconvRun run = RunZelconv({QStringLiteral("-i"), path(input), QStringLiteral("-o"),
                                       path("out.zel.png"), QStringLiteral("--raw")});
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.saidLine(QStringLiteral("Failed"))) << run.err.toStdString();
    EXPECT_EQ(FilesBelow(m_dir.path()), before);
  }
}

}  // namespace
