#pragma once
// ur::CxFitsImageSaver: writes an image as the primary unit of a FITS file, with a header
// built from the image, its common image record and the user keywords among the options (the
// upper-case keys), which the keyword editor of the save dialog edits.
//
// Unsigned 16- and 32-bit samples and signed 8-bit samples are stored with the standard's
// offset conventions (BZERO 32768, 2147483648 and -128), so other readers get the same values.
// The file is written under a temporary name beside the target and renamed when complete; a
// failed save leaves an existing file as it was.

#include <ur/data_saver.h>

#include <QPointer>
#include <QVariantMap>

class QAction;
class QWidget;

namespace ur {

class CxFitsImageSaver : public IxImageDataSaver {
  Q_OBJECT
  Q_CLASSINFO("CustomName", "FITS Image Saver")
 public:
  Q_INVOKABLE explicit CxFitsImageSaver(QObject* parent = nullptr);
  ~CxFitsImageSaver() override;

  FileFormatList fileFormats() const override;
  // The keyword editor, with a row for every upper-case option; owned by parent.
  QWidget* widgetForSaveDlg(QWidget* parent) override;
  // Writes frame data to filename(). False (after a warning naming the file and the reason) for
  // data that are no image, a data type that FITS cannot hold (nothing is written then), or a
  // file that cannot be written.
  bool saveImageData(const IxData* data, int frame) override;

  // The options with the keywords of the editor's rows (upper-case names -> texts, in order);
  // keywords of rows removed are dropped. Callable through the meta-object.
  Q_INVOKABLE virtual QVariantMap optionsFromWidget(QWidget* widget);

 public slots:
  // Adds a row for the keyword named by the action's text, unless there is one.
  void on_btnAddClicked(QAction* pMenuAction);
  // Removes the row of the remove button that sent the signal.
  void on_btnRemoveClicked();

 private:
  bool refuse(const QString& reason) const;

  QPointer<QWidget> m_editor;
};

}  // namespace ur
