#include "framework_plugins.h"

#include <ur/format_manager.h>
#include <ur/plugin.h>

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QPluginLoader>
#include <QPointer>
#include <QRecursiveMutex>
#include <QSet>

#include <exception>

namespace ur {

namespace {
// The framework's format plug-ins are modules named urp*.so (platform-bound: the suffix).
const QString kPluginNamePattern = QStringLiteral("urp*.so");

struct PluginRegistry {
  // Recursive: a plug-in's registerClasses() may reach the format manager, which may ask for
  // the plug-ins to be loaded.
  QRecursiveMutex mutex;
  bool loadRequested = false;    // LoadFormatPlugins has run (with any folder)
  bool warnedNoApplication = false;
  QSet<QString> attemptedFiles;  // canonical paths, loaded or not: each is tried once
  QList<QPointer<CxPlugin>> loaded;
};

PluginRegistry& Registry() {
  static PluginRegistry registry;
  return registry;
}

void WarnNotLoaded(const QString& path, const QString& reason) {
  qWarning().noquote() << QStringLiteral("Cannot load the format plug-in %1: %2").arg(path, reason);
}

// Loads one module and lets its plug-in register its classes. The module stays loaded.
CxPlugin* LoadPlugin(const QString& path) {
  QPluginLoader loader(path);
  QObject* root = loader.instance();
  if (!root) {
    WarnNotLoaded(path, loader.errorString());
    return nullptr;
  }
  auto* plugin = qobject_cast<CxPlugin*>(root);
  if (!plugin) {
    WarnNotLoaded(path, QStringLiteral("it is not a framework plug-in (%1)").arg(CxPlugin_iid));
    loader.unload();
    return nullptr;
  }
  try {
    if (!plugin->registerClasses()) {
      WarnNotLoaded(path, QStringLiteral("it failed to register its classes"));
      return nullptr;
    }
    plugin->initialize();
  } catch (const std::exception& e) {
    WarnNotLoaded(path, QString::fromLocal8Bit(e.what()));
    return nullptr;
  } catch (...) {
    WarnNotLoaded(path, QStringLiteral("unknown exception"));
    return nullptr;
  }
  qDebug().noquote() << QStringLiteral("Loaded the format plug-in %1 (%2 %3)")
                            .arg(path, plugin->name(), plugin->version());
  return plugin;
}
}  // namespace

int LoadFormatPlugins(const QString& dir) {
  PluginRegistry& registry = Registry();
  QMutexLocker lock(&registry.mutex);
  QString folder = dir;
  if (folder.isEmpty()) {
    if (!QCoreApplication::instance()) {
      if (!registry.warnedNoApplication)
        qWarning("LoadFormatPlugins: no application object, so the executable's folder is unknown.");
      registry.warnedNoApplication = true;
      return 0;
    }
    folder = QCoreApplication::applicationDirPath();
  }
  registry.loadRequested = true;
  int count = 0;
  const QFileInfoList modules =
      QDir(folder).entryInfoList({kPluginNamePattern}, QDir::Files, QDir::Name);
  for (const QFileInfo& module : modules) {
    const QString path = module.canonicalFilePath();
    if (registry.attemptedFiles.contains(path)) continue;
    registry.attemptedFiles.insert(path);
    if (CxPlugin* plugin = LoadPlugin(path)) {
      registry.loaded.append(plugin);
      ++count;
    }
  }
  return count;
}

namespace detail {

void EnsureFormatPluginsLoaded() {
  PluginRegistry& registry = Registry();
  QMutexLocker lock(&registry.mutex);
  if (!registry.loadRequested) LoadFormatPlugins();
}

void FinalizeFormatPlugins() {
  PluginRegistry& registry = Registry();
  QMutexLocker lock(&registry.mutex);
  for (const QPointer<CxPlugin>& plugin : registry.loaded)
    if (plugin) plugin->finalize();
  registry.loaded.clear();
}

}  // namespace detail

}  // namespace ur
