#pragma once
// Saver interfaces: a saver writes data objects into a file (or a memory buffer). Saver classes
// are registered with CxRtti under "IxImageDataSaver" and created by the format manager.
// The order of the virtual operations is part of the plug-in interface; keep it.

#include <ur/data_loader.h>
#include <ur/image_data.h>
#include <ur/metadata.h>
#include <ur/urcore_export.h>

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QVariant>

class QWidget;

namespace ur {

using SaveOptions = QMap<QString, QVariant>;

class URCORE_EXPORT IxDataSaver : public QObject {
  Q_OBJECT
public:
  explicit IxDataSaver(QObject* parent = nullptr);
  ~IxDataSaver() override;

  virtual bool open();                                                      // 1: true
  virtual bool close();                                                     // 2: true
  virtual void remove();                                                    // 3: deletes the file
  virtual bool save(const IxData* data, int frame);                         // 4: saveImageData
  virtual FileFormatList fileFormats() const = 0;                           // 5
  virtual void setFilename(const QString& fileName);                        // 6
  virtual bool isSequenceSaver() const;                                     // 7: false
  virtual QString filename() const;                                         // 8
  virtual bool supportsSaveToBuffer() const;                                // 9: false
  virtual bool saveToBuffer(const IxData* data, QByteArray& buffer, const QString& format,
                            int frame);                                     // 10: false
  virtual void setSequenceSize(int frames);                                 // 11
  virtual void setOptions(const SaveOptions& options);                      // 12
  virtual QWidget* widgetForSaveDlg(QWidget* parent);                       // 13: null
  virtual SaveOptions optionsFromSaveDlg(QWidget* widget);                  // 14: the options
  virtual QString metadataSubdir() const;                                   // 15
  virtual void setMetadataSubdir(const QString& subdir);                    // 16
  virtual bool exportMetadata(const IxData* data, int frame);               // 17: false

  // Writes one frame; false when the data cannot be written.
  virtual bool saveImageData(const IxData* data, int frame) = 0;            // 18

  const SaveOptions& options() const { return m_options; }

protected:
  QString m_fileName;
  QString m_metadataSubdir;
  SaveOptions m_options;
  int m_sequenceSize = 1;
};

class URCORE_EXPORT IxImageDataSaver : public IxDataSaver {
  Q_OBJECT
public:
  explicit IxImageDataSaver(QObject* parent = nullptr);

  virtual void setGlobalMetadata(const CxMetadata& metadata);               // 19
  virtual bool saveMetadata(int frame, const CxMetadata& metadata);         // 20: false
  virtual bool saveGlobalMetadata();                                        // 21: false

protected:
  CxMetadata m_globalMetadata;
};

}  // namespace ur
