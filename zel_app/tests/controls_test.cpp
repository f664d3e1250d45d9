#include "dialog_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

namespace zel::testing {
namespace {

void SelectData(QComboBox* combo, int data) { combo->setCurrentIndex(combo->findData(data)); }

TEST_F(DialogTest, ThresholdPairsStayInsideTheDepthAndTwoApart) {
  open();
  find<QCheckBox>("checkApplyThr")->setChecked(true);
  auto* low = find<QSpinBox>("spinRedLow");
  auto* high = find<QSpinBox>("spinRedHigh");
  SelectData(find<QComboBox>("comboColorDepth"), 8);
  EXPECT_EQ(low->value(), 0);
  EXPECT_EQ(high->value(), 255);
  EXPECT_EQ(low->maximum(), 253);
  EXPECT_EQ(high->maximum(), 255);

  low->setValue(100);
  EXPECT_EQ(high->minimum(), 102);
  high->setValue(50);
  EXPECT_EQ(high->value(), 102);
  low->setValue(300);
  EXPECT_EQ(low->value(), 100);
  EXPECT_EQ(find<QSpinBox>("spinBlueHigh")->maximum(), 255);

  SelectData(find<QComboBox>("comboColorDepth"), 16);
  for (const char* name : {"spinRedLow", "spinGreenLow", "spinBlueLow"}) {
    EXPECT_EQ(find<QSpinBox>(name)->value(), 0) << name;
    EXPECT_EQ(find<QSpinBox>(name)->maximum(), 65533) << name;
  }
  for (const char* name : {"spinRedHigh", "spinGreenHigh", "spinBlueHigh"})
    EXPECT_EQ(find<QSpinBox>(name)->value(), 65535) << name;
}

TEST_F(DialogTest, MonoLeavesOnlyTheFirstThresholdRowAndNoDemosaicing) {
  open();
  find<QCheckBox>("checkApplyThr")->setChecked(true);
  SelectData(find<QComboBox>("comboBayer"), 4);
  EXPECT_EQ(find<QLabel>("labelRed")->text(), "Mono:");
  EXPECT_TRUE(find<QSpinBox>("spinRedLow")->isEnabled());
  EXPECT_TRUE(find<QSpinBox>("spinRedHigh")->isEnabled());
  for (const char* name : {"spinGreenLow", "spinGreenHigh", "spinBlueLow", "spinBlueHigh"})
    EXPECT_FALSE(find<QSpinBox>(name)->isEnabled()) << name;
  EXPECT_FALSE(find<QComboBox>("comboAlgorithm")->isEnabled());
  EXPECT_FALSE(find<QComboBox>("comboNormalization")->isEnabled());
  EXPECT_FALSE(find<QCheckBox>("chkDebayerizeOutput")->isEnabled());

  SelectData(find<QComboBox>("comboBayer"), 1);
  EXPECT_EQ(find<QLabel>("labelRed")->text(), "Red:");
  EXPECT_TRUE(find<QSpinBox>("spinBlueHigh")->isEnabled());
  EXPECT_TRUE(find<QComboBox>("comboAlgorithm")->isEnabled());
  find<QCheckBox>("chkDebayerizeOutput")->click();
  EXPECT_FALSE(find<QComboBox>("comboAlgorithm")->isEnabled());
  find<QCheckBox>("checkApplyThr")->setChecked(false);
  EXPECT_FALSE(find<QSpinBox>("spinRedLow")->isEnabled());
}

TEST_F(DialogTest, AnOddCropAsksBeforeStartingAndCroppingOffDoesNot) {
  open();
  find<QPushButton>("pushStart")->click();
  ASSERT_EQ(prompts.messages.size(), 1);
  EXPECT_EQ(prompts.messages[0].text, "No input directory selected.");

  prompts.directories << folder("empty");
  find<QPushButton>("pushChooseDir")->click();
  EXPECT_TRUE(find<QLineEdit>("editDirectory")->text().endsWith("empty/"));
  EXPECT_TRUE(protocolText().contains("Failed.")) << "nothing to detect the depth from";

  find<QSpinBox>("spinRoiLeft")->setValue(15);
  prompts.answers << QMessageBox::Cancel;
  prompts.messages.clear();
  find<QPushButton>("pushStart")->click();
  ASSERT_EQ(prompts.messages.size(), 1);
  EXPECT_TRUE(prompts.messages[0].text.startsWith("On one side of the RAW image"));
  EXPECT_FALSE(dialog->isConverting());

  find<QCheckBox>("checkApplyRoi")->setChecked(false);
  EXPECT_FALSE(find<QSpinBox>("spinRoiLeft")->isEnabled());
  prompts.messages.clear();
  runToEnd();
  EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(DialogTest, StartOnPreferencesRunsTheReverseConversion) {
  open();
  find<QTabWidget>("tabWidget")->setCurrentIndex(2);
  find<QPushButton>("pushStart")->click();
  find<QTabWidget>("tabWidget")->setCurrentIndex(1);
  find<QPushButton>("pushStart")->click();
  ASSERT_EQ(prompts.messages.size(), 2);
  EXPECT_EQ(prompts.messages[0].text, "No input directory selected.");
  EXPECT_EQ(prompts.messages[0].title, "Warning");

  prompts.directories << folder("zel") << folder("out");
  find<QPushButton>("pushBackInput")->click();
  find<QTabWidget>("tabWidget")->setCurrentIndex(2);
  find<QPushButton>("pushStart")->click();
  ASSERT_EQ(prompts.messages.size(), 3);
  EXPECT_EQ(prompts.messages[2].text, "No output directory selected.");

  find<QPushButton>("pushBackOutput")->click();
  EXPECT_EQ(settings->values.lastBackInputFolder, m_dir.filePath("zel") + "/");
  runToEnd();
  EXPECT_FALSE(find<QProgressBar>("progressDir")->isEnabled()) << "a reverse run has no task bar";
  EXPECT_EQ(prompts.messages.size(), 3);
}

TEST_F(DialogTest, SavesTheProtocolAndSaysWhenItCannot) {
  open();
  prompts.directories << folder("frames");
  find<QPushButton>("pushChooseDir")->click();
  prompts.saveName = m_dir.filePath("missing/folder/protocol.txt");
  find<QPushButton>("pushSave")->click();
  ASSERT_EQ(prompts.messages.size(), 1);
  EXPECT_EQ(prompts.messages[0].text, "Protocol has not been saved!");

  prompts.saveName = m_dir.filePath("frames/protocol.txt");
  find<QPushButton>("pushSave")->click();
  EXPECT_EQ(prompts.messages.size(), 1);
  QFile saved(prompts.saveName);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  EXPECT_TRUE(saved.readAll().contains("Detecting color bit depth..."));
  EXPECT_EQ(settings->values.lastProtocolFolder, m_dir.filePath("frames") + "/");

  find<QPushButton>("pushAbout")->click();
  EXPECT_EQ(prompts.aboutShown, 1);
  EXPECT_EQ(prompts.lastAbout.versionBuild, 27);
  EXPECT_TRUE(prompts.lastAbout.versionText.isEmpty());
  EXPECT_FALSE(prompts.lastAbout.icon.isNull());
}

}  // namespace
}  // namespace zel::testing
