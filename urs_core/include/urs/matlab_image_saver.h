#pragma once
// The framework's saver of MATLAB files. Options: "matname" (variable name, "ur_image" when
// empty or absent) and "reverse_rows" (bool, default true: the bottom row is written first).
// The image's metadata goes along as XML, with records of the mosaic and of how it was stored.

#include <urs/urs_core_export.h>

#include <ur/data_saver.h>

#include <QVariantMap>

namespace urs::matlab {

class URS_CORE_EXPORT CxMatlabImageSaver : public ur::IxImageDataSaver {
  Q_OBJECT
  Q_CLASSINFO("CustomName", "Matlab Image Saver")
public:
  Q_INVOKABLE explicit CxMatlabImageSaver(QObject* parent = nullptr);

  ur::FileFormatList fileFormats() const override;
  // Writes the image into the file named by filename(); the frame number is not used. False
  // for data that is not an image, or when the file cannot be created or written.
  bool saveImageData(const ur::IxData* data, int frame) override;

  // There is no options page, so no options: an empty map. Callable through the meta-object.
  Q_INVOKABLE virtual QVariantMap optionsFromWidget(QWidget* widget);
};

}  // namespace urs::matlab
