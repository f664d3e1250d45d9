#include <ur/common_image_metadata.h>
#include <ur/plugin.h>
#include <ur/rtti.h>

#include <zel_testing/printers.h>

#include <gtest/gtest.h>

#include <memory>

// No invokable constructor: cannot be created by name, so it cannot be registered. (Outside the
// anonymous namespace: it is never instantiated, and its moc functions would count as unused.)
namespace rtti_test {
class RttiAbstract : public QObject {
  Q_OBJECT
};
}  // namespace rtti_test

namespace {

using ur::CxRtti;
using rtti_test::RttiAbstract;

class RttiShape : public QObject {
  Q_OBJECT
  Q_CLASSINFO("CustomName", "Shape for tests")
public:
  Q_INVOKABLE explicit RttiShape(QObject* parent = nullptr) : QObject(parent) {}
};

// Only a constructor without arguments: the registry must still create it, and parent it.
class RttiCircle : public QObject {
  Q_OBJECT
public:
  Q_INVOKABLE RttiCircle() {}
};

class OwnerPlugin : public ur::CxPlugin {
public:
  bool registerClasses() override { return true; }
  QString name() const override { return QStringLiteral("owner"); }
};

QString NameOf(const QMetaObject& mo) { return QString::fromLatin1(mo.className()); }

TEST(Rtti, RegisteredClassesAreListedNamedAndCreatedWithTheirParent) {
  CxRtti* rtti = CxRtti::instance();
  OwnerPlugin owner;
  const QString iface = QStringLiteral("ITestShapes");
  ASSERT_TRUE(rtti->registerClass(&owner, RttiShape::staticMetaObject, iface));
  ASSERT_TRUE(rtti->registerClass(&owner, RttiCircle::staticMetaObject, iface));

  const QList<const QMetaObject*> listed = rtti->classes(iface);
  ASSERT_EQ(listed.size(), 2);
  EXPECT_EQ(listed[0], &RttiShape::staticMetaObject);  // registration order
  EXPECT_EQ(listed[1], &RttiCircle::staticMetaObject);
  EXPECT_EQ(rtti->metaObject(NameOf(RttiCircle::staticMetaObject)), &RttiCircle::staticMetaObject);
  EXPECT_EQ(rtti->customName(NameOf(RttiShape::staticMetaObject)), QStringLiteral("Shape for tests"));
  EXPECT_EQ(rtti->customName(NameOf(RttiCircle::staticMetaObject)),
            NameOf(RttiCircle::staticMetaObject));

  QObject parent;
  QObject* shape = rtti->createObject(NameOf(RttiShape::staticMetaObject), &parent);
  QObject* circle = rtti->createObject(NameOf(RttiCircle::staticMetaObject), &parent);
  ASSERT_NE(qobject_cast<RttiShape*>(shape), nullptr);
  ASSERT_NE(qobject_cast<RttiCircle*>(circle), nullptr);
  EXPECT_EQ(shape->parent(), &parent);
  EXPECT_EQ(circle->parent(), &parent);
  // Asking for the wrong type gives null and deletes what was made (ASan would report a leak).
  EXPECT_EQ(rtti->create<RttiCircle>(NameOf(RttiShape::staticMetaObject)), nullptr);
  EXPECT_EQ(rtti->createObject(QStringLiteral("NoSuchClass")), nullptr);
  rtti->unregisterClasses(&owner);
}

TEST(Rtti, RefusesUncreatableClassesAndIgnoresDuplicates) {
  CxRtti* rtti = CxRtti::instance();
  OwnerPlugin owner;
  const QString iface = QStringLiteral("ITestDuplicates");
  EXPECT_FALSE(rtti->registerClass(&owner, RttiAbstract::staticMetaObject, iface));
  EXPECT_FALSE(rtti->registerClass(&owner, RttiShape::staticMetaObject, QString()));

  ASSERT_TRUE(rtti->registerClass(&owner, RttiShape::staticMetaObject, iface));
  const quint64 revision = rtti->revision();
  EXPECT_TRUE(rtti->registerClass(&owner, RttiShape::staticMetaObject, iface));
  EXPECT_EQ(rtti->classes(iface).size(), 1);
  EXPECT_EQ(rtti->revision(), revision);
  rtti->unregisterClasses(&owner);
}

TEST(Rtti, UnregisterForgetsOnlyTheOwnersClasses) {
  CxRtti* rtti = CxRtti::instance();
  OwnerPlugin leaving;
  OwnerPlugin staying;
  const QString iface = QStringLiteral("ITestUnregister");
  ASSERT_TRUE(rtti->registerClass(&leaving, RttiShape::staticMetaObject, iface));
  ASSERT_TRUE(rtti->registerClass(&staying, RttiCircle::staticMetaObject, iface));
  const quint64 revision = rtti->revision();

  rtti->unregisterClasses(&leaving);
  EXPECT_NE(rtti->revision(), revision);
  ASSERT_EQ(rtti->classes(iface).size(), 1);
  EXPECT_EQ(rtti->classes(iface)[0], &RttiCircle::staticMetaObject);
  EXPECT_EQ(rtti->createObject(NameOf(RttiShape::staticMetaObject)), nullptr);

  // The framework's own classes have no owner and cannot be unregistered by accident.
  rtti->unregisterClasses(nullptr);
  EXPECT_TRUE(rtti->classes(QStringLiteral("IxMetadataItem"))
                  .contains(&ur::CxCommonImageMetadata::staticMetaObject));
  rtti->unregisterClasses(&staying);
  EXPECT_TRUE(rtti->classes(iface).isEmpty());
}

TEST(Rtti, FrameworkRegistersTheCommonRecordWithItsCodecs) {
  CxRtti* rtti = CxRtti::instance();
  const QString record = NameOf(ur::CxCommonImageMetadata::staticMetaObject);
  EXPECT_EQ(rtti->customName(record), QStringLiteral("Common Image Metadata"));
  const std::unique_ptr<ur::IxMetadataItem> item(rtti->create<ur::IxMetadataItem>(record));
  EXPECT_NE(qobject_cast<ur::CxCommonImageMetadata*>(item.get()), nullptr);
  for (const QString& iface : {QStringLiteral("IxMetadataSaver"), QStringLiteral("IxMetadataLoader")})
    EXPECT_FALSE(rtti->classes(iface).isEmpty()) << iface.toStdString();
}

}  // namespace

#include "rtti_test.moc"
