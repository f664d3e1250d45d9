#pragma once
// Where the shared sample files made by others are found.

#include <QFileInfo>
#include <QString>

namespace zel::testing {

// The sample folder (ZEL_TESTDATA, else ../shared/testdata beside the source tree).
QString TestDataDir();
// A file below it, e.g. TestDataPath("external/png/pngsuite_basn0g08.png").
QString TestDataPath(const QString& relative);

}  // namespace zel::testing

// Skips the current test with a clear message when a sample file is absent.
#define ZEL_REQUIRE_TESTDATA(path)                                                        \
  do {                                                                                    \
    if (!QFileInfo::exists(path)) GTEST_SKIP() << "sample file not found: " << (path).toStdString(); \
  } while (0)
