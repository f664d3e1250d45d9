// A valid Qt plug-in whose root object implements an interface other than ZelPlugin; the host
// must pass over it even though its file name matches.

#include <QObject>
#include <QString>
#include <QtPlugin>

namespace zel::testing {

class OtherInterface {
public:
  virtual ~OtherInterface() = default;
  virtual QString describe() const = 0;
};

}  // namespace zel::testing

#define OtherInterface_iid "org.zelproject.zel.tests.OtherInterface"
Q_DECLARE_INTERFACE(zel::testing::OtherInterface, OtherInterface_iid)

namespace zel::testing {

class OtherInterfacePlugin : public QObject, public OtherInterface {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID OtherInterface_iid)
  Q_INTERFACES(zel::testing::OtherInterface)

public:
  QString describe() const override { return QStringLiteral("not a conversion plug-in"); }
};

}  // namespace zel::testing

#include "other_interface_plugin.moc"
