#include <zel_testing/test_data.h>

#include <QDir>

namespace zel::testing {

QString TestDataDir() {
  const QString fromEnv = QString::fromLocal8Bit(qgetenv("ZEL_TESTDATA"));
  return fromEnv.isEmpty() ? QStringLiteral(ZEL_TESTDATA_DEFAULT) : fromEnv;
}

QString TestDataPath(const QString& relative) { return QDir(TestDataDir()).filePath(relative); }

}  // namespace zel::testing
