// The tree walk and the flat grey path on real files: folders with and without inputs, one
// mapping per directory, outputs never read as inputs, skipping converted files, the summary,
// an empty tree and a cancelled analysis.
#include "dir_fixture.h"

#include <zel/metadata.h>
#include <zel/reverse_conversion.h>
#include <zel/zel_file.h>

#include <QFileInfo>
#include <QObject>

namespace {

namespace rc = ur::rc;
using namespace urs::zel;
using zel::testing::LoadTopDown;
using zel::testing::MakeGrey;
using zel::testing::Samples;

using DirTree = zel::testing::DirTest;

QString MappingOf(const QString& zelFile) {
  ur::CxImage image;
  ZelMetadata md;
  if (ur::Failed(ReadZelImage(zelFile, image, md))) return QStringLiteral("unreadable");
  QString text;
  GetMappingString(md.occupied[0], md.mapping[0], md.levelsCount, text);
  return text + QStringLiteral("/%1").arg(md.normalization[0]);
}

TEST_F(DirTree, ConvertsEachDirectoryWithInputsIntoItsOwnZelFolderByOneMapping) {
  const QString root = folder(QStringLiteral("tree"));
  const QString empty = folder(QStringLiteral("tree/empty"));
  const QString deep = folder(QStringLiteral("tree/empty/deep"));
  // Two frames whose levels differ: the directory's mapping must cover both.
  save(root + "a.png", MakeGrey(24, 16, 100, 0).get());
  save(root + "b.x.png", MakeGrey(24, 16, 2000, 3).get());
  save(deep + "c.png", MakeGrey(10, 6, 50, 1).get());
  // An output of an earlier run beside the inputs is never an input.
  save(root + "old.zel.png", MakeGrey(24, 16, 100, 0).get());

  ZelParams p = params(root);
  p.processSubfolders = true;
  ASSERT_EQ(ConvertDirToZel(p, nullptr), rc::Ok) << protocolText().toStdString();

  EXPECT_EQ(zelFiles(root + "ZEL/"), QStringList({"a.zel.png", "b.x.zel.png"}));
  EXPECT_FALSE(QFileInfo::exists(empty + "ZEL"));
  EXPECT_EQ(zelFiles(deep + "ZEL/"), QStringList({"c.zel.png"}));
  EXPECT_EQ(MappingOf(root + "ZEL/a.zel.png"), MappingOf(root + "ZEL/b.x.zel.png"));
  EXPECT_NE(MappingOf(root + "ZEL/a.zel.png"), MappingOf(deep + "ZEL/c.zel.png"));
  EXPECT_TRUE(protocolHas("Processing started."));
  EXPECT_TRUE(protocolHas("Processing done."));
  // The frames' 150 levels each are disjoint; the deep frame has 60 pixels.
  EXPECT_TRUE(protocolHas(QStringLiteral("Occupied levels in %1: grey 300; the way back will not "
                                         "be exact: a channel holds more than 256 levels")
                              .arg(root)))
      << protocolText().toStdString();
  EXPECT_TRUE(protocolHas(QStringLiteral("Occupied levels in %1: grey 60; the way back will give "
                                         "every sample exactly.")
                              .arg(deep)));
  EXPECT_EQ(m_summary.directories.size(), 2);
  EXPECT_EQ(m_summary.converted, 3);
  EXPECT_EQ(m_summary.failed, 0);

  double total = 0, task = 0;
  QString totalMessage, taskMessage;
  m_progress.getInfo(total, totalMessage, task, taskMessage);
  EXPECT_EQ(total, 100.0);
  EXPECT_EQ(totalMessage, "Finished.");

  // The deep folder's 150 levels come back exactly through the reverse conversion.
  BackZelParams back;
  back.pluginId = p.pluginId;
  back.inputDir = deep + "ZEL/";
  back.outputDir = deep;
  ASSERT_EQ(ConvertDirToRaw(back, nullptr), rc::Ok);
  const ur::ScopedImageBuf restored = LoadTopDown(deep + "c.dezel.png");
  ASSERT_TRUE(restored->data);
  EXPECT_EQ(Samples<std::uint16_t>(restored.get()),
            Samples<std::uint16_t>(MakeGrey(10, 6, 50, 1).get()));

  // Again, keeping what exists: b's output is made anew (it was removed), a's is skipped but
  // its levels still shape the mapping.
  const QString mappingBefore = MappingOf(root + "ZEL/a.zel.png");
  ASSERT_TRUE(QFile::remove(root + "ZEL/b.x.zel.png"));
  p.doNotProcessConverted = true;
  p.processSubfolders = false;
  ASSERT_EQ(ConvertDirToZel(p, nullptr), rc::Ok);
  EXPECT_EQ(MappingOf(root + "ZEL/b.x.zel.png"), mappingBefore);
  EXPECT_EQ(m_summary.converted, 1);
  EXPECT_EQ(m_summary.skippedConverted, 1);
}

TEST_F(DirTree, ReportsUnreadableAndMismatchedFilesAndConvertsTheRest) {
  const QString dir = folder(QStringLiteral("mixed"));
  save(dir + "good.png", MakeGrey(12, 8, 100, 0).get());
  save(dir + "wide.png", MakeGrey(14, 8, 100, 0).get());
  QFile junk(dir + "junk.tif");
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly) && junk.write("not an image") > 0);
  junk.close();

  ZelParams p = params(dir);
  ASSERT_EQ(ConvertDirToZel(p, nullptr), rc::Ok);
  // The listing is unsorted: whichever frame is read first is the size reference.
  const QStringList written = zelFiles(dir + "ZEL/");
  ASSERT_EQ(written.size(), 1) << protocolText().toStdString();
  const QString other = written.first() == "good.zel.png" ? "wide.png" : "good.png";
  EXPECT_TRUE(protocolHas(QStringLiteral("Conversion %1 failed. Its size differs from the first "
                                         "image's size.").arg(dir + other)));
  EXPECT_TRUE(protocolHas(QStringLiteral("Conversion %1 failed.Cannot read image.")
                              .arg(dir + "junk.tif")));
  EXPECT_EQ(m_summary.converted, 1);
  EXPECT_EQ(m_summary.failed, 2);
}

