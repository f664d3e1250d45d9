#pragma once
// The framework's TIFF loader: reads single images and multi-page sequences whose
// pages carry time stamps in PageName, with the framework's metadata XML in ImageDescription.
// Buffers are top-down; 8-bit colour pixels are B, G, R (, A), deeper ones R, G, B (, A).

#include "tiff/tiff_handle.h"
#include "tiff/tiff_page_reader.h"

#include <ur/buffers.h>
#include <ur/common_image_metadata.h>
#include <ur/data_loader.h>
#include <ur/image_data.h>

#include <QVector>

#include <memory>

namespace ur {

class CxTiffImageLoader : public IxImageDataLoader {
  Q_OBJECT
  Q_CLASSINFO("CustomName", "TIFF Image Loader")
public:
  Q_INVOKABLE explicit CxTiffImageLoader(QObject* parent = nullptr);
  ~CxTiffImageLoader() override;

  // Reads the first page and lists the frames. False, with the file closed, when the file is
  // missing, not a TIFF, damaged, or of a layout that cannot be read.
  bool open() override;
  bool isOpen() const override;
  void close() override;
  // Opens the file first when it is not open; 0 when it cannot be read.
  int frameCount() const override;
  void setFilename(const QString& fileName) override;
  FileFormatList fileFormats() const override;
  // A copy of frame `frame` (owned by the caller) with its time stamp; null when nothing is
  // loaded, the frame is outside 0..frameCount()-1, or its pixels cannot be decoded.
  CxImageData* imageData(int frame) override;
  CxImageData* takeImageData(int frame) override;
  // Frames per second from the first and last time stamps; 0 when they give none.
  double frameRate() const override;
  bool hasFileSource() const override;

private:
  // The pixel fields of an embedded common image record, applied to every frame read.
  struct SxRecordPixelFields {
    bool present = false;
    ExImageDataType dataType = eImageDataUnknown;
    int bitDepth = 0;
    ExBayerGrid bayerGrid = eBayerNone;
    int patternWidth = 0;
    int patternHeight = 0;
  };

  bool openFile();
  CxMetadata readMetadata(std::unique_ptr<CxCommonImageMetadata>& tagRecord);
  bool readPixels(const tiff::TiffPageLayout& layout, ScopedImageBuf& pixels) const;
  void finishBufferDescription(const tiff::TiffPageLayout& layout, SxImageBuf& buf) const;
  void listFrames();
  bool loadFrame(int frame);
  // The held frame, loaded and time-stamped; null when it has no pixels.
  CxImageData* frameData(int frame);

  tiff::TiffPtr m_tiff;
  std::unique_ptr<CxImageData> m_image;
  tiff::TiffPageLayout m_firstPage;
  SxRecordPixelFields m_record;
  int m_frameCount = 0;
  int m_currentFrame = 0;
  QVector<quint64> m_directoryOffsets;
  QVector<qint64> m_timestampsUs;
  double m_frameRate = 0.0;
};

}  // namespace ur
