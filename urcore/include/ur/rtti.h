#pragma once
// The class registry: plug-ins register classes under interface names, and the framework finds
// them by interface and creates them by class name through their meta-objects.

#include <ur/urcore_export.h>

#include <QList>
#include <QMetaObject>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>

#include <vector>

namespace ur {

class CxPlugin;

class URCORE_EXPORT CxRtti {
public:
  static CxRtti* instance();

  // Registers a class (which needs a Q_INVOKABLE default constructor taking an optional parent)
  // under an interface name ("IxImageDataLoader", "IxImageDataSaver", "IxMetadataItem",
  // "IxMetadataSaver", "IxMetadataLoader", ...). owner may be null for the framework's own
  // classes. Registering the same class under the same interface again does nothing.
  // Returns false for a class without an invokable constructor or an empty interface name.
  bool registerClass(CxPlugin* owner, const QMetaObject& metaObject, const QString& interfaceName);
  // Forgets every class the plug-in registered (a null owner forgets nothing: the framework's
  // own classes stay).
  void unregisterClasses(CxPlugin* owner);
  // A number that changes whenever a class is registered or unregistered, so that tables built
  // from the registry know when to rebuild.
  quint64 revision() const;

  // Meta-objects registered under the interface, in registration order.
  QList<const QMetaObject*> classes(const QString& interfaceName) const;
  // The meta-object of a registered class by its class name ("ur::CxTiffImageLoader").
  const QMetaObject* metaObject(const QString& className) const;
  // The class information "CustomName" of a registered class, or its class name.
  QString customName(const QString& className) const;

  // A new instance of a registered class, or null. The caller owns it.
  QObject* createObject(const QString& className, QObject* parent = nullptr) const;
  template <typename T>
  T* create(const QString& className, QObject* parent = nullptr) const {
    QObject* o = createObject(className, parent);
    T* t = qobject_cast<T*>(o);
    if (!t) delete o;
    return t;
  }

private:
  CxRtti() = default;
  struct Entry {
    CxPlugin* owner;
    const QMetaObject* metaObject;
    QString interfaceName;
  };
  mutable QMutex m_mutex;
  std::vector<Entry> m_entries;
  quint64 m_revision = 0;
};

}  // namespace ur
