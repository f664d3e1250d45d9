#pragma once
// FITS files for the tests, built byte by byte, and the astropy peer (fits_peer.py).

#include <ur/buffers.h>
#include <ur/image_buf.h>
#include <ur/metadata.h>

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace fits_testing {

// "KEY     =                value": an 80-byte card, the value right-aligned to column 30.
QByteArray Card(const char* keyword, const char* value);
// A header of the cards and END, blank-padded to whole 2880-byte blocks.
QByteArray Header(std::initializer_list<QByteArray> cards);
// Big-endian samples, zero-padded to whole blocks.
QByteArray Data16(const std::vector<std::int16_t>& samples);
QByteArray Data8(const std::vector<std::uint8_t>& samples);

// Loads a file through the format manager: false when it is refused.
bool Load(const QString& path, ur::ScopedImageBuf& image, ur::CxMetadata* metadata = nullptr);
bool LoadBytes(const QString& path, const QByteArray& bytes, ur::ScopedImageBuf& image);

// Sample (x, y) of physical channel c (interleaved) as a double.
double SampleValue(const ur::SxImageBuf& image, int x, int y, int c);

// Runs the peer: ok false (and skip set) when astropy is missing; the JSON it printed.
struct PeerResult {
  bool ok = false;
  bool skip = false;
  QString error;
  QJsonObject json;
};
PeerResult RunPeer(const char* command, const QString& argument);

// Compares an image with the peer's description of the same unit ({"shape", "data"}): the
// peer's first row is the file's first row, which is the image's bottom row; its planes are
// the logical channels. Empty when they agree, else the first difference.
QString CompareWithPeer(const ur::SxImageBuf& image, const QJsonObject& peer);

}  // namespace fits_testing
