// Layout of an image object written by CxHDF5::writeImageData as the group <name>, chosen so
// that general HDF5 tools read it without our code:
//
//   <name>/                      group; attributes "frame" (int32), "timestamp_us" (int64)
//     image/                     the pixels as written by writeImageBuf:
//       format/                  group whose int32 attributes describe the pixels: "width",
//                                "height", "channels", "bit_depth", "data_type" (the
//                                ExImageDataType value), "planar", "bayer_grid" (ExBayerGrid),
//                                "pattern_width", "pattern_height", "pack_count"
//       pixels                   data set of the native sample type, rows top-down: height x
//                                width (one channel), height x width x channels (interleaved),
//                                channels x height x width (planar); colour channels in the
//                                order red, green, blue (alpha); chunked in strips of whole rows,
//                                shuffled, deflated and checksummed (Fletcher-32)
//     metadata                   scalar fixed-length UTF-8 string data set: the collection's
//                                XML text
//     histogram/                 only for 8- and 16-bit unsigned pixels: attributes "channels"
//                                and "levels" (int32); data sets "channel_0", "channel_1", ...
//                                of "levels" uint64 counts each
//
// A lone buffer written by writeImageBuf (such as a preview) has the layout of "image" above.

#include "hdf5_detail.h"

#include <ur/buffers.h>
#include <ur/histogram.h>

#include <QDateTime>

#include <climits>
#include <memory>
#include <vector>

