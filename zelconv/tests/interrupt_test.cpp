// Ctrl-C during a directory run: the run stops at its next check point with status 130, leaves
// no partial or temporary file, says so in its protocol, and a later run with --skip-converted
// completes the rest.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

#include "zelconv_test_support.h"

namespace {

TEST(ZelconvInterrupt, CtrlCStopsCleanlyAndSkipConvertedCompletes) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  constexpr int kFrames = 40;
  const std::vector<int> samples = zel::testing::ShuffledSamples(
      zel::testing::SpreadLevels(200, 1023), std::size_t(1500) * 1000, 5);
  const ur::ScopedImageBuf frame = zel::testing::MakeGreyImage(1500, 1000, 10, samples);
  ASSERT_TRUE(zel::testing::WriteImage(dir.filePath(QStringLiteral("f00.tif")), frame.get()));
  for (int i = 1; i < kFrames; ++i)
    ASSERT_TRUE(QFile::copy(
        dir.filePath(QStringLiteral("f00.tif")),
        dir.filePath(QStringLiteral("f%1.tif").arg(i, 2, 10, QLatin1Char('0')))));

  QProcess process;
  process.setReadChannel(QProcess::StandardError);
  process.start(QStringLiteral(ZELCONV_PATH),
                {QStringLiteral("-d"), dir.path(), QStringLiteral("--bits"), QStringLiteral("10")});
  ASSERT_TRUE(process.waitForStarted());
  // The conversion pass starts once the directory's analysis is reported.
  QByteArray err;
  while (!err.contains("Occupied levels") && process.waitForReadyRead(20000))
    err += process.readAllStandardError();
  ASSERT_TRUE(err.contains("Occupied levels")) << err.toStdString();
  ::kill(pid_t(process.processId()), SIGINT);
  ASSERT_TRUE(process.waitForFinished(20000));
  err += process.readAllStandardError();
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 130) << err.toStdString();
  EXPECT_TRUE(err.contains("Processing was cancelled by user.")) << err.toStdString();

  const QDir zel(dir.filePath(QStringLiteral("ZEL")));
  const QStringList written = zel.entryList(QDir::Files | QDir::Hidden);
  EXPECT_LT(written.size(), kFrames) << "the run ended before the interrupt";
  for (const QString& name : written)
    EXPECT_TRUE(name.endsWith(QLatin1String(".zel.png"))) << name.toStdString();

  const auto rest = zel::testing::RunZelconv(
      {QStringLiteral("-d"), dir.path(), QStringLiteral("--bits"), QStringLiteral("10"),
       QStringLiteral("--skip-converted")});
  EXPECT_EQ(rest.exitCode, 0) << rest.err.toStdString();
  EXPECT_TRUE(rest.saidLine(QStringLiteral("%1 converted, %2 skipped, 0 failed")
                                .arg(kFrames - written.size())
                                .arg(written.size())))
      << rest.err.toStdString();
  EXPECT_EQ(zel.entryList(QDir::Files | QDir::Hidden).size(), kFrames);
}

}  // namespace
