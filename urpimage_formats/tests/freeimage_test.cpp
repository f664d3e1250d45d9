// Tests of the FreeImage loader and saver of urpimage_formats, through the format
// manager and, where the manager would pick the TIFF classes, through the classes themselves.

#include <ur/channels.h>
#include <ur/common_image_metadata.h>
#include <ur/data_loader.h>
#include <ur/data_saver.h>
#include <ur/format_manager.h>
#include <ur/image_data.h>
#include <ur/rtti.h>

#include <zel_testing/log_capture.h>
#include <zel_testing/image_builder.h>
#include <zel_testing/printers.h>
#include <zel_testing/test_data.h>

#include <tiffio.h>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPoint>
#include <QLabel>
#include <QSlider>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

using zel::testing::ImageShape;
using zel::testing::MakeImage;
using zel::testing::SampleAt;
using zel::testing::Samples;

const QString kLoaderClass = QStringLiteral("ur::CxFreeImageLoader");
const QString kSaverClass = QStringLiteral("ur::CxFreeImageSaver");

using zel::testing::LogCapture;

class FreeImageFormats : public ::testing::Test {
protected:
  static void SetUpTestSuite() { ur::LoadFormatPlugins(); }

  void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

  QString path(const QString& name) const { return m_dir.filePath(name); }

  static std::unique_ptr<ur::IxImageDataLoader> loader() {
    return std::unique_ptr<ur::IxImageDataLoader>(
        ur::CxRtti::instance()->create<ur::IxImageDataLoader>(kLoaderClass));
  }
  static std::unique_ptr<ur::IxImageDataSaver> saver() {
    return std::unique_ptr<ur::IxImageDataSaver>(
        ur::CxRtti::instance()->create<ur::IxImageDataSaver>(kSaverClass));
  }

  // Loads a file with the FreeImage loader itself; null when it fails.
  static std::unique_ptr<ur::CxImageData> loadDirect(const QString& file) {
    auto l = loader();
    if (!l) return nullptr;
    l->setFilename(file);
    if (!l->open()) return nullptr;
    return std::unique_ptr<ur::CxImageData>(l->imageData(0));
  }

  static std::unique_ptr<ur::CxImageData> imageData(const ur::SxImageBuf& buf,
                                                    const ur::CxMetadata& metadata = {}) {
    auto data = std::make_unique<ur::CxImageData>();
    EXPECT_TRUE(data->setImage(buf, QDateTime::currentDateTime()));
    data->setMetadata(metadata);
    return data;
  }

  // Saves with the FreeImage saver itself.
  static bool saveDirect(const QString& file, const ur::SxImageBuf& buf,
                         const ur::SaveOptions& options = {}) {
    auto s = saver();
    if (!s) return false;
    s->setFilename(file);
    s->setOptions(options);
    const auto data = imageData(buf);
    return s->saveImageData(data.get(), 0);
  }

  static ur::CxImageFormatManager* manager() { return ur::CxImageFormatManager::instance(); }

  QTemporaryDir m_dir;
};

// Byte 24 of a PNG file: the bit depth in its IHDR chunk.
int PngBitDepth(const QString& file) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly)) return -1;
  const QByteArray head = f.read(25);
  return head.size() == 25 ? int(std::uint8_t(head[24])) : -1;
}

// An asymmetric test image: sample (x, y, c) differs across rows, columns and channels.
template <typename T>
ur::ScopedImageBuf Pattern(int width, int height, int channels, int bitDepth, int padBytes = 0) {
  std::vector<T> samples;
  const unsigned top = (1u << bitDepth) - 1u;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < channels; ++c)
        samples.push_back(
            T((unsigned(y) * 53u + unsigned(x) * 17u + unsigned(c) * 91u + 7u) % (top + 1u)));
  ImageShape shape;
  shape.width = width;
  shape.height = height;
  shape.channels = channels;
  shape.bitDepth = bitDepth;
  shape.padBytes = padBytes;
  return MakeImage<T>(shape, samples);
}

// ---------------------------------------------------------------------------------------------
// Registration and format lists

TEST_F(FreeImageFormats, ClassesAreRegisteredWithTheirFormatLists) {
  auto l = loader();
  auto s = saver();
  ASSERT_TRUE(l);
  ASSERT_TRUE(s);
  EXPECT_EQ(ur::CxRtti::instance()->customName(kLoaderClass), QStringLiteral("FreeImage Loader"));
  EXPECT_EQ(ur::CxRtti::instance()->customName(kSaverClass), QStringLiteral("FreeImage Saver"));

  QStringList loaderFilters, saverFilters;
  for (const ur::SxFileFormat& f : l->fileFormats()) {
    loaderFilters << f.filter;
    EXPECT_EQ(f.flags, 1);
  }
  for (const ur::SxFileFormat& f : s->fileFormats()) saverFilters << f.filter;
  EXPECT_EQ(loaderFilters,
            (QStringList{"JPEG (*.jpg)", "JPEG (*.jpeg)", "JPEG 2000 (*.jp2)", "PNG (*.png)",
                         "GIF (*.gif)", "TIFF (*.tif)", "BMP (*.bmp)", "Canon RAW (*.CR2)"}));
  EXPECT_EQ(saverFilters, (QStringList{"JPEG (*.jpg)", "JPEG (*.jpeg)", "JPEG 2000 (*.jp2)",
                                       "PNG (*.png)", "TIFF (*.tif)", "BMP (*.bmp)"}));
  EXPECT_TRUE(l->supportsLoadFromBuffer());
  EXPECT_TRUE(s->supportsSaveToBuffer());
  EXPECT_EQ(l->frameCount(), 1);
  EXPECT_FALSE(l->isOpen());
  EXPECT_EQ(l->imageData(0), nullptr);
}

