// A directory of ZEL images back to raw images: selection, order, protocol, progress and
// cancellation.
#include <zel/reverse_conversion.h>

#include <urs/progress_info.h>
#include <urs/protocol.h>

#include <zel_testing/image_builder.h>
#include <zel_testing/printers.h>

#include <ur/cancellation_token.h>
#include <ur/image.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "reverse_fixture.h"

namespace {

namespace rc = ur::rc;
using urs::zel::BackZelParams;
using urs::zel::ConvertDirToRaw;
using zel::testing::CpuPluginId;

// The log's lines without their time stamps.
QStringList Texts(urs::Protocol& log) {
  QStringList out;
  for (const QString& line : log.getProtocol()) out << line.section(QStringLiteral("]: "), 1);
  return out;
}

class ReverseDir : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_NE(CpuPluginId(), 0u);
    ASSERT_TRUE(m_in.isValid() && m_out.isValid());
    m_params.pluginId = CpuPluginId();
    m_params.inputDir = m_in.path() + '/';
    m_params.outputDir = m_out.path() + '/';
    m_params.numCores = 4;
    m_params.progress = &m_progress;
    m_params.protocol = &m_log;
    QObject::connect(&m_progress, &urs::CxProgressInfo::updated, [this] {
      double total = 0, task = 0;
      QString totalMessage, taskMessage;
      m_progress.getInfo(total, totalMessage, task, taskMessage);
      const QString seen = QStringLiteral("%1 %2").arg(total).arg(totalMessage);
      if (m_totals.isEmpty() || m_totals.last() != seen) m_totals << seen;
    });
  }
  void writeZel(const char* name, std::uint16_t first = 0) {
    const ur::ScopedImageBuf grey =
        zel::testing::MakeImage<std::uint16_t>({3, 2, 1, 0, 0, 10}, {first, 1023, 5, 5, 7, 900});
    ASSERT_EQ(zel::testing::WriteGreyZel(grey.get(), 1024, m_in.filePath(name)), rc::Ok);
  }
  bool output(const char* name) const { return QFileInfo::exists(m_out.filePath(name)); }
  // The first restored sample of an output, or -1 when it cannot be read.
  int firstSample(const char* name) const {
    const ur::ScopedImageBuf raw = zel::testing::LoadTopDown(m_out.filePath(name));
    return raw->data ? zel::testing::SampleAt<std::uint16_t>(raw.get(), 0, 0) : -1;
  }

  QTemporaryDir m_in, m_out;
  urs::Protocol m_log;
  urs::CxProgressInfo m_progress;
  BackZelParams m_params;
  QStringList m_totals;  // blended total and total message as they changed
};

TEST_F(ReverseDir, ConvertsOnlyZelImagesInNameOrder) {
  writeZel("b.zel.png");
  writeZel("a.zel.png");
  const ur::ScopedImageBuf plain = zel::testing::MakeZeroImage<std::uint8_t>({2, 2});
  ASSERT_EQ(ur::CxImage(plain.get()).save(m_in.filePath("c.png")), rc::Ok);

  EXPECT_EQ(ConvertDirToRaw(m_params, nullptr), rc::Ok);
  EXPECT_EQ(Texts(m_log),
            (QStringList{"File a.zel.png processed.", "File b.zel.png processed.", "Finished."}));
  EXPECT_TRUE(output("a.dezel.png"));
  EXPECT_TRUE(output("b.dezel.png"));
  EXPECT_EQ(QDir(m_out.path()).entryList(QDir::Files).size(), 2);
  EXPECT_EQ(m_totals,
            (QStringList{"0 ", "0 Processing a.zel.png", "50 Processing a.zel.png",
                         "50 Processing b.zel.png", "100 Processing b.zel.png", "100 Finished"}));
  EXPECT_EQ(m_params.numCores, 1);
}

TEST_F(ReverseDir, ADamagedFileIsReportedAndTheRunGoesOn) {
  writeZel("a.zel.png");
  ASSERT_TRUE(zel::testing::WriteDamagedZel(m_in.filePath("b.zel.png")));
  writeZel("c.zel.png");

  EXPECT_EQ(ConvertDirToRaw(m_params, nullptr), rc::Ok);  // the last file's result
  EXPECT_EQ(Texts(m_log),
            (QStringList{"File a.zel.png processed.", "Processing of b.zel.png failed.",
                         "File b.zel.png processed.", "File c.zel.png processed.", "Finished."}));
  EXPECT_TRUE(output("a.dezel.png"));
  EXPECT_FALSE(output("b.dezel.png"));
  EXPECT_TRUE(output("c.dezel.png"));
}

