// --verify: every ZEL image a run writes (or finds converted) is restored in memory and compared
// with its source; a difference where exactness was promised fails the run.
#include <gtest/gtest.h>
#include <zel/metadata.h>
#include <zel/zel_file.h>
#include <zel_testing/printers.h>

#include <ur/image.h>

#include <QDir>
#include <QTemporaryDir>

#include "zelconv_test_support.h"

namespace {

using zel::testing::RunZelconv;
using zel::testing::ZelconvRun;

constexpr int kWidth = 24;
constexpr int kHeight = 16;

// Flips the top bit of the stored sample at the image's first byte, keeping the record.
bool AlterZelImage(const QString& path) {
  ur::CxImage image;
  urs::zel::ZelMetadata md;
  ur::SxImageBuf buf;
  if (ur::Failed(urs::zel::ReadZelImage(path, image, md)) || ur::Failed(image.getImageBuf(buf)))
    return false;
  buf.data[0] ^= 0x80;
  return ur::Succeeded(urs::zel::WriteZelImage(image, path, nullptr));
}

TEST(ZelconvVerify, RawDirectoryIsCheckedAndAnAlteredImageFails) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString raw = dir.filePath(QStringLiteral("raw"));
  ASSERT_TRUE(QDir().mkpath(raw));
  const std::vector<int> levels = zel::testing::SpreadLevels(1024, 1023);
  for (int i = 0; i < 3; ++i) {
    // Multiples of 5: 205 levels per plane, within what the raw path keeps exactly.
    std::vector<int> samples =
        zel::testing::ShuffledSamples(levels, std::size_t(kWidth) * kHeight, 40 + i);
    for (int& sample : samples) sample -= sample % 5;
    ASSERT_TRUE(
        zel::testing::WriteImage(raw + QStringLiteral("/m%1.png").arg(i),
                                 zel::testing::MakeGreyImage(kWidth, kHeight, 10, samples).get()));
  }
  // Unequal margins, so that a crop read from the wrong side or rows compared upside down show.
  const QStringList options{QStringLiteral("-d"),     raw,
                            QStringLiteral("--raw"),  QStringLiteral("-b"),
                            QStringLiteral("rggb"),   QStringLiteral("--bits"),
                            QStringLiteral("10"),     QStringLiteral("--crop"),
                            QStringLiteral("2,4,0,2"), QStringLiteral("--verify")};
  const ZelconvRun first = RunZelconv(options);
  ASSERT_TRUE(first.finished);
  EXPECT_EQ(first.exitCode, 0) << first.err.toStdString();
  for (int i = 0; i < 3; ++i)
    EXPECT_TRUE(first.err.contains(
        QStringLiteral("Verified %1/ZEL/m%2.zel.png: exact.")
            .arg(QDir::toNativeSeparators(raw))
            .arg(i)))
        << first.err.toStdString();

  const QString altered = raw + QStringLiteral("/ZEL/m1.zel.png");
  ASSERT_TRUE(AlterZelImage(altered));
  const ZelconvRun second = RunZelconv(options + QStringList{QStringLiteral("--skip-converted")});
  ASSERT_TRUE(second.finished);
  EXPECT_EQ(second.exitCode, 1) << second.err.toStdString();
  EXPECT_TRUE(second.err.contains(
      QStringLiteral("Verification of %1 failed: largest difference").arg(altered)))
      << second.err.toStdString();
  EXPECT_TRUE(second.saidLine(QStringLiteral("0 converted, 2 skipped, 1 failed")))
      << second.err.toStdString();
}

// A grey frame of more than 256 levels comes back to the nearest stored level: verification
// says by how much and does not fail, since no exact round trip was promised.
TEST(ZelconvVerify, InexactFrameReportsItsLargestDifference) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString png = dir.filePath(QStringLiteral("wide.png"));
  const QString zel = dir.filePath(QStringLiteral("wide.zel.png"));
  const std::vector<int> samples = zel::testing::ShuffledSamples(
      zel::testing::SpreadLevels(600, 4095), std::size_t(kWidth) * 32, 7);
  ASSERT_TRUE(zel::testing::WriteImage(
      png, zel::testing::MakeGreyImage(kWidth, 32, 12, samples).get()));
  const ZelconvRun run = RunZelconv({QStringLiteral("-i"), png, QStringLiteral("-o"), zel,
                                     QStringLiteral("--verify")});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  EXPECT_TRUE(run.err.contains(QStringLiteral("(no exact round trip was promised)")))
      << run.err.toStdString();
  EXPECT_FALSE(run.err.contains(QStringLiteral("largest difference 0 ")));
  EXPECT_TRUE(run.saidLine(QStringLiteral("Success")));

  const ZelconvRun back = RunZelconv({QStringLiteral("-r"), QStringLiteral("-i"), zel,
                                      QStringLiteral("-o"), dir.filePath(QStringLiteral("b.tif")),
                                      QStringLiteral("--verify")});
  EXPECT_EQ(back.exitCode, 255);
  EXPECT_TRUE(back.err.contains(QStringLiteral("--verify"))) << back.err.toStdString();
}

}  // namespace
