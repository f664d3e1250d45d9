// Output that cannot be completed never appears under its final name, and nothing that existed
// is lost: a full disk (the file size limit, with SIGXFSZ ignored), an output path that is a
// folder, and a run killed while it writes.
#include <gtest/gtest.h>
#include <zel/metadata.h>
#include <zel/zel_file.h>

#include <ur/image.h>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

#include "zelconv_test_support.h"

namespace {

using zel::testing::FilesBelow;
using zel::testing::RunShell;
using zel::testing::ZelconvRun;

constexpr int kWidth = 1500;
constexpr int kHeight = 1000;
const QByteArray kEarlier = "an earlier output";

class ZelconvWriteFaults : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    const std::vector<int> samples = zel::testing::ShuffledSamples(
        zel::testing::SpreadLevels(200, 1023), std::size_t(kWidth) * kHeight, 9);
    ASSERT_TRUE(zel::testing::WriteImage(
        path("f00.tif"), zel::testing::MakeGreyImage(kWidth, kHeight, 10, samples).get()));
  }
  QString path(const QString& name) const { return m_dir.filePath(name); }
  void copies(int frames) {
    for (int i = 1; i < frames; ++i)
      ASSERT_TRUE(QFile::copy(path("f00.tif"),
                              path(QStringLiteral("f%1.tif").arg(i, 2, 10, QLatin1Char('0')))));
  }
  // zelconv's arguments after a file size limit of 256 KiB, which the frames' outputs exceed.
  ZelconvRun runOnFullDisk(const QString& arguments) const {
    return RunShell(QStringLiteral("cd '%1' && trap '' XFSZ && ulimit -f 256 && \"$ZELCONV\" %2")
                        .arg(m_dir.path(), arguments));
  }
  QTemporaryDir m_dir;
};

TEST_F(ZelconvWriteFaults, FullDiskAndFolderOutputsLeaveEverythingAsItWas) {
  ASSERT_TRUE(zel::testing::WriteBytes(path("kept.zel.png"), kEarlier));
  ASSERT_TRUE(QDir().mkpath(path("folder.zel.png")));
  const QStringList before = FilesBelow(m_dir.path());
  for (const QString& arguments :
       {QStringLiteral("-i f00.tif -o kept.zel.png"), QStringLiteral("-i f00.tif -o new.zel.png"),
        QStringLiteral("-i f00.tif -o new.zel.png --raw -b rggb"),
        QStringLiteral("-i f00.tif -o folder.zel.png")}) {
    SCOPED_TRACE(arguments.toStdString());
    // The folder in the way is tried without the size limit, so that it is what stops the run.
    const bool folder = arguments.contains(QLatin1String("folder"));
    const ZelconvRun run =
        folder ? RunShell(QStringLiteral("cd '%1' && \"$ZELCONV\" %2").arg(m_dir.path(), arguments))
               : runOnFullDisk(arguments);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1) << run.err.toStdString();
    EXPECT_TRUE(run.saidLine(QStringLiteral("Failed"))) << run.err.toStdString();
    // The reason is named.
    EXPECT_TRUE(run.err.contains(folder ? QLatin1String("taken by a folder")
                                        : QLatin1String("File too large")))
        << run.err.toStdString();
    EXPECT_EQ(FilesBelow(m_dir.path()), before);
    EXPECT_EQ(zel::testing::FileBytes(path("kept.zel.png")), kEarlier);
    EXPECT_TRUE(QFileInfo(path("folder.zel.png")).isDir());
  }

  // A directory run reports every file as failed and leaves no partial or temporary file.
  copies(3);
  const ZelconvRun dir = runOnFullDisk(QStringLiteral("-d . --bits 10"));
  ASSERT_TRUE(dir.finished);
  EXPECT_EQ(dir.exitCode, 1) << dir.err.toStdString();
  EXPECT_TRUE(dir.saidLine(QStringLiteral("0 converted, 0 skipped, 3 failed")))
      << dir.err.toStdString();
  EXPECT_TRUE(QDir(path("ZEL")).entryList(QDir::Files | QDir::Hidden).isEmpty());

  // And the way back.
  ASSERT_EQ(zel::testing::RunZelconv(
                {QStringLiteral("-i"), path("f00.tif"), QStringLiteral("-o"), path("good.zel.png")})
                .exitCode,
            0);
  const ZelconvRun back = runOnFullDisk(QStringLiteral("-r -i good.zel.png -o back.tif"));
  EXPECT_EQ(back.exitCode, 1) << back.err.toStdString();
  EXPECT_FALSE(QFileInfo::exists(path("back.tif")));
}

// SIGKILL while an image is being written: every name a reader sees holds the earlier output or
// a whole ZEL image, and the temporary files left behind are never taken by a later run.
TEST_F(ZelconvWriteFaults, KilledRunLeavesOnlyWholeImages) {
  constexpr int kFrames = 12;
  copies(kFrames);
  ASSERT_TRUE(QDir().mkpath(path("ZEL")));
  ASSERT_TRUE(zel::testing::WriteBytes(path("ZEL/f11.zel.png"), kEarlier));

  QProcess process;
  process.start(QStringLiteral(ZELCONV_PATH), {QStringLiteral("-d"), m_dir.path(),
                                               QStringLiteral("--bits"), QStringLiteral("10")});
  ASSERT_TRUE(process.waitForStarted());
  const QDir zel(path("ZEL"));
  QElapsedTimer clock;
  clock.start();
  bool writing = false;
  while (!writing && process.state() == QProcess::Running && clock.elapsed() < 60000) {
    writing = !zel.entryList({QStringLiteral(".*tmp-*")}, QDir::Files | QDir::Hidden).isEmpty();
    if (!writing) QThread::usleep(200);
  }
  ASSERT_TRUE(writing) << "no temporary file was seen";
  ::kill(pid_t(process.processId()), SIGKILL);
  ASSERT_TRUE(process.waitForFinished(20000));

  int whole = 0;
  const QStringList present = zel.entryList(QDir::Files);
  for (const QString& name : present) {
    SCOPED_TRACE(name.toStdString());
    ASSERT_TRUE(name.endsWith(QLatin1String(".zel.png")));
    if (zel::testing::FileBytes(zel.filePath(name)) == kEarlier) {
      EXPECT_EQ(name, QStringLiteral("f11.zel.png"));
      continue;
    }
    ur::CxImage image;
    urs::zel::ZelMetadata record;
    EXPECT_EQ(urs::zel::ReadZelImage(zel.filePath(name), image, record), ur::rc::Ok);
    ++whole;
  }
  EXPECT_LT(whole, kFrames) << "the run ended before it was killed";

  // Every name present (f11 too, rewritten or not) counts as converted for the later run.
  const ZelconvRun rest =
      zel::testing::RunZelconv({QStringLiteral("-d"), m_dir.path(), QStringLiteral("--bits"),
                                QStringLiteral("10"), QStringLiteral("--skip-converted")});
  EXPECT_EQ(rest.exitCode, 0) << rest.err.toStdString();
  EXPECT_TRUE(rest.saidLine(QStringLiteral("%1 converted, %2 skipped, 0 failed")
                                .arg(kFrames - present.size())
                                .arg(present.size())))
      << rest.err.toStdString();
  EXPECT_EQ(zel.entryList({QStringLiteral("*.zel.png")}, QDir::Files).size(), kFrames);
}

}  // namespace