// ---------------------------------------------------------------------------------------------
// Loading sample files made by others

TEST_F(FreeImageFormats, GreyPalettePngLoadsAsOneChannelOfGreyLevels) {
  const QString file =
      zel::testing::TestDataPath("external/png/imagepng_lorem_ipsum_palette_grey.png");
  ZEL_REQUIRE_TESTDATA(file);
  // Its palette runs from white down to black, so the grey levels are not the indices.
  ur::SxImageBuf buf;
  ASSERT_TRUE(manager()->loadImageFromFile(file, buf, nullptr));
  ur::ScopedImageBuf owned(buf);
  EXPECT_EQ(buf.width, 935);
  EXPECT_EQ(buf.height, 534);
  EXPECT_EQ(buf.channels, 1);
  EXPECT_EQ(buf.dataType, ur::eImageDataUInt8);
  EXPECT_EQ(buf.bitDepth, 8);
  // Reference values decoded from the file independently.
  EXPECT_EQ(SampleAt<std::uint8_t>(buf, 0, 0), 255);
  EXPECT_EQ(SampleAt<std::uint8_t>(buf, 100, 20), 43);
  EXPECT_EQ(SampleAt<std::uint8_t>(buf, 114, 11), 35);
}

TEST_F(FreeImageFormats, ColourPalettePngLoadsAsFourChannelsTopRowFirst) {
  const QString file = zel::testing::TestDataPath("external/png/pngsuite_basn3p08.png");
  ZEL_REQUIRE_TESTDATA(file);
  ur::SxImageBuf buf;
  ASSERT_TRUE(manager()->loadImageFromFile(file, buf, nullptr));
  ur::ScopedImageBuf owned(buf);
  ASSERT_EQ(buf.channels, 4);
  EXPECT_EQ(buf.dataType, ur::eImageDataUInt8);
  EXPECT_EQ(buf.width, 32);
  EXPECT_EQ(buf.height, 32);
  // Memory order B, G, R, A. Row 0 is near black, row 31 near white; (0, 20) is red and
  // (24, 20) blue in the file.
  const auto px = [&](int x, int y) {
    return std::vector<int>{
        SampleAt<std::uint8_t>(buf, x, y, 0), SampleAt<std::uint8_t>(buf, x, y, 1),
        SampleAt<std::uint8_t>(buf, x, y, 2), SampleAt<std::uint8_t>(buf, x, y, 3)};
  };
  EXPECT_EQ(px(0, 0), (std::vector<int>{0, 0, 1, 255}));
  EXPECT_EQ(px(0, 31), (std::vector<int>{254, 254, 255, 255}));
  EXPECT_EQ(px(0, 20), (std::vector<int>{68, 68, 255, 255}));
  EXPECT_EQ(px(24, 20), (std::vector<int>{255, 68, 68, 255}));
}

TEST_F(FreeImageFormats, SixteenBitPngLoadsWithTheDepthOfItsLargestSample) {
  const QString file =
      zel::testing::TestDataPath("external/png/halide_bayer_small_16bit_mosaic.png");
  ZEL_REQUIRE_TESTDATA(file);
  ur::SxImageBuf buf;
  ASSERT_TRUE(manager()->loadImageFromFile(file, buf, nullptr));
  ur::ScopedImageBuf owned(buf);
  EXPECT_EQ(buf.channels, 1);
  EXPECT_EQ(buf.dataType, ur::eImageDataUInt16);
  EXPECT_EQ(buf.bitDepth, 11);  // values 0..1053

  // A 16-bit PNG holding 12-bit data.
  auto twelve = Pattern<std::uint16_t>(7, 5, 1, 12);
  reinterpret_cast<std::uint16_t*>(ur::RowPtr(twelve.get(), 2))[3] = 4095;
  twelve->bitDepth = 16;
  ASSERT_TRUE(manager()->saveImageToFile(path("twelve.png"), twelve.get()));
  EXPECT_EQ(PngBitDepth(path("twelve.png")), 16);
  ur::SxImageBuf back;
  ASSERT_TRUE(manager()->loadImageFromFile(path("twelve.png"), back, nullptr));
  ur::ScopedImageBuf ownedBack(back);
  EXPECT_EQ(back.bitDepth, 12);
}

// ---------------------------------------------------------------------------------------------
// PNG round trips: every pixel, row order and channel order

