// The command line of zelconv: help, version, option values and the usage failures.
#include <gtest/gtest.h>
#include <zel_testing/printers.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "zelconv_test_support.h"

namespace {

using zel::testing::RunZelconv;
using zel::testing::ZelconvRun;

const QString kUsage = QStringLiteral("Usage:");

class ZelconvCommandLine : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    const std::vector<int> samples = zel::testing::ShuffledSamples(
        zel::testing::SpreadLevels(50, 4095), std::size_t(kWidth) * kHeight, 7);
    ASSERT_TRUE(zel::testing::WriteImage(
        input(), zel::testing::MakeGreyImage(kWidth, kHeight, 12, samples).get()));
  }

  QString input() const { return m_dir.filePath(QStringLiteral("frame.png")); }
  QString output() const { return m_dir.filePath(QStringLiteral("frame.zel.png")); }
  QStringList entries() const {
    return QDir(m_dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
  }

  static constexpr int kWidth = 38;
  static constexpr int kHeight = 26;
  QTemporaryDir m_dir;
};

TEST_F(ZelconvCommandLine, WithoutArgumentsReportsFailureAndShowsHelp) {
  const ZelconvRun run = RunZelconv({});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 255);
  EXPECT_TRUE(run.saidLine(QStringLiteral("Failed"))) << run.err.toStdString();
  EXPECT_TRUE(run.out.contains(kUsage)) << run.out.toStdString();
  EXPECT_TRUE(run.out.contains(QStringLiteral("ZEL Convertor")));
}

// The help offers only algorithms that exist and says which choices restore exactly.
TEST_F(ZelconvCommandLine, HelpListsEveryOption) {
  const ZelconvRun run = RunZelconv({QStringLiteral("--help")});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_FALSE(run.saidLine(QStringLiteral("Failed")));
  // The parser wraps long descriptions, so compare with white space collapsed.
  const QString help = run.out.simplified();
  for (const char* text :
       {"-i <InputFile> [required] The input file name.",
        "-o <OutputFile> [required] The output file name.",
        "-b <ExBayerGrid> [optional] Bayer's grid type: [none, bggr, rggb, gbrg, grbg], default: "
        "none",
        "-a <Algorithm> [optional] Demosaicing algorithm: [sd, id], default: sd.",
        "a grey input (-b none) with at most 256 levels",
        "so the mosaic does not come back exactly",
        "-r, --reverse", "--verbose", "-v, --version", "-h, --help", "-d, --dir <Directory>",
        "--subfolders", "--skip-converted", "--bits <N>", "--auto-bits", "--raw", "--debayer",
        "--together", "--crop <L,T,R,B>", "--threshold <LOW:HIGH[,LOW:HIGH,LOW:HIGH]>",
        "--list-jobs <Directory>", "-0",
        "--raw stores each plane of a mosaic exactly when it holds at most 255 levels"})
    EXPECT_TRUE(help.contains(QLatin1String(text))) << text << "\n" << run.out.toStdString();
  EXPECT_FALSE(help.contains(QLatin1String("ahd")));
}

// Without --verbose a good conversion says "Success" and nothing else; with it, the plug-ins
// loaded and the step timings with their unit appear as well.
TEST_F(ZelconvCommandLine, QuietUnlessVerbose) {
  const QStringList io{QStringLiteral("-i"), input(), QStringLiteral("-o"), output()};
  const ZelconvRun quiet = RunZelconv(io);
  ASSERT_TRUE(quiet.finished);
  EXPECT_EQ(quiet.err, QStringLiteral("Success\n"));
  EXPECT_TRUE(quiet.out.isEmpty());

  const ZelconvRun verbose = RunZelconv(io + QStringList{QStringLiteral("--verbose")});
  ASSERT_TRUE(verbose.finished);
  EXPECT_TRUE(verbose.saidLine(QStringLiteral("Success"))) << verbose.err.toStdString();
  EXPECT_TRUE(verbose.saidLine(QStringLiteral("Plugin ZEL CPU loaded.")));
  const QRegularExpression timing(QStringLiteral("^ReadInputImage\\(\\) took \\d+ ms$"),
                                  QRegularExpression::MultilineOption);
  EXPECT_TRUE(timing.match(verbose.err).hasMatch()) << verbose.err.toStdString();
  EXPECT_TRUE(verbose.err.contains(QRegularExpression(QStringLiteral("Total time \\d+ ms"))));
}

TEST_F(ZelconvCommandLine, VersionNamesTheProgram) {
  const ZelconvRun run = RunZelconv({QStringLiteral("--version")});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out.trimmed(), QStringLiteral("ZEL Convertor 1.1 build 9 (64bit)"));
}

TEST_F(ZelconvCommandLine, ParseErrorsEndWithStatusOne) {
  const ZelconvRun unknown = RunZelconv({QStringLiteral("-x"), QStringLiteral("1")});
  ASSERT_TRUE(unknown.finished);
  EXPECT_EQ(unknown.exitCode, 1);
  EXPECT_TRUE(unknown.err.contains(QStringLiteral("Unknown option 'x'")))
      << unknown.err.toStdString();

  const ZelconvRun noValue = RunZelconv({QStringLiteral("-i"), input(), QStringLiteral("-o")});
  ASSERT_TRUE(noValue.finished);
  EXPECT_EQ(noValue.exitCode, 1);
  EXPECT_FALSE(QFileInfo::exists(output()));
}

