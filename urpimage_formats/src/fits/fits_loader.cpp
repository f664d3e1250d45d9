#include "fits/fits_loader.h"

#include <ur/buffers.h>
#include <ur/common_image_metadata.h>

#include <QDateTime>
#include <QDebug>
#include <QFile>
#include <new>

#include "fits/fits_cards.h"
#include "fits/fits_header.h"
#include "fits/fits_samples.h"

namespace ur {

CxFitsImageLoader::CxFitsImageLoader(QObject* parent) : IxImageDataLoader(parent) {}

CxFitsImageLoader::~CxFitsImageLoader() = default;

bool CxFitsImageLoader::refuse(const QString& reason) const {
  qWarning().noquote()
      << QStringLiteral("Cannot read the FITS file %1: %2").arg(m_fileName, reason);
  return false;
}

bool CxFitsImageLoader::open() {
  close();
  QFile file(m_fileName);
  if (!file.open(QIODevice::ReadOnly)) return refuse(file.errorString());
  try {
    auto record = std::make_unique<CxCommonImageMetadata>();
    QString skipped;  // why the last unit that was no image was passed over
    const auto noImage = [&] {
      return refuse(skipped.isEmpty() ? QStringLiteral("it holds no image")
                                      : QStringLiteral("it holds no image (%1)").arg(skipped));
    };
    for (bool primary = true;; primary = false) {
      if (!primary && file.bytesAvailable() < fits::kBlockBytes) return noImage();
      fits::SxUnitHeader header;
      QString error;
      qint64 dataBytes = 0;
      if (!fits::ReadHeader(file, primary, header, *record, error) ||
          !fits::DataBytes(header, dataBytes, error))
        return refuse(error);
      if (dataBytes > file.size() - header.dataOffset)
        return refuse(QStringLiteral("its data run past the end of the file"));

      const QString notAnImage = fits::NotAnImageReason(header);
      fits::SxSampleFormat format;
      if (notAnImage.isEmpty() && header.naxis > 0) {
        if (fits::SampleFormatOf(header, format)) {
          ScopedImageBuf pixels;
          if (!fits::ReadImageData(file, header, format, pixels.get(), error)) return refuse(error);
          record->setFromImage(pixels.get());
          auto data = std::make_unique<CxImageData>();
          data->setImageShallow(pixels.release(), 0, 0, QDateTime::currentDateTime());
          CxMetadata metadata;
          metadata.addItem(std::move(record));
          data->setMetadata(metadata);
          m_imageData = std::move(data);
          return true;
        }
        skipped = QStringLiteral("BITPIX %1 is not supported").arg(header.bitpix);
      } else if (!notAnImage.isEmpty()) {
        skipped = notAnImage;
      }
      const qint64 next = header.dataOffset + fits::PaddedToBlocks(dataBytes);
      if (next >= file.size() || !file.seek(next)) return noImage();
    }
  } catch (const std::bad_alloc&) {
    close();
    return refuse(QStringLiteral("out of memory"));
  }
}

bool CxFitsImageLoader::isOpen() const { return m_imageData != nullptr; }

void CxFitsImageLoader::close() { m_imageData.reset(); }

int CxFitsImageLoader::frameCount() const { return 1; }

void CxFitsImageLoader::setFilename(const QString& fileName) {
  close();
  m_fileName = fileName;
}

FileFormatList CxFitsImageLoader::fileFormats() const {
  return {SxFileFormat{QStringLiteral("Flexible Image Transport System (*.fits)"), 1}};
}

CxImageData* CxFitsImageLoader::imageData(int frame) {
  if (!m_imageData || frame != 0) return nullptr;
  return m_imageData->clone(nullptr);
}

CxImageData* CxFitsImageLoader::takeImageData(int frame) {
  if (!m_imageData || frame != 0) return nullptr;
  return m_imageData.release();
}

bool CxFitsImageLoader::hasFileSource() const { return true; }

}  // namespace ur