template <typename T>
void ExpectPngRoundTrip(const QString& file, int channels, int bitDepth) {
  SCOPED_TRACE(file.toStdString());
  auto src = Pattern<T>(7, 5, channels, bitDepth, /*padBytes=*/6);
  auto* manager = ur::CxImageFormatManager::instance();
  ASSERT_TRUE(manager->saveImageToFile(file, src.get()));
  EXPECT_EQ(PngBitDepth(file), int(sizeof(T) * 8));

  ur::SxImageBuf back;
  ASSERT_TRUE(manager->loadImageFromFile(file, back, nullptr));
  ur::ScopedImageBuf owned(back);
  EXPECT_EQ(back.width, 7);
  EXPECT_EQ(back.height, 5);
  EXPECT_EQ(back.channels, channels);
  EXPECT_EQ(back.dataType, src->dataType);
  EXPECT_EQ(Samples<T>(back), Samples<T>(src.get()));

  // The file read by Qt's own PNG reader: the top-left and bottom-right pixels of the picture,
  // red first, are the buffer's first and last pixels in the framework's channel order.
  const QImage image(file);
  ASSERT_FALSE(image.isNull());
  const int red = channels == 1 ? 0 : ur::ChannelIndexLogicalToPhysical(0, src.get());
  const int blue = channels == 1 ? 0 : ur::ChannelIndexLogicalToPhysical(2, src.get());
  for (const QPoint p : {QPoint(0, 0), QPoint(6, 4)}) {
    const QRgba64 colour = image.pixelColor(p).rgba64();
    const int fileRed = sizeof(T) == 1 ? colour.red8() : colour.red();
    const int fileBlue = sizeof(T) == 1 ? colour.blue8() : colour.blue();
    EXPECT_EQ(fileRed, SampleAt<T>(src.get(), p.x(), p.y(), red)) << p.x() << "," << p.y();
    EXPECT_EQ(fileBlue, SampleAt<T>(src.get(), p.x(), p.y(), blue)) << p.x() << "," << p.y();
  }
}

TEST_F(FreeImageFormats, PngRoundTripsKeepEveryPixel) {
  ExpectPngRoundTrip<std::uint8_t>(path("grey8.png"), 1, 8);
  ExpectPngRoundTrip<std::uint8_t>(path("rgb8.png"), 3, 8);
  ExpectPngRoundTrip<std::uint8_t>(path("rgba8.png"), 4, 8);
  ExpectPngRoundTrip<std::uint16_t>(path("grey16.png"), 1, 16);
  ExpectPngRoundTrip<std::uint16_t>(path("rgb16.png"), 3, 16);
  ExpectPngRoundTrip<std::uint16_t>(path("rgba16.png"), 4, 16);
}

// A common image record with every field set, and its check after a round trip.
ur::CxMetadata SampleMetadata() {
  ur::CxMetadata metadata;
  auto record = std::make_unique<ur::CxCommonImageMetadata>();
  record->dataType = ur::eImageDataUInt16;
  record->bitDepth = 14;
  record->bayerGrid = ur::eBayerGRBG;
  record->cameraMake = QStringLiteral("Maker");
  record->cameraModel = QStringLiteral("Model 7");
  record->author = QStringLiteral("Ann Author");
  record->software = QStringLiteral("ZEL tests");
  record->copyright = QStringLiteral("(c) nobody");
  record->description = QStringLiteral("a <tagged> & quoted \"text\"");
  record->dateTime = QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7));
  record->exposureTime = 0.125;
  record->aperture = 2.5;
  record->fNumber = 2.8;
  record->iso = 400;
  record->whiteBalance = 1;
  metadata.addItem(std::move(record));
  return metadata;
}

void ExpectSampleRecord(const ur::CxMetadata& loaded, ur::ExImageDataType writtenType) {
  const auto* r = loaded.find<ur::CxCommonImageMetadata>();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->dataType, writtenType);  // the saver records what it wrote
  EXPECT_EQ(r->bitDepth, 14);
  EXPECT_EQ(r->bayerGrid, ur::eBayerGRBG);
  EXPECT_EQ(r->cameraMake, QStringLiteral("Maker"));
  EXPECT_EQ(r->cameraModel, QStringLiteral("Model 7"));
  EXPECT_EQ(r->author, QStringLiteral("Ann Author"));
  EXPECT_EQ(r->software, QStringLiteral("ZEL tests"));
  EXPECT_EQ(r->copyright, QStringLiteral("(c) nobody"));
  EXPECT_EQ(r->description, QStringLiteral("a <tagged> & quoted \"text\""));
  EXPECT_EQ(r->dateTime, QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7)));
  EXPECT_DOUBLE_EQ(r->exposureTime, 0.125);
  EXPECT_DOUBLE_EQ(r->aperture, 2.5);
  EXPECT_DOUBLE_EQ(r->fNumber, 2.8);
  EXPECT_EQ(r->iso, 400);
  EXPECT_EQ(r->whiteBalance, 1);
}

TEST_F(FreeImageFormats, PngKeepsTheMetadataRecord) {
  auto src = Pattern<std::uint16_t>(6, 4, 1, 10);
  const ur::CxMetadata metadata = SampleMetadata();
  ASSERT_TRUE(manager()->saveImageToFile(path("meta.png"), src.get(), &metadata));
  ur::SxImageBuf back;
  ur::CxMetadata loaded;
  ASSERT_TRUE(manager()->loadImageFromFile(path("meta.png"), back, &loaded));
  ur::ScopedImageBuf owned(back);
  EXPECT_EQ(back.bitDepth, 14);  // the record's depth is larger than the samples show
  EXPECT_EQ(Samples<std::uint16_t>(back), Samples<std::uint16_t>(src.get()));
  ExpectSampleRecord(loaded, ur::eImageDataUInt16);
}