// Usage faults take the failure path before anything is converted: no output appears even
// though the input is a good image.
TEST_F(ZelconvCommandLine, UsageFaultsShowHelpAndConvertNothing) {
  const QStringList io{QStringLiteral("-i"), input(), QStringLiteral("-o"), output()};
  const QList<QStringList> cases{
      io + QStringList{QStringLiteral("-b"), QStringLiteral("xyz")},
      io + QStringList{QStringLiteral("-a"), QStringLiteral("ahd")},
      io + QStringList{QStringLiteral("-b"), QStringLiteral("RGGB"), QStringLiteral("-a"),
                       QStringLiteral("bilinear")},
      {QStringLiteral("-i"), input()},
      {QStringLiteral("-o"), output()},
  };
  const QStringList before = entries();
  for (const QStringList& arguments : cases) {
    SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
    const ZelconvRun run = RunZelconv(arguments);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 255);
    EXPECT_TRUE(run.saidLine(QStringLiteral("Failed"))) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(kUsage));
    EXPECT_EQ(entries(), before);
  }
}

struct ShapeCase {
  QStringList options;
  int width;
  int height;
  int channels;
};

// Option values are read without regard to case; the grid decides whether the input is
// demosaiced and the algorithm whether that halves the size.
TEST_F(ZelconvCommandLine, OptionValuesChooseGridAndAlgorithmInAnyCase) {
  const QList<ShapeCase> cases{
      {{}, kWidth, kHeight, 1},
      {{QStringLiteral("-b"), QStringLiteral("None"), QStringLiteral("-a"), QStringLiteral("ID")},
       kWidth,
       kHeight,
       1},
      {{QStringLiteral("-b"), QStringLiteral("RGGB"), QStringLiteral("-a"), QStringLiteral("ID")},
       kWidth,
       kHeight,
       3},
      {{QStringLiteral("-b"), QStringLiteral("gbRG")}, kWidth / 2, kHeight / 2, 3},
      {{QStringLiteral("-a"), QStringLiteral("Sd"), QStringLiteral("-b"), QStringLiteral("BGGR")},
       kWidth / 2,
       kHeight / 2,
       3},
  };
  for (const ShapeCase& c : cases) {
    SCOPED_TRACE(c.options.join(QLatin1Char(' ')).toStdString());
    QFile::remove(output());
    const ZelconvRun run = RunZelconv(
        QStringList{QStringLiteral("-i"), input(), QStringLiteral("-o"), output()} + c.options);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.saidLine(QStringLiteral("Success"))) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    const ur::ScopedImageBuf zel = zel::testing::ReadImage(output());
    ASSERT_NE(zel->data, nullptr);
    EXPECT_EQ(zel->width, c.width);
    EXPECT_EQ(zel->height, c.height);
    EXPECT_EQ(zel->channels, c.channels);
    EXPECT_EQ(zel->dataType, ur::eImageDataUInt8);
  }
}

// Options that do not fit together, or values out of their range, are refused with a message
// naming the option before anything is read or written.
TEST_F(ZelconvCommandLine, BadOptionsAreRefusedByName) {
  const QString dir = m_dir.path();
  const QStringList io{QStringLiteral("-i"), input(), QStringLiteral("-o"), output()};
  const QStringList d{QStringLiteral("-d"), dir};
  struct Refusal {
    QStringList arguments;
    const char* named;
  };
  const QList<Refusal> cases{
      {d + io, "-i"},
      {d + QStringList{QStringLiteral("-o"), dir}, "-o"},
      {io + QStringList{QStringLiteral("--debayer")}, "--debayer"},
      {d + QStringList{QStringLiteral("--raw")}, "--raw"},
      {d + QStringList{QStringLiteral("--raw"), QStringLiteral("-b"), QStringLiteral("none")},
       "--raw"},
      {d + QStringList{QStringLiteral("-b"), QStringLiteral("rggb")}, "-b"},
      {d + QStringList{QStringLiteral("--bits"), QStringLiteral("8"),
                       QStringLiteral("--auto-bits")},
       "--auto-bits"},
      {d + QStringList{QStringLiteral("--bits"), QStringLiteral("17")}, "--bits"},
      {d + QStringList{QStringLiteral("--bits"), QStringLiteral("ten")}, "--bits"},
      {d + QStringList{QStringLiteral("--crop"), QStringLiteral("1,2,3")}, "--crop"},
      {d + QStringList{QStringLiteral("--crop"), QStringLiteral("1,-2,3,4")}, "--crop"},
      {d + QStringList{QStringLiteral("--threshold"), QStringLiteral("10:5")}, "--threshold"},
      {d + QStringList{QStringLiteral("--threshold"), QStringLiteral("1:9,2:9")}, "--threshold"},
      {d + QStringList{QStringLiteral("--threshold"), QStringLiteral("1:x")}, "--threshold"},
      {d + QStringList{QStringLiteral("--bits"), QStringLiteral("10"), QStringLiteral("--threshold"),
                       QStringLiteral("1:1024")},
       "--threshold"},
      {d + QStringList{QStringLiteral("-0")}, "-0"},
      {{QStringLiteral("-r"), QStringLiteral("-d"), dir}, "-o"},
      {{QStringLiteral("-r"), QStringLiteral("-d"), dir, QStringLiteral("-o"), dir,
        QStringLiteral("--raw")},
       "--raw"},
      {io + QStringList{QStringLiteral("--subfolders")}, "--subfolders"},
      {io + QStringList{QStringLiteral("--crop"), QStringLiteral("1,1,1,1")}, "--crop"},
      {{QStringLiteral("--list-jobs"), dir, QStringLiteral("--raw")}, "--raw"},
  };
  const QStringList before = entries();
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
    const ZelconvRun run = RunZelconv(c.arguments);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 255);
    EXPECT_TRUE(run.saidLine(QStringLiteral("Failed"))) << run.err.toStdString();
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("zelconv: %1 ").arg(QLatin1String(c.named))))
        << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(entries(), before);
  }
}

}  // namespace
