#include "hdf5_detail.h"

#include <ur/bayer.h>
#include <ur/buffers.h>
#include <ur/channels.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <vector>

namespace ur {

using hdf5::Fail;
using hdf5::Guarded;
using hdf5::PathOf;
using hdf5::Utf8;

namespace {

const char* const kFormatGroup = "format";
const char* const kPixelsDataSet = "pixels";
// Strips of whole rows of about this size are moved at a time; written files are chunked the
// same way, so that a strip is one chunk.
constexpr std::int64_t kStripBytes = std::int64_t(1) << 20;
constexpr int kDeflateLevel = 4;

struct DescriptionField {
  const char* name;
  int (*get)(const SxImageInfo&);
  void (*set)(SxImageInfo&, int);
};
#define UR_HDF5_FIELD(attr, member)                                  \
  DescriptionField {                                                 \
    attr, [](const SxImageInfo& i) { return int(i.member); },        \
        [](SxImageInfo& i, int v) { i.member = decltype(i.member)(v); } \
  }
// The attributes of the "format" group, one per field of the description.
const DescriptionField kDescription[] = {
    UR_HDF5_FIELD("width", width),
    UR_HDF5_FIELD("height", height),
    UR_HDF5_FIELD("channels", channels),
    UR_HDF5_FIELD("bit_depth", bitDepth),
    UR_HDF5_FIELD("data_type", dataType),
    UR_HDF5_FIELD("planar", planar),
    UR_HDF5_FIELD("bayer_grid", bayerGrid),
    UR_HDF5_FIELD("pattern_width", patternWidth),
    UR_HDF5_FIELD("pattern_height", patternHeight),
    UR_HDF5_FIELD("pack_count", packCount),
};
#undef UR_HDF5_FIELD

// Why the description cannot be that of stored pixels; empty when it can.
QString DescriptionProblem(const SxImageInfo& info) {
  const int bytes = BytesPerSample(info.dataType);
  if (info.width <= 0 || info.height <= 0) return QStringLiteral("the image size is not positive");
  if (info.channels < 1 || info.channels > hdf5::kMaxChannels)
    return QStringLiteral("%1 channels are not supported").arg(info.channels);
  if (!hdf5::NativeType(info.dataType))
    return QStringLiteral("the data type %1 is not supported").arg(int(info.dataType));
  if (info.bitDepth < 0 || info.bitDepth > 8 * bytes)
    return QStringLiteral("the bit depth %1 does not fit the data type").arg(info.bitDepth);
  if (info.planar != 0 && info.planar != 1) return QStringLiteral("the planar flag is not 0 or 1");
  if (info.bayerGrid < eBayerBGGR || info.bayerGrid > eBayerMosaic)
    return QStringLiteral("the Bayer grid %1 is unknown").arg(int(info.bayerGrid));
  const std::int64_t rowBytes = std::int64_t(info.width) * info.channels * bytes;
  if (rowBytes > INT_MAX || rowBytes > hdf5::kMaxImageBytes / info.height)
    return QStringLiteral("the image of %1 x %2 x %3 is larger than supported")
        .arg(info.width)
        .arg(info.height)
        .arg(info.channels);
  return QString();
}

// The data set's shape: height x width (one channel), height x width x channels
// (interleaved), channels x height x width (planar).
struct Shape {
  int rank = 2;
  hsize_t dims[3] = {0, 0, 0};
};

Shape ShapeOf(const SxImageInfo& info) {
  Shape s;
  const auto h = hsize_t(info.height), w = hsize_t(info.width), c = hsize_t(info.channels);
  if (info.channels == 1) {
    s = Shape{2, {h, w, 0}};
  } else if (info.planar) {
    s = Shape{3, {c, h, w}};
  } else {
    s = Shape{3, {h, w, c}};
  }
  return s;
}

// The part of the data set that rows y .. y + rows - 1, columns x .. x + width - 1 of plane p
// occupy.
void SelectRows(const SxImageInfo& info, int p, int x, int y, int width, int rows,
                hsize_t start[3], hsize_t count[3]) {
  if (info.channels == 1) {
    start[0] = hsize_t(y), start[1] = hsize_t(x);
    count[0] = hsize_t(rows), count[1] = hsize_t(width);
  } else if (info.planar) {
    start[0] = hsize_t(p), start[1] = hsize_t(y), start[2] = hsize_t(x);
    count[0] = 1, count[1] = hsize_t(rows), count[2] = hsize_t(width);
  } else {
    start[0] = hsize_t(y), start[1] = hsize_t(x), start[2] = 0;
    count[0] = hsize_t(rows), count[1] = hsize_t(width), count[2] = hsize_t(info.channels);
  }
}

// Files hold colour samples in logical order (red first); memory may not (8-bit interleaved
// colour is B, G, R). order[c] is the memory position of file channel c.
struct ChannelOrder {
  int order[hdf5::kMaxChannels] = {0, 1, 2, 3};
  bool identity = true;
};

ChannelOrder OrderOf(const SxImageInfo& info) {
  ChannelOrder o;
  for (int c = 0; c < info.channels && !info.planar; ++c) {
    o.order[c] = ChannelIndexLogicalToPhysical(c, info);
    o.identity = o.identity && o.order[c] == c;
  }
  return o;
}

// Copies one row between memory (pixels of buffer order) and file order.
void PackRow(const unsigned char* from, unsigned char* to, int width, int channels, int bytes,
             const ChannelOrder& o, bool toFile) {
  if (o.identity) {
    std::memcpy(to, from, std::size_t(width) * channels * bytes);
    return;
  }
  const std::size_t pixel = std::size_t(channels) * bytes;
  for (int x = 0; x < width; ++x)
    for (int c = 0; c < channels; ++c) {
      const std::size_t file = x * pixel + std::size_t(c) * bytes;
      const std::size_t memory = x * pixel + std::size_t(o.order[c]) * bytes;
      if (toFile)
        std::memcpy(to + file, from + memory, bytes);
      else
        std::memcpy(to + memory, from + file, bytes);
    }
}

int StripRows(const SxImageInfo& info) {
  const std::int64_t rowBytes = MinLinePitch(info);
  return int(std::clamp<std::int64_t>(kStripBytes / std::max<std::int64_t>(rowBytes, 1), 1,
                                      info.height));
}

// Moves the rows of buffer through strips between memory and the region of the data set at
// (x0, y0) of buffer's size.
void TransferPixels(const H5::DataSet& dataset, const SxImageInfo& fileInfo, SxImageBuf& buffer,
                    int x0, int y0, bool toFile) {
  const SxImageInfo info = ImageInfo(buffer);
  const int bytes = BytesPerSample(info.dataType);
  const int rowSamples = info.planar ? 1 : info.channels;
  const ChannelOrder order = OrderOf(info);
  const H5::PredType& memType = *hdf5::NativeType(info.dataType);
  const int stripRows = StripRows(info);
  const std::size_t stripRowBytes = std::size_t(info.width) * rowSamples * bytes;
  std::vector<unsigned char> strip(stripRowBytes * std::size_t(stripRows));
  const Shape shape = ShapeOf(fileInfo);
  const H5::DataSpace fileSpace = dataset.getSpace();
  const int planes = info.planar ? info.channels : 1;
  for (int p = 0; p < planes; ++p)
    for (int y = 0; y < info.height; y += stripRows) {
      const int rows = std::min(stripRows, info.height - y);
      hsize_t start[3], count[3];
      SelectRows(fileInfo, p, x0, y0 + y, info.width, rows, start, count);
      fileSpace.selectHyperslab(H5S_SELECT_SET, count, start);
      const H5::DataSpace memSpace(shape.rank, count);
      if (toFile)
        for (int r = 0; r < rows; ++r)
          PackRow(RowPtr(buffer, y + r, p), strip.data() + r * stripRowBytes, info.width,
                  rowSamples, bytes, order, true);
      if (toFile)
        dataset.write(strip.data(), memType, memSpace, fileSpace);
      else
        dataset.read(strip.data(), memType, memSpace, fileSpace);
      if (!toFile)
        for (int r = 0; r < rows; ++r)
          PackRow(strip.data() + r * stripRowBytes, RowPtr(buffer, y + r, p), info.width,
                  rowSamples, bytes, order, false);
    }
}

bool ReadDescription(const H5::H5Object& format, const QString& what, SxImageInfo& info) {
  SxImageInfo read;
  for (const DescriptionField& f : kDescription) {
    std::int64_t v = 0;
    if (!hdf5::ReadIntAttr(format, f.name, v))
      return Fail(what, QStringLiteral("the attribute %1 is missing or not an integer")
                            .arg(QLatin1String(f.name)));
    if (v < INT_MIN || v > INT_MAX)
      return Fail(what, QStringLiteral("the attribute %1 is out of range").arg(QLatin1String(f.name)));
    f.set(read, int(v));
  }
  info = read;
  return true;
}

// Why the stored data set cannot hold the described pixels; empty when it can.
QString DataSetProblem(const H5::DataSet& dataset, const SxImageInfo& info) {
  if (!hdf5::StoredTypeMatches(dataset.getDataType(), info.dataType))
    return QStringLiteral("the stored sample type is not the described data type %1")
        .arg(int(info.dataType));
  const Shape shape = ShapeOf(info);
  const H5::DataSpace space = dataset.getSpace();
  hsize_t dims[3] = {0, 0, 0};
  if (!space.isSimple() || space.getSimpleExtentNdims() != shape.rank)
    return QStringLiteral("the data set does not have %1 dimensions").arg(shape.rank);
  space.getSimpleExtentDims(dims);
  for (int i = 0; i < shape.rank; ++i)
    if (dims[i] != shape.dims[i])
      return QStringLiteral("the data set's size does not match the description");
  // Unknown filters cannot be decoded; and the stored bytes must be able to hold the pixels,
  // so that a small file cannot make us allocate a huge image.
  const H5::DSetCreatPropList plist = dataset.getCreatePlist();
  std::int64_t ratio = 1;
  for (int i = 0; i < plist.getNfilters(); ++i) {
    unsigned flags = 0, config = 0;
    size_t values = 0;
    char name[64] = {};
    const H5Z_filter_t id =
        H5Pget_filter2(plist.getId(), unsigned(i), &flags, &values, nullptr, sizeof name, name, &config);
    if (id == H5Z_FILTER_DEFLATE)
      ratio = hdf5::kMaxDeflateRatio;
    else if (id != H5Z_FILTER_SHUFFLE && id != H5Z_FILTER_FLETCHER32)
      return QStringLiteral("the data set uses an unsupported filter (%1)").arg(int(id));
  }
  if (plist.getLayout() == H5D_CHUNKED) {
    hsize_t chunk[3] = {0, 0, 0};
    if (plist.getChunk(shape.rank, chunk) != shape.rank)
      return QStringLiteral("the chunk shape does not match the data set");
    for (int i = 0; i < shape.rank; ++i)
      if (chunk[i] == 0 || chunk[i] > dims[i])
        return QStringLiteral("a chunk is larger than the data set");
  }
  const std::int64_t needed = MinLinePitch(info) * info.height * (info.planar ? info.channels : 1);
  const auto stored = std::int64_t(dataset.getStorageSize());
  if (stored <= 0 || needed / ratio > stored)
    return QStringLiteral("the file holds %1 bytes of pixels, too few for %2").arg(stored).arg(needed);
  return QString();
}

}  // namespace

bool CxHDF5::writeImageBuf(H5::H5Object& location, const QString& name, const SxImageBuf& buffer) {
  const QString what = PathOf(location, name);
  return Guarded(what, [&] {
    const SxImageInfo info = ImageInfo(buffer);
    if (!HasPixels(buffer)) return Fail(what, QStringLiteral("the image has no pixels"));
    const QString problem = DescriptionProblem(info);
    if (!problem.isEmpty()) return Fail(what, problem);
    const std::string n = Utf8(name);
    if (location.nameExists(n)) location.unlink(n);
    const H5::Group image = location.createGroup(n);
    const H5::Group format = image.createGroup(kFormatGroup);
    for (const DescriptionField& f : kDescription)
      hdf5::WriteIntAttr(format, f.name, f.get(info), H5::PredType::STD_I32LE);

    const Shape shape = ShapeOf(info);
    hsize_t chunk[3];
    hsize_t start[3];
    SelectRows(info, 0, 0, 0, info.width, StripRows(info), start, chunk);
    H5::DSetCreatPropList plist;
    plist.setChunk(shape.rank, chunk);
    plist.setShuffle();
    plist.setDeflate(kDeflateLevel);
    plist.setFletcher32();  // damaged pixels fail to read instead of reading as other values
    // The file takes the native type, so that readers on this kind of machine need no conversion.
    const H5::DataSet dataset = image.createDataSet(
        kPixelsDataSet, *hdf5::NativeType(info.dataType), H5::DataSpace(shape.rank, shape.dims), plist);
    SxImageBuf source = buffer;
    TransferPixels(dataset, info, source, 0, 0, true);
    return true;
  });
}

bool hdf5::ReadImageGroup(const H5::Group& image, const QString& what, const QRect* roi,
                          SxImageBuf& buffer) {
  if (!image.nameExists(kFormatGroup) || !image.nameExists(kPixelsDataSet))
    return Fail(what, QStringLiteral("the image has no format or no pixels"));
  SxImageInfo info;
  if (!ReadDescription(image.openGroup(kFormatGroup), what + QStringLiteral("/format"), info))
    return false;
  const QString problem = DescriptionProblem(info);
  if (!problem.isEmpty()) return Fail(what, problem);
  if (image.childObjType(kPixelsDataSet) != H5O_TYPE_DATASET)
    return Fail(what, QStringLiteral("the pixels are not a data set"));
  const H5::DataSet dataset = image.openDataSet(kPixelsDataSet);
  const QString dataProblem = DataSetProblem(dataset, info);
  if (!dataProblem.isEmpty()) return Fail(what + QStringLiteral("/pixels"), dataProblem);

  const QRect whole(0, 0, info.width, info.height);
  const QRect region = roi ? *roi : whole;
  if (region.isEmpty() || !whole.contains(region))
    return Fail(what, QStringLiteral("the region %1,%2 %3 x %4 lies outside the image of %5 x %6")
                          .arg(region.x())
                          .arg(region.y())
                          .arg(region.width())
                          .arg(region.height())
                          .arg(info.width)
                          .arg(info.height));
  SxImageInfo target = info;
  target.width = region.width();
  target.height = region.height();
  target.linePitch = 0;
  target.bayerGrid = ShiftBayerGrid(info.bayerGrid, region.x(), region.y());
  ScopedImageBuf pixels;
  if (Failed(AllocBuffer(pixels.get(), target)))
    return Fail(what, QStringLiteral("no memory for %1 x %2 pixels").arg(target.width).arg(target.height));
  TransferPixels(dataset, info, pixels.get(), region.x(), region.y(), false);
  buffer = pixels.release();
  return true;
}

bool CxHDF5::readImageBuf(H5::H5Object& location, const QString& name, SxImageBuf& buffer) {
  const QString what = PathOf(location, name);
  return Guarded(what, [&] {
    if (!location.nameExists(Utf8(name)) || location.childObjType(Utf8(name)) != H5O_TYPE_GROUP)
      return Fail(what, QStringLiteral("no image group of this name"));
    return hdf5::ReadImageGroup(location.openGroup(Utf8(name)), what, nullptr, buffer);
  });
}

bool CxHDF5::readImageInfo(H5::H5Object& location, const QString& path, SxImageInfo& info) {
  const QString what = PathOf(location, path);
  return Guarded(what, [&] {
    if (!location.nameExists(Utf8(path)) || location.childObjType(Utf8(path)) != H5O_TYPE_GROUP)
      return Fail(what, QStringLiteral("no image description of this name"));
    SxImageInfo read;
    if (!ReadDescription(location.openGroup(Utf8(path)), what, read)) return false;
    const QString problem = DescriptionProblem(read);
    if (!problem.isEmpty()) return Fail(what, problem);
    info = read;
    return true;
  });
}

}  // namespace ur
