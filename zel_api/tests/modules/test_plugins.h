#pragma once
// Where the test conversion plug-ins are built, how tests reach the fake's control interface,
// and a capture of the log lines written meanwhile.

#include "fake_plugin_control.h"

#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QPluginLoader>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

#ifndef ZEL_TEST_PLUGIN_DIR
#error "ZEL_TEST_PLUGIN_DIR must name the folder of the test plug-ins"
#endif

namespace zel::testing {

// discovery: the fake "ZEL Test Fake" (zel_plugin_fake.so), a Qt plug-in of another interface
// (zel_plugin_other.so), a file that is no library (zel_plugin_junk.so) and a valid plug-in
// whose name does not match (unlisted_zel_plugin.so). second: the valid "ZEL Test Second".
// foreign: only a plug-in of another interface and the junk file.
inline QString TestPluginDir(const char* folder) {
  return QStringLiteral(ZEL_TEST_PLUGIN_DIR "/") + QLatin1String(folder);
}

inline QString FakePluginPath() {
  return TestPluginDir("discovery") + QStringLiteral("/zel_plugin_fake.so");
}
inline const char* const kFakePluginName = "ZEL Test Fake";

// The root object of the fake module; the module is loaded only once per process, so this is
// the very object the host lists.
inline QObject* FakePluginRoot() { return QPluginLoader(FakePluginPath()).instance(); }

inline FakePluginControl* FakeControl() {
  return qobject_cast<FakePluginControl*>(FakePluginRoot());
}

// Collects every log line (type and text) while it exists. One at a time.
class LogCapture {
public:
  LogCapture() { previous_ = qInstallMessageHandler(&LogCapture::handle); }
  ~LogCapture() {
    qInstallMessageHandler(previous_);
    QMutexLocker lock(&mutex());
    lines().clear();
  }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // The texts of the lines of this type, in order.
  QStringList texts(QtMsgType type) const {
    QMutexLocker lock(&mutex());
    QStringList out;
    for (const auto& line : lines())
      if (line.first == type) out << line.second;
    return out;
  }
  int count() const {
    QMutexLocker lock(&mutex());
    return int(lines().size());
  }
  void clear() {
    QMutexLocker lock(&mutex());
    lines().clear();
  }

private:
  static QMutex& mutex() {
    static QMutex m;
    return m;
  }
  static std::vector<std::pair<QtMsgType, QString>>& lines() {
    static std::vector<std::pair<QtMsgType, QString>> l;
    return l;
  }
  static void handle(QtMsgType type, const QMessageLogContext&, const QString& text) {
    QMutexLocker lock(&mutex());
    lines().emplace_back(type, text);
  }

  QtMessageHandler previous_ = nullptr;
};

}  // namespace zel::testing
