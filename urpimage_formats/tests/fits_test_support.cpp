#include "fits_test_support.h"

#include <ur/channels.h>
#include <ur/format_manager.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QtEndian>
#include <cmath>
#include <cstring>

namespace fits_testing {

namespace {
constexpr int kBlock = 2880;

QByteArray PadTo(QByteArray bytes, char fill) {
  const int size = (bytes.size() + kBlock - 1) / kBlock * kBlock;
  return bytes.leftJustified(size, fill);
}

template <typename T>
double Read(const unsigned char* p) {
  T v;
  std::memcpy(&v, p, sizeof(T));
  return double(v);
}
}  // namespace

QByteArray Card(const char* keyword, const char* value) {
  QByteArray card = QByteArray(keyword).leftJustified(8, ' ');
  if (value) card += "= " + QByteArray(value).rightJustified(20, ' ');
  return card.leftJustified(80, ' ', true);
}

QByteArray Header(std::initializer_list<QByteArray> cards) {
  QByteArray header;
  for (const QByteArray& card : cards) header += card;
  header += Card("END", nullptr);
  return PadTo(header, ' ');
}

QByteArray Data16(const std::vector<std::int16_t>& samples) {
  QByteArray bytes(int(samples.size() * 2), '\0');
  for (std::size_t i = 0; i < samples.size(); ++i)
    qToBigEndian<std::int16_t>(samples[i], bytes.data() + 2 * i);
  return PadTo(bytes, '\0');
}

QByteArray Data8(const std::vector<std::uint8_t>& samples) {
  return PadTo(QByteArray(reinterpret_cast<const char*>(samples.data()), int(samples.size())),
               '\0');
}

bool Load(const QString& path, ur::ScopedImageBuf& image, ur::CxMetadata* metadata) {
  ur::SxImageBuf buf;
  const bool ok = ur::CxImageFormatManager::instance()->loadImageFromFile(path, buf, metadata);
  image = ur::ScopedImageBuf(buf);
  return ok;
}

bool LoadBytes(const QString& path, const QByteArray& bytes, ur::ScopedImageBuf& image) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
    return false;
  file.close();
  return Load(path, image);
}

double SampleValue(const ur::SxImageBuf& b, int x, int y, int c) {
  const int bytes = ur::BytesPerSample(b.dataType);
  const unsigned char* p = b.planar ? ur::RowPtr(b, y, c) + std::size_t(x) * bytes
                                    : ur::RowPtr(b, y) + (std::size_t(x) * b.channels + c) * bytes;
  switch (b.dataType) {
    case ur::eImageDataInt8:
      return Read<std::int8_t>(p);
    case ur::eImageDataUInt8:
      return Read<std::uint8_t>(p);
    case ur::eImageDataInt16:
      return Read<std::int16_t>(p);
    case ur::eImageDataUInt16:
      return Read<std::uint16_t>(p);
    case ur::eImageDataInt32:
      return Read<std::int32_t>(p);
    case ur::eImageDataUInt32:
      return Read<std::uint32_t>(p);
    case ur::eImageDataFloat:
      return Read<float>(p);
    case ur::eImageDataDouble:
      return Read<double>(p);
    default:
      return std::nan("");
  }
}

PeerResult RunPeer(const char* command, const QString& argument) {
  PeerResult result;
  result.skip = true;
  result.error = QStringLiteral("astropy is not installed (Debian python3-astropy)");
  // Debian's astropy belongs to the system's interpreter, which another python3 on the PATH
  // may hide.
  for (const char* python : {"/usr/bin/python3", "python3"}) {
    QProcess peer;
    peer.start(QLatin1String(python),
               {QStringLiteral(FITS_PEER_SCRIPT), QLatin1String(command), argument});
    if (!peer.waitForFinished(120000) || peer.exitCode() == 3) continue;
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(peer.readAllStandardOutput(), &parseError);
    result.skip = false;
    if (peer.exitCode() != 0 || !doc.isObject()) {
      result.error = QStringLiteral("the peer failed: ") +
                     QString::fromLocal8Bit(peer.readAllStandardError()) + parseError.errorString();
      return result;
    }
    result.ok = true;
    result.json = doc.object();
    return result;
  }
  return result;
}

QString CompareWithPeer(const ur::SxImageBuf& image, const QJsonObject& peer) {
  const QJsonArray shape = peer.value(QStringLiteral("shape")).toArray();
  const QJsonArray data = peer.value(QStringLiteral("data")).toArray();
  const int planes = shape.size() == 3 ? shape[0].toInt() : 1;
  const int rows = shape[shape.size() - 2].toInt();
  const int columns = shape[shape.size() - 1].toInt();
  if (planes != image.channels || rows != image.height || columns != image.width)
    return QStringLiteral("shape %1x%2x%3 against %4x%5x%6")
        .arg(image.channels)
        .arg(image.height)
        .arg(image.width)
        .arg(planes)
        .arg(rows)
        .arg(columns);
  const bool real = image.dataType == ur::eImageDataFloat || image.dataType == ur::eImageDataDouble;
  for (int p = 0; p < planes; ++p) {
    const int channel = ur::ChannelIndexLogicalToPhysical(p, image);
    for (int r = 0; r < rows; ++r)
      for (int x = 0; x < columns; ++x) {
        const QJsonValue want = data[(p * rows + r) * columns + x];
        const double got = SampleValue(image, x, image.height - 1 - r, channel);
        const bool same =
            want.isNull() ? std::isnan(got)
            : real        ? std::fabs(got - want.toDouble()) <= 1e-6 * std::fabs(want.toDouble())
                          : got == want.toDouble();
        if (!same)
          return QStringLiteral("plane %1, file row %2, column %3: %4 against %5")
              .arg(p)
              .arg(r)
              .arg(x)
              .arg(got, 0, 'g', 17)
              .arg(want.toDouble(), 0, 'g', 17);
      }
  }
  return QString();
}

}  // namespace fits_testing
