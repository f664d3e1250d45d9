// What a directory run shows: a live progress line only on a terminal, plain time-stamped
// protocol lines otherwise, only failures with --quiet, and the protocol saved with --protocol.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "zelconv_test_support.h"

namespace {

using zel::testing::RunShell;
using zel::testing::RunZelconv;

class ZelconvDisplay : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    const std::vector<int> samples = zel::testing::ShuffledSamples(
        zel::testing::SpreadLevels(60, 1023), std::size_t(64) * 48, 2);
    for (const char* name : {"a.tif", "b.tif", "c.tif"})
      ASSERT_TRUE(zel::testing::WriteImage(m_dir.filePath(QLatin1String(name)),
                                           zel::testing::MakeGreyImage(64, 48, 10, samples).get()));
    ASSERT_TRUE(zel::testing::WriteBytes(m_dir.filePath(QStringLiteral("bad.png")), "no png"));
  }
  QTemporaryDir m_dir;
};

TEST_F(ZelconvDisplay, ProgressLineOnlyOnATerminal) {
  // script(1) gives the program a pseudo-terminal and copies what it wrote into a file.
  const QString typescript = m_dir.filePath(QStringLiteral("typescript"));
  const auto onTerminal =
      RunShell(QStringLiteral("script -qfec '\"$ZELCONV\" -d %1 --bits 10' %2")
                   .arg(m_dir.path(), typescript));
  ASSERT_TRUE(onTerminal.finished);
  QFile file(typescript);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray screen = file.readAll();
  EXPECT_TRUE(screen.contains("\r\x1b[K")) << screen.toStdString();
  EXPECT_TRUE(screen.contains("fps")) << screen.toStdString();
  EXPECT_TRUE(screen.contains("3 converted, 0 skipped, 1 failed"));

  const auto piped = RunZelconv({QStringLiteral("-d"), m_dir.path(), QStringLiteral("--bits"),
                                 QStringLiteral("10"), QStringLiteral("--skip-converted")});
  EXPECT_EQ(piped.exitCode, 1);
  EXPECT_FALSE(piped.err.contains(QLatin1Char('\r')) || piped.err.contains(QLatin1Char('\x1b')))
      << piped.err.toStdString();
  EXPECT_TRUE(piped.err.contains(QLatin1String("]: Processing started.\n")))
      << piped.err.toStdString();
}

TEST_F(ZelconvDisplay, QuietShowsOnlyFailuresAndTheProtocolIsSaved) {
  const QString saved = m_dir.filePath(QStringLiteral("run.log"));
  const auto quiet = RunZelconv({QStringLiteral("-d"), m_dir.path(), QStringLiteral("--bits"),
                                 QStringLiteral("10"), QStringLiteral("--quiet"),
                                 QStringLiteral("--protocol"), saved});
  EXPECT_EQ(quiet.exitCode, 1);
  // The reader's warnings and the failed file's protocol line stay; the rest of the protocol
  // does not.
  const QStringList shown = quiet.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_FALSE(shown.isEmpty());
  EXPECT_EQ(shown.last(), QStringLiteral("3 converted, 0 skipped, 1 failed"));
  EXPECT_TRUE(quiet.err.contains(QLatin1String("bad.png failed.Cannot read image.")))
      << quiet.err.toStdString();
  for (const char* hidden : {"Processing started.", "Occupied levels", "Processing done."})
    EXPECT_FALSE(quiet.err.contains(QLatin1String(hidden))) << hidden;

  QFile file(saved);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
  const QString protocol = QString::fromUtf8(file.readAll());
  EXPECT_TRUE(protocol.contains(QLatin1String("Processing started.")));
  EXPECT_TRUE(protocol.contains(QLatin1String("Processing done.")));
  EXPECT_TRUE(protocol.contains(QLatin1String("bad.png")));

  // A clean run says nothing at all when quiet.
  QFile::remove(m_dir.filePath(QStringLiteral("bad.png")));
  const auto clean = RunZelconv({QStringLiteral("-d"), m_dir.path(), QStringLiteral("--bits"),
                                 QStringLiteral("10"), QStringLiteral("--quiet")});
  EXPECT_EQ(clean.exitCode, 0);
  EXPECT_TRUE(clean.err.isEmpty()) << clean.err.toStdString();

  const auto misplaced =
      RunZelconv({QStringLiteral("-i"), m_dir.filePath(QStringLiteral("a.tif")),
                  QStringLiteral("-o"), m_dir.filePath(QStringLiteral("a.zel.png")),
                  QStringLiteral("--quiet")});
  EXPECT_EQ(misplaced.exitCode, 255);
  EXPECT_TRUE(misplaced.err.contains(QLatin1String("--quiet"))) << misplaced.err.toStdString();
}

}  // namespace
