#include <ur/buffers.h>
#include <ur/image_data.h>

#include <algorithm>
#include <memory>

namespace ur {

namespace {
constexpr qint64 kMicrosecondsPerMillisecond = 1000;

qint64 ToMicroseconds(const QDateTime& t) {
  return t.isValid() ? t.toMSecsSinceEpoch() * kMicrosecondsPerMillisecond : 0;
}
}  // namespace

CxImageData::CxImageData(QObject* parent) : IxData(parent) {}

CxImageData::~CxImageData() { FreeBuffer(m_image); }

void CxImageData::setImageShallow(const SxImageBuf& buf, int frame, int /*flags*/,
                                  const QDateTime& timestamp) {
  if (m_image.data != buf.data) FreeBuffer(m_image);
  m_image = buf;
  m_frame = frame;
  m_timestampUs = ToMicroseconds(timestamp);
}

bool CxImageData::setImage(const SxImageBuf& buf, const QDateTime& timestamp) {
  SxImageBuf copy;
  if (Failed(AllocAndCopyBuffer(buf, copy))) return false;
  FreeBuffer(m_image);
  m_image = copy;
  m_timestampUs = ToMicroseconds(timestamp);
  return true;
}

SxImageBuf CxImageData::takeImage() {
  const SxImageBuf out = m_image;
  m_image = SxImageBuf{};
  return out;
}

QDateTime CxImageData::timestamp() const {
  return QDateTime::fromMSecsSinceEpoch(m_timestampUs / kMicrosecondsPerMillisecond);
}

CxImageData* CxImageData::clone(QObject* parent) const {
  ScopedImageBuf pixels;
  if (HasPixels(m_image)) {
    if (Failed(AllocAndCopyBuffer(m_image, pixels.get()))) return nullptr;
  } else {
    pixels.get() = m_image;  // a description without pixels stays one
    pixels->data = nullptr;
  }
  auto copy = std::make_unique<CxImageData>(parent);
  copy->m_metadata = m_metadata;
  copy->m_frame = m_frame;
  copy->m_timestampUs = m_timestampUs;
  copy->m_image = pixels.release();
  return copy.release();
}

void CxImageHistogram::reset(int channels, int levels) {
  m_channels = std::max(0, channels);
  m_levels = std::max(0, levels);
  m_counts.fill(0, m_channels * m_levels);
}

}  // namespace ur
