#include "hdf5_detail.h"

#include <QRecursiveMutex>

#include <algorithm>
#include <mutex>

namespace ur {

namespace {
QRecursiveMutex& Hdf5Mutex() {
  static QRecursiveMutex mutex;
  return mutex;
}

thread_local QString t_lastError;

// The library keeps process-wide state; check once that it matches the headers we were built
// with (it aborts otherwise, before any file is touched), and keep it from printing its error
// stack: failures reach callers as texts.
void PrepareLibrary() {
  static std::once_flag once;
  std::call_once(once, [] {
    H5check_version(H5_VERS_MAJOR, H5_VERS_MINOR, H5_VERS_RELEASE);
    H5::Exception::dontPrint();
  });
}
}  // namespace

void CxHDF5::lock() {
  Hdf5Mutex().lock();
  PrepareLibrary();
}

void CxHDF5::unlock() { Hdf5Mutex().unlock(); }

QString CxHDF5::lastError() { return t_lastError; }

QString CxHDF5::exceptionText(const H5::Exception& e) {
  QString reason;
  // Walking upwards, the first entry is where the library found the fault.
  H5Ewalk2(
      H5E_DEFAULT, H5E_WALK_UPWARD,
      [](unsigned n, const H5E_error2_t* entry, void* out) -> herr_t {
        if (n == 0 && entry->desc) *static_cast<QString*>(out) = QString::fromUtf8(entry->desc);
        return 0;
      },
      &reason);
  const QString detail = QString::fromStdString(e.getDetailMsg());
  return reason.isEmpty() ? detail : QStringLiteral("%1: %2").arg(detail, reason);
}

namespace hdf5 {

void SetError(const QString& text) { t_lastError = text; }
void ClearError() { t_lastError.clear(); }

QString PathOf(const H5::H5Object& location, const QString& name) {
  if (name.startsWith(QLatin1Char('/'))) return name;
  QString base = QString::fromStdString(location.getObjName());
  if (!base.endsWith(QLatin1Char('/'))) base += QLatin1Char('/');
  return base + name;
}

const H5::PredType* NativeType(ExImageDataType type) {
  switch (type) {
    case eImageDataInt8: return &H5::PredType::NATIVE_INT8;
    case eImageDataUInt8: return &H5::PredType::NATIVE_UINT8;
    case eImageDataInt16: return &H5::PredType::NATIVE_INT16;
    case eImageDataUInt16: return &H5::PredType::NATIVE_UINT16;
    case eImageDataInt32: return &H5::PredType::NATIVE_INT32;
    case eImageDataUInt32: return &H5::PredType::NATIVE_UINT32;
    case eImageDataFloat: return &H5::PredType::NATIVE_FLOAT;
    case eImageDataDouble: return &H5::PredType::NATIVE_DOUBLE;
    case eImageDataInt64: return &H5::PredType::NATIVE_INT64;
    case eImageDataUInt64: return &H5::PredType::NATIVE_UINT64;
    default: return nullptr;
  }
}

bool StoredTypeMatches(const H5::DataType& stored, ExImageDataType type) {
  const H5::PredType* native = NativeType(type);
  if (!native || stored.getClass() != native->getClass() || stored.getSize() != native->getSize())
    return false;
  if (stored.getClass() != H5T_INTEGER) return true;
  return H5Tget_sign(stored.getId()) == H5Tget_sign(native->getId());
}

bool ReadIntAttr(const H5::H5Object& object, const std::string& name, std::int64_t& value) {
  if (!object.attrExists(name)) return false;
  const H5::Attribute attr = object.openAttribute(name);
  if (attr.getTypeClass() != H5T_INTEGER || attr.getSpace().getSimpleExtentNpoints() != 1)
    return false;
  std::int64_t v = 0;
  attr.read(H5::PredType::NATIVE_INT64, &v);
  value = v;
  return true;
}

void WriteIntAttr(const H5::H5Object& object, const std::string& name, std::int64_t value,
                  const H5::PredType& type) {
  if (object.attrExists(name)) object.removeAttr(name);
  const H5::Attribute attr = object.createAttribute(name, type, H5::DataSpace(H5S_SCALAR));
  attr.write(H5::PredType::NATIVE_INT64, &value);
}

bool ReadText(const H5::DataSet& dataset, QString& text) {
  if (dataset.getTypeClass() != H5T_STRING || dataset.getSpace().getSimpleExtentNpoints() != 1)
    return false;
  // Variable-length strings live in the global heap, which carries no checksum and whose
  // damage the library does not always survive; we write and read fixed-length strings only.
  const H5::StrType type = dataset.getStrType();
  if (type.isVariableStr() || std::int64_t(type.getSize()) > kMaxTextBytes) return false;
  std::string bytes;
  dataset.read(bytes, type);
  text = QString::fromUtf8(bytes.c_str());  // fixed-length strings may be padded with NULs
  return true;
}

H5::StrType FixedString(const std::string& bytes) {
  H5::StrType type(H5::PredType::C_S1, std::max<std::size_t>(1, bytes.size()));
  type.setCset(H5T_CSET_UTF8);
  type.setStrpad(H5T_STR_NULLPAD);
  return type;
}

}  // namespace hdf5
}  // namespace ur
