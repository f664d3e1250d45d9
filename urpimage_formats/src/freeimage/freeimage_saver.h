#pragma once
// ur::CxFreeImageSaver: writes the framework's images as JPEG, JPEG 2000, PNG, TIFF or BMP
// files (or into memory) through FreeImage.
//
// Options: "quality" (JPEG, 1..100, default 95), "compression" (TIFF: 0 LZW, 1 PackBits,
// 2 none; default 2), "data16bit" (default true: keep samples deeper than 8 bits where the
// format can), "scale_range" (TIFF, default false: stretch 16-bit samples of fewer significant
// bits to the full range).

#include <ur/data_saver.h>

#include <QByteArray>
#include <QString>

class QWidget;

namespace ur {

class CxFreeImageSaver : public IxImageDataSaver {
  Q_OBJECT
  Q_CLASSINFO("CustomName", "FreeImage Saver")
public:
  Q_INVOKABLE explicit CxFreeImageSaver(QObject* parent = nullptr);
  ~CxFreeImageSaver() override;

  FileFormatList fileFormats() const override;
  bool supportsSaveToBuffer() const override;
  // Encodes frame data in the format named by format ("png", "jpg", ...) into buffer.
  // False (after logging) when the format or image cannot be written.
  bool saveToBuffer(const IxData* data, QByteArray& buffer, const QString& format,
                    int frame) override;
  // The options widget for the suffix of filename(): PNG, TIFF or JPEG controls; null for
  // other suffixes. The caller (or parent) owns it.
  QWidget* widgetForSaveDlg(QWidget* parent) override;
  // The options with the values of the widget's controls that exist.
  SaveOptions optionsFromSaveDlg(QWidget* widget) override;
  // Writes the image to filename(), format by its suffix. False (after logging) when the
  // format or image cannot be written or the file cannot be created.
  bool saveImageData(const IxData* data, int frame) override;
};

}  // namespace ur
