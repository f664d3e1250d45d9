#pragma once
// Data objects that loaders produce and savers consume.

#include <ur/image_buf.h>
#include <ur/metadata.h>
#include <ur/urcore_export.h>

#include <QDateTime>
#include <QObject>
#include <QVector>

#include <cstdint>

namespace ur {

// Any loaded data object (an image, a frame of a sequence).
class URCORE_EXPORT IxData : public QObject {
  Q_OBJECT
public:
  explicit IxData(QObject* parent = nullptr) : QObject(parent) {}
  // A deep copy; the caller owns it. Null when memory runs out.
  virtual IxData* clone(QObject* parent) const = 0;
};

// An image with its pixels (owned), metadata and time stamp.
class URCORE_EXPORT CxImageData : public IxData {
  Q_OBJECT
public:
  explicit CxImageData(QObject* parent = nullptr);
  ~CxImageData() override;

  // Takes over the pixels of buf without copying (the caller must not free them any more);
  // pixels held before are freed. frame is the frame number; flags are reserved (pass 0).
  void setImageShallow(const SxImageBuf& buf, int frame, int flags, const QDateTime& timestamp);
  // Stores a copy of buf. False when buf has no pixels or memory runs out.
  bool setImage(const SxImageBuf& buf, const QDateTime& timestamp);
  // Gives up the pixels: the caller frees the returned buffer.
  SxImageBuf takeImage();

  const SxImageBuf& image() const { return m_image; }
  SxImageBuf& image() { return m_image; }
  bool hasPixels() const { return HasPixels(m_image); }

  void setMetadata(const CxMetadata& metadata) { m_metadata = metadata; }
  const CxMetadata& metadata() const { return m_metadata; }
  CxMetadata& metadata() { return m_metadata; }

  int frame() const { return m_frame; }
  // Time stamp in microseconds (since the epoch, or since the start of a sequence).
  qint64 timestampUs() const { return m_timestampUs; }
  void setTimestampUs(qint64 us) { m_timestampUs = us; }
  QDateTime timestamp() const;

  CxImageData* clone(QObject* parent) const override;

private:
  SxImageBuf m_image;
  CxMetadata m_metadata;
  int m_frame = 0;
  qint64 m_timestampUs = 0;
};

// Per-channel level counts of an image.
class URCORE_EXPORT CxImageHistogram {
public:
  void reset(int channels, int levels);
  int channels() const { return m_channels; }
  int levels() const { return m_levels; }
  QVector<quint64>& counts() { return m_counts; }  // channels x levels, channel after channel
  const QVector<quint64>& counts() const { return m_counts; }
  quint64 count(int channel, int level) const {
    return m_counts[channel * m_levels + level];
  }

private:
  int m_channels = 0;
  int m_levels = 0;
  QVector<quint64> m_counts;
};

}  // namespace ur
