// Every TIFF and PNG sample of the shared test data (external/tiff, external/png; facts in
// external/README.md) loads through the format manager with the size, channels, data type and
// bit depth it holds. What the README does not state (the largest sample of a 16-bit file, the
// colours of a palette) is worked out here with libtiff, Qt's PNG reader or by reading the PNG
// chunks, never with the loaders under test.

#include <ur/buffers.h>
#include <ur/format_manager.h>
#include <ur/image_data.h>

#include <zel_testing/image_builder.h>
#include <zel_testing/printers.h>
#include <zel_testing/test_data.h>

#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QRgba64>
#include <QtEndian>

#include <tiffio.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

using ur::ScopedImageBuf;

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using Tiff = std::unique_ptr<TIFF, TiffCloser>;

enum class Colour { Grey, Rgb, Palette };

// The README's facts of one file.
struct SampleFile {
  const char* path;  // below external/
  int width;
  int height;
  int samples;  // stored samples per pixel
  int bits;     // stored bits per sample
  Colour colour;
  int frames;  // frames of equal size (TIFF pages)
};

const SampleFile kTiffFiles[] = {
    {"tiff/libtiff_minisblack-1c-16b.tiff", 157, 151, 1, 16, Colour::Grey, 1},
    {"tiff/libtiff_rgb-3c-8b.tiff", 157, 151, 3, 8, Colour::Rgb, 1},
    {"tiff/libtiff_rgb-3c-16b.tiff", 157, 151, 3, 16, Colour::Rgb, 1},
    {"tiff/libtiff_palette-1c-8b.tiff", 157, 151, 1, 8, Colour::Palette, 1},
    {"tiff/pillow_hopper_lzw.tif", 128, 128, 3, 8, Colour::Rgb, 1},
    {"tiff/pillow_copyleft_packbits.tiff", 220, 220, 3, 8, Colour::Rgb, 1},
    // Three pages of 10x10, 10x10 and 20x20: the third is no frame of the first's size.
    {"tiff/pillow_multipage-mmap.tiff", 10, 10, 1, 8, Colour::Palette, 2},
    {"tiff/pillow_16bit.MM.cropped.tif", 64, 64, 1, 16, Colour::Grey, 1},
    {"tiff/pillow_12bit.cropped.tif", 100, 100, 1, 12, Colour::Grey, 1},
    {"tiff/pillow_tiff_tiled_planar_16bit_RGB.tiff", 100, 40, 3, 16, Colour::Rgb, 1},
};

const SampleFile kPngFiles[] = {
    {"png/pngsuite_basn0g16.png", 32, 32, 1, 16, Colour::Grey, 1},
    {"png/pngsuite_basn0g08.png", 32, 32, 1, 8, Colour::Grey, 1},
    {"png/pngsuite_basn3p08.png", 32, 32, 1, 8, Colour::Palette, 1},
    {"png/pngsuite_basn2c16.png", 32, 32, 3, 16, Colour::Rgb, 1},
    {"png/pngsuite_basn2c08.png", 32, 32, 3, 8, Colour::Rgb, 1},
    {"png/imagepng_lorem_ipsum_palette_grey.png", 935, 534, 1, 8, Colour::Palette, 1},
    {"png/halide_bayer_small_16bit_mosaic.png", 256, 344, 1, 16, Colour::Grey, 1},
};

void PrintTo(const SampleFile& f, std::ostream* os) { *os << f.path; }

QString SamplePath(const SampleFile& f) {
  return zel::testing::TestDataPath(QStringLiteral("external/") + QLatin1String(f.path));
}

