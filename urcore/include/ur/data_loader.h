#pragma once
// Loader interfaces: a loader reads a file (or a memory buffer) into data objects. Loader classes
// are registered with CxRtti under "IxImageDataLoader" and created by the format manager.
// The order of the virtual operations is part of the plug-in interface; keep it.

#include <ur/image_buf.h>
#include <ur/image_data.h>
#include <ur/metadata.h>
#include <ur/urcore_export.h>

#include <QByteArray>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>

namespace ur {

// One entry of a format list: a filter text such as "TIFF (*.tif)" and a flag (1).
struct SxFileFormat {
  QString filter;
  int flags = 1;
};
using FileFormatList = QList<SxFileFormat>;

// The suffixes ("tif", "png", lower case) named by the filters of a format list.
URCORE_EXPORT QStringList SuffixesOf(const FileFormatList& formats);

class URCORE_EXPORT IxDataLoader : public QObject {
  Q_OBJECT
public:
  explicit IxDataLoader(QObject* parent = nullptr);
  ~IxDataLoader() override;

  virtual bool open() = 0;                                                  // 1
  virtual bool isOpen() const = 0;                                          // 2
  virtual void close() = 0;                                                 // 3
  virtual int frameCount() const;                                           // 4: 1 when open
  virtual IxData* data(int frame);                                          // 5: imageData(frame)
  virtual QString frameName(int frame) const;                               // 6: "Frame %1", frame + 1
  virtual QString filename() const;                                         // 7
  virtual void setFilename(const QString& fileName);                        // 8
  virtual void setBuffer(const QByteArray& buffer, const QString& format);  // 9: ignored
  virtual bool supportsLoadFromBuffer() const;                              // 10: false
  virtual FileFormatList fileFormats() const = 0;                           // 11
  virtual int index() const;                                                // 12: 0
  virtual QString frameText(int frame) const;                               // 13: empty
  virtual QString metadataSubdir() const;                                   // 14
  virtual void setMetadataSubdir(const QString& subdir);                    // 15
  virtual bool importMetadata(IxData* data, int frame);                     // 16: false
  virtual bool isMultiFileSequence() const;                                 // 17: false
  virtual QString seqFileFrameExtension() const;                            // 18: empty
  virtual QStringList sequenceFiles() const;                                // 19: the file
  virtual IxDataLoader* internalLoader();                                   // 20: this

  // A copy of one frame, owned by the caller; null when nothing is loaded.
  virtual CxImageData* imageData(int frame) = 0;

protected:
  QString m_fileName;
  QString m_metadataSubdir;
};

class URCORE_EXPORT IxImageDataLoader : public IxDataLoader {
  Q_OBJECT
public:
  explicit IxImageDataLoader(QObject* parent = nullptr);

  // 21: imageData (declared in IxDataLoader)
  // 22: a copy of the region of one frame; null when the region is not inside the image.
  virtual CxImageData* dataRoi(const QRect& roi, int frame);
  virtual double frameRate() const;                                       // 23: 0
  virtual bool hasFileSource() const;                                     // 24: true
  virtual bool loadHistogram(int frame, CxImageHistogram& histogram);     // 25: from the pixels
  virtual bool loadThumbnail(int frame, SxImageBuf& buffer);              // 26: 8-bit RGB, <= 400x300
  virtual bool loadRoi(int frame, const QRect& roi, SxImageBuf& buffer);  // 27: allocates buffer
  virtual bool loadMetadata(int frame, CxMetadata& metadata, SxImageInfo& info);  // 28
  virtual CxMetadata globalMetadata() const;                              // 29: empty
  // 30: hands one frame over without copying it; the loader no longer holds that frame.
  // The caller owns the result. Default: a copy (imageData).
  virtual CxImageData* takeImageData(int frame);
};

}  // namespace ur
