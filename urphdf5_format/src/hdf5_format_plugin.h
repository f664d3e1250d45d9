#pragma once
// The plug-in object of urphdf5_format: registers the HDF5 image loader and saver classes with
// the framework.

#include <ur/plugin.h>

namespace ur {

class CxHDF5ImageFormatPlugin : public CxPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID "org.zelproject.urapi.dataformats.CxHDF5ImageFormatPlugin")
  Q_INTERFACES(ur::CxPlugin)
public:
  explicit CxHDF5ImageFormatPlugin(QObject* parent = nullptr);

  bool registerClasses() override;
  QString name() const override;
  QString description() const override;
};

}  // namespace ur