namespace ur {

using hdf5::Fail;
using hdf5::Guarded;
using hdf5::PathOf;
using hdf5::Utf8;

namespace {

const char* const kImageGroup = "image";
const char* const kMetadata = "metadata";
const char* const kHistogram = "histogram";
const char* const kFrameAttr = "frame";
const char* const kTimestampAttr = "timestamp_us";

std::string ChannelName(int c) { return "channel_" + std::to_string(c); }


bool IsGroup(const H5::H5Object& location, const std::string& name) {
  return location.nameExists(name) && location.childObjType(name) == H5O_TYPE_GROUP;
}

bool IsDataSet(const H5::H5Object& location, const std::string& name) {
  return location.nameExists(name) && location.childObjType(name) == H5O_TYPE_DATASET;
}

}  // namespace

bool CxHDF5::writeImageData(H5::H5Object& location, const QString& name, const CxImageData* data) {
  const QString what = PathOf(location, name);
  return Guarded(what, [&] {
    if (!data) return Fail(what, QStringLiteral("no image object"));
    const std::string n = Utf8(name);
    if (location.nameExists(n)) location.unlink(n);
    H5::Group group = location.createGroup(n);
    hdf5::WriteIntAttr(group, kFrameAttr, data->frame(), H5::PredType::STD_I32LE);
    hdf5::WriteIntAttr(group, kTimestampAttr, data->timestampUs(), H5::PredType::STD_I64LE);
    if (!writeImageBuf(group, QLatin1String(kImageGroup), data->image())) return false;
    if (!writeMetadata(group, QLatin1String(kMetadata), data->metadata())) return false;
    CxImageHistogram histogram;
    if (ComputeImageHistogram(data->image(), histogram) &&
        !writeHistogram(group, QLatin1String(kHistogram), histogram))
      return false;
    return true;
  });
}

CxImageData* CxHDF5::readImageData(H5::H5Object& location, const QString& name) {
  const QString what = PathOf(location, name);
  std::unique_ptr<CxImageData> data;
  Guarded(what, [&] {
    if (!IsGroup(location, Utf8(name))) return Fail(what, QStringLiteral("no image object of this name"));
    H5::Group group = location.openGroup(Utf8(name));
    ScopedImageBuf pixels;
    if (!readImageBuf(group, QLatin1String(kImageGroup), pixels.get())) return false;
    CxMetadata metadata;
    if (IsDataSet(group, kMetadata) && !readMetadata(group, QLatin1String(kMetadata), metadata))
      return false;
    std::int64_t frame = 0, timestamp = 0;
    if (!hdf5::ReadIntAttr(group, kFrameAttr, frame) || frame < 0 || frame > INT_MAX) frame = 0;
    if (!hdf5::ReadIntAttr(group, kTimestampAttr, timestamp)) timestamp = 0;
    auto image = std::make_unique<CxImageData>();
    image->setImageShallow(pixels.release(), int(frame), 0, QDateTime());
    image->setTimestampUs(timestamp);
    image->setMetadata(metadata);
    data = std::move(image);
    return true;
  });
  return data.release();
}

bool CxHDF5::readImageDataRoi(H5::H5Object& location, const QString& name, const QRect& roi,
                              SxImageBuf& buffer) {
  const QString what = PathOf(location, name);
  return Guarded(what, [&] {
    const std::string image = Utf8(name) + "/" + kImageGroup;
    if (!IsGroup(location, Utf8(name)) || !IsGroup(location, image))
      return Fail(what, QStringLiteral("no image object of this name"));
    return hdf5::ReadImageGroup(location.openGroup(image), what + QLatin1Char('/') + kImageGroup,
                                &roi, buffer);
  });
}

bool CxHDF5::writeMetadata(H5::H5Object& location, const QString& path, const CxMetadata& metadata) {
  const QString what = PathOf(location, path);
  return Guarded(what, [&] {
    const std::string p = Utf8(path);
    const std::string xml = Utf8(metadata.saveToXml());
    const H5::StrType type = hdf5::FixedString(xml);
    if (location.nameExists(p)) location.unlink(p);
    const H5::DataSet dataset = location.createDataSet(p, type, H5::DataSpace(H5S_SCALAR));
    dataset.write(xml, type);
    return true;
  });
}

bool CxHDF5::readMetadata(H5::H5Object& location, const QString& path, CxMetadata& metadata) {
  const QString what = PathOf(location, path);
  return Guarded(what, [&] {
    if (!IsDataSet(location, Utf8(path))) return Fail(what, QStringLiteral("no metadata of this name"));
    QString xml;
    if (!hdf5::ReadText(location.openDataSet(Utf8(path)), xml))
      return Fail(what, QStringLiteral("the metadata is not a string or too long"));
    CxMetadata read;
    if (!read.loadFromXml(xml)) return Fail(what, QStringLiteral("the metadata is not valid XML"));
    metadata = std::move(read);
    return true;
  });
}

bool CxHDF5::writeHistogram(H5::H5Object& location, const QString& path,
                            const CxImageHistogram& histogram) {
  const QString what = PathOf(location, path);
  return Guarded(what, [&] {
    const int channels = histogram.channels(), levels = histogram.levels();
    if (channels < 1 || channels > hdf5::kMaxChannels || levels < 1 ||
        levels > hdf5::kMaxHistogramLevels ||
        std::size_t(histogram.counts().size()) != std::size_t(channels) * std::size_t(levels))
      return Fail(what, QStringLiteral("the histogram is empty or malformed"));
    const std::string p = Utf8(path);
    if (location.nameExists(p)) location.unlink(p);
    const H5::Group group = location.createGroup(p);
    hdf5::WriteIntAttr(group, "channels", channels, H5::PredType::STD_I32LE);
    hdf5::WriteIntAttr(group, "levels", levels, H5::PredType::STD_I32LE);
    const hsize_t dims[1] = {hsize_t(levels)};
    for (int c = 0; c < channels; ++c) {
      const H5::DataSet counts =
          group.createDataSet(ChannelName(c), H5::PredType::STD_U64LE, H5::DataSpace(1, dims));
      counts.write(histogram.counts().constData() + std::size_t(c) * levels,
                   H5::PredType::NATIVE_UINT64);
    }
    return true;
  });
}

bool CxHDF5::readHistogram(H5::H5Object& location, const QString& path, CxImageHistogram& histogram) {
  const QString what = PathOf(location, path);
  return Guarded(what, [&] {
    if (!IsGroup(location, Utf8(path))) return Fail(what, QStringLiteral("no histogram of this name"));
    const H5::Group group = location.openGroup(Utf8(path));
    std::int64_t channels = 0, levels = 0;
    if (!hdf5::ReadIntAttr(group, "channels", channels) || !hdf5::ReadIntAttr(group, "levels", levels) ||
        channels < 1 || channels > hdf5::kMaxChannels || levels < 1 ||
        levels > hdf5::kMaxHistogramLevels)
      return Fail(what, QStringLiteral("the histogram's channels or levels are missing or out of range"));
    CxImageHistogram read;
    read.reset(int(channels), int(levels));
    for (int c = 0; c < int(channels); ++c) {
      const QString channelWhat = what + QLatin1Char('/') + QString::fromStdString(ChannelName(c));
      if (!IsDataSet(group, ChannelName(c))) return Fail(channelWhat, QStringLiteral("missing"));
      const H5::DataSet counts = group.openDataSet(ChannelName(c));
      const H5::DataSpace space = counts.getSpace();
      hsize_t dims[1] = {0};
      if (counts.getTypeClass() != H5T_INTEGER || !space.isSimple() ||
          space.getSimpleExtentNdims() != 1 || (space.getSimpleExtentDims(dims), dims[0]) != hsize_t(levels))
        return Fail(channelWhat, QStringLiteral("not %1 integer counts").arg(levels));
      counts.read(read.counts().data() + std::size_t(c) * std::size_t(levels),
                  H5::PredType::NATIVE_UINT64);
    }
    histogram = std::move(read);
    return true;
  });
}

}  // namespace ur