TEST_F(FreeImageFormats, JpegTiffAndGifKeepTheMetadataRecord) {
  const ur::CxMetadata metadata = SampleMetadata();
  auto grey16 = Pattern<std::uint16_t>(6, 4, 1, 10);
  {
    SCOPED_TRACE("jpg");  // written as 8 bits: the record's depth 14 no longer fits
    ASSERT_TRUE(manager()->saveImageToFile(path("meta.jpg"), grey16.get(), &metadata));
    ur::SxImageBuf back;
    ur::CxMetadata loaded;
    ASSERT_TRUE(manager()->loadImageFromFile(path("meta.jpg"), back, &loaded));
    ur::ScopedImageBuf owned(back);
    EXPECT_EQ(back.bitDepth, 8);
    ExpectSampleRecord(loaded, ur::eImageDataUInt8);
  }
  {
    SCOPED_TRACE("tif");
    auto s = saver();
    s->setFilename(path("meta.tif"));
    const auto data = imageData(grey16.get(), metadata);
    ASSERT_TRUE(s->saveImageData(data.get(), 0));
    const auto back = loadDirect(path("meta.tif"));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->image().bitDepth, 14);
    EXPECT_EQ(Samples<std::uint16_t>(back->image()), Samples<std::uint16_t>(grey16.get()));
    ExpectSampleRecord(back->metadata(), ur::eImageDataUInt16);

    QByteArray tiff;  // the same through memory
    ASSERT_TRUE(s->saveToBuffer(data.get(), tiff, QStringLiteral("tiff"), 0));
    auto l = loader();
    l->setBuffer(tiff, QString());
    ASSERT_TRUE(l->open());
    std::unique_ptr<ur::CxImageData> fromMemory(l->imageData(0));
    ASSERT_TRUE(fromMemory);
    EXPECT_EQ(Samples<std::uint16_t>(fromMemory->image()), Samples<std::uint16_t>(grey16.get()));
    ExpectSampleRecord(fromMemory->metadata(), ur::eImageDataUInt16);
  }
  {
    SCOPED_TRACE("gif");
    auto grey8 = Pattern<std::uint8_t>(6, 4, 1, 8);
    const auto data = imageData(grey8.get(), metadata);
    QByteArray gif;
    ASSERT_TRUE(saver()->saveToBuffer(data.get(), gif, QStringLiteral("gif"), 0));
    auto l = loader();
    l->setBuffer(gif, QStringLiteral("gif"));
    ASSERT_TRUE(l->open());
    std::unique_ptr<ur::CxImageData> back(l->imageData(0));
    ASSERT_TRUE(back);
    EXPECT_EQ(Samples<std::uint8_t>(back->image()), Samples<std::uint8_t>(grey8.get()));
    ExpectSampleRecord(back->metadata(), ur::eImageDataUInt8);
  }
}

TEST_F(FreeImageFormats, TiffTagsGiveARecordWhenNoXmlIsStored) {
  // A TIFF written by libtiff: 3x2 grey, camera tags, and a description that is not our XML.
  const QByteArray file = QFile::encodeName(path("exif.tif"));
  TIFF* tif = TIFFOpen(file.constData(), "w");
  ASSERT_NE(tif, nullptr);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 3);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_MAKE, "Cam Maker");
  TIFFSetField(tif, TIFFTAG_MODEL, "Cam 1");
  TIFFSetField(tif, TIFFTAG_ARTIST, "Someone");
  TIFFSetField(tif, TIFFTAG_DATETIME, "2020:01:02 03:04:05");
  TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, "<ur_metadata version=\"1\"><item");
  std::uint8_t rows[2][3] = {{1, 2, 3}, {4, 5, 6}};
  ASSERT_EQ(TIFFWriteScanline(tif, rows[0], 0, 0), 1);
  ASSERT_EQ(TIFFWriteScanline(tif, rows[1], 1, 0), 1);
  TIFFClose(tif);

  LogCapture log;
  const auto back = loadDirect(path("exif.tif"));
  ASSERT_TRUE(back);
  EXPECT_TRUE(log.contains(QStringLiteral("ERROR | Failed to load the metadata.")));
  EXPECT_EQ(Samples<std::uint8_t>(back->image()), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
  const auto* r = back->metadata().find<ur::CxCommonImageMetadata>();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->cameraMake, QStringLiteral("Cam Maker"));
  EXPECT_EQ(r->cameraModel, QStringLiteral("Cam 1"));
  EXPECT_EQ(r->author, QStringLiteral("Someone"));
  EXPECT_EQ(r->dateTime, QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5)));
}

TEST_F(FreeImageFormats, BmpAndTiffRoundTripsKeepEveryPixel) {
  for (const int channels : {1, 3, 4}) {
    SCOPED_TRACE(channels);
    auto src8 = Pattern<std::uint8_t>(7, 5, channels, 8, 3);
    const QString bmp = path(QStringLiteral("c%1.bmp").arg(channels));
    ASSERT_TRUE(manager()->saveImageToFile(bmp, src8.get()));
    ur::SxImageBuf back;
    ASSERT_TRUE(manager()->loadImageFromFile(bmp, back, nullptr));
    ur::ScopedImageBuf owned(back);
    EXPECT_EQ(back.channels, channels);
    EXPECT_EQ(Samples<std::uint8_t>(back), Samples<std::uint8_t>(src8.get()));

    auto src16 = Pattern<std::uint16_t>(7, 5, channels, 16, 2);
    const QString tif = path(QStringLiteral("c%1.tif").arg(channels));
    ASSERT_TRUE(saveDirect(tif, src16.get(), {{"compression", 1}}));
    const auto tiff = loadDirect(tif);
    ASSERT_TRUE(tiff);
    EXPECT_EQ(tiff->image().channels, channels);
    EXPECT_EQ(Samples<std::uint16_t>(tiff->image()), Samples<std::uint16_t>(src16.get()));
  }
}