std::string TestName(const ::testing::TestParamInfo<SampleFile>& info) {
  std::string name = info.param.path;
  name = name.substr(name.find('/') + 1);
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

// Bits needed for the largest sample (at least 1).
int BitsFor(std::uint32_t largest) {
  int bits = 1;
  while (bits < 32 && (largest >> bits) != 0) ++bits;
  return bits;
}

// --- libtiff's view of a TIFF file -----------------------------------------------------------

Tiff OpenTiff(const QString& path) {
  return Tiff(TIFFOpen(QFile::encodeName(path).constData(), "r"));
}

// The largest 16-bit sample of the first page, decoded strip by strip or tile by tile; padding
// beyond the page's edges is left out.
std::uint16_t LargestSixteenBitSample(TIFF* tif) {
  std::uint32_t width = 0, height = 0;
  std::uint16_t samples = 1, planar = PLANARCONFIG_CONTIG;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  const int perPixel = planar == PLANARCONFIG_CONTIG ? samples : 1;
  const int planes = planar == PLANARCONFIG_CONTIG ? 1 : samples;
  std::uint16_t largest = 0;
  const auto scan = [&](const std::vector<std::uint16_t>& block, std::uint32_t blockWidth,
                        std::uint32_t columns, std::uint32_t rows) {
    for (std::uint32_t r = 0; r < rows; ++r)
      for (std::uint32_t i = 0; i < columns * perPixel; ++i)
        largest = std::max(largest, block[std::size_t(r) * blockWidth * perPixel + i]);
  };
  if (TIFFIsTiled(tif)) {
    std::uint32_t tw = 0, tl = 0;
    TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw);
    TIFFGetField(tif, TIFFTAG_TILELENGTH, &tl);
    std::vector<std::uint16_t> tile(std::size_t(TIFFTileSize(tif)) / 2);
    for (int p = 0; p < planes; ++p)
      for (std::uint32_t y = 0; y < height; y += tl)
        for (std::uint32_t x = 0; x < width; x += tw) {
          EXPECT_GE(TIFFReadEncodedTile(tif, TIFFComputeTile(tif, x, y, 0, std::uint16_t(p)),
                                        tile.data(), -1),
                    0);
          scan(tile, tw, std::min(tw, width - x), std::min(tl, height - y));
        }
  } else {
    std::uint32_t rowsPerStrip = height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
    rowsPerStrip = std::min(rowsPerStrip, height);
    std::vector<std::uint16_t> strip(std::size_t(TIFFStripSize(tif)) / 2);
    const std::uint32_t stripsPerPlane = (height + rowsPerStrip - 1) / rowsPerStrip;
    for (int p = 0; p < planes; ++p)
      for (std::uint32_t s = 0; s < stripsPerPlane; ++s) {
        EXPECT_GE(TIFFReadEncodedStrip(tif, p * stripsPerPlane + s, strip.data(), -1), 0);
        scan(strip, width, width, std::min(rowsPerStrip, height - s * rowsPerStrip));
      }
  }
  return largest;
}

bool IsGreyColourMap(TIFF* tif, int bits) {
  std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
  EXPECT_TRUE(TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b));
  if (!r) return false;
  for (int i = 0; i < (1 << bits); ++i)
    if (r[i] != g[i] || g[i] != b[i]) return false;
  return true;
}

struct Expected {
  int channels = 0;
  ur::ExImageDataType dataType = ur::eImageDataUnknown;
  int bitDepth = 0;
};

ur::ExImageDataType TypeForBits(int bits) {
  return bits <= 8 ? ur::eImageDataUInt8 : ur::eImageDataUInt16;
}

// A palette is expanded to colour unless all its entries are grey; 16-bit files report the
// bits of their largest sample, others the stored bits (or a smaller MaxSampleValue's).
Expected ExpectedForTiff(const SampleFile& f, TIFF* tif) {
  Expected e;
  e.dataType = TypeForBits(f.bits);
  e.channels = f.samples;
  e.bitDepth = f.bits;
  if (f.colour == Colour::Palette) {
    e.channels = IsGreyColourMap(tif, f.bits) ? 1 : 3;
    e.bitDepth = 8;
  } else if (f.bits == 16) {
    e.bitDepth = BitsFor(LargestSixteenBitSample(tif));
  } else {
    std::uint16_t maxSample = 0;
    if (TIFFGetField(tif, TIFFTAG_MAXSAMPLEVALUE, &maxSample) && maxSample < (1u << f.bits))
      e.bitDepth = BitsFor(maxSample);
  }
  return e;
}

// --- Qt's and the chunks' view of a PNG file -------------------------------------------------

std::uint32_t LargestPngSample(const QImage& image) {
  std::uint32_t largest = 0;
  for (int y = 0; y < image.height(); ++y) {
    if (image.format() == QImage::Format_Grayscale16) {
      const auto* row = reinterpret_cast<const quint16*>(image.constScanLine(y));
      for (int x = 0; x < image.width(); ++x) largest = std::max<std::uint32_t>(largest, row[x]);
    } else {
      const auto* row = reinterpret_cast<const QRgba64*>(image.constScanLine(y));
      for (int x = 0; x < image.width(); ++x)
        largest = std::max<std::uint32_t>({largest, row[x].red(), row[x].green(), row[x].blue()});
    }
  }
  return largest;
}

// True when every entry of the PLTE chunk is grey (red = green = blue). The FreeImage loader
// reads such a palette as one channel of its grey levels (a strict reading accepts only the grey ramp,
// entry i = (i, i, i); an all-grey palette in another order is grey all the same) and expands
// any other palette to 8-bit B, G, R, A.
bool PaletteIsGrey(const QString& path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  constexpr int kSignatureBytes = 8;
  for (int at = kSignatureBytes; at + 8 <= bytes.size();) {
    const quint32 length = qFromBigEndian<quint32>(bytes.constData() + at);
    const QByteArray type = bytes.mid(at + 4, 4);
    if (type == "PLTE") {
      const auto* entries = reinterpret_cast<const unsigned char*>(bytes.constData() + at + 8);
      for (quint32 i = 0; i < length / 3; ++i)
        if (entries[3 * i] != entries[3 * i + 1] || entries[3 * i + 1] != entries[3 * i + 2])
          return false;
      return true;
    }
    at += 12 + int(length);
  }
  ADD_FAILURE() << "no PLTE chunk";
  return false;
}

