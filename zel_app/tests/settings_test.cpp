#include "dialog_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QThread>

namespace zel::testing {
namespace {

using urs::zel::DialogSettings;

TEST_F(DialogTest, FirstStartShowsTheDefaultsAndStoresThemAtClose) {
  open();
  EXPECT_EQ(find<QComboBox>("comboColorDepth")->currentData().toInt(), 12);
  EXPECT_TRUE(find<QCheckBox>("checkAutoDetectDepth")->isChecked());
  EXPECT_FALSE(find<QComboBox>("comboColorDepth")->isEnabled());
  EXPECT_TRUE(find<QCheckBox>("checkApplyRoi")->isChecked());
  EXPECT_EQ(find<QSpinBox>("spinRoiLeft")->value(), 16);
  EXPECT_EQ(find<QSpinBox>("spinRoiRight")->value(), 0);
  EXPECT_FALSE(find<QCheckBox>("checkApplyThr")->isChecked());
  EXPECT_EQ(find<QSpinBox>("spinGreenLow")->value(), 0);
  EXPECT_EQ(find<QSpinBox>("spinBlueHigh")->value(), 4095);
  EXPECT_EQ(find<QComboBox>("comboBayer")->currentText(), "BGGR");
  EXPECT_EQ(find<QComboBox>("comboAlgorithm")->currentData().toInt(), 0);
  EXPECT_EQ(find<QComboBox>("comboNormalization")->currentData().toInt(), 0);
  EXPECT_TRUE(find<QCheckBox>("checkSubfolders")->isChecked());
  EXPECT_EQ(find<QSpinBox>("spinCores")->value(), std::max(1, QThread::idealThreadCount()));
  EXPECT_FALSE(find<QSpinBox>("spinCores")->isVisible());

  find<QSpinBox>("spinRoiBottom")->setValue(6);
  find<QPushButton>("pushFinish")->click();
  EXPECT_FALSE(dialog->isVisible());
  closeAll();

  QSettings ini(iniPath(), QSettings::IniFormat);
  ini.beginGroup("Dialog");
  EXPECT_EQ(ini.value("rawRoiLeft").toInt(), 16);
  EXPECT_EQ(ini.value("rawRoiBottom").toInt(), 6);
  EXPECT_EQ(ini.value("rawBitColorDepth").toInt(), 12);
  EXPECT_EQ(ini.value("bayerGrid").toInt(), 0);
  EXPECT_EQ(ini.value("applyRoi").toString(), "true");
  EXPECT_EQ(ini.value("numCores").toUInt(), unsigned(std::max(1, QThread::idealThreadCount())));
  EXPECT_EQ(ini.value("localeName").toString(), QLocale::system().name());
}

TEST_F(DialogTest, AnAlgorithmOutsideZeroToOneLoadsAndIsSavedAsZero) {
  for (const char* stored : {"5", "-1"}) {
    writeIni({QStringLiteral("algorithm=%1").arg(stored), "rawRoiTop=4"});
    {
      DialogSettings loaded(iniPath());
      EXPECT_EQ(loaded.values.algorithm, 0) << stored;
      EXPECT_EQ(loaded.values.rawRoiTop, 4);
    }
    QSettings ini(iniPath(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Dialog/algorithm").toString(), "0") << stored;
  }
  writeIni({"algorithm=1", "numCores=banana"});
  DialogSettings loaded(iniPath());
  EXPECT_EQ(loaded.values.algorithm, 1);
  EXPECT_EQ(loaded.values.numCores, DialogSettings::Defaults().numCores);
}

TEST_F(DialogTest, AnUnknownGridShowsBggrAndAnUnknownDepthShows14Bit) {
  writeIni({"bayerGrid=7", "rawBitColorDepth=9", "autoDetectColorDepth=false"});
  open();
  EXPECT_EQ(find<QComboBox>("comboBayer")->currentText(), "BGGR");
  EXPECT_EQ(find<QComboBox>("comboColorDepth")->currentData().toInt(), 14);
  EXPECT_TRUE(find<QComboBox>("comboColorDepth")->isEnabled());
}

TEST_F(DialogTest, CzechIsListedByItsOwnNameAndEnglishIsAlwaysThere) {
  writeIni({"localeName=cs_CZ"});
  open();
  auto* languages = find<QComboBox>("comboLanguage");
  EXPECT_GE(languages->findData("en_US"), 0);
  const int czech = languages->findData("cs_CZ");
  ASSERT_GE(czech, 0) << "the Czech catalogue is not beside the test binary";
  EXPECT_EQ(languages->itemText(czech), QString::fromUtf8("Čeština"));
  EXPECT_EQ(languages->currentIndex(), czech);
  // The stored language is installed before the widgets are built.
  EXPECT_EQ(find<QPushButton>("pushStart")->text(), QString::fromUtf8("Spustit"));
  EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8("Převodník ZEL"));
  // The worker's message is translated in its own class's context.
  EXPECT_EQ(urs::zel::ZelConvertor::tr("Cancelling..."), QString::fromUtf8("Ruším…"));

  languages->setCurrentIndex(languages->findData("en_US"));
  EXPECT_EQ(settings->values.localeName, "en_US");
  ASSERT_EQ(prompts.messages.size(), 1);
  EXPECT_EQ(prompts.messages[0].icon, QMessageBox::Information);
  EXPECT_EQ(find<QPushButton>("pushStart")->text(), QString::fromUtf8("Spustit"))
      << "a new language takes effect at the next start";
  closeAll();

  writeIni({"localeName=de_DE"});
  open();
  EXPECT_EQ(find<QComboBox>("comboLanguage")->currentData().toString(), "en_US");
  EXPECT_EQ(find<QPushButton>("pushStart")->text(), "Start");
  EXPECT_TRUE(prompts.messages.size() == 1) << "choosing at start-up asks nothing";
}

}  // namespace
}  // namespace zel::testing
