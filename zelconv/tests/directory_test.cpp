// Whole directories through zelconv and back: a nested tree of grey frames, a directory of raw
// mosaics stored exactly, the exit status of a directory with a bad file, and the job list that
// lets a scheduler run one zelconv per directory.
#include <gtest/gtest.h>
#include <zel_testing/image_builder.h>
#include <zel_testing/printers.h>

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "zelconv_test_support.h"

namespace {

using zel::testing::FilesBelow;
using zel::testing::RunShell;
using zel::testing::RunZelconv;
using zel::testing::ZelconvRun;

constexpr int kWidth = 24;
constexpr int kHeight = 16;

// The frames of the tree: folder/name; "empty/" holds no input.
const QStringList kFrames{QStringLiteral("day1/a.png"), QStringLiteral("day1/b.png"),
                          QStringLiteral("day1/late/c.png"), QStringLiteral("day2/d.tif")};

std::vector<std::uint16_t> Samples(const ur::SxImageBuf& image) {
  std::vector<std::uint16_t> samples;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x)
      samples.push_back(std::uint16_t(zel::testing::GreyAt(image, x, y)));
  return samples;
}

class ZelconvDirectories : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    ASSERT_TRUE(QDir(root()).mkpath(QStringLiteral("empty")));
    std::uint32_t seed = 1;
    for (const QString& frame : kFrames) {
      ASSERT_TRUE(QDir(root()).mkpath(QFileInfo(frame).path()));
      // Up to 200 levels of 10 bits: a grey frame comes back exactly.
      const std::vector<int> samples = zel::testing::ShuffledSamples(
          zel::testing::SpreadLevels(200, 1023), std::size_t(kWidth) * kHeight, seed++);
      ASSERT_TRUE(zel::testing::WriteImage(
          in(frame), zel::testing::MakeGreyImage(kWidth, kHeight, 10, samples).get()));
    }
  }

  QString root() const { return m_dir.filePath(QStringLiteral("tree")); }
  QString in(const QString& relative) const { return root() + QLatin1Char('/') + relative; }

  // "folder/ZEL/name.zel.png" of frame "folder/name.suffix".
  static QString ZelOf(const QString& frame) {
    const QFileInfo info(frame);
    return info.path() + QStringLiteral("/ZEL/") + info.completeBaseName() +
           QStringLiteral(".zel.png");
  }

  QTemporaryDir m_dir;
};

TEST_F(ZelconvDirectories, TreeGoesForwardAndEachZelFolderComesBackExactly) {
  const ZelconvRun forward =
      RunZelconv({QStringLiteral("-d"), root(), QStringLiteral("--subfolders")});
  ASSERT_TRUE(forward.finished);
  EXPECT_EQ(forward.exitCode, 0) << forward.err.toStdString();
  EXPECT_TRUE(forward.saidLine(QStringLiteral("4 converted, 0 skipped, 0 failed")))
      << forward.err.toStdString();
  EXPECT_TRUE(forward.out.isEmpty());
  for (const QString& frame : kFrames)
    EXPECT_TRUE(QFileInfo::exists(in(ZelOf(frame)))) << frame.toStdString();
  EXPECT_FALSE(QFileInfo::exists(in(QStringLiteral("empty/ZEL"))));

  // Without --subfolders only the named directory; with --skip-converted nothing is redone.
  const ZelconvRun flat = RunZelconv(
      {QStringLiteral("-d"), in(QStringLiteral("day1")), QStringLiteral("--skip-converted")});
  EXPECT_EQ(flat.exitCode, 0);
  EXPECT_TRUE(flat.saidLine(QStringLiteral("0 converted, 2 skipped, 0 failed")))
      << flat.err.toStdString();

  for (const QString& frame : kFrames) {
    SCOPED_TRACE(frame.toStdString());
    const QString outDir = m_dir.filePath(QStringLiteral("back/") + QFileInfo(frame).path());
    const ZelconvRun back =
        RunZelconv({QStringLiteral("-r"), QStringLiteral("-d"), QFileInfo(in(ZelOf(frame))).path(),
                    QStringLiteral("-o"), outDir});
    ASSERT_TRUE(back.finished);
    EXPECT_EQ(back.exitCode, 0) << back.err.toStdString();
    const ur::ScopedImageBuf source = zel::testing::ReadImage(in(frame));
    const ur::ScopedImageBuf restored = zel::testing::ReadImage(
        outDir + QLatin1Char('/') + QFileInfo(frame).baseName() + QStringLiteral(".dezel.png"));
    ASSERT_NE(restored->data, nullptr);
    EXPECT_EQ(Samples(restored.get()), Samples(source.get()));
  }
}