// ---------------------------------------------------------------------------------------------
// JPEG, reductions and TIFF scaling

TEST_F(FreeImageFormats, JpegQualityTradesSizeForFidelity) {
  auto src = Pattern<std::uint8_t>(64, 48, 3, 8);
  // A smooth picture compresses predictably: a gradient with a different slope per channel.
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x)
      for (int c = 0; c < 3; ++c)
        ur::RowPtr(src.get(), y)[x * 3 + c] = std::uint8_t((x * (c + 1) + y * (3 - c)) / 2);

  ASSERT_TRUE(manager()->saveImageToFile(path("q95.jpg"), src.get(), nullptr, {{"quality", 95}}));
  ASSERT_TRUE(manager()->saveImageToFile(path("q20.jpg"), src.get(), nullptr, {{"quality", 20}}));
  EXPECT_LT(QFileInfo(path("q20.jpg")).size(), QFileInfo(path("q95.jpg")).size());

  ur::SxImageBuf back;
  ASSERT_TRUE(manager()->loadImageFromFile(path("q95.jpg"), back, nullptr));
  ur::ScopedImageBuf owned(back);
  ASSERT_EQ(back.channels, 3);
  ASSERT_EQ(back.dataType, ur::eImageDataUInt8);
  double sum = 0;
  const auto a = Samples<std::uint8_t>(src.get());
  const auto b = Samples<std::uint8_t>(back);
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
  EXPECT_LT(sum / double(a.size()), 4.0);
}

TEST_F(FreeImageFormats, JpegDropsAlphaAndKeepsColours) {
  // Top half red, bottom half blue, in memory order B, G, R, A.
  std::vector<std::uint8_t> samples;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const bool top = y < 8;
      samples.insert(samples.end(),
                     {std::uint8_t(top ? 0 : 255), 0, std::uint8_t(top ? 255 : 0), 128});
    }
  ImageShape shape;
  shape.width = shape.height = 16;
  shape.channels = 4;
  auto src = MakeImage<std::uint8_t>(shape, samples);
  ASSERT_TRUE(manager()->saveImageToFile(path("rgba.jpg"), src.get()));
  ur::SxImageBuf back;
  ASSERT_TRUE(manager()->loadImageFromFile(path("rgba.jpg"), back, nullptr));
  ur::ScopedImageBuf owned(back);
  ASSERT_EQ(back.channels, 3);
  EXPECT_GT(SampleAt<std::uint8_t>(back, 4, 2, 2), 200);  // red at the top
  EXPECT_LT(SampleAt<std::uint8_t>(back, 4, 2, 0), 60);
  EXPECT_GT(SampleAt<std::uint8_t>(back, 4, 13, 0), 200);  // blue at the bottom
  EXPECT_LT(SampleAt<std::uint8_t>(back, 4, 13, 2), 60);
}

TEST_F(FreeImageFormats, SixteenBitGreyIsReducedForJpegAndKeptForPng) {
  auto src = Pattern<std::uint16_t>(16, 8, 1, 12);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x)
      reinterpret_cast<std::uint16_t*>(ur::RowPtr(src.get(), y))[x] = std::uint16_t(x * 256 + 128);

  ASSERT_TRUE(manager()->saveImageToFile(path("grey16.jpg"), src.get()));
  ur::SxImageBuf jpeg;
  ASSERT_TRUE(manager()->loadImageFromFile(path("grey16.jpg"), jpeg, nullptr));
  ur::ScopedImageBuf ownedJpeg(jpeg);
  EXPECT_EQ(jpeg.dataType, ur::eImageDataUInt8);
  EXPECT_EQ(jpeg.channels, 1);
  // 12-bit samples are shifted right by 4: column x holds about 16 x + 8.
  EXPECT_NEAR(SampleAt<std::uint8_t>(jpeg, 10, 4), 168, 3);

  ASSERT_TRUE(
      manager()->saveImageToFile(path("kept.png"), src.get(), nullptr, {{"data16bit", true}}));
  EXPECT_EQ(PngBitDepth(path("kept.png")), 16);
  ASSERT_TRUE(
      manager()->saveImageToFile(path("reduced.png"), src.get(), nullptr, {{"data16bit", false}}));
  EXPECT_EQ(PngBitDepth(path("reduced.png")), 8);
  ur::SxImageBuf reduced;
  ASSERT_TRUE(manager()->loadImageFromFile(path("reduced.png"), reduced, nullptr));
  ur::ScopedImageBuf ownedReduced(reduced);
  EXPECT_EQ(SampleAt<std::uint8_t>(reduced, 10, 4), 168);
}

TEST_F(FreeImageFormats, SixteenBitColourReducedTo8BitsKeepsColours) {
  // Red (R, G, B memory order for 16-bit) at 12 bits.
  std::vector<std::uint16_t> samples;
  for (int i = 0; i < 4 * 4; ++i) samples.insert(samples.end(), {4000, 100, 16});
  ImageShape shape;
  shape.width = shape.height = 4;
  shape.channels = 3;
  shape.bitDepth = 12;
  auto src = MakeImage<std::uint16_t>(shape, samples);
  ASSERT_TRUE(
      manager()->saveImageToFile(path("red.png"), src.get(), nullptr, {{"data16bit", false}}));
  ur::SxImageBuf back;
  ASSERT_TRUE(manager()->loadImageFromFile(path("red.png"), back, nullptr));
  ur::ScopedImageBuf owned(back);
  ASSERT_EQ(back.dataType, ur::eImageDataUInt8);
  EXPECT_EQ(SampleAt<std::uint8_t>(back, 1, 1, 2), 250);  // red, memory position 2 at 8 bits
  EXPECT_EQ(SampleAt<std::uint8_t>(back, 1, 1, 1), 6);
  EXPECT_EQ(SampleAt<std::uint8_t>(back, 1, 1, 0), 1);
}

