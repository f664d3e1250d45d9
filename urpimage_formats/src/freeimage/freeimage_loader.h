#pragma once
// ur::CxFreeImageLoader: reads JPEG, JPEG 2000, PNG, GIF, TIFF, BMP and Canon raw files (and
// memory buffers) through FreeImage into the framework's image data.

#include <ur/data_loader.h>
#include <ur/image_data.h>

#include <QByteArray>
#include <QString>

#include <memory>

namespace ur {

class CxFreeImageLoader : public IxImageDataLoader {
  Q_OBJECT
  Q_CLASSINFO("CustomName", "FreeImage Loader")
public:
  Q_INVOKABLE explicit CxFreeImageLoader(QObject* parent = nullptr);
  ~CxFreeImageLoader() override;

  // Reads the file named by filename(), or the buffer given to setBuffer when no file name is
  // set. False (after logging "ERROR | <reason>") when nothing could be loaded; no image is
  // then held.
  bool open() override;
  bool isOpen() const override;
  // Frees the loaded image; the file name and the buffer stay.
  void close() override;
  int frameCount() const override;
  // Closes the loaded image first.
  void setFilename(const QString& fileName) override;
  // Keeps a copy of the encoded bytes; format ("png", "jpg", ...) is used when the bytes
  // themselves do not tell the format. Closes the loaded image first.
  void setBuffer(const QByteArray& buffer, const QString& format) override;
  bool supportsLoadFromBuffer() const override;
  FileFormatList fileFormats() const override;

  // A copy of the loaded image (frame 0 only), owned by the caller; null when nothing is loaded.
  CxImageData* imageData(int frame) override;
  CxImageData* takeImageData(int frame) override;
  bool hasFileSource() const override;

private:
  bool openFile(SxImageBuf& buf, CxMetadata& metadata);
  bool openMemory(SxImageBuf& buf, CxMetadata& metadata);

  QByteArray m_buffer;
  QString m_bufferFormat;
  std::unique_ptr<CxImageData> m_imageData;
};

}  // namespace ur
