#include "dng_raw.h"

#include "dng_raw_ifd.h"

#include <ur/channels.h>
#include <ur/image_buf.h>
#include <ur/result.h>

#include <libraw/libraw.h>

#include <QFile>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>

namespace urs::zel {

namespace {

using ur::ExBayerGrid;
using ur::SxImageBuf;

constexpr unsigned kCompressionLossyJpeg = 34892;
constexpr unsigned kMissingWhiteLevel = 65535;

// One DNG read at a time, whatever the thread.
std::mutex g_dngReadMutex;

int BitDepthOfWhiteLevel(unsigned white) {
  if (white < 1024) return 10;
  if (white < 4096) return 12;
  if (white < 16384) return 14;
  return 16;
}

// Colour letter at (row, col) of the stored image. LibRaw's filter word counts from the visible
// area's origin and repeats every 8 rows and 2 columns, so the margins are taken off first.
char StoredColour(LibRaw& raw, int row, int col) {
  const libraw_image_sizes_t& sizes = raw.imgdata.sizes;
  const int r = ((row - sizes.top_margin) % 8 + 8) % 8;
  const int c = ((col - sizes.left_margin) % 2 + 2) % 2;
  return raw.imgdata.idata.cdesc[raw.FC(r, c)];
}

// The grid of the stored image's top-left cell, from the colours of its first row; none for
// anything but a 2x2 red-green-blue pattern.
ExBayerGrid GridOfTopLeftCell(LibRaw& raw) {
  const libraw_iparams_t& idata = raw.imgdata.idata;
  // Filter words below 1000 stand for larger patterns (Leaf, X-Trans).
  if (idata.colors != 3 || idata.filters < 1000) return ur::eBayerNone;
  for (int r = 2; r < 8; ++r)
    for (int c = 0; c < 2; ++c)
      if (raw.FC(r, c) != raw.FC(r & 1, c)) return ur::eBayerNone;
  const char first = StoredColour(raw, 0, 0);
  const char second = StoredColour(raw, 0, 1);
  if (first == 'R' && second == 'G') return ur::eBayerRGGB;
  if (first == 'B' && second == 'G') return ur::eBayerBGGR;
  if (first == 'G' && second == 'R') return ur::eBayerGRBG;
  if (first == 'G' && second == 'B') return ur::eBayerGBRG;
  return ur::eBayerNone;
}

// Copies the first out.channels of the stride 16-bit samples of every pixel into out, each to
// the place the channel order of out's sample type gives it.
template <typename T>
void CopyRows(const unsigned char* base, std::size_t pitch, int stride, SxImageBuf& out) {
  const int channels = out.channels;
  if constexpr (sizeof(T) == sizeof(std::uint16_t)) {
    if (channels == stride) {
      const std::size_t rowBytes = std::size_t(out.width) * channels * sizeof(T);
      for (int y = 0; y < out.height; ++y)
        std::memcpy(ur::RowPtr(out, y), base + std::size_t(y) * pitch, rowBytes);
      return;
    }
  }
  int target[4] = {0, 1, 2, 3};
  for (int c = 0; c < channels; ++c) target[c] = ur::ChannelIndexLogicalToPhysical(c, out);
  for (int y = 0; y < out.height; ++y) {
    const auto* src = reinterpret_cast<const std::uint16_t*>(base + std::size_t(y) * pitch);
    auto* dst = reinterpret_cast<T*>(ur::RowPtr(out, y));
    for (int x = 0; x < out.width; ++x, src += stride, dst += channels)
      for (int c = 0; c < channels; ++c) dst[target[c]] = static_cast<T>(src[c]);
  }
}

// Where LibRaw left the unpacked samples: 16-bit values, stride of them per pixel.
struct UnpackedRaw {
  const unsigned char* base = nullptr;
  std::size_t pitch = 0;
  int stride = 0;
};

UnpackedRaw LocateUnpacked(const LibRaw& raw) {
  const libraw_rawdata_t& data = raw.imgdata.rawdata;
  const std::size_t pitch = raw.imgdata.sizes.raw_pitch;
  if (data.raw_image) return {reinterpret_cast<const unsigned char*>(data.raw_image), pitch, 1};
  if (data.color4_image)
    return {reinterpret_cast<const unsigned char*>(data.color4_image), pitch, 4};
  if (data.color3_image)
    return {reinterpret_cast<const unsigned char*>(data.color3_image), pitch, 3};
  return {};
}

// Called for a file that can be read, so a short read means a structure that runs past the
// file's end.
unsigned int OpenFailureCode(const LibRaw& raw, int code) {
  if (code != LIBRAW_FILE_UNSUPPORTED && code != LIBRAW_IO_ERROR) return ur::rc::Fail;
  // A DNG whose compression LibRaw has no decoder for is still a DNG.
  return raw.imgdata.idata.dng_version ? ur::rc::Fail : ur::rc::NotZelImage;
}

// The white level the bit depth comes from: the raw directory's tag, 65535 without one.
unsigned WhiteLevel(const DngRawIfd& ifd) {
  return ifd.hasWhiteLevel ? ifd.whiteLevel : kMissingWhiteLevel;
}

// Describes the output image for what unpack() left; channels 0 when it cannot be copied.
SxImageBuf DescribeOutput(LibRaw& raw, const DngRawIfd& ifd, const UnpackedRaw& unpacked) {
  const unpacker_data_t& unpacker = raw.get_internal_data_pointer()->unpacker_data;
  const bool eightBit = unpacker.tiff_bps <= 8;
  const bool mosaic = unpacked.stride == 1;
  const int channels = mosaic ? 1 : int(unpacker.tiff_samples);

  SxImageBuf out;
  out.width = raw.imgdata.sizes.raw_width;
  out.height = raw.imgdata.sizes.raw_height;
  out.channels = channels >= 1 && channels <= unpacked.stride ? channels : 0;
  out.dataType = eightBit ? ur::eImageDataUInt8 : ur::eImageDataUInt16;
  out.bitDepth = eightBit ? 8 : BitDepthOfWhiteLevel(WhiteLevel(ifd));
  out.bayerGrid = mosaic ? GridOfTopLeftCell(raw) : ur::eBayerNone;
  return out;
}

// Opens the file's structure. rc::Ok only for a DNG.
unsigned int OpenDng(LibRaw& raw, const QString& path) {
  if (!QFile(path).open(QIODevice::ReadOnly)) return ur::rc::Fail;
  const int opened = raw.open_file(QFile::encodeName(path).constData());
  if (opened != LIBRAW_SUCCESS) return OpenFailureCode(raw, opened);
  if (!raw.imgdata.idata.dng_version) return ur::rc::NotZelImage;
  return ur::rc::Ok;
}

// Only unsigned integer samples of up to 16 bits are copied.
bool HasIntegerSamples(LibRaw& raw) {
  const unsigned bitsPerSample = raw.get_internal_data_pointer()->unpacker_data.tiff_bps;
  return !raw.is_floating_point() && bitsPerSample > 0 && bitsPerSample <= 16;
}

DngRawIfd InspectIfdOf(LibRaw& raw, const QString& path) {
  return InspectDngRawIfd(path, raw.imgdata.sizes.raw_width, raw.imgdata.sizes.raw_height);
}

// A DNG is a TIFF file: when libtiff finds no directory of the raw image's size, the structure is
// damaged, and LibRaw would decode whatever it finds there, zeros where the data is missing.
bool DataComplete(const DngRawIfd& ifd) { return ifd.found && ifd.dataComplete; }

bool IsLossy(LibRaw& raw) {
  return raw.get_internal_data_pointer()->unpacker_data.tiff_compress == kCompressionLossyJpeg;
}

// Several samples per pixel: demosaiced data (LinearRaw), no mosaic.
bool IsLinear(LibRaw& raw) {
  return raw.get_internal_data_pointer()->unpacker_data.tiff_samples > 1;
}

DngRawFacts InspectLocked(LibRaw& raw, const QString& path) {
  DngRawFacts facts;
  const unsigned int opened = OpenDng(raw, path);
  // A DNG whose codec LibRaw lacks fails to open but has been recognised as a DNG.
  facts.isDng = raw.imgdata.idata.dng_version != 0;
  if (ur::Failed(opened)) return facts;
  facts.decodable = HasIntegerSamples(raw);
  facts.complete = DataComplete(InspectIfdOf(raw, path));
  facts.lossy = IsLossy(raw);
  facts.linear = IsLinear(raw);
  return facts;
}

unsigned int ReadLocked(LibRaw& raw, const QString& path, ur::ScopedImageBuf& image) {
  const unsigned int opened = OpenDng(raw, path);
  if (ur::Failed(opened)) return opened;
  // Refused before unpacking: their samples are no sensor mosaic, and the lossy decoder does
  // not release its state when a damaged tile stops it.
  if (!HasIntegerSamples(raw) || IsLossy(raw) || IsLinear(raw)) return ur::rc::Unsupported;
  const libraw_image_sizes_t& sizes = raw.imgdata.sizes;
  if (!ur::WithinSampleCeiling(sizes.raw_width, sizes.raw_height, 1)) return ur::rc::Fail;

  const DngRawIfd ifd = InspectIfdOf(raw, path);
  if (!DataComplete(ifd)) return ur::rc::Fail;

  // The stored samples are wanted, before any LinearizationTable.
  for (int i = 0; i < 0x10000; ++i) raw.imgdata.color.curve[i] = static_cast<ushort>(i);
  if (raw.unpack() != LIBRAW_SUCCESS) return ur::rc::Fail;
  const UnpackedRaw unpacked = LocateUnpacked(raw);
  if (!unpacked.base) return ur::rc::Fail;

  ur::ScopedImageBuf result(DescribeOutput(raw, ifd, unpacked));
  if (result->channels == 0 || ur::Failed(ur::AllocBuffer(result.get()))) return ur::rc::Fail;
  if (result->dataType == ur::eImageDataUInt8)
    CopyRows<std::uint8_t>(unpacked.base, unpacked.pitch, unpacked.stride, result.get());
  else
    CopyRows<std::uint16_t>(unpacked.base, unpacked.pitch, unpacked.stride, result.get());
  image = std::move(result);
  return ur::rc::Ok;
}

}  // namespace

unsigned int ReadDngRaw(const QString& path, ur::ScopedImageBuf& image) {
  const std::lock_guard<std::mutex> lock(g_dngReadMutex);
  try {
    // LibRaw's state is several hundred kilobytes: keep it off the stack.
    const auto raw = std::make_unique<LibRaw>();
    return ReadLocked(*raw, path, image);
  } catch (...) {
    // LibRaw reports through codes; what still escapes is an allocation failure.
    return ur::rc::Fail;
  }
}

DngRawFacts InspectDngRaw(const QString& path) {
  const std::lock_guard<std::mutex> lock(g_dngReadMutex);
  try {
    const auto raw = std::make_unique<LibRaw>();
    return InspectLocked(*raw, path);
  } catch (...) {
    return {};
  }
}

}  // namespace urs::zel
