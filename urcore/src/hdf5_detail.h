#pragma once
// Helpers shared by the HDF5 routines: the failure text of the calling thread, the guard that
// turns library exceptions into failures, object paths and the mapping of sample types.

#include <ur/hdf5.h>

#include <H5Cpp.h>

#include <QString>

#include <cstdint>
#include <new>
#include <string>

namespace ur::hdf5 {

// Ceilings for what a file may make us allocate, whatever it claims.
constexpr std::int64_t kMaxImageBytes = std::int64_t(1) << 33;  // 8 GiB of pixels
constexpr std::int64_t kMaxTextBytes = std::int64_t(1) << 26;   // 64 MiB of metadata text
constexpr int kMaxChannels = 4;
constexpr int kMaxHistogramLevels = 1 << 16;
// Deflate cannot expand data more than about 1032 times; a file whose pixels would need more
// than this many bytes per stored byte cannot hold them.
constexpr std::int64_t kMaxDeflateRatio = 1100;

void SetError(const QString& text);
void ClearError();

// Runs body (a callable returning bool) under the HDF5 lock with the error text cleared;
// exceptions of the library and a failed allocation become false with a text that starts with
// what (the object's path).
template <typename Body>
bool Guarded(const QString& what, Body&& body) {
  CxHDF5Locker lock;
  ClearError();
  try {
    return body();
  } catch (const H5::Exception& e) {
    SetError(QStringLiteral("%1: %2").arg(what, CxHDF5::exceptionText(e)));
  } catch (const std::bad_alloc&) {
    SetError(QStringLiteral("%1: out of memory").arg(what));
  }
  return false;
}

// Fails with "<what>: <reason>".
inline bool Fail(const QString& what, const QString& reason) {
  SetError(QStringLiteral("%1: %2").arg(what, reason));
  return false;
}

inline std::string Utf8(const QString& s) { return s.toUtf8().toStdString(); }

// The path of name below location, for messages ("/image_data/image").
QString PathOf(const H5::H5Object& location, const QString& name);

// The native memory type of a real sample type; null for complex and unknown types.
const H5::PredType* NativeType(ExImageDataType type);
// True when the stored type holds samples of the given type (class, size and sign agree;
// the byte order may differ, the library converts it).
bool StoredTypeMatches(const H5::DataType& stored, ExImageDataType type);

// Integer attributes of any stored integer type; false when missing or not an integer scalar.
bool ReadIntAttr(const H5::H5Object& object, const std::string& name, std::int64_t& value);
void WriteIntAttr(const H5::H5Object& object, const std::string& name, std::int64_t value,
                  const H5::PredType& type);
// The text of a scalar fixed-length string data set; false when it is not one or too long.
bool ReadText(const H5::DataSet& dataset, QString& text);
// The fixed-length UTF-8 string type that holds bytes (at least one byte long).
H5::StrType FixedString(const std::string& bytes);

}  // namespace ur::hdf5

namespace ur::hdf5 {

// The pixels of the image group (written by writeImageBuf) inside roi, or all of them when roi
// is null, allocated into buffer; what names the group in messages.
bool ReadImageGroup(const H5::Group& image, const QString& what, const QRect* roi,
                    SxImageBuf& buffer);

}  // namespace ur::hdf5