TEST_F(FreeImageFormats, TiffWithScaleRangeMultipliesTenBitSamplesBy64) {
  auto src = Pattern<std::uint16_t>(9, 6, 1, 10);
  reinterpret_cast<std::uint16_t*>(ur::RowPtr(src.get(), 0))[0] = 1023;
  ASSERT_TRUE(
      saveDirect(path("scaled.tif"), src.get(), {{"scale_range", true}, {"compression", 0}}));
  ASSERT_TRUE(saveDirect(path("plain.tif"), src.get()));

  // The samples as libtiff sees them.
  TIFF* tif = TIFFOpen(QFile::encodeName(path("scaled.tif")).constData(), "r");
  ASSERT_NE(tif, nullptr);
  std::uint16_t bits = 0, compression = 0;
  TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
  EXPECT_EQ(bits, 16);
  EXPECT_EQ(compression, COMPRESSION_LZW);
  std::vector<std::uint16_t> line(9);
  ASSERT_EQ(TIFFReadScanline(tif, line.data(), 0), 1);
  TIFFClose(tif);
  for (int x = 0; x < 9; ++x)
    EXPECT_EQ(line[x], SampleAt<std::uint16_t>(src.get(), x, 0) * 64) << "x=" << x;

  const auto scaled = loadDirect(path("scaled.tif"));
  ASSERT_TRUE(scaled);
  EXPECT_EQ(scaled->image().bitDepth, 16);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 9; ++x)
      ASSERT_EQ(SampleAt<std::uint16_t>(scaled->image(), x, y),
                SampleAt<std::uint16_t>(src.get(), x, y) * 64);

  const auto plain = loadDirect(path("plain.tif"));
  ASSERT_TRUE(plain);
  EXPECT_EQ(Samples<std::uint16_t>(plain->image()), Samples<std::uint16_t>(src.get()));
  EXPECT_EQ(plain->image().bitDepth, 10);
}

TEST_F(FreeImageFormats, PlanarColourIsInterleavedBeforeSaving) {
  // Planes red, green, blue of a 3x2 image.
  std::vector<std::uint8_t> planes = {200, 201, 202, 203, 204, 205,  // red
                                      10,  11,  12,  13,  14,  15,   // green
                                      50,  51,  52,  53,  54,  55};  // blue
  ImageShape shape;
  shape.width = 3;
  shape.height = 2;
  shape.channels = 3;
  shape.planar = 1;
  auto src = MakeImage<std::uint8_t>(shape, planes);
  ASSERT_TRUE(manager()->saveImageToFile(path("planar.png"), src.get()));
  ur::SxImageBuf back;
  ASSERT_TRUE(manager()->loadImageFromFile(path("planar.png"), back, nullptr));
  ur::ScopedImageBuf owned(back);
  ASSERT_EQ(back.planar, 0);
  EXPECT_EQ(SampleAt<std::uint8_t>(back, 2, 1, 2), 205);  // red
  EXPECT_EQ(SampleAt<std::uint8_t>(back, 2, 1, 1), 15);
  EXPECT_EQ(SampleAt<std::uint8_t>(back, 2, 1, 0), 55);
}

// ---------------------------------------------------------------------------------------------
// Memory buffers

TEST_F(FreeImageFormats, BuffersRoundTripThroughMemory) {
  auto src = Pattern<std::uint8_t>(12, 9, 3, 8);
  const auto data = imageData(src.get());
  auto s = saver();
  QByteArray png, jpeg;
  ASSERT_TRUE(s->saveToBuffer(data.get(), png, QStringLiteral(" PNG "), 0));
  ASSERT_TRUE(s->saveToBuffer(data.get(), jpeg, QStringLiteral("jpg"), 0));
  EXPECT_TRUE(png.startsWith("\x89PNG"));
  EXPECT_TRUE(jpeg.startsWith("\xFF\xD8"));

  auto l = loader();
  l->setBuffer(png, QStringLiteral("png"));
  EXPECT_FALSE(l->hasFileSource());
  ASSERT_TRUE(l->open());
  std::unique_ptr<ur::CxImageData> back(l->imageData(0));
  ASSERT_TRUE(back);
  EXPECT_EQ(Samples<std::uint8_t>(back->image()), Samples<std::uint8_t>(src.get()));

  // JPEG bytes with no format named: the bytes tell.
  l->setBuffer(jpeg, QString());
  EXPECT_FALSE(l->isOpen());
  ASSERT_TRUE(l->open());
  std::unique_ptr<ur::CxImageData> fromJpeg(l->imageData(0));
  ASSERT_TRUE(fromJpeg);
  EXPECT_EQ(fromJpeg->image().width, 12);
  EXPECT_EQ(fromJpeg->image().height, 9);
  EXPECT_EQ(fromJpeg->image().channels, 3);

  LogCapture log;
  EXPECT_FALSE(s->saveToBuffer(data.get(), png, QStringLiteral("xyz"), 0));
  EXPECT_TRUE(log.contains(QStringLiteral("ERROR | Unsupported image format.")));
}