// Frames numbered inside their names keep the numbers, so that none replaces another.
TEST_F(ReverseDir, NumberedFramesRestoreToFilesOfTheirOwn) {
  writeZel("frame.0001.zel.png", 1);
  writeZel("frame.0002.zel.png", 2);
  EXPECT_EQ(ConvertDirToRaw(m_params, nullptr), rc::Ok);
  EXPECT_EQ(QDir(m_out.path()).entryList(QDir::Files),
            (QStringList{"frame.0001.dezel.png", "frame.0002.dezel.png"}));
  EXPECT_EQ(firstSample("frame.0001.dezel.png"), 1);
  EXPECT_EQ(firstSample("frame.0002.dezel.png"), 2);
  // One dot before ".zel" or none come out as they always did; the mark is found in any case.
  EXPECT_EQ(urs::zel::DezelOutputFileName("o/", "frame.zel.png"), "o/frame.dezel.png");
  EXPECT_EQ(urs::zel::DezelOutputFileName("o/", "a.b.ZEL.PNG"), "o/a.b.dezel.PNG");
  EXPECT_EQ(urs::zel::DezelOutputFileName("o/", "plain.png"), "o/plain.dezel.png");
}

// Names that differ only in the case of ".zel" still lead to one output: the second file is
// reported as failed and leaves the first one's image as it is.
TEST_F(ReverseDir, ASecondFileForOneOutputFailsAndWritesNothing) {
  writeZel("a.ZEL.png", 1);
  writeZel("a.zel.png", 2);
  EXPECT_EQ(ConvertDirToRaw(m_params, nullptr), rc::Fail);  // the last file's result
  EXPECT_EQ(Texts(m_log),
            (QStringList{"File a.ZEL.png processed.", "Processing of a.zel.png failed.",
                         "File a.zel.png processed.", "Finished."}));
  EXPECT_EQ(QDir(m_out.path()).entryList(QDir::Files | QDir::Hidden),
            QStringList{"a.dezel.png"});
  EXPECT_EQ(firstSample("a.dezel.png"), 1);
}

TEST_F(ReverseDir, CancellingBeforeTheFirstFileStillFinishes) {
  writeZel("a.zel.png");
  ur::CxCancellationToken token;
  token.cancel();
  EXPECT_EQ(ConvertDirToRaw(m_params, &token), rc::Cancelled);
  EXPECT_EQ(Texts(m_log), QStringList{"Finished."});
  EXPECT_EQ(m_totals.last(), QStringLiteral("100 Finished"));
  EXPECT_FALSE(output("a.dezel.png"));
}

TEST_F(ReverseDir, NoZelImagesIsReportedWithoutProgress) {
  const ur::ScopedImageBuf plain = zel::testing::MakeZeroImage<std::uint8_t>({2, 2});
  ASSERT_EQ(ur::CxImage(plain.get()).save(m_in.filePath("c.png")), rc::Ok);
  EXPECT_EQ(ConvertDirToRaw(m_params, nullptr), rc::Ok);
  EXPECT_EQ(Texts(m_log), QStringList{"No input images in " + m_params.inputDir});
  EXPECT_TRUE(m_totals.isEmpty());
  EXPECT_EQ(m_params.numCores, 4);
}

TEST_F(ReverseDir, RefusesABadPluginOrMissingFolders) {
  writeZel("a.zel.png");
  BackZelParams bad = m_params;
  bad.pluginId = 0;
  EXPECT_EQ(ConvertDirToRaw(bad, nullptr), rc::InvalidParams);
  bad = m_params;
  bad.inputDir = m_in.filePath("missing/");
  EXPECT_EQ(ConvertDirToRaw(bad, nullptr), rc::InvalidParams);
  bad = m_params;
  bad.outputDir = m_out.filePath("missing/");
  EXPECT_EQ(ConvertDirToRaw(bad, nullptr), rc::InvalidParams);
  EXPECT_TRUE(m_log.isEmpty());
  EXPECT_TRUE(m_totals.isEmpty());
}

}  // namespace
