#pragma once
// The framework's loader of HDF5 image files (*.h5i): open() reads the whole image object;
// regions, metadata, the histogram and the preview are read from the file on demand, whether
// the loader is open or not. Files of a version above 1.0 are refused for the pixels but still
// give their metadata, histogram and preview. Failures are logged with the file's name.

#include <ur/data_loader.h>

#include <memory>

namespace ur {

class CxHDF5ImageLoader : public IxImageDataLoader {
  Q_OBJECT
  Q_CLASSINFO("CustomName", "HDF5 Image Loader")
public:
  Q_INVOKABLE explicit CxHDF5ImageLoader(QObject* parent = nullptr);
  ~CxHDF5ImageLoader() override;

  // The order of these operations is the loader interface's; keep it.
  bool open() override;
  bool isOpen() const override;
  void close() override;
  int frameCount() const override;
  QString filename() const override;
  // Closes an open loader first; the name is kept with native separators.
  void setFilename(const QString& fileName) override;
  FileFormatList fileFormats() const override;
  // A copy of the held image object (the caller owns it); null when not open.
  CxImageData* imageData(int frame) override;
  CxImageData* dataRoi(const QRect& roi, int frame) override;
  double frameRate() const override;
  bool hasFileSource() const override;
  bool loadHistogram(int frame, CxImageHistogram& histogram) override;
  // The stored preview, or one made from the pixels when the file has none.
  bool loadThumbnail(int frame, SxImageBuf& buffer) override;
  bool loadRoi(int frame, const QRect& roi, SxImageBuf& buffer) override;
  bool loadMetadata(int frame, CxMetadata& metadata, SxImageInfo& info) override;
  // Hands the held image object over; the loader is closed afterwards.
  CxImageData* takeImageData(int frame) override;

private:
  std::unique_ptr<CxImageData> m_image;
};

}  // namespace ur
