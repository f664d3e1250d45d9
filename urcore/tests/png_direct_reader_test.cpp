// The direct decoder of plain 8-bit PNGs against files that libpng wrote with every filter, many
// IDAT chunks, interlacing and text; what it declines must still read through libpng.

#include "png_direct_reader.h"

#include <ur/png_reader.h>

#include <FreeImage.h>
#include <gtest/gtest.h>
#include <png.h>

#include <libdeflate.h>

#include <QByteArray>
#include <QString>
#include <QtEndian>

#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

struct SxFileSpec {
  int width = 0;
  int height = 0;
  int channels = 1;              // 1 grey, 3 RGB
  int filters = PNG_ALL_FILTERS;  // PNG_FILTER_* mask
  int interlace = PNG_INTERLACE_NONE;
  std::size_t idatBytes = 1 << 20;  // libpng's buffer: one IDAT chunk per this many bytes
  bool textAfterImage = false;
  bool compressedText = false;
};

void AppendBytes(png_structp png, png_bytep data, std::size_t size) {
  static_cast<QByteArray*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), int(size));
}
void Flush(png_structp) {}

// Rows top first, the channels of a pixel together (R, G, B).
QByteArray Encode(const SxFileSpec& spec, const std::vector<std::uint8_t>& rows) {
  QByteArray out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, AppendBytes, Flush);
  png_set_IHDR(png, info, png_uint_32(spec.width), png_uint_32(spec.height), 8,
               spec.channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, spec.interlace,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_filter(png, PNG_FILTER_TYPE_BASE, spec.filters);
  png_set_compression_buffer_size(png, spec.idatBytes);
  png_set_compression_level(png, 1);
  png_set_pHYs(png, info, 3780, 2835, PNG_RESOLUTION_METER);
  png_time time{2022, 11, 30, 23, 59, 60};
  png_set_tIME(png, info, &time);
  char key[] = "ZEL_MD", text[] = "<zel levels=\"200\"/>", key2[] = "Title",
       text2[] = "Gr\xC3\xBC\xC3\x9F" "e";
  png_text texts[2] = {};
  texts[0].compression =
      spec.compressedText ? PNG_TEXT_COMPRESSION_zTXt : PNG_TEXT_COMPRESSION_NONE;
  texts[0].key = key;
  texts[0].text = text;
  texts[1].compression = PNG_ITXT_COMPRESSION_NONE;
  texts[1].key = key2;
  texts[1].text = text2;
  if (!spec.textAfterImage) png_set_text(png, info, texts, 2);
  png_write_info(png, info);
  const int passes = png_set_interlace_handling(png);
  const std::size_t rowBytes = std::size_t(spec.width) * std::size_t(spec.channels);
  for (int pass = 0; pass < passes; ++pass)
    for (int y = 0; y < spec.height; ++y)
      png_write_row(png, rows.data() + rowBytes * std::size_t(y));
  if (spec.textAfterImage) png_set_text(png, info, texts, 2);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

// Smooth gradients with noise, so the filters differ, and every byte value somewhere.
std::vector<std::uint8_t> Rows(const SxFileSpec& spec) {
  std::mt19937 random(11);
  std::vector<std::uint8_t> rows(std::size_t(spec.width) * spec.height * spec.channels);
  for (std::size_t i = 0; i < rows.size(); ++i)
    rows[i] = std::uint8_t(i / 7 + i % 13 * 9 + random() % 5);
  return rows;
}

struct BitmapDeleter {
  void operator()(FIBITMAP* dib) const { FreeImage_Unload(dib); }
};
using BitmapPtr = std::unique_ptr<FIBITMAP, BitmapDeleter>;

// The bitmap's pixels top row first, colour as R, G, B: the order they were encoded in.
std::vector<std::uint8_t> FileOrder(FIBITMAP* dib, int channels) {
  std::vector<std::uint8_t> out;
  const unsigned width = FreeImage_GetWidth(dib), height = FreeImage_GetHeight(dib);
  out.reserve(std::size_t(width) * height * unsigned(channels));
  for (unsigned y = height; y-- > 0;) {
    const BYTE* line = FreeImage_GetScanLine(dib, int(y));
    for (unsigned x = 0; x < width; ++x)
      for (int k = 0; k < channels; ++k)
        out.push_back(line[x * unsigned(channels) + unsigned(channels == 3 ? 2 - k : k)]);
  }
  return out;
}

std::string Tag(FIBITMAP* dib, FREE_IMAGE_MDMODEL model, const char* key) {
  FITAG* tag = nullptr;
  if (!FreeImage_GetMetadata(model, dib, key, &tag) || !tag) return "(none)";
  return std::string(static_cast<const char*>(FreeImage_GetTagValue(tag)),
                     FreeImage_GetTagLength(tag));
}

FIBITMAP* ThroughLibpngWhenDeclined(const QByteArray& file) {
  int bits = 0;
  QString error;
  return ur::DecodePng(reinterpret_cast<const unsigned char*>(file.constData()),
                       std::size_t(file.size()), ur::ExPngPaletteForm::eAlwaysAlpha, bits, error);
}

const unsigned char* Bytes(const QByteArray& file) {
  return reinterpret_cast<const unsigned char*>(file.constData());
}

// Small files in every combination, and a frame large enough to be inflated on a second thread
// while its rows are unfiltered.
std::vector<SxFileSpec> PlainFiles() {
  std::vector<SxFileSpec> specs;
  for (const int channels : {1, 3})
    for (const int filters : {PNG_FILTER_NONE, PNG_FILTER_SUB, PNG_FILTER_UP, PNG_FILTER_AVG,
                              PNG_FILTER_PAETH, PNG_ALL_FILTERS}) {
      for (const std::size_t idatBytes : {std::size_t(1) << 20, std::size_t(97)})
        for (const bool textAfterImage : {false, true}) {
          SxFileSpec spec{53, 29, channels, filters};
          spec.idatBytes = idatBytes;
          spec.textAfterImage = textAfterImage;
          specs.push_back(spec);
        }
      SxFileSpec frame{1100, 1000, channels, filters};
      frame.idatBytes = 8192;
      specs.push_back(frame);
    }
  return specs;
}

TEST(PngDirectReader, EveryFilterAndChunkingDecodesToTheEncodedSamplesAndTags) {
  for (const SxFileSpec& spec : PlainFiles()) {
    SCOPED_TRACE(testing::Message() << spec.width << "x" << spec.height << ", channels "
                                    << spec.channels << ", filters " << spec.filters
                                    << ", IDAT bytes " << spec.idatBytes << ", text after "
                                    << spec.textAfterImage);
    const std::vector<std::uint8_t> rows = Rows(spec);
    const QByteArray file = Encode(spec, rows);
    ASSERT_FALSE(file.isEmpty());
    const BitmapPtr dib(ur::detail::DecodePlainPng8(Bytes(file), std::size_t(file.size())));
    ASSERT_TRUE(dib);
    EXPECT_EQ(FreeImage_GetBPP(dib.get()), unsigned(8 * spec.channels));
    EXPECT_EQ(FileOrder(dib.get(), spec.channels), rows);
    EXPECT_EQ(Tag(dib.get(), FIMD_COMMENTS, "ZEL_MD"), "<zel levels=\"200\"/>");
    EXPECT_EQ(Tag(dib.get(), FIMD_COMMENTS, "Title"), "Gr\xC3\xBC\xC3\x9F" "e");
    EXPECT_EQ(Tag(dib.get(), FIMD_EXIF_MAIN, "DateTime"), "2022:11:30 23:59:60");
    EXPECT_EQ(FreeImage_GetDotsPerMeterX(dib.get()), 3780u);
    EXPECT_EQ(FreeImage_GetDotsPerMeterY(dib.get()), 2835u);
  }
}

TEST(PngDirectReader, DeclinesWhatOnlyLibpngReadsAndLibpngStillReadsIt) {
  SxFileSpec interlaced{41, 23};
  interlaced.interlace = PNG_INTERLACE_ADAM7;
  SxFileSpec compressedText{41, 23};
  compressedText.compressedText = true;
  for (const SxFileSpec& spec : {interlaced, compressedText}) {
    const std::vector<std::uint8_t> rows = Rows(spec);
    const QByteArray file = Encode(spec, rows);
    ASSERT_FALSE(file.isEmpty());
    EXPECT_EQ(ur::detail::DecodePlainPng8(Bytes(file), std::size_t(file.size())), nullptr);
    const BitmapPtr dib(ThroughLibpngWhenDeclined(file));
    ASSERT_TRUE(dib);
    EXPECT_EQ(FileOrder(dib.get(), 1), rows);
    EXPECT_EQ(Tag(dib.get(), FIMD_COMMENTS, "ZEL_MD"), "<zel levels=\"200\"/>");
  }
}

// The chunk at pos with its CRC made to fit its (changed) data again.
void FixCrc(QByteArray& file, int pos) {
  const auto length = int(qFromBigEndian<quint32>(file.constData() + pos));
  const std::uint32_t crc =
      libdeflate_crc32(0, file.constData() + pos + 4, std::size_t(length) + 4);
  qToBigEndian(crc, file.data() + pos + 8 + length);
}

TEST(PngDirectReader, BrokenImageDataWithIntactChunksIsDeclined) {
  for (const int width : {53, 1201}) {
    SxFileSpec spec{width, 1003};
    const QByteArray good = Encode(spec, Rows(spec));
    const int idat = good.indexOf("IDAT") - 4;
    ASSERT_GT(idat, 0);
    const auto length = int(qFromBigEndian<quint32>(good.constData() + idat));
    QByteArray flipped = good;  // a wrong bit in the middle: a bad code or a bad Adler-32
    flipped[idat + 8 + length / 2] = char(flipped[idat + 8 + length / 2] ^ 0x10);
    FixCrc(flipped, idat);
    QByteArray cut = good;  // the stream ends early, the chunks still add up
    cut.remove(idat + 8 + length / 2, length / 4);
    qToBigEndian(quint32(length - length / 4), cut.data() + idat);
    FixCrc(cut, idat);
    for (const QByteArray& file : {flipped, cut})
      EXPECT_EQ(ur::detail::DecodePlainPng8(Bytes(file), std::size_t(file.size())), nullptr)
          << width;
  }
}

TEST(PngDirectReader, DamagedFilesAreDeclinedAndRefusedWithAReason) {
  SxFileSpec spec{64, 32};
  spec.idatBytes = 200;
  const QByteArray good = Encode(spec, Rows(spec));
  const int idat = good.indexOf("IDAT");
  ASSERT_GT(idat, 0);
  QByteArray badCrc = good;
  badCrc[idat + 10] = char(badCrc[idat + 10] ^ 0x40);
  QByteArray hugeHeader = good;  // 2^20 x 32 pixels claimed, more than the file inflates to
  const char width[4] = {0, 0x10, 0, 0};
  hugeHeader.replace(16, 4, width, 4);
  for (const QByteArray& file : {badCrc, good.left(good.size() / 2), hugeHeader}) {
    EXPECT_EQ(ur::detail::DecodePlainPng8(Bytes(file), std::size_t(file.size())), nullptr);
    int bits = 0;
    QString error;
    EXPECT_EQ(ur::DecodePng(Bytes(file), std::size_t(file.size()),
                            ur::ExPngPaletteForm::eAlwaysAlpha, bits, error),
              nullptr);
    EXPECT_FALSE(error.isEmpty());
  }
}

}  // namespace
