#pragma once
// ur::CxFitsImageLoader: reads the first two- or three-dimensional image of a FITS file (the
// primary unit or an IMAGE extension) with the common image record of its headers. Buffers are
// top-down and interleaved; colour planes stored red, green, blue keep that logical order.

#include <ur/data_loader.h>
#include <ur/image_data.h>

#include <memory>

namespace ur {

class CxFitsImageLoader : public IxImageDataLoader {
  Q_OBJECT
  Q_CLASSINFO("CustomName", "FITS Image Loader")
 public:
  Q_INVOKABLE explicit CxFitsImageLoader(QObject* parent = nullptr);
  ~CxFitsImageLoader() override;

  // Reads the file named by filename(). False, with a warning that names the file and the
  // reason, when it cannot be opened, a header or data unit runs past its end, a header is
  // malformed, or no unit holds an image this loader reads.
  bool open() override;
  bool isOpen() const override;
  void close() override;
  int frameCount() const override;
  // Closes the loaded image first.
  void setFilename(const QString& fileName) override;
  FileFormatList fileFormats() const override;
  // A copy of the loaded image (frame 0 only), owned by the caller; null when nothing is loaded.
  CxImageData* imageData(int frame) override;
  CxImageData* takeImageData(int frame) override;
  bool hasFileSource() const override;

 private:
  bool refuse(const QString& reason) const;

  std::unique_ptr<CxImageData> m_imageData;
};

}  // namespace ur