// Mosaics whose four planes hold at most 255 levels each: --raw stores every site exactly.
TEST_F(ZelconvDirectories, RawMosaicsComeBackExactly) {
  const QString raw = m_dir.filePath(QStringLiteral("raw"));
  ASSERT_TRUE(QDir().mkpath(raw));
  const std::vector<int> levels = zel::testing::SpreadLevels(1024, 1023);
  for (int i = 0; i < 3; ++i) {
    // Every 10-bit value quantised to a multiple of 5: 205 levels per plane.
    std::vector<int> samples =
        zel::testing::ShuffledSamples(levels, std::size_t(kWidth) * kHeight, 20 + i);
    for (int& sample : samples) sample -= sample % 5;
    ASSERT_TRUE(
        zel::testing::WriteImage(raw + QStringLiteral("/m%1.png").arg(i),
                                 zel::testing::MakeGreyImage(kWidth, kHeight, 10, samples).get()));
  }
  const ZelconvRun forward =
      RunZelconv({QStringLiteral("-d"), raw, QStringLiteral("--raw"), QStringLiteral("-b"),
                  QStringLiteral("rggb"), QStringLiteral("--bits"), QStringLiteral("10")});
  ASSERT_TRUE(forward.finished);
  EXPECT_EQ(forward.exitCode, 0) << forward.err.toStdString();
  const QString back = m_dir.filePath(QStringLiteral("raw-back"));
  const ZelconvRun restore = RunZelconv({QStringLiteral("-r"), QStringLiteral("-d"),
                                         raw + QStringLiteral("/ZEL"), QStringLiteral("-o"), back});
  EXPECT_EQ(restore.exitCode, 0) << restore.err.toStdString();
  for (int i = 0; i < 3; ++i) {
    const ur::ScopedImageBuf source =
        zel::testing::ReadImage(raw + QStringLiteral("/m%1.png").arg(i));
    const ur::ScopedImageBuf restored =
        zel::testing::ReadImage(back + QStringLiteral("/m%1.dezel.png").arg(i));
    ASSERT_NE(restored->data, nullptr) << i;
    EXPECT_EQ(restored->width, kWidth);
    EXPECT_EQ(Samples(restored.get()), Samples(source.get())) << i;
  }
}

// A file that is no image fails, the others convert, and the shell is told.
TEST_F(ZelconvDirectories, BadFileMakesTheRunFail) {
  zel::testing::WriteBytes(in(QStringLiteral("day2/broken.png")), "not a png");
  const ZelconvRun run = RunZelconv({QStringLiteral("-d"), in(QStringLiteral("day2"))});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_TRUE(run.saidLine(QStringLiteral("1 converted, 0 skipped, 1 failed")))
      << run.err.toStdString();
  EXPECT_TRUE(QFileInfo::exists(in(ZelOf(QStringLiteral("day2/d.tif")))));

  const ZelconvRun missing = RunZelconv({QStringLiteral("-d"), in(QStringLiteral("nowhere"))});
  EXPECT_EQ(missing.exitCode, 1);

  // The way back over a folder whose first ZEL image is broken and whose last one is good: the
  // run fails although its last file restored.
  const QString zels = m_dir.filePath(QStringLiteral("zels"));
  ASSERT_TRUE(QDir().mkpath(zels));
  ASSERT_TRUE(zel::testing::WriteBytes(zels + QStringLiteral("/a.zel.png"), "not a png"));
  ASSERT_TRUE(
      QFile::copy(in(ZelOf(QStringLiteral("day2/d.tif"))), zels + QStringLiteral("/z.zel.png")));
  const ZelconvRun back = RunZelconv({QStringLiteral("-r"), QStringLiteral("-d"), zels,
                                      QStringLiteral("-o"), m_dir.filePath(QStringLiteral("out"))});
  ASSERT_TRUE(back.finished);
  EXPECT_EQ(back.exitCode, 1) << back.err.toStdString();
  EXPECT_TRUE(back.saidLine(QStringLiteral("1 converted, 0 skipped, 1 failed")));
}

