#pragma once
// The framework's saver of HDF5 image files (*.h5i): the image object with its metadata and
// histogram, the version attributes and, for images larger than 400 x 300, a preview. The file
// is written under a temporary name beside the target and renamed over it when complete, so a
// failed save leaves no new file and an existing one unchanged. saveMetadata rewrites the
// metadata of an existing file in place.

#include <ur/data_saver.h>

namespace ur {

class CxHDF5ImageSaver : public IxImageDataSaver {
  Q_OBJECT
  Q_CLASSINFO("CustomName", "HDF5 Saver")
public:
  Q_INVOKABLE explicit CxHDF5ImageSaver(QObject* parent = nullptr);

  // The order of these operations is the saver interface's; keep it.
  FileFormatList fileFormats() const override;
  // The name is kept with native separators.
  void setFilename(const QString& fileName) override;
  QString filename() const override;
  // False for anything but an image object, and when the file cannot be written; a preview
  // that cannot be made is logged and the save still succeeds.
  bool saveImageData(const IxData* data, int frame) override;
  bool saveMetadata(int frame, const CxMetadata& metadata) override;
};

}  // namespace ur
