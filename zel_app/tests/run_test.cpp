#include "dialog_test_support.h"

#include <ur/result.h>

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

namespace zel::testing {
namespace {

QStringList FilesIn(const QString& dir) {
  return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Every file of dir is a finished ZEL image: no temporary or half-written file is left.
void ExpectOnlyZelImages(const QString& dir) {
  for (const QString& name : FilesIn(dir))
    EXPECT_TRUE(name.endsWith(".zel.png") && !name.startsWith('.')) << name.toStdString();
}

TEST_F(DialogTest, ConvertsATreeOfFramesAndBackWithProgressAndProtocol) {
  const QString tree = folder("tree");
  WriteFrames(tree, 3, 64, 48);
  WriteFrames(tree + "/night", 2, 64, 48);
  open();
  prompts.directories << tree;
  find<QPushButton>("pushChooseDir")->click();
  EXPECT_TRUE(protocolText().contains("Detected color bit depth: 12.")) << protocolText().toStdString();
  EXPECT_EQ(find<QComboBox>("comboColorDepth")->currentData().toInt(), 12);

  runToEnd();
  EXPECT_EQ(dialog->lastResult(), ur::rc::Ok);
  EXPECT_EQ(find<QProgressBar>("progressTotal")->value(), 100);
  EXPECT_FALSE(find<QLabel>("labelProgressTotal")->text().isEmpty());
  EXPECT_TRUE(find<QPushButton>("pushStart")->isEnabled());
  EXPECT_FALSE(find<QPushButton>("pushStop")->isEnabled());
  EXPECT_EQ(FilesIn(tree + "/ZEL").size(), 3);
  EXPECT_EQ(FilesIn(tree + "/night/ZEL").size(), 2);
  ExpectOnlyZelImages(tree + "/ZEL");
  // The level counts of the last directory and whether the way back is exact.
  EXPECT_TRUE(protocolText().contains("Occupied levels in")) << protocolText().toStdString();
  EXPECT_TRUE(protocolText().contains("exactly"));

  const QString restored = folder("restored");
  find<QTabWidget>("tabWidget")->setCurrentIndex(1);
  prompts.directories << tree + "/ZEL" << restored;
  find<QPushButton>("pushBackInput")->click();
  find<QPushButton>("pushBackOutput")->click();
  runToEnd();
  EXPECT_EQ(dialog->lastResult(), ur::rc::Ok) << protocolText().toStdString();
  EXPECT_EQ(find<QProgressBar>("progressTotal")->value(), 100);
  const QStringList back = FilesIn(restored);
  ASSERT_EQ(back.size(), 3) << back.join(' ').toStdString();
  for (const QString& name : back) EXPECT_TRUE(name.contains(".dezel.")) << name.toStdString();
}

TEST_F(DialogTest, StopEndsTheRunAtTheNextFileAndLeavesNothingHalfWritten) {
  const QString tree = folder("many");
  WriteFrames(tree, 40, 256, 128);
  writeIni({"autoDetectColorDepth=false", "rawBitColorDepth=8"});
  open();
  prompts.directories << tree;
  find<QPushButton>("pushChooseDir")->click();
  EXPECT_EQ(find<QComboBox>("comboColorDepth")->currentData().toInt(), 12)
      << "without detection the first frame's depth is taken";

  startRun();
  ASSERT_TRUE(WaitFor([&] { return find<QPushButton>("pushStop")->isEnabled(); }));
  find<QPushButton>("pushStop")->click();
  EXPECT_FALSE(find<QPushButton>("pushStop")->isEnabled());
  EXPECT_FALSE(find<QPushButton>("pushFinish")->isEnabled());
  EXPECT_EQ(dialog->cursor().shape(), Qt::WaitCursor);
  waitForEnd();
  EXPECT_EQ(dialog->lastResult(), ur::rc::Cancelled);
  EXPECT_EQ(dialog->cursor().shape(), Qt::ArrowCursor);
  EXPECT_TRUE(find<QPushButton>("pushStart")->isEnabled());
  EXPECT_TRUE(find<QPushButton>("pushFinish")->isEnabled());
  EXPECT_LT(FilesIn(tree + "/ZEL").size(), 40);
  ExpectOnlyZelImages(tree + "/ZEL");
  EXPECT_TRUE(protocolText().contains("Processing was cancelled by user."));
}

TEST_F(DialogTest, ClosingDuringARunAsksAndOnYesClosesWhenTheWorkerEnds) {
  const QString tree = folder("many");
  WriteFrames(tree, 40, 256, 128);
  open();
  prompts.directories << tree;
  find<QPushButton>("pushChooseDir")->click();
  find<QSpinBox>("spinRoiTop")->setValue(2);

  startRun();
  prompts.answers << QMessageBox::No << QMessageBox::Yes;
  EXPECT_FALSE(dialog->close());
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_TRUE(dialog->isConverting()) << "No leaves the run alone";
  EXPECT_FALSE(dialog->close());
  ASSERT_EQ(prompts.messages.size(), 2);
  EXPECT_EQ(prompts.messages[1].title, "Question");
  EXPECT_TRUE(dialog->isVisible()) << "the window waits for the worker";
  EXPECT_EQ(dialog->cursor().shape(), Qt::WaitCursor);
  EXPECT_NE(settings->values.rawRoiTop, 2);

  waitForEnd();
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->lastResult(), ur::rc::Cancelled);
  EXPECT_EQ(settings->values.rawRoiTop, 2) << "the settings are taken when the window closes";
  ExpectOnlyZelImages(tree + "/ZEL");
}

TEST_F(DialogTest, ARunThatEndsWhileTheCloseQuestionIsOpenLetsYesCloseAtOnce) {
  const QString tree = folder("few");
  WriteFrames(tree, 2, 64, 48);
  open();
  prompts.directories << tree;
  find<QPushButton>("pushChooseDir")->click();
  startRun();
  prompts.answers << QMessageBox::Yes;
  prompts.whileAsking = [&] { waitForEnd(); };
  dialog->close();
  EXPECT_FALSE(dialog->isVisible()) << "no run is left whose end would close the window";
  EXPECT_TRUE(find<QPushButton>("pushFinish")->isEnabled());
  EXPECT_EQ(dialog->cursor().shape(), Qt::ArrowCursor);
}

}  // namespace
}  // namespace zel::testing
