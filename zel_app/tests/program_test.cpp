// The installed shape of the program: started as a user starts it, ended by a logout.
#include "dialog_test_support.h"

#include <QFile>
#include <QProcess>
#include <QSettings>

#include <csignal>

namespace zel::testing {
namespace {

// Whether the process handles sig (its "SigCgt" mask in /proc), i.e. it has come far enough.
bool Catches(qint64 pid, int sig) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return false;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (!line.startsWith("SigCgt:")) continue;
    const qulonglong mask = line.mid(7).trimmed().toULongLong(nullptr, 16);
    return (mask >> (sig - 1)) & 1u;
  }
  return false;
}

TEST(Program, SigtermClosesTheWindowAndSavesTheSettings) {
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  const QString ini = home.filePath("ZEL Project/ZEL Convertor/ZEL.ini");
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_DATA_HOME", home.path());
  env.insert("QT_QPA_PLATFORM", "offscreen");
  // Qt keeps allocations until the process ends; the test binary checks our own for leaks.
  env.insert("ASAN_OPTIONS", "detect_leaks=0");
  program.setProcessEnvironment(env);
  program.start(ZEL_APP_PATH, QStringList());
  ASSERT_TRUE(program.waitForStarted());
  ASSERT_TRUE(WaitFor([&] { return Catches(program.processId(), SIGTERM); }, 60000));
  EXPECT_FALSE(QFile::exists(ini));

  ::kill(pid_t(program.processId()), SIGTERM);
  ASSERT_TRUE(program.waitForFinished(60000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << program.readAllStandardError().toStdString();
  EXPECT_EQ(program.exitCode(), 0);
  QSettings saved(ini, QSettings::IniFormat);
  EXPECT_EQ(saved.value("Dialog/rawRoiLeft").toInt(), 16);
  EXPECT_EQ(saved.value("Dialog/bayerGrid").toInt(), 0);
}

}  // namespace
}  // namespace zel::testing