TEST_F(FreeImageFormats, UnrecognisableBytesFailCleanly) {
  auto l = loader();
  QByteArray junk(300, '\0');
  std::mt19937 random(7);
  for (char& c : junk) c = char(random() & 0xFF);
  {
    LogCapture log;
    l->setBuffer(junk, QStringLiteral("png"));  // tried as PNG, which fails
    EXPECT_FALSE(l->open());
    EXPECT_FALSE(l->isOpen());
    EXPECT_EQ(l->imageData(0), nullptr);
    EXPECT_TRUE(log.contains(QStringLiteral("ERROR | Cannot load the image from memory.")))
        << log.all().toStdString();
  }
  {
    LogCapture log;
    l->setBuffer(junk, QString());
    EXPECT_FALSE(l->open());
    EXPECT_TRUE(log.contains(QStringLiteral("ERROR | Unknown image format.")));
  }
  l->setBuffer(QByteArray(), QStringLiteral("png"));
  EXPECT_FALSE(l->open());
}

// ---------------------------------------------------------------------------------------------
// Bad files and failed writes

TEST_F(FreeImageFormats, BadFilesGiveFalseWithoutCrashing) {
  // A good file to cut short.
  auto src = Pattern<std::uint8_t>(40, 30, 3, 8);
  ASSERT_TRUE(manager()->saveImageToFile(path("good.png"), src.get()));
  QFile good(path("good.png"));
  ASSERT_TRUE(good.open(QIODevice::ReadOnly));
  const QByteArray bytes = good.readAll();

  const auto write = [&](const QString& name, const QByteArray& content) {
    QFile f(path(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
  };
  write(QStringLiteral("empty.png"), QByteArray());
  write(QStringLiteral("truncated.png"), bytes.left(bytes.size() / 2));
  QByteArray junk(500, '\0');
  std::mt19937 random(11);
  for (char& c : junk) c = char(random() & 0xFF);
  write(QStringLiteral("random.png"), junk);
  write(QStringLiteral("noformat.xyz"), junk);

  for (const QString& name : {QStringLiteral("missing.png"), QStringLiteral("empty.png"),
                              QStringLiteral("truncated.png"), QStringLiteral("random.png")}) {
    SCOPED_TRACE(name.toStdString());
    LogCapture log;
    auto l = loader();
    l->setFilename(path(name));
    EXPECT_TRUE(l->hasFileSource());
    EXPECT_FALSE(l->open());
    EXPECT_FALSE(l->isOpen());
    EXPECT_EQ(l->imageData(0), nullptr);
    EXPECT_TRUE(
        log.contains(QStringLiteral("ERROR | Cannot load the image from file %1").arg(path(name))))
        << log.all().toStdString();

    ur::SxImageBuf buf;
    EXPECT_FALSE(manager()->loadImageFromFile(path(name), buf, nullptr));
    EXPECT_EQ(buf.data, nullptr);
  }
  LogCapture log;
  auto l = loader();
  l->setFilename(path(QStringLiteral("noformat.xyz")));
  EXPECT_FALSE(l->open());
  EXPECT_TRUE(log.contains(QStringLiteral("ERROR | Unknown image format.")));
}

// An 8-bit BMP header of width x height pixels with its grey palette and no pixels (1078 bytes).
QByteArray BmpHeader(quint32 width, quint32 height) {
  QByteArray b(1078, '\0');
  const auto put = [&b](int at, quint32 value, int bytes) {
    for (int i = 0; i < bytes; ++i) b[at + i] = char(value >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put(2, 1078, 4);
  put(10, 1078, 4);  // pixels start after the palette
  put(14, 40, 4);
  put(18, width, 4);
  put(22, height, 4);
  put(26, 1, 2);
  put(28, 8, 2);
  for (int i = 0; i < 256; ++i) put(54 + 4 * i, quint32(i) * 0x010101u, 4);
  return b;
}

// FreeImage allocates what a header claims before reading a pixel: claims beyond the sample
// ceiling or beyond what the file's bytes can describe are refused from the header alone.
// Formats the plug-in does not offer are not decoded at all, whatever the suffix says.
TEST_F(FreeImageFormats, HeaderClaimsAndForeignFormatsAreRefusedBeforeDecoding) {
  const struct {
    const char* name;
    QByteArray content;
    const char* reason;
  } cases[] = {
      {"huge.bmp", BmpHeader(60000, 60000), "more than an image may hold"},
      {"sparse.bmp", BmpHeader(20000, 20000), "more than its 1078 bytes hold"},
      {"netpbm.png", "P5\n2 2\n255\n\1\2\3\4", "it holds a PBM image, which is not read"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    QFile f(path(QLatin1String(c.name)));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(c.content);
    f.close();
    LogCapture log;
    auto l = loader();
    l->setFilename(path(QLatin1String(c.name)));
    EXPECT_FALSE(l->open());
    EXPECT_TRUE(log.contains(QLatin1String(c.reason))) << log.all().toStdString();
    l->setBuffer(c.content, QStringLiteral("bmp"));
    EXPECT_FALSE(l->open());
  }
  // A header that claims what its file holds still loads.
  QByteArray small = BmpHeader(4, 2);
  small.append(QByteArray(8, '\x40'));
  auto l = loader();
  l->setBuffer(small, QStringLiteral("bmp"));
  ASSERT_TRUE(l->open());
  EXPECT_EQ(l->imageData(0)->image().width, 4);
}

TEST_F(FreeImageFormats, UnwritableFilesAndUnsupportedImagesGiveFalse) {
  auto src = Pattern<std::uint8_t>(5, 4, 3, 8);
  EXPECT_FALSE(saveDirect(path("no/such/folder/x.png"), src.get()));

  LogCapture log;
  // Two-channel 8-bit images have no FreeImage bitmap type.
  auto two = Pattern<std::uint8_t>(5, 4, 2, 8);
  EXPECT_FALSE(saveDirect(path("two.png"), two.get()));
  EXPECT_TRUE(log.contains(QStringLiteral("ERROR | Unsupported image type.")));
  // GIF is not among the saver's formats, and ".xyz" names no format.
  EXPECT_FALSE(saveDirect(path("x.xyz"), src.get()));
  EXPECT_TRUE(log.contains(QStringLiteral("ERROR | Unsupported image format.")));
  EXPECT_FALSE(QFileInfo::exists(path("x.xyz")));
  // An empty data object.
  auto s = saver();
  s->setFilename(path("empty.png"));
  ur::CxImageData empty;
  EXPECT_FALSE(s->saveImageData(&empty, 0));
}

// ---------------------------------------------------------------------------------------------
// Options widgets

TEST_F(FreeImageFormats, OptionsWidgetsFollowTheSuffix) {
  auto s = saver();
  QWidget parent;

  s->setFilename(path("a.PNG"));
  s->setOptions({{"data16bit", false}});
  QWidget* png = s->widgetForSaveDlg(&parent);
  ASSERT_NE(png, nullptr);
  const auto pngChecks = png->findChildren<QCheckBox*>();
  ASSERT_EQ(pngChecks.size(), 1);
  EXPECT_EQ(pngChecks[0]->text(), QStringLiteral("Enable storing 16-bit data"));
  EXPECT_FALSE(pngChecks[0]->isChecked());
  pngChecks[0]->click();
  ur::SaveOptions read = s->optionsFromSaveDlg(png);
  EXPECT_TRUE(read.value("data16bit").toBool());
  EXPECT_FALSE(read.contains("quality"));
  EXPECT_FALSE(read.contains("compression"));

  s->setFilename(path("a.tiff"));
  s->setOptions({{"compression", 1}, {"data16bit", true}, {"scale_range", true}});
  QWidget* tif = s->widgetForSaveDlg(&parent);
  ASSERT_NE(tif, nullptr);
  auto* combo = tif->findChild<QComboBox*>("cbCompr");
  auto* check16 = tif->findChild<QCheckBox*>("chk16BitData");
  auto* scale = tif->findChild<QCheckBox*>("chkScaleRange16");
  ASSERT_TRUE(combo && check16 && scale);
  ASSERT_EQ(combo->count(), 3);
  EXPECT_EQ(combo->itemText(0), QStringLiteral("LZW"));
  EXPECT_EQ(combo->itemText(1), QStringLiteral("Packbits"));
  EXPECT_EQ(combo->itemText(2), QStringLiteral("Uncompressed (fast)"));
  EXPECT_EQ(combo->currentIndex(), 1);
  EXPECT_EQ(check16->text(), QStringLiteral("Enable storing 16-bit data"));
  EXPECT_EQ(scale->text(), QStringLiteral("Scale the color bit depth to a full 16-bit range"));
  EXPECT_TRUE(scale->toolTip().startsWith(QStringLiteral("If the image has its color bit depth")));
  EXPECT_TRUE(scale->isChecked());
  EXPECT_TRUE(scale->isEnabled());
  check16->click();
  EXPECT_FALSE(scale->isEnabled());
  combo->setCurrentIndex(2);
  read = s->optionsFromSaveDlg(tif);
  EXPECT_FALSE(read.value("data16bit").toBool());
  EXPECT_EQ(read.value("compression").toInt(), 2);
  EXPECT_TRUE(read.value("scale_range").toBool());
  check16->click();
  EXPECT_TRUE(scale->isEnabled());

  s->setFilename(path("a.jpg"));
  s->setOptions({});
  QWidget* jpg = s->widgetForSaveDlg(&parent);
  ASSERT_NE(jpg, nullptr);
  auto* slider = jpg->findChild<QSlider*>("slQuality");
  ASSERT_NE(slider, nullptr);
  EXPECT_EQ(slider->minimum(), 1);
  EXPECT_EQ(slider->maximum(), 100);
  EXPECT_EQ(slider->value(), 95);
  EXPECT_EQ(slider->tickInterval(), 10);
  EXPECT_EQ(slider->tickPosition(), QSlider::NoTicks);
  QStringList labels;
  for (const QLabel* label : jpg->findChildren<QLabel*>()) labels << label->text();
  EXPECT_TRUE(labels.contains(QStringLiteral("Quality:")));
  EXPECT_TRUE(labels.contains(QStringLiteral("95")));
  slider->setValue(42);
  labels.clear();
  for (const QLabel* label : jpg->findChildren<QLabel*>()) labels << label->text();
  EXPECT_TRUE(labels.contains(QStringLiteral("42")));
  EXPECT_EQ(s->optionsFromSaveDlg(jpg).value("quality").toInt(), 42);

  s->setFilename(path("a.bmp"));
  EXPECT_EQ(s->widgetForSaveDlg(&parent), nullptr);
}

}  // namespace