TEST_F(DirTree, EmptyTreeAndRefusedParameters) {
  const QString dir = folder(QStringLiteral("nothing"));
  ZelParams p = params(dir);
  EXPECT_EQ(ConvertDirToZel(p, nullptr), rc::Ok);
  EXPECT_EQ(m_protocol.getProtocol().size(), 2);
  EXPECT_TRUE(protocolHas("Processing started."));
  EXPECT_TRUE(protocolHas("Processing done."));
  double total = 0, task = 0;
  QString totalMessage, taskMessage;
  m_progress.getInfo(total, totalMessage, task, taskMessage);
  EXPECT_EQ(taskMessage, "Finished.");

  EXPECT_EQ(ConvertFlatDirToZel(p, dir, {}, nullptr), rc::Ok);
  m_progress.getInfo(total, totalMessage, task, taskMessage);
  EXPECT_EQ(taskMessage, QStringLiteral("Directory %1 proccesed.").arg(dir));

  ZelParams missing = params(dir + "absent/");
  EXPECT_EQ(ConvertDirToZel(missing, nullptr), rc::InvalidParams);
  EXPECT_TRUE(protocolHas(
      QStringLiteral("Processing %1 failed with error 0xa0000057").arg(dir + "absent/")));
  ZelParams badPlugin = params(dir);
  badPlugin.pluginId = 99;
  EXPECT_EQ(ConvertDirToZel(badPlugin, nullptr), rc::InvalidParams);
  EXPECT_EQ(ConvertFlatDirToZel(badPlugin, dir, {}, nullptr), rc::InvalidArg(1));
  EXPECT_EQ(ConvertFlatDirToZel(p, dir + "absent/", {}, nullptr), rc::InvalidArg(2));
  p.rawBitColorDepth = 17;
  EXPECT_EQ(ConvertFlatDirToZelRaw(p, dir, {}, nullptr), rc::InvalidArg(1));
}

TEST_F(DirTree, CancelDuringTheAnalysisWritesNothing) {
  const QString dir = folder(QStringLiteral("cancel"));
  for (int i = 0; i < 3; ++i)
    save(dir + QStringLiteral("f%1.png").arg(i), MakeGrey(12, 8, 100, i).get());
  ur::CxCancellationToken token;
  // Cancelled as soon as the analysis reports itself, from within the run.
  QObject::connect(&m_progress, &urs::CxProgressInfo::updated, [&] {
    double total = 0, task = 0;
    QString totalMessage, taskMessage;
    m_progress.getInfo(total, totalMessage, task, taskMessage);
    if (taskMessage == "Calculating occupied levels..." && task > 0.0) token.cancel();
  });
  ZelParams p = params(dir);
  EXPECT_EQ(ConvertDirToZel(p, &token), rc::Cancelled);
  EXPECT_TRUE(zelFiles(dir + "ZEL/").isEmpty());
  EXPECT_EQ(m_protocol.getLastMessage().section(QStringLiteral("]: "), 1),
            "Processing was cancelled by user.");
  double total = 0, task = 0;
  QString totalMessage, taskMessage;
  m_progress.getInfo(total, totalMessage, task, taskMessage);
  EXPECT_EQ(totalMessage, "Cancelled.");
  EXPECT_EQ(taskMessage, "Cancelled.");
}

}  // namespace