Expected ExpectedForPng(const SampleFile& f, const QString& path) {
  Expected e;
  e.dataType = TypeForBits(f.bits);
  e.channels = f.samples;
  e.bitDepth = f.bits;
  if (f.colour == Colour::Palette) e.channels = PaletteIsGrey(path) ? 1 : 4;
  if (f.bits == 16) {
    const QImage image(path);
    EXPECT_FALSE(image.isNull());
    e.bitDepth = BitsFor(LargestPngSample(image));
  }
  return e;
}

void ExpectLoadedAs(const QString& path, const SampleFile& f, const Expected& e,
                    ScopedImageBuf& image) {
  ur::SxImageBuf buf;
  const bool loaded = ur::CxImageFormatManager::instance()->loadImageFromFile(path, buf, nullptr);
  image = ScopedImageBuf(buf);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(image->width, f.width);
  EXPECT_EQ(image->height, f.height);
  EXPECT_EQ(image->channels, e.channels);
  EXPECT_EQ(image->dataType, e.dataType);
  EXPECT_EQ(image->bitDepth, e.bitDepth);
  EXPECT_EQ(image->planar, 0);
}

class SampleTiff : public ::testing::TestWithParam<SampleFile> {
protected:
  static void SetUpTestSuite() { ur::LoadFormatPlugins(); }
};

TEST_P(SampleTiff, LoadsWithTheStatedLayoutAndLibtiffsColours) {
  const SampleFile& f = GetParam();
  const QString path = SamplePath(f);
  ZEL_REQUIRE_TESTDATA(path);
  const Tiff tif = OpenTiff(path);
  ASSERT_TRUE(tif);
  const Expected expected = ExpectedForTiff(f, tif.get());
  ScopedImageBuf image;
  ExpectLoadedAs(path, f, expected, image);
  if (HasFatalFailure()) return;

  // libtiff's own RGBA reader as the reference for the colours (within one level for 16-bit
  // samples, which it reduces to 8 bits); it has no reader for 12-bit samples.
  if (f.bits == 12) return;
  TIFFSetDirectory(tif.get(), 0);
  std::vector<std::uint32_t> rgba(std::size_t(f.width) * f.height);
  ASSERT_TRUE(TIFFReadRGBAImageOriented(tif.get(), std::uint32_t(f.width), std::uint32_t(f.height),
                                        rgba.data(), ORIENTATION_TOPLEFT, 1));
  const int shift = f.bits == 16 ? 8 : 0;
  const int tolerance = f.bits == 16 ? 1 : 0;
  int mismatches = 0;
  for (int y = 0; y < f.height; ++y)
    for (int x = 0; x < f.width; ++x) {
      const std::uint32_t ref = rgba[std::size_t(y) * f.width + x];
      const int want[3] = {int(TIFFGetR(ref)), int(TIFFGetG(ref)), int(TIFFGetB(ref))};
      for (int c = 0; c < expected.channels; ++c) {
        // 8-bit colour is B, G, R in memory; 16-bit colour R, G, B; grey compares with red.
        const int logical = expected.channels == 1 ? 0 : (f.bits == 8 ? 2 - c : c);
        int got = 0;
        if (f.bits == 8)
          got = zel::testing::SampleAt<std::uint8_t>(image.get(), x, y, c);
        else
          got = zel::testing::SampleAt<std::uint16_t>(image.get(), x, y, c) >> shift;
        if (std::abs(got - want[logical]) > tolerance && ++mismatches <= 5)
          ADD_FAILURE() << "pixel (" << x << ", " << y << ") channel " << c << ": " << got
                        << " instead of " << want[logical];
      }
    }
  EXPECT_EQ(mismatches, 0);
}

TEST_P(SampleTiff, ListsItsFramesOfTheFirstPagesSize) {
  const SampleFile& f = GetParam();
  const QString path = SamplePath(f);
  ZEL_REQUIRE_TESTDATA(path);
  auto loader = ur::CxImageFormatManager::instance()->createLoader(path);
  ASSERT_TRUE(loader);
  EXPECT_EQ(loader->frameCount(), f.frames);
  const std::unique_ptr<ur::CxImageData> last(loader->imageData(f.frames - 1));
  ASSERT_TRUE(last);
  EXPECT_EQ(last->image().width, f.width);
  EXPECT_EQ(last->image().height, f.height);
}

INSTANTIATE_TEST_SUITE_P(External, SampleTiff, ::testing::ValuesIn(kTiffFiles), TestName);

// PNG files go through the FreeImage loader.
class SamplePng : public ::testing::TestWithParam<SampleFile> {
protected:
  static void SetUpTestSuite() { ur::LoadFormatPlugins(); }
};

TEST_P(SamplePng, LoadsWithTheStatedLayout) {
  const SampleFile& f = GetParam();
  const QString path = SamplePath(f);
  ZEL_REQUIRE_TESTDATA(path);
  ScopedImageBuf image;
  ExpectLoadedAs(path, f, ExpectedForPng(f, path), image);
}

INSTANTIATE_TEST_SUITE_P(External, SamplePng, ::testing::ValuesIn(kPngFiles), TestName);

}  // namespace
