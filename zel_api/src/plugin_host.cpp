// The process-wide list of conversion plug-ins: loaded once from one folder, never unloaded.

#include <zel/plugin.h>

#include <ur/result.h>

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QPluginLoader>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace urs::zel {

namespace {

namespace rc = ur::rc;

// The module file names a conversion plug-in must have (matched without regard to case).
const char* const kPluginFilePattern = "zel_plugin_*.so";

// The list is filled once under the mutex and only then published through `count`. Readers
// (the conversions, possibly on a worker thread) take no lock: they read `count` first, and the
// vector is never touched again once `count` is non-zero.
struct PluginList {
  QMutex mutex;
  std::vector<ZelPlugin*> plugins;
  std::atomic<std::size_t> count{0};
};

PluginList& List() {
  static PluginList list;
  return list;
}

// The interface of the root object of one module, or null when the file is not a Qt plug-in
// or its plug-in implements another interface. The loader is dropped but the module stays
// loaded, so the pointer remains valid for the life of the process.
ZelPlugin* LoadPlugin(const QString& filePath) {
  QPluginLoader loader(filePath);
  QObject* root = loader.instance();
  return root ? qobject_cast<ZelPlugin*>(root) : nullptr;
}

std::vector<ZelPlugin*> LoadFolder(const QString& directory) {
  std::vector<ZelPlugin*> loaded;
  // QDir reads an empty name as the working directory, which is no place to load code from.
  const QDir dir(directory);
  if (directory.isEmpty() || !dir.exists()) return loaded;
  // Name filters ignore case unless QDir::CaseSensitive is given; NoSort keeps the file
  // system's order.
  const QFileInfoList entries = dir.entryInfoList({QString::fromLatin1(kPluginFilePattern)},
                                                  QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
  for (const QFileInfo& entry : entries) {
    ZelPlugin* plugin = LoadPlugin(entry.absoluteFilePath());
    if (!plugin) continue;
    qDebug().noquote() << QStringLiteral("Plugin %1 loaded.").arg(plugin->name());
    loaded.push_back(plugin);
  }
  return loaded;
}

QString DeviceText(int deviceType) {
  switch (deviceType) {
    case 0:
      return QStringLiteral("CPU");
    case 1:
      return QStringLiteral("GPU");
    default:
      return QString();
  }
}

}  // namespace

unsigned int InitPlugins(const QString& directory) {
  PluginList& list = List();
  QMutexLocker lock(&list.mutex);
  if (list.count.load(std::memory_order_acquire) != 0) return rc::Ok;
  std::vector<ZelPlugin*> loaded = LoadFolder(directory);
  if (loaded.empty()) return rc::NoPlugin;
  list.plugins = std::move(loaded);
  list.count.store(list.plugins.size(), std::memory_order_release);
  return rc::Ok;
}

unsigned int GetPlugins(QVector<ZelPluginInfo>& plugins) {
  plugins.clear();
  const PluginList& list = List();
  const std::size_t count = list.count.load(std::memory_order_acquire);
  plugins.reserve(int(count));
  for (std::size_t i = 0; i < count; ++i) {
    ZelPlugin* plugin = list.plugins[i];
    ZelPluginInfo info;
    info.id = i + 1;
    info.name = plugin->name();
    info.deviceType = plugin->deviceType();
    info.device = DeviceText(info.deviceType);
    plugins.append(info);
  }
  return rc::Ok;
}

ZelPlugin* PluginById(unsigned long long pluginId) {
  // Only the low 32 bits count, read as a signed number; widen before subtracting so that the
  // smallest int cannot overflow.
  const auto number = static_cast<std::int32_t>(static_cast<std::uint32_t>(pluginId));
  const long long index = static_cast<long long>(number) - 1;
  const PluginList& list = List();
  const std::size_t count = list.count.load(std::memory_order_acquire);
  if (index < 0 || static_cast<unsigned long long>(index) >= count) return nullptr;
  return list.plugins[static_cast<std::size_t>(index)];
}

}  // namespace urs::zel
