#include <gtest/gtest.h>

#include <QApplication>

// Qt's platform plug-ins and font database keep process-lifetime allocations that LeakSanitizer
// would report as leaks at exit; they are not ours. The hook is only read by sanitizer builds.
extern "C" __attribute__((used, visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libQt5Core\n"
         "leak:libQt5Gui\n"
         "leak:libQt5Widgets\n"
         "leak:libqoffscreen\n"
         "leak:libfontconfig\n"
         "leak:libglib\n";
}

// One application object for the whole run: Qt classes under test need it. Tests never need a
// display, so the offscreen platform is the default (also while CTest lists the tests).
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
