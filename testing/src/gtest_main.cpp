#include <gtest/gtest.h>

#include <QApplication>

#include <zel_testing/lsan_suppressions.h>

// One application object for the whole run: Qt classes under test need it. Tests never need a
// display, so the offscreen platform is the default (also while CTest lists the tests).
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
