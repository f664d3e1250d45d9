#pragma once
// The framework's loader of MATLAB files: reads the image of a ".mat" file with
// matlab::LoadImageFromMat and turns an entropy image into a mosaic or a colour image.

#include <urs/urs_core_export.h>

#include <ur/data_loader.h>
#include <ur/image_data.h>

#include <memory>

namespace urs::matlab {

class URS_CORE_EXPORT CxMatlabImageLoader : public ur::IxImageDataLoader {
  Q_OBJECT
  Q_CLASSINFO("CustomName", "Matlab Image Loader")
public:
  Q_INVOKABLE explicit CxMatlabImageLoader(QObject* parent = nullptr);
  ~CxMatlabImageLoader() override;

  // Reads the file. Always true: a file that cannot be read leaves the loader as it was, and
  // isOpen() tells whether an image is held.
  bool open() override;
  bool isOpen() const override;
  void close() override;
  int frameCount() const override;  // 1
  // Stores the name; a held image stays until the next successful open() or close().
  void setFilename(const QString& fileName) override;
  ur::FileFormatList fileFormats() const override;
  // A copy of the held image (owned by the caller); null when none with pixels is held.
  ur::CxImageData* imageData(int frame) override;
  // frameRate() 0 and hasFileSource() true are the framework's.

private:
  std::unique_ptr<ur::CxImageData> m_image;
};

}  // namespace urs::matlab
