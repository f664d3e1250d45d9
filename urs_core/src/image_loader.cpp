#include <urs/image_loader.h>

#include <urs/matlab_file.h>

#include <ur/buffers.h>
#include <ur/format_manager.h>

#include <QFile>
#include <QFileInfo>

namespace urs {

bool LoadImageFromFile(const QString& path, ur::SxImageBuf& image, ur::CxMetadata* metadata) {
  return ur::CxImageFormatManager::instance()->loadImageFromFile(path, image, metadata);
}

bool SaveImageToFile(const QString& path, const ur::SxImageBuf& image,
                     const ur::CxMetadata* metadata, const QMap<QString, QVariant>* options) {
  return ur::CxImageFormatManager::instance()->saveImageToFile(
      path, image, metadata, options ? *options : ur::SaveOptions());
}

ImageLoader::~ImageLoader() = default;

ImageLoader* ImageLoader::instance() { return new FileImageLoader(); }

FileImageLoader::FileImageLoader() = default;

bool FileImageLoader::load(QMap<QString, QVariant> params, ur::SxImageBuf& image,
                           QString* errorMessage) {
  const auto fail = [errorMessage](const QString& message) {
    if (errorMessage) *errorMessage = message;
    return false;
  };
  if (!params.contains(QStringLiteral("filename"))) return fail(tr("File name is not specified."));
  const QString fileName = params.value(QStringLiteral("filename")).toString();
  if (!QFile::exists(fileName)) return fail(tr("Filename %1 does not exist.").arg(fileName));

  const QString suffix = QFileInfo(fileName).suffix().toLower();
  bool loaded = false;
  QString reason;
  if (suffix == QLatin1String("txt")) {
    loaded = LoadTextMatrix(fileName, image, &reason);
  } else if (suffix == QLatin1String("mat")) {
    bool isEntropy = false;
    loaded = matlab::LoadImageFromMat(fileName, image, isEntropy, nullptr, &reason);
    if (!loaded) ur::FreeBuffer(image);
  } else {
    loaded = LoadImageFromFile(fileName, image, nullptr);
  }
  if (loaded) return true;
  if (reason.isEmpty()) return fail(tr("Cannot load the %1.").arg(fileName));
  return fail(tr("Cannot load the %1: %2.").arg(fileName, reason));
}

}  // namespace urs
