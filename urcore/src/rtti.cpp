#include "framework_builtin_classes.h"

#include <ur/rtti.h>

#include <QMetaClassInfo>

#include <algorithm>

namespace ur {

namespace {
const char kCustomNameInfo[] = "CustomName";

QString ClassName(const QMetaObject* mo) { return QString::fromLatin1(mo->className()); }
}  // namespace

CxRtti* CxRtti::instance() {
  // Created on first use and kept for the life of the process: plug-in classes stay registered
  // until the very end, and static destruction order must not matter.
  static CxRtti* const registry = [] {
    auto* r = new CxRtti();
    detail::RegisterCommonMetadataClasses(*r);
    return r;
  }();
  return registry;
}

bool CxRtti::registerClass(CxPlugin* owner, const QMetaObject& metaObject,
                           const QString& interfaceName) {
  if (interfaceName.isEmpty() || metaObject.constructorCount() == 0) return false;
  QMutexLocker lock(&m_mutex);
  const bool known = std::any_of(m_entries.begin(), m_entries.end(), [&](const Entry& e) {
    return e.interfaceName == interfaceName &&
           qstrcmp(e.metaObject->className(), metaObject.className()) == 0;
  });
  if (!known) {
    m_entries.push_back(Entry{owner, &metaObject, interfaceName});
    ++m_revision;
  }
  return true;
}

void CxRtti::unregisterClasses(CxPlugin* owner) {
  if (!owner) return;
  QMutexLocker lock(&m_mutex);
  const auto first = std::remove_if(m_entries.begin(), m_entries.end(),
                                    [&](const Entry& e) { return e.owner == owner; });
  if (first == m_entries.end()) return;
  m_entries.erase(first, m_entries.end());
  ++m_revision;
}

quint64 CxRtti::revision() const {
  QMutexLocker lock(&m_mutex);
  return m_revision;
}

QList<const QMetaObject*> CxRtti::classes(const QString& interfaceName) const {
  QMutexLocker lock(&m_mutex);
  QList<const QMetaObject*> out;
  for (const Entry& e : m_entries)
    if (e.interfaceName == interfaceName) out.append(e.metaObject);
  return out;
}

const QMetaObject* CxRtti::metaObject(const QString& className) const {
  const QByteArray name = className.toLatin1();
  QMutexLocker lock(&m_mutex);
  for (const Entry& e : m_entries)
    if (name == e.metaObject->className()) return e.metaObject;
  return nullptr;
}

QString CxRtti::customName(const QString& className) const {
  const QMetaObject* mo = metaObject(className);
  if (!mo) return className;
  const int index = mo->indexOfClassInfo(kCustomNameInfo);
  return index >= 0 ? QString::fromUtf8(mo->classInfo(index).value()) : ClassName(mo);
}

QObject* CxRtti::createObject(const QString& className, QObject* parent) const {
  // Constructed outside the lock: a constructor may itself use the registry.
  const QMetaObject* mo = metaObject(className);
  if (!mo) return nullptr;
  QObject* object = mo->newInstance(Q_ARG(QObject*, parent));
  if (!object) {
    object = mo->newInstance();
    if (object && parent) object->setParent(parent);
  }
  return object;
}

}  // namespace ur
