#pragma once
// The framework's TIFF saver: writes 8-, 16- and 32-bit grey and RGB images, one
// page per frame; more than one expected frame makes a multi-page BigTIFF whose pages carry
// their time stamps in PageName. The framework's metadata goes as XML into ImageDescription.
//
// Pages are written into a temporary file beside the target, which close() renames over the
// target only when every frame was written; a failed save leaves an existing file untouched.

#include "tiff/tiff_handle.h"

#include <ur/atomic_file.h>
#include <ur/data_saver.h>

#include <QVariantMap>

#include <memory>

namespace ur {

class CxTiffImageSaver : public IxImageDataSaver {
  Q_OBJECT
  Q_CLASSINFO("CustomName", "TIFF Image Saver")
public:
  Q_INVOKABLE explicit CxTiffImageSaver(QObject* parent = nullptr);
  // Closes (and so completes) a file still open.
  ~CxTiffImageSaver() override;

  // Finishes the file: true when every frame was written and the file now stands under its
  // name; false after any failure (the target is then unchanged). True when nothing is open.
  bool close() override;
  FileFormatList fileFormats() const override;
  // Closes an open file first.
  void setFilename(const QString& fileName) override;
  // More than one frame makes a multi-page BigTIFF file.
  void setSequenceSize(int frames) override;
  // The options widget, preset from the options; owned by parent.
  QWidget* widgetForSaveDlg(QWidget* parent) override;
  // Writes one frame as the next page. False for a layout that cannot be written (not 1, 3 or
  // 4 interleaved channels, an unsupported data type), when the file cannot be created, when a
  // write fails, and for every frame after a failure.
  bool saveImageData(const IxData* data, int frame) override;

  // The options with the values of the widget's controls ("data16bit", "compression",
  // "scale_range"); controls not found are skipped. Callable through the meta-object.
  Q_INVOKABLE virtual QVariantMap optionsFromWidget(QWidget* widget);

private:
  bool openFile();

  tiff::TiffPtr m_tiff;
  std::unique_ptr<CxAtomicFile> m_file;
  bool m_multiPage = false;
  bool m_failed = false;
};

}  // namespace ur
