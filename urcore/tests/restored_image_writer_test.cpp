// 16-bit grey images (the raw images restored from ZEL images) are written as PNG and TIFF by
// our own encoders; these tests read the files back with our reader, FreeImage, libtiff and
// pngcheck.

#include <ur/buffers.h>
#include <ur/image.h>

#include <zel_testing/image_builder.h>

#include <gtest/gtest.h>

#include <tiffio.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace {

using ur::CxImage;
using ur::ScopedImageBuf;
using ur::SxImageBuf;
namespace rc = ur::rc;

struct Shape {
  int width;
  int height;
};

// Random samples of all 16 bits, so both bytes of every filter difference wrap around.
std::vector<std::uint16_t> RandomSamples(const Shape& shape) {
  std::mt19937 random(7);
  std::vector<std::uint16_t> samples(std::size_t(shape.width) * std::size_t(shape.height));
  for (std::uint16_t& s : samples) s = std::uint16_t(random());
  return samples;
}

ScopedImageBuf Image(const Shape& shape, const std::vector<std::uint16_t>& samples) {
  zel::testing::ImageShape image;
  image.width = shape.width;
  image.height = shape.height;
  image.padBytes = 6;
  return zel::testing::MakeImage<std::uint16_t>(image, samples);
}

// The samples of a loaded image in its buffer's row order, empty when it is no 16-bit grey
// image of the shape.
std::vector<std::uint16_t> LoadedSamples(const QString& path, const Shape& shape) {
  CxImage loaded;
  SxImageBuf buf;
  if (loaded.load(path) != rc::Ok || loaded.getImageBuf(buf) != rc::Ok) return {};
  if (buf.width != shape.width || buf.height != shape.height || buf.channels != 1 ||
      buf.dataType != ur::eImageDataUInt16)
    return {};
  return zel::testing::Samples<std::uint16_t>(buf);
}

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};

// The samples as libtiff reads them, top row first (the buffer's last row), with the tags a
// reader needs checked.
std::vector<std::uint16_t> LibtiffSamples(const QString& path) {
  const std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpen(QFile::encodeName(path).constData(), "r"));
  if (!tif) return {};
  std::uint32_t width = 0, height = 0;
  std::uint16_t bits = 0, samplesPerPixel = 0, photometric = 0;
  TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
  TIFFGetField(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetField(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
  TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric);
  EXPECT_EQ(bits, 16);
  EXPECT_EQ(samplesPerPixel, 1);
  EXPECT_EQ(photometric, PHOTOMETRIC_MINISBLACK);
  std::vector<std::uint16_t> samples(std::size_t(width) * height);
  for (std::uint32_t y = 0; y < height; ++y)
    if (TIFFReadScanline(tif.get(), samples.data() + std::size_t(width) * y, y) < 0) return {};
  return samples;
}

std::vector<std::uint16_t> RowsReversed(const std::vector<std::uint16_t>& samples, int width) {
  std::vector<std::uint16_t> out;
  for (std::size_t end = samples.size(); end > 0; end -= std::size_t(width))
    out.insert(out.end(), samples.begin() + std::ptrdiff_t(end) - width,
               samples.begin() + std::ptrdiff_t(end));
  return out;
}

TEST(RestoredImageWriter, SixteenBitPngAndTiffReadBackExactlyElsewhereToo) {
  QTemporaryDir dir;
  // Odd sizes, a single column, and a frame large enough for two compressing threads.
  for (const Shape shape : {Shape{37, 11}, Shape{1, 9}, Shape{9, 1}, Shape{1201, 1003}}) {
    const std::vector<std::uint16_t> samples = RandomSamples(shape);
    const ScopedImageBuf source = Image(shape, samples);
    SCOPED_TRACE(testing::Message() << shape.width << "x" << shape.height);

    for (const int level : {-1, 0, 9}) {
      const QString png = dir.filePath(QStringLiteral("restored%1.png").arg(level));
      ASSERT_EQ(CxImage::saveBufferToFile(source.get(), png, CxImage::SxSaveParams{100, level}),
                rc::Ok);
      EXPECT_EQ(LoadedSamples(png, shape), samples) << "level " << level;
    }
    const QString tif = dir.filePath(QStringLiteral("restored.tif"));
    ASSERT_EQ(CxImage::saveBufferToFile(source.get(), tif), rc::Ok);
    EXPECT_EQ(LoadedSamples(tif, shape), samples);
    EXPECT_EQ(LibtiffSamples(tif), RowsReversed(samples, shape.width));

    if (QStandardPaths::findExecutable(QStringLiteral("pngcheck")).isEmpty()) continue;
    QProcess pngcheck;
    pngcheck.start(QStringLiteral("pngcheck"), {dir.filePath(QStringLiteral("restored-1.png"))});
    ASSERT_TRUE(pngcheck.waitForFinished(60000));
    EXPECT_EQ(pngcheck.exitCode(), 0) << pngcheck.readAllStandardOutput().constData();
  }
}

}  // namespace
