#include "input_loaders.h"

#include <urs/image_loader.h>

#include <ur/buffers.h>
#include <ur/color_convert.h>
#include <ur/format_manager.h>
#include <ur/result.h>

#include <QMap>
#include <QVariant>

#include <memory>

namespace urs::zel {

using ur::ScopedImageBuf;
using ur::SxImageBuf;

unsigned int LoadByFormatManager(const QString& path, ur::CxImage& image) {
  ScopedImageBuf buffer;
  if (!ur::CxImageFormatManager::instance()->loadImageFromFile(path, buffer.get(), nullptr))
    return ur::rc::Fail;
  ur::CxImage loaded(buffer.get());
  if (!loaded.isValid()) return ur::rc::Fail;
  image = std::move(loaded);
  return ur::rc::Ok;
}

namespace {

// The double samples spread linearly over 16 bits by their own minimum and maximum.
unsigned int ConvertDoublesTo16(const SxImageBuf& loaded, ScopedImageBuf& converted) {
  SxImageBuf& out = converted.get();
  out = loaded;
  out.data = nullptr;
  out.linePitch = 0;
  out.dataType = ur::eImageDataUInt16;
  out.bitDepth = 16;
  if (ur::Failed(ur::AllocBuffer(out))) return ur::rc::Fail;
  if (ur::Failed(ur::ConvertDoubleToU(loaded, out, ur::eNormalizeMinMax, nullptr, nullptr, false)))
    return ur::rc::Fail;
  return ur::rc::Ok;
}

}  // namespace

unsigned int LoadByImageLoader(const QString& path, ur::CxImage& image) {
  QMap<QString, QVariant> params;
  params.insert(QStringLiteral("filename"), path);
  std::unique_ptr<ImageLoader> loader(ImageLoader::instance());
  ScopedImageBuf loaded;
  if (!loader || !loader->load(params, loaded.get(), nullptr)) return ur::rc::Fail;
  if (loaded.get().channels != 1) return ur::rc::Unsupported;

  ScopedImageBuf converted;
  const SxImageBuf* pixels = &loaded.get();
  switch (loaded.get().dataType) {
    case ur::eImageDataDouble: {
      const unsigned int rc = ConvertDoublesTo16(loaded.get(), converted);
      if (ur::Failed(rc)) return rc;
      pixels = &converted.get();
      break;
    }
    case ur::eImageDataUInt8:
    case ur::eImageDataUInt16:
      break;
    default:
      return ur::rc::Unsupported;
  }
  ur::CxImage result;
  if (ur::Failed(result.setImageBuf(*pixels))) return ur::rc::Fail;
  image = std::move(result);
  return ur::rc::Ok;
}

}  // namespace urs::zel
