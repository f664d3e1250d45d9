#include "framework_suffix_table.h"

#include <ur/data_loader.h>
#include <ur/data_saver.h>
#include <ur/rtti.h>

#include <QHash>
#include <QMutex>

#include <memory>

namespace ur::detail {

namespace {
struct SuffixTable {
  quint64 revision = ~quint64(0);  // of the registry it was built from; none yet
  QHash<QString, QStringList> classesBySuffix;
};

struct TableCache {
  QMutex mutex;
  QHash<QString, SuffixTable> byInterface;
};

TableCache& Cache() {
  static TableCache cache;
  return cache;
}

FileFormatList FormatsOf(const QObject* handler) {
  if (const auto* loader = qobject_cast<const IxDataLoader*>(handler)) return loader->fileFormats();
  if (const auto* saver = qobject_cast<const IxDataSaver*>(handler)) return saver->fileFormats();
  return {};
}

// Asks one instance of every class of the interface for its formats.
SuffixTable Build(const QString& interfaceName, quint64 revision) {
  SuffixTable table;
  table.revision = revision;
  CxRtti* rtti = CxRtti::instance();
  for (const QMetaObject* mo : rtti->classes(interfaceName)) {
    const QString className = QString::fromLatin1(mo->className());
    const std::unique_ptr<QObject> handler(rtti->createObject(className));
    for (const QString& suffix : SuffixesOf(FormatsOf(handler.get()))) {
      QStringList& classes = table.classesBySuffix[suffix];
      if (!classes.contains(className)) classes.append(className);
    }
  }
  return table;
}

// The table of the interface for the registry as it is now.
SuffixTable Current(const QString& interfaceName) {
  const quint64 revision = CxRtti::instance()->revision();
  TableCache& cache = Cache();
  {
    QMutexLocker lock(&cache.mutex);
    const auto it = cache.byInterface.constFind(interfaceName);
    if (it != cache.byInterface.constEnd() && it->revision == revision) return *it;
  }
  // Built without the lock: constructors of plug-in classes may use the framework.
  SuffixTable table = Build(interfaceName, revision);
  QMutexLocker lock(&cache.mutex);
  cache.byInterface.insert(interfaceName, table);
  return table;
}
}  // namespace

QStringList HandlerClasses(const QString& interfaceName, const QString& suffix) {
  return Current(interfaceName).classesBySuffix.value(suffix.toLower());
}

QStringList HandledSuffixes(const QString& interfaceName) {
  QStringList suffixes = Current(interfaceName).classesBySuffix.keys();
  suffixes.sort();
  return suffixes;
}

}  // namespace ur::detail
