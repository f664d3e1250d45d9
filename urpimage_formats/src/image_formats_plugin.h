#pragma once
// The plug-in object of urpimage_formats: registers the TIFF, FreeImage and FITS loader and
// saver classes with the framework.

#include <ur/plugin.h>

namespace ur {

class CxImageFormatsPlugin : public CxPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID "org.zelproject.urapi.dataformats.CxImageFormatsPlugin")
  Q_INTERFACES(ur::CxPlugin)
public:
  explicit CxImageFormatsPlugin(QObject* parent = nullptr);

  bool registerClasses() override;
  QString name() const override;
  QString description() const override;
  bool customCommand(const QString& command, int arg1, int arg2, void* in, void* out) override;
};

}  // namespace ur