TEST_F(ZelconvDirectories, ListJobsNamesTheDirectoriesWithInputs) {
  const QStringList expected{in(QStringLiteral("day1/")), in(QStringLiteral("day1/late/")),
                             in(QStringLiteral("day2/"))};
  const ZelconvRun lines =
      RunZelconv({QStringLiteral("--list-jobs"), root(), QStringLiteral("--subfolders")});
  ASSERT_TRUE(lines.finished);
  EXPECT_EQ(lines.exitCode, 0);
  ASSERT_TRUE(lines.out.endsWith(QLatin1Char('\n')));
  QStringList listed = lines.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  listed.sort();
  EXPECT_EQ(listed, expected);

  const ZelconvRun nul = RunZelconv({QStringLiteral("--list-jobs"), root(),
                                     QStringLiteral("--subfolders"), QStringLiteral("-0")});
  EXPECT_EQ(nul.exitCode, 0);
  EXPECT_FALSE(nul.outBytes.contains('\n'));
  EXPECT_TRUE(nul.outBytes.endsWith('\0'));
  listed.clear();
  for (const QByteArray& dir : nul.outBytes.split('\0'))
    if (!dir.isEmpty()) listed << QString::fromUtf8(dir);
  listed.sort();
  EXPECT_EQ(listed, expected);

  // The top folder holds no input itself.
  const ZelconvRun top = RunZelconv({QStringLiteral("--list-jobs"), root()});
  EXPECT_EQ(top.exitCode, 0);
  EXPECT_TRUE(top.out.isEmpty());
}

// One zelconv per listed directory, run by GNU parallel, writes what one run over the tree
// writes.
TEST_F(ZelconvDirectories, ParallelRunsOneJobPerDirectory) {
  if (QStandardPaths::findExecutable(QStringLiteral("parallel")).isEmpty())
    GTEST_SKIP() << "GNU parallel is not installed (scripts/setup.sh installs it)";
  const ZelconvRun run = RunShell(QStringLiteral("\"$ZELCONV\" --list-jobs '%1' --subfolders -0 | "
                                                 "parallel -0 --will-cite -j 2 \"$ZELCONV\" -d {}")
                                      .arg(root()));
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
  QStringList zels;
  for (const QString& frame : kFrames) zels << ZelOf(frame);
  zels.sort();
  EXPECT_EQ(FilesBelow(root()).filter(QStringLiteral("/ZEL/")), zels);
  std::vector<std::vector<std::uint16_t>> scheduled;
  for (const QString& zel : zels)
    scheduled.push_back(Samples(zel::testing::ReadImage(in(zel)).get()));

  const ZelconvRun single =
      RunZelconv({QStringLiteral("-d"), root(), QStringLiteral("--subfolders")});
  ASSERT_EQ(single.exitCode, 0);
  for (int i = 0; i < zels.size(); ++i) {
    EXPECT_FALSE(scheduled[std::size_t(i)].empty());
    EXPECT_EQ(Samples(zel::testing::ReadImage(in(zels[i])).get()), scheduled[std::size_t(i)])
        << zels[i].toStdString();
  }
}

}  // namespace
