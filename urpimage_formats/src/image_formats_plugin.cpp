#include "image_formats_plugin.h"

#include "fits/fits_loader.h"
#include "fits/fits_saver.h"
#include "freeimage/freeimage_loader.h"
#include "freeimage/freeimage_saver.h"
#include "tiff/tiff_loader.h"
#include "tiff/tiff_saver.h"

#include <ur/format_manager.h>
#include <ur/rtti.h>

namespace ur {

CxImageFormatsPlugin::CxImageFormatsPlugin(QObject* parent) : CxPlugin(parent) {}

bool CxImageFormatsPlugin::registerClasses() {
  CxRtti* rtti = CxRtti::instance();
  rtti->registerClass(this, CxFreeImageLoader::staticMetaObject, QStringLiteral("IxImageDataLoader"));
  rtti->registerClass(this, CxFreeImageSaver::staticMetaObject, QStringLiteral("IxImageDataSaver"));
  rtti->registerClass(this, CxTiffImageLoader::staticMetaObject, QStringLiteral("IxImageDataLoader"));
  rtti->registerClass(this, CxTiffImageSaver::staticMetaObject, QStringLiteral("IxImageDataSaver"));
  rtti->registerClass(this, CxFitsImageLoader::staticMetaObject, QStringLiteral("IxImageDataLoader"));
  rtti->registerClass(this, CxFitsImageSaver::staticMetaObject, QStringLiteral("IxImageDataSaver"));

  // FreeImage lists TIFF too; the libtiff classes read more layouts and keep sequences.
  CxImageFormatManager* manager = CxImageFormatManager::instance();
  manager->setPreferredLoader(QStringLiteral("tif"),
                              QString::fromLatin1(CxTiffImageLoader::staticMetaObject.className()));
  manager->setPreferredSaver(QStringLiteral("tif"),
                             QString::fromLatin1(CxTiffImageSaver::staticMetaObject.className()));
  // The filter names "*.fits"; FITS frames also come as ".fit" and ".fts".
  const QString fitsLoader = QString::fromLatin1(CxFitsImageLoader::staticMetaObject.className());
  for (const char* suffix : {"fit", "fts"})
    manager->setPreferredLoader(QLatin1String(suffix), fitsLoader);
  return true;
}

QString CxImageFormatsPlugin::name() const { return QStringLiteral("Image Formats Plugin"); }

QString CxImageFormatsPlugin::description() const {
  return QStringLiteral("Implementation of common image format loaders and savers.");
}

bool CxImageFormatsPlugin::customCommand(const QString&, int, int, void*, void*) { return true; }

}  // namespace ur
