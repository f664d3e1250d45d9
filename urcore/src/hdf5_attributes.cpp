#include "hdf5_detail.h"

#include <limits>

namespace ur {

using hdf5::Fail;
using hdf5::Guarded;
using hdf5::PathOf;
using hdf5::Utf8;

bool CxHDF5::readAttrInt32(H5::H5Object& object, const QString& name, int& value, bool required,
                           int defaultValue) {
  const QString what = PathOf(object, QStringLiteral("@") + name);
  return Guarded(what, [&] {
    if (!object.attrExists(Utf8(name))) {
      if (required) return Fail(what, QStringLiteral("the attribute is missing"));
      value = defaultValue;
      return true;
    }
    std::int64_t v = 0;
    if (!hdf5::ReadIntAttr(object, Utf8(name), v))
      return Fail(what, QStringLiteral("not a single integer"));
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
      return Fail(what, QStringLiteral("the value %1 does not fit 32 bits").arg(v));
    value = int(v);
    return true;
  });
}

bool CxHDF5::readAttrString(H5::H5Object& object, const QString& name, QString& value) {
  const QString what = PathOf(object, QStringLiteral("@") + name);
  return Guarded(what, [&] {
    if (!object.attrExists(Utf8(name))) return Fail(what, QStringLiteral("the attribute is missing"));
    const H5::Attribute attr = object.openAttribute(Utf8(name));
    if (attr.getTypeClass() != H5T_STRING || attr.getSpace().getSimpleExtentNpoints() != 1)
      return Fail(what, QStringLiteral("not a single string"));
    // Fixed-length only, as in ReadText.
    const H5::StrType type = attr.getStrType();
    if (type.isVariableStr()) return Fail(what, QStringLiteral("not a fixed-length string"));
    if (std::int64_t(type.getSize()) > hdf5::kMaxTextBytes)
      return Fail(what, QStringLiteral("the string is too long"));
    std::string bytes;
    attr.read(type, bytes);
    value = QString::fromUtf8(bytes.c_str());
    return true;
  });
}

bool CxHDF5::writeAttrInt32(H5::H5Object& object, const QString& name, int value) {
  return Guarded(PathOf(object, QStringLiteral("@") + name), [&] {
    hdf5::WriteIntAttr(object, Utf8(name), value, H5::PredType::STD_I32LE);
    return true;
  });
}

bool CxHDF5::writeAttrString(H5::H5Object& object, const QString& name, const QString& value) {
  return Guarded(PathOf(object, QStringLiteral("@") + name), [&] {
    const std::string n = Utf8(name);
    if (object.attrExists(n)) object.removeAttr(n);
    const std::string bytes = Utf8(value);
    const H5::StrType type = hdf5::FixedString(bytes);
    const H5::Attribute attr = object.createAttribute(n, type, H5::DataSpace(H5S_SCALAR));
    attr.write(type, bytes);
    return true;
  });
}

}  // namespace ur
