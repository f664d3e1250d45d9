// Discovery of conversion plug-ins. The plug-in list belongs to the process and is filled only
// once, so the whole life cycle is one test whose steps run in order.

#include "modules/test_plugins.h"

#include <zel/plugin.h>

#include <ur/result.h>

#include <zel_testing/printers.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonObject>
#include <QJsonValue>
#include <QPluginLoader>
#include <QTemporaryDir>

#include <thread>
#include <vector>

namespace {

namespace rc = ur::rc;
using urs::zel::GetPlugins;
using urs::zel::InitPlugins;
using urs::zel::PluginById;
using urs::zel::ZelPlugin;
using urs::zel::ZelPluginInfo;
using zel::testing::LogCapture;
using zel::testing::TestPluginDir;

QStringList LoadedLines(const LogCapture& log) {
  return log.texts(QtDebugMsg).filter(QStringLiteral(" loaded."));
}

QVector<ZelPluginInfo> ListPlugins() {
  QVector<ZelPluginInfo> plugins(1);  // stale content the call must clear
  plugins[0].name = QStringLiteral("stale");
  EXPECT_EQ(GetPlugins(plugins), rc::Ok);
  return plugins;
}

// Folders that hold no conversion plug-in leave the list empty, so a later call may still load.
void ExpectNoPluginFrom(const QString& directory) {
  SCOPED_TRACE(directory.toStdString());
  LogCapture log;
  EXPECT_EQ(InitPlugins(directory), rc::NoPlugin);
  EXPECT_TRUE(LoadedLines(log).isEmpty());
  EXPECT_TRUE(ListPlugins().isEmpty());
  EXPECT_EQ(PluginById(1), nullptr);
}

void ExpectFailedLoadsLeaveListEmpty() {
  QTemporaryDir empty;
  ASSERT_TRUE(empty.isValid());
  ExpectNoPluginFrom(empty.path());
  ExpectNoPluginFrom(empty.filePath(QStringLiteral("missing")));
  ExpectNoPluginFrom(TestPluginDir("foreign"));  // matching names, but no ZelPlugin inside

  // An empty name is no folder: it must not fall back to the working directory.
  const QString workingDir = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(TestPluginDir("discovery")));
  ExpectNoPluginFrom(QString());
  ASSERT_TRUE(QDir::setCurrent(workingDir));
}

// Several threads start loading at once: the plug-in is still loaded exactly once.
void LoadDiscoveryFolderFromSeveralThreads() {
  // Passing over the neighbours of the fake proves something only if they are what their names
  // say; the metadata is read without loading the modules.
  const QDir discovery(TestPluginDir("discovery"));
  ASSERT_TRUE(discovery.exists(QStringLiteral("zel_plugin_junk.so")));
  const struct {
    const char* file;
    const char* iid;
  } modules[] = {{"zel_plugin_fake.so", ZelPlugin_iid},
                 {"unlisted_zel_plugin.so", ZelPlugin_iid},
                 {"zel_plugin_other.so", "org.zelproject.zel.tests.OtherInterface"}};
  for (const auto& module : modules) {
    const QPluginLoader loader(discovery.filePath(QLatin1String(module.file)));
    ASSERT_EQ(loader.metaData().value(QStringLiteral("IID")).toString(),
              QLatin1String(module.iid))
        << module.file;
  }

  LogCapture log;
  std::vector<unsigned int> results(3, rc::Fail);
  std::vector<std::thread> threads;
  for (auto& result : results)
    threads.emplace_back([&result] { result = InitPlugins(TestPluginDir("discovery")); });
  for (auto& thread : threads) thread.join();
  for (unsigned int result : results) EXPECT_EQ(result, rc::Ok);
  EXPECT_EQ(LoadedLines(log), QStringList{QStringLiteral("Plugin ZEL Test Fake loaded.")});
}

void ExpectOnlyTheFakeListed() {
  const QVector<ZelPluginInfo> plugins = ListPlugins();
  ASSERT_EQ(plugins.size(), 1);
  EXPECT_EQ(plugins[0].id, 1u);
  EXPECT_EQ(plugins[0].name, QString::fromLatin1(zel::testing::kFakePluginName));
  EXPECT_EQ(plugins[0].deviceType, 0);
  EXPECT_EQ(plugins[0].device, QStringLiteral("CPU"));

  ZelPlugin* fake = qobject_cast<ZelPlugin*>(zel::testing::FakePluginRoot());
  ASSERT_NE(fake, nullptr);
  EXPECT_EQ(PluginById(1), fake);
  EXPECT_EQ(PluginById(0), nullptr);
  EXPECT_EQ(PluginById(2), nullptr);
}

void ExpectDeviceTextFollowsDeviceType() {
  zel::testing::FakePluginControl* control = zel::testing::FakeControl();
  ASSERT_NE(control, nullptr);
  const struct {
    int type;
    const char* device;
  } cases[] = {{1, "GPU"}, {2, ""}, {-1, ""}, {0, "CPU"}};
  for (const auto& c : cases) {
    control->setDeviceType(c.type);
    const QVector<ZelPluginInfo> plugins = ListPlugins();
    ASSERT_EQ(plugins.size(), 1);
    EXPECT_EQ(plugins[0].deviceType, c.type);
    EXPECT_EQ(plugins[0].device, QString::fromLatin1(c.device)) << "device type " << c.type;
  }
  control->reset();
}

void ExpectLaterCallsLoadNothing() {
  LogCapture log;
  EXPECT_EQ(InitPlugins(TestPluginDir("second")), rc::Ok);
  EXPECT_EQ(InitPlugins(TestPluginDir("missing")), rc::Ok);
  EXPECT_TRUE(LoadedLines(log).isEmpty());
  const QVector<ZelPluginInfo> plugins = ListPlugins();
  ASSERT_EQ(plugins.size(), 1);
  EXPECT_EQ(plugins[0].name, QString::fromLatin1(zel::testing::kFakePluginName));
}

TEST(PluginHost, DiscoversConversionPluginsOncePerProcess) {
  if (!ListPlugins().isEmpty())
    GTEST_SKIP() << "plug-ins were loaded by an earlier test of this process; run this test alone";

  ExpectFailedLoadsLeaveListEmpty();
  if (HasFatalFailure()) return;
  // The valid plug-in named unlisted_zel_plugin.so, the other interface and the junk file
  // beside the fake are all passed over.
  LoadDiscoveryFolderFromSeveralThreads();
  if (HasFatalFailure()) return;
  ExpectOnlyTheFakeListed();
  if (HasFatalFailure()) return;
  ExpectDeviceTextFollowsDeviceType();
  ExpectLaterCallsLoadNothing();
}

}  // namespace
