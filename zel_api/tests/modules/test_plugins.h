#pragma once
// Where the test conversion plug-ins are built and how tests reach the fake's control
// interface; the log lines written meanwhile are captured by zel_testing's LogCapture.

#include "fake_plugin_control.h"

#include <zel_testing/log_capture.h>

#include <QObject>
#include <QPluginLoader>
#include <QString>
#include <QStringList>


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

}  // namespace zel::testing
