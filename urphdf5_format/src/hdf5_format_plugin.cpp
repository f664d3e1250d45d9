#include "hdf5_format_plugin.h"

#include "hdf5_image_loader.h"
#include "hdf5_image_saver.h"

#include <ur/rtti.h>

namespace ur {

CxHDF5ImageFormatPlugin::CxHDF5ImageFormatPlugin(QObject* parent) : CxPlugin(parent) {}

bool CxHDF5ImageFormatPlugin::registerClasses() {
  CxRtti* rtti = CxRtti::instance();
  rtti->registerClass(this, CxHDF5ImageSaver::staticMetaObject, QStringLiteral("IxImageDataSaver"));
  rtti->registerClass(this, CxHDF5ImageLoader::staticMetaObject, QStringLiteral("IxImageDataLoader"));
  return true;
}

QString CxHDF5ImageFormatPlugin::name() const { return tr("HDF5 Image Format"); }

QString CxHDF5ImageFormatPlugin::description() const {
  return tr("Implementation of image format based on HDF5 library.");
}

}  // namespace ur
