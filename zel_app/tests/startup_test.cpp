// Start-up without a conversion plug-in beside the executable: this binary lies in a folder of
// its own that holds none.
#include "app_start.h"
#include "prompts.h"

#include <ur/about_dlg.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// Qt keeps process-lifetime allocations that LeakSanitizer would report; they are not ours.
extern "C" __attribute__((used, visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libQt5Core\nleak:libQt5Gui\nleak:libQt5Widgets\nleak:libqoffscreen\n"
         "leak:libfontconfig\nleak:libglib\n";
}

namespace {

class RecordingPrompts : public urs::zel::Prompts {
public:
  QStringList shown;
  QString existingDirectory(QWidget*, const QString&, const QString&) override { return {}; }
  QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override {
    return {};
  }
  QMessageBox::StandardButton message(QWidget*, QMessageBox::Icon icon, const QString& title,
                                      const QString& text, QMessageBox::StandardButtons,
                                      QMessageBox::StandardButton) override {
    if (icon == QMessageBox::Critical) shown << title + ": " + text;
    return QMessageBox::Ok;
  }
  void about(const ur::AboutConf&, QWidget*) override {}
};

int RunProgram() {
  static char name[] = "zel_app";
  char* argv[] = {name, nullptr};
  int argc = 1;
  return urs::zel::RunZelApp(argc, argv);
}

TEST(Startup, WithoutPluginsSaysSoEndsWithMinusOneAndLeavesTheSettingsAlone) {
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
  RecordingPrompts prompts;
  urs::zel::SetPrompts(&prompts);
  const QString dir = home.filePath("ZEL Project/ZEL Convertor");
  const QString ini = dir + "/ZEL.ini";

  EXPECT_EQ(RunProgram(), -1);
  EXPECT_EQ(prompts.shown,
            QStringList{"Fatal: No ZEL plugins found. Cannot start the application."});
  EXPECT_FALSE(QFile::exists(ini)) << "nothing is saved";

  ASSERT_TRUE(QDir().mkpath(dir));
  const QByteArray stored = "[Dialog]\nalgorithm=5\nrawRoiLeft=3\n";
  {
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(stored);
  }
  EXPECT_EQ(RunProgram(), -1);
  QFile file(ini);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), stored);
  urs::zel::SetPrompts(nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
