// The TIFF loader and saver of urpimage_formats, driven through the framework's format manager
// as every caller drives them. Files made by the saver are checked with libtiff directly, and
// the layouts the saver never writes (tiles, separate planes, palettes, packed samples) are
// written here with libtiff.

#include <ur/buffers.h>
#include <ur/common_image_metadata.h>
#include <ur/format_manager.h>
#include <ur/image_data.h>

#include <zel_testing/log_capture.h>
#include <zel_testing/image_builder.h>
#include <zel_testing/printers.h>

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMetaClassInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtGlobal>

#include <tiffio.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdint>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

using ur::ScopedImageBuf;
using ur::SxImageBuf;
using zel::testing::ImageShape;
using zel::testing::MakeImage;
using zel::testing::Samples;

ur::CxImageFormatManager* Manager() { return ur::CxImageFormatManager::instance(); }

QByteArray ReadBytes(const QString& path) {
  QFile f(path);
  EXPECT_TRUE(f.open(QIODevice::ReadOnly));
  return f.readAll();
}

// Libtiff handles of the test's own reads and writes.
struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using Tiff = std::unique_ptr<TIFF, TiffCloser>;

Tiff OpenTiff(const QString& path, const char* mode) {
  return Tiff(TIFFOpen(QFile::encodeName(path).constData(), mode));
}

std::uint32_t Tag32(TIFF* tif, std::uint32_t tag) {
  std::uint32_t v = 0;
  EXPECT_TRUE(TIFFGetField(tif, tag, &v)) << "tag " << tag;
  return v;
}

std::uint16_t Tag16(TIFF* tif, std::uint32_t tag) {
  std::uint16_t v = 0;
  EXPECT_TRUE(TIFFGetField(tif, tag, &v)) << "tag " << tag;
  return v;
}

// Every sample of the current (striped, interleaved) page in file order, row after row.
template <typename T>
std::vector<T> FileSamples(TIFF* tif) {
  const std::uint32_t height = Tag32(tif, TIFFTAG_IMAGELENGTH);
  const tmsize_t lineBytes = TIFFScanlineSize(tif);
  std::vector<T> out(std::size_t(lineBytes) / sizeof(T) * height);
  for (std::uint32_t y = 0; y < height; ++y)
    EXPECT_GE(TIFFReadScanline(tif, out.data() + std::size_t(y) * lineBytes / sizeof(T), y, 0), 0);
  return out;
}

// A pattern that differs between every row, column and channel, so that turned rows, mirrored
// columns or exchanged channels all show. Samples stay below 2^bitDepth.
template <typename T>
ScopedImageBuf PatternImage(int width, int height, int channels, int bitDepth, int seed = 0) {
  std::vector<T> samples;
  const std::uint32_t mask = bitDepth >= 32 ? 0xFFFFFFFFu : (1u << bitDepth) - 1;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < channels; ++c)
        samples.push_back(
            T(std::uint32_t(x * 37 + y * 1009 + c * 251 + x * y * 3 + seed * 17) & mask));
  ImageShape shape;
  shape.width = width;
  shape.height = height;
  shape.channels = channels;
  shape.bitDepth = bitDepth;
  return MakeImage<T>(shape, samples);
}

bool Load(const QString& path, ScopedImageBuf& image, ur::CxMetadata* metadata = nullptr) {
  SxImageBuf buf;
  const bool ok = Manager()->loadImageFromFile(path, buf, metadata);
  image = ScopedImageBuf(buf);
  return ok;
}

ur::CxCommonImageMetadata* CommonRecord(const ur::CxMetadata& metadata) {
  return metadata.find<ur::CxCommonImageMetadata>();
}

ur::SaveOptions Options(int compression, bool data16bit = true, bool scaleRange = false) {
  return {{"compression", compression}, {"data16bit", data16bit}, {"scale_range", scaleRange}};
}

class TiffFormat : public ::testing::Test {
protected:
  static void SetUpTestSuite() { ur::LoadFormatPlugins(); }
  void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
  QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

  QTemporaryDir m_dir;
};

// ---------------------------------------------------------------------------------------------
// Round trips through the format manager

struct RoundTripCase {
  const char* name;
  ur::ExImageDataType type;
  int channels;
  int bitDepth;
  int compression;  // option value: 0 LZW, 1 PackBits, 2 none
};

void PrintTo(const RoundTripCase& c, std::ostream* os) { *os << c.name; }

class TiffRoundTrip : public TiffFormat, public ::testing::WithParamInterface<RoundTripCase> {};

template <typename T>
void ExpectRoundTrip(const QString& file, const RoundTripCase& c) {
  const ScopedImageBuf original = PatternImage<T>(23, 17, c.channels, c.bitDepth);
  ur::CxMetadata metadata;
  auto record = std::make_unique<ur::CxCommonImageMetadata>();
  record->setFromImage(original.get());
  record->cameraMake = QStringLiteral("Acme");
  record->cameraModel = QStringLiteral("Model 7");
  record->author = QStringLiteral("Jane Doe");
  record->software = QStringLiteral("ZEL tests");
  record->copyright = QStringLiteral("(c) nobody");
  record->dateTime = QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7));
  record->exposureTime = 0.004;
  record->fNumber = 2.8;
  record->iso = 400;
  metadata.addItem(std::move(record));

  ASSERT_TRUE(Manager()->saveImageToFile(file, original.get(), &metadata, Options(c.compression)));

  ScopedImageBuf loaded;
  ur::CxMetadata loadedMetadata;
  ASSERT_TRUE(Load(file, loaded, &loadedMetadata));
  EXPECT_EQ(loaded->width, 23);
  EXPECT_EQ(loaded->height, 17);
  EXPECT_EQ(loaded->channels, c.channels);
  EXPECT_EQ(loaded->dataType, c.type);
  EXPECT_EQ(loaded->planar, 0);
  EXPECT_EQ(loaded->bitDepth, c.bitDepth);
  EXPECT_EQ(Samples<T>(loaded.get()), Samples<T>(original.get()));

  const auto* loadedRecord = CommonRecord(loadedMetadata);
  ASSERT_NE(loadedRecord, nullptr);
  EXPECT_EQ(loadedRecord->dataType, c.type);
  EXPECT_EQ(loadedRecord->bitDepth, c.bitDepth);
  EXPECT_EQ(loadedRecord->cameraMake, QStringLiteral("Acme"));
  EXPECT_EQ(loadedRecord->cameraModel, QStringLiteral("Model 7"));
  EXPECT_EQ(loadedRecord->author, QStringLiteral("Jane Doe"));
  EXPECT_EQ(loadedRecord->software, QStringLiteral("ZEL tests"));
  EXPECT_EQ(loadedRecord->copyright, QStringLiteral("(c) nobody"));
  EXPECT_EQ(loadedRecord->dateTime, QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7)));
  EXPECT_DOUBLE_EQ(loadedRecord->exposureTime, 0.004);
  EXPECT_DOUBLE_EQ(loadedRecord->fNumber, 2.8);
  EXPECT_EQ(loadedRecord->iso, 400);

  // The file itself: red first, top row first, the compression asked for, the camera tags.
  const Tiff tif = OpenTiff(file, "r");
  ASSERT_TRUE(tif);
  const std::uint16_t compressions[] = {COMPRESSION_LZW, COMPRESSION_PACKBITS, COMPRESSION_NONE};
  EXPECT_EQ(Tag16(tif.get(), TIFFTAG_COMPRESSION), compressions[c.compression]);
  EXPECT_EQ(Tag16(tif.get(), TIFFTAG_SAMPLESPERPIXEL), c.channels);
  EXPECT_EQ(Tag16(tif.get(), TIFFTAG_BITSPERSAMPLE), sizeof(T) * 8);
  EXPECT_EQ(Tag16(tif.get(), TIFFTAG_ORIENTATION), ORIENTATION_TOPLEFT);
  char* make = nullptr;
  ASSERT_TRUE(TIFFGetField(tif.get(), TIFFTAG_MAKE, &make));
  EXPECT_STREQ(make, "Acme");
  char* date = nullptr;
  ASSERT_TRUE(TIFFGetField(tif.get(), TIFFTAG_DATETIME, &date));
  EXPECT_STREQ(date, "2021:03:04 05:06:07");
  const std::vector<T> file8 = FileSamples<T>(tif.get());
  const bool swapped = c.channels == 3 && sizeof(T) == 1;  // only 8-bit colour is B, G, R
  for (int y : {0, 16})
    for (int x : {0, 22})
      for (int ch = 0; ch < c.channels; ++ch) {
        const int memoryChannel = swapped ? 2 - ch : ch;
        EXPECT_EQ(file8[(std::size_t(y) * 23 + x) * c.channels + ch],
                  zel::testing::SampleAt<T>(original.get(), x, y, memoryChannel))
            << "x " << x << " y " << y << " file channel " << ch;
      }
}

TEST_P(TiffRoundTrip, KeepsEveryPixelRowOrderChannelOrderAndMetadata) {
  const RoundTripCase& c = GetParam();
  const QString file = path("round_trip.tif");
  if (c.type == ur::eImageDataUInt8)
    ExpectRoundTrip<std::uint8_t>(file, c);
  else
    ExpectRoundTrip<std::uint16_t>(file, c);
}

INSTANTIATE_TEST_SUITE_P(
    GreyAndColour, TiffRoundTrip,
    ::testing::Values(RoundTripCase{"Grey8Lzw", ur::eImageDataUInt8, 1, 8, 0},
                      RoundTripCase{"Grey8PackBits", ur::eImageDataUInt8, 1, 8, 1},
                      RoundTripCase{"Grey8None", ur::eImageDataUInt8, 1, 8, 2},
                      RoundTripCase{"Colour8Lzw", ur::eImageDataUInt8, 3, 8, 0},
                      RoundTripCase{"Colour8PackBits", ur::eImageDataUInt8, 3, 8, 1},
                      RoundTripCase{"Colour8None", ur::eImageDataUInt8, 3, 8, 2},
                      RoundTripCase{"Grey16Lzw", ur::eImageDataUInt16, 1, 16, 0},
                      RoundTripCase{"Grey16PackBits", ur::eImageDataUInt16, 1, 12, 1},
                      RoundTripCase{"Grey16None", ur::eImageDataUInt16, 1, 16, 2},
                      RoundTripCase{"Colour16Lzw", ur::eImageDataUInt16, 3, 16, 0},
                      RoundTripCase{"Colour16PackBits", ur::eImageDataUInt16, 3, 14, 1},
                      RoundTripCase{"Colour16None", ur::eImageDataUInt16, 3, 16, 2}),
    [](const ::testing::TestParamInfo<RoundTripCase>& param) {
      return std::string(param.param.name);
    });

TEST_F(TiffFormat, RoundTripOfPaddedRowsAndUnsigned32BitSamples) {
  ImageShape shape{5, 3, 1, 0, 6, 0};  // 6 padding bytes per row
  const std::vector<std::uint8_t> grey{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
  const ScopedImageBuf padded = MakeImage<std::uint8_t>(shape, grey);
  ASSERT_TRUE(Manager()->saveImageToFile(path("padded.tif"), padded.get(), nullptr, Options(0)));
  ScopedImageBuf loaded;
  ASSERT_TRUE(Load(path("padded.tif"), loaded));
  EXPECT_EQ(Samples<std::uint8_t>(loaded.get()), grey);

  shape = ImageShape{4, 2, 1, 0, 0, 0};
  const std::vector<std::uint32_t> wide{0, 1, 70000, 4000000000u, 5, 6, 7, 0xFFFFFFFFu};
  const ScopedImageBuf deep = MakeImage<std::uint32_t>(shape, wide);
  ASSERT_TRUE(Manager()->saveImageToFile(path("u32.tif"), deep.get(), nullptr, Options(2)));
  ASSERT_TRUE(Load(path("u32.tif"), loaded));
  EXPECT_EQ(loaded->dataType, ur::eImageDataUInt32);
  EXPECT_EQ(loaded->bitDepth, 32);
  EXPECT_EQ(Samples<std::uint32_t>(loaded.get()), wide);
}

// ---------------------------------------------------------------------------------------------
// Sequences

std::unique_ptr<ur::CxImageData> Frame(const ScopedImageBuf& pixels, qint64 timestampUs) {
  auto data = std::make_unique<ur::CxImageData>();
  EXPECT_TRUE(data->setImage(pixels.get(), QDateTime::currentDateTime()));
  data->setTimestampUs(timestampUs);
  return data;
}

// Saves the frames as one uncompressed sequence, frame i stamped i x timestampStep.
bool SaveSequence(const QString& file, const std::vector<ScopedImageBuf>& frames,
                  qint64 timestampStep) {
  auto saver = Manager()->createSaver(file);
  if (!saver) return false;
  saver->setSequenceSize(int(frames.size()));
  saver->setOptions(Options(0));
  for (std::size_t i = 0; i < frames.size(); ++i)
    if (!saver->saveImageData(Frame(frames[i], qint64(i) * timestampStep).get(), int(i)))
      return false;
  return saver->close();
}

TEST_F(TiffFormat, ThreePageSequenceHasFramesRateAndMovesBackToTheFirstFrame) {
  const QString file = path("sequence.tif");
  std::vector<ScopedImageBuf> frames;
  for (int i = 0; i < 3; ++i) frames.push_back(PatternImage<std::uint16_t>(9, 7, 1, 16, i + 1));
  ASSERT_TRUE(SaveSequence(file, frames, 100000));

  auto loader = Manager()->createLoader(file);
  ASSERT_TRUE(loader);
  EXPECT_EQ(loader->frameCount(), 3);  // opens the file on demand
  EXPECT_DOUBLE_EQ(loader->frameRate(), 15.0);
  for (int frame : {2, 0, 1}) {
    const std::unique_ptr<ur::CxImageData> data(loader->imageData(frame));
    ASSERT_TRUE(data) << "frame " << frame;
    EXPECT_EQ(Samples<std::uint16_t>(data->image()), Samples<std::uint16_t>(frames[frame].get()))
        << "frame " << frame;
    EXPECT_EQ(data->timestampUs(), qint64(frame) * 100000);
  }
  EXPECT_EQ(loader->imageData(3), nullptr);
  EXPECT_EQ(loader->imageData(-1), nullptr);

  const Tiff tif = OpenTiff(file, "r");
  ASSERT_TRUE(tif);
  EXPECT_TRUE(TIFFIsBigTIFF(tif.get()));
  char* pageName = nullptr;
  ASSERT_TRUE(TIFFGetField(tif.get(), TIFFTAG_PAGENAME, &pageName));
  EXPECT_STREQ(pageName, "0");
  ASSERT_TRUE(TIFFReadDirectory(tif.get()));
  std::uint16_t page = 0;
  std::uint16_t pages = 0;
  ASSERT_TRUE(TIFFGetField(tif.get(), TIFFTAG_PAGENUMBER, &page, &pages));
  EXPECT_EQ(page, 1);
  EXPECT_EQ(pages, 1);
  EXPECT_EQ(Tag32(tif.get(), TIFFTAG_SUBFILETYPE), std::uint32_t(FILETYPE_PAGE));
  ASSERT_TRUE(TIFFGetField(tif.get(), TIFFTAG_PAGENAME, &pageName));
  EXPECT_STREQ(pageName, "100000");
}

// A frame whose directory was listed but can no longer be read fails, with a warning, rather than
// handing out the frame read before; the frames around it still read.
TEST_F(TiffFormat, FrameWhoseDirectoryCannotBeReadFailsWithAWarning) {
  const QString file = path("damaged.tif");
  std::vector<ScopedImageBuf> frames;
  for (int i = 0; i < 3; ++i) frames.push_back(PatternImage<std::uint8_t>(8, 6, 1, 8, i + 1));
  ASSERT_TRUE(SaveSequence(file, frames, 1));
  std::uint64_t secondDirectory = 0;
  {
    const Tiff tif = OpenTiff(file, "r");
    ASSERT_TRUE(tif && TIFFSetDirectory(tif.get(), 1));
    secondDirectory = TIFFCurrentDirOffset(tif.get());
  }
  auto loader = Manager()->createLoader(file);
  ASSERT_TRUE(loader);
  ASSERT_EQ(loader->frameCount(), 3);

  // The BigTIFF entry count of the second directory becomes absurd while the file is open.
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::ReadWrite));
  ASSERT_TRUE(f.seek(qint64(secondDirectory)));
  ASSERT_EQ(f.write(QByteArray(8, '\xFF')), 8);
  f.close();

  QStringList warnings;
  {
    const zel::testing::LogCapture capture(QtWarningMsg);
    const std::unique_ptr<ur::CxImageData> second(loader->imageData(1));
    const std::unique_ptr<ur::CxImageData> beyond(loader->imageData(3));
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(beyond, nullptr);
    warnings = capture.lines().filter(QStringLiteral("frame"));
  }
  ASSERT_EQ(warnings.size(), 2);
  EXPECT_TRUE(warnings[0].contains(file) && warnings[0].contains(QLatin1String("frame 1")))
      << warnings[0].toStdString();
  EXPECT_TRUE(warnings[1].contains(QLatin1String("no frame 3"))) << warnings[1].toStdString();

  for (const int frame : {0, 2}) {
    const std::unique_ptr<ur::CxImageData> data(loader->imageData(frame));
    ASSERT_TRUE(data) << "frame " << frame;
    EXPECT_EQ(Samples<std::uint8_t>(data->image()), Samples<std::uint8_t>(frames[frame].get()));
  }
}

TEST_F(TiffFormat, PageOfAnotherSizeIsNotAFrame) {
  const QString file = path("mixed.tif");
  const ScopedImageBuf first = PatternImage<std::uint8_t>(8, 6, 1, 8, 1);
  const ScopedImageBuf other = PatternImage<std::uint8_t>(6, 8, 1, 8, 2);
  const ScopedImageBuf third = PatternImage<std::uint8_t>(8, 6, 1, 8, 3);
  {
    auto saver = Manager()->createSaver(file);
    ASSERT_TRUE(saver);
    saver->setSequenceSize(3);
    ASSERT_TRUE(saver->saveImageData(Frame(first, 0).get(), 0));
    ASSERT_TRUE(saver->saveImageData(Frame(other, 50000).get(), 1));
    ASSERT_TRUE(saver->saveImageData(Frame(third, 200000).get(), 2));
    ASSERT_TRUE(saver->close());
  }
  auto loader = Manager()->createLoader(file);
  ASSERT_TRUE(loader);
  ASSERT_TRUE(loader->open());
  EXPECT_EQ(loader->frameCount(), 2);
  EXPECT_DOUBLE_EQ(loader->frameRate(), 10.0);  // 2 frames over 0.2 s
  const std::unique_ptr<ur::CxImageData> second(loader->imageData(1));
  ASSERT_TRUE(second);
  EXPECT_EQ(Samples<std::uint8_t>(second->image()), Samples<std::uint8_t>(third.get()));
  EXPECT_EQ(second->timestampUs(), 200000);
}

// ---------------------------------------------------------------------------------------------
// Written sample types and depths

TEST_F(TiffFormat, TenBitImageIsScaledToSixteenBitsOrReducedToEight) {
  const ScopedImageBuf tenBit = PatternImage<std::uint16_t>(11, 5, 1, 10);
  const std::vector<std::uint16_t> source = Samples<std::uint16_t>(tenBit.get());

  ASSERT_TRUE(Manager()->saveImageToFile(path("scaled.tif"), tenBit.get(), nullptr,
                                         Options(2, true, true)));
  {
    const Tiff tif = OpenTiff(path("scaled.tif"), "r");
    ASSERT_TRUE(tif);
    EXPECT_EQ(Tag16(tif.get(), TIFFTAG_BITSPERSAMPLE), 16);
    EXPECT_EQ(Tag16(tif.get(), TIFFTAG_MAXSAMPLEVALUE), 65535);
    const std::vector<std::uint16_t> written = FileSamples<std::uint16_t>(tif.get());
    ASSERT_EQ(written.size(), source.size());
    for (std::size_t i = 0; i < source.size(); ++i) ASSERT_EQ(written[i], source[i] * 64) << i;
  }

  ASSERT_TRUE(Manager()->saveImageToFile(path("reduced.tif"), tenBit.get(), nullptr,
                                         Options(0, false, true)));
  {
    const Tiff tif = OpenTiff(path("reduced.tif"), "r");
    ASSERT_TRUE(tif);
    EXPECT_EQ(Tag16(tif.get(), TIFFTAG_BITSPERSAMPLE), 8);
    EXPECT_EQ(Tag16(tif.get(), TIFFTAG_MAXSAMPLEVALUE), 255);
    const std::vector<std::uint8_t> written = FileSamples<std::uint8_t>(tif.get());
    ASSERT_EQ(written.size(), source.size());
    for (std::size_t i = 0; i < source.size(); ++i) ASSERT_EQ(written[i], source[i] / 4) << i;
  }

  // Unscaled, the depth travels in MaxSampleValue and in the pixels.
  ASSERT_TRUE(Manager()->saveImageToFile(path("plain.tif"), tenBit.get(), nullptr, Options(1)));
  const Tiff tif = OpenTiff(path("plain.tif"), "r");
  ASSERT_TRUE(tif);
  EXPECT_EQ(Tag16(tif.get(), TIFFTAG_MAXSAMPLEVALUE), 1023);
}

TEST_F(TiffFormat, FourChannelEightBitImageIsWrittenAsRgb) {
  const ScopedImageBuf bgra = PatternImage<std::uint8_t>(6, 4, 4, 8);
  ASSERT_TRUE(Manager()->saveImageToFile(path("rgba.tif"), bgra.get(), nullptr, Options(0)));
  const Tiff tif = OpenTiff(path("rgba.tif"), "r");
  ASSERT_TRUE(tif);
  EXPECT_EQ(Tag16(tif.get(), TIFFTAG_SAMPLESPERPIXEL), 3);
  EXPECT_EQ(Tag16(tif.get(), TIFFTAG_PHOTOMETRIC), PHOTOMETRIC_RGB);
  const std::vector<std::uint8_t> rgb = FileSamples<std::uint8_t>(tif.get());
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x)
      for (int c = 0; c < 3; ++c)
        ASSERT_EQ(rgb[(std::size_t(y) * 6 + x) * 3 + c],
                  zel::testing::SampleAt<std::uint8_t>(bgra.get(), x, y, 2 - c));

  ScopedImageBuf loaded;
  ASSERT_TRUE(Load(path("rgba.tif"), loaded));
  EXPECT_EQ(loaded->channels, 3);
  EXPECT_EQ(zel::testing::SampleAt<std::uint8_t>(loaded.get(), 5, 3, 0),
            zel::testing::SampleAt<std::uint8_t>(bgra.get(), 5, 3, 0));
}

TEST_F(TiffFormat, UnwritableLayoutsAndPlacesFailWithoutTouchingAGoodFile) {
  const QString file = path("good.tif");
  const ScopedImageBuf good = PatternImage<std::uint8_t>(4, 4, 1, 8);
  ASSERT_TRUE(Manager()->saveImageToFile(file, good.get()));
  QFile original(file);
  ASSERT_TRUE(original.open(QIODevice::ReadOnly));
  const QByteArray before = original.readAll();
  original.close();

  const ScopedImageBuf twoChannels = PatternImage<std::uint8_t>(4, 4, 2, 8);
  EXPECT_FALSE(Manager()->saveImageToFile(file, twoChannels.get()));
  ImageShape planarShape{4, 4, 3, 1, 0, 0};
  const ScopedImageBuf planar = zel::testing::MakeZeroImage<std::uint8_t>(planarShape);
  EXPECT_FALSE(Manager()->saveImageToFile(file, planar.get()));
  ASSERT_TRUE(original.open(QIODevice::ReadOnly));
  EXPECT_EQ(original.readAll(), before);

  EXPECT_FALSE(Manager()->saveImageToFile(path("no/such/folder/x.tif"), good.get()));
  auto saver = Manager()->createSaver(path("no/such/folder/y.tif"));
  ASSERT_TRUE(saver);
  EXPECT_FALSE(saver->saveImageData(Frame(good, 0).get(), 0));
  saver->close();
  EXPECT_FALSE(QFile::exists(path("no/such/folder/y.tif")));
}

TEST_F(TiffFormat, FailedWriteReturnsFalseAndLeavesNoFileBehind) {
  const QString file = path("kept.tif");
  const ScopedImageBuf small = PatternImage<std::uint8_t>(8, 8, 1, 8);
  ASSERT_TRUE(Manager()->saveImageToFile(file, small.get()));
  const QByteArray before = ReadBytes(file);

  // A file size limit makes the writes fail part way, as a full disk would.
  const ScopedImageBuf large = PatternImage<std::uint16_t>(512, 256, 3, 16);
  rlimit previousLimit{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previousLimit), 0);
  rlimit limit = previousLimit;
  limit.rlim_cur = 64 * 1024;
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  const bool saved = Manager()->saveImageToFile(file, large.get(), nullptr, Options(2));
  auto saver = Manager()->createSaver(path("direct_big.tif"));
  const bool frameSaved = saver && saver->saveImageData(Frame(large, 0).get(), 0);
  const bool closed = saver && saver->close();
  setrlimit(RLIMIT_FSIZE, &previousLimit);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_FALSE(saved);
  EXPECT_FALSE(frameSaved && closed);
  EXPECT_EQ(ReadBytes(file), before);
  EXPECT_FALSE(QFile::exists(path("direct_big.tif")));
  const QStringList left = QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden);
  EXPECT_EQ(left, QStringList{QStringLiteral("kept.tif")});
}

TEST_F(TiffFormat, SaverCompletesTheFileOnlyWhenClosed) {
  const QString file = path("direct.tif");
  const ScopedImageBuf image = PatternImage<std::uint8_t>(4, 3, 3, 8);
  auto saver = Manager()->createSaver(file);
  ASSERT_TRUE(saver);
  ASSERT_TRUE(saver->saveImageData(Frame(image, 0).get(), 0));
  EXPECT_FALSE(QFile::exists(file));
  ASSERT_TRUE(saver->close());
  ScopedImageBuf loaded;
  ASSERT_TRUE(Load(file, loaded));
  EXPECT_EQ(Samples<std::uint8_t>(loaded.get()), Samples<std::uint8_t>(image.get()));
}

// ---------------------------------------------------------------------------------------------
// Files written here with libtiff

// One page as the test writes it: samples in file order (interleaved, red first), row after row.
struct TestPage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint16_t samples = 1;
  std::uint16_t bits = 8;
  std::vector<std::uint32_t> values;
  std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
  bool separatePlanes = false;
  std::uint32_t tile = 0;  // square tile size; 0 writes strips of 5 rows
  std::uint16_t compression = COMPRESSION_NONE;
  std::uint16_t orientation = ORIENTATION_TOPLEFT;
  std::string description;
  std::vector<std::uint16_t> colourMap;  // red, green, blue tables after another
};

// Packs samples MSB first into bytes: 8, 16 and 32 bits natively, other widths as bit strings.
void AppendSample(std::vector<std::uint8_t>& out, std::uint32_t& acc, int& accBits, std::uint32_t v,
                  int bits) {
  if (bits % 8 == 0) {
    const std::size_t at = out.size();
    out.resize(at + bits / 8);
    if (bits == 8) out[at] = std::uint8_t(v);
    if (bits == 16) {
      const std::uint16_t s = std::uint16_t(v);
      std::memcpy(&out[at], &s, 2);
    }
    if (bits == 32) std::memcpy(&out[at], &v, 4);
    return;
  }
  acc = (acc << bits) | v;
  accBits += bits;
  while (accBits >= 8) {
    out.push_back(std::uint8_t(acc >> (accBits - 8)));
    accBits -= 8;
  }
}

// The stored bytes of a run of samples, padded to a whole byte.
std::vector<std::uint8_t> Pack(const std::vector<std::uint32_t>& values, int bits) {
  std::vector<std::uint8_t> out;
  std::uint32_t acc = 0;
  int accBits = 0;
  for (std::uint32_t v : values) AppendSample(out, acc, accBits, v, bits);
  if (accBits > 0) out.push_back(std::uint8_t(acc << (8 - accBits)));
  return out;
}

// Samples of rows [y0, y0 + rows) and columns [x0, x0 + columns) for plane p (all samples of a
// pixel when interleaved), zero outside the page.
std::vector<std::uint32_t> Block(const TestPage& page, std::uint32_t x0, std::uint32_t y0,
                                 std::uint32_t columns, std::uint32_t rows, int plane) {
  std::vector<std::uint32_t> out;
  const int perPixel = page.separatePlanes ? 1 : page.samples;
  for (std::uint32_t y = y0; y < y0 + rows; ++y)
    for (std::uint32_t x = x0; x < x0 + columns; ++x)
      for (int s = 0; s < perPixel; ++s) {
        const int sample = page.separatePlanes ? plane : s;
        const bool inside = x < page.width && y < page.height;
        out.push_back(
            inside ? page.values[(std::size_t(y) * page.width + x) * page.samples + sample] : 0);
      }
  return out;
}

void WritePage(TIFF* tif, const TestPage& page) {
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, page.width);
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, page.height);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, page.samples);
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, page.bits);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, page.photometric);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG,
               page.separatePlanes ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, page.compression);
  TIFFSetField(tif, TIFFTAG_ORIENTATION, page.orientation);
  if (!page.description.empty())
    TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, page.description.c_str());
  if (!page.colourMap.empty()) {
    const std::size_t n = page.colourMap.size() / 3;
    TIFFSetField(tif, TIFFTAG_COLORMAP, page.colourMap.data(), page.colourMap.data() + n,
                 page.colourMap.data() + 2 * n);
  }
  const int planes = page.separatePlanes ? page.samples : 1;
  if (page.tile) {
    TIFFSetField(tif, TIFFTAG_TILEWIDTH, page.tile);
    TIFFSetField(tif, TIFFTAG_TILELENGTH, page.tile);
    for (int p = 0; p < planes; ++p)
      for (std::uint32_t y = 0; y < page.height; y += page.tile)
        for (std::uint32_t x = 0; x < page.width; x += page.tile) {
          std::vector<std::uint8_t> bytes =
              Pack(Block(page, x, y, page.tile, page.tile, p), page.bits);
          ASSERT_GE(TIFFWriteTile(tif, bytes.data(), x, y, 0, std::uint16_t(p)), 0);
        }
  } else {
    constexpr std::uint32_t kRows = 5;
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, kRows);
    const std::uint32_t strips = (page.height + kRows - 1) / kRows;
    for (int p = 0; p < planes; ++p)
      for (std::uint32_t s = 0; s < strips; ++s) {
        std::vector<std::uint8_t> bytes;
        const std::uint32_t rows = std::min(kRows, page.height - s * kRows);
        for (std::uint32_t r = 0; r < rows; ++r) {  // every row starts on a byte
          const std::vector<std::uint8_t> row =
              Pack(Block(page, 0, s * kRows + r, page.width, 1, p), page.bits);
          bytes.insert(bytes.end(), row.begin(), row.end());
        }
        ASSERT_GE(TIFFWriteEncodedStrip(tif, p * strips + s, bytes.data(), tmsize_t(bytes.size())),
                  0);
      }
  }
  ASSERT_TRUE(TIFFWriteDirectory(tif));
}

void WriteTiff(const QString& path, const std::vector<TestPage>& pages, const char* mode = "w") {
  const Tiff tif = OpenTiff(path, mode);
  ASSERT_TRUE(tif);
  for (const TestPage& page : pages) WritePage(tif.get(), page);
}

TestPage PatternPage(std::uint32_t width, std::uint32_t height, std::uint16_t samples,
                     std::uint16_t bits) {
  TestPage page;
  page.width = width;
  page.height = height;
  page.samples = samples;
  page.bits = bits;
  page.photometric = samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
  const std::uint32_t mask = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
  for (std::uint32_t y = 0; y < height; ++y)
    for (std::uint32_t x = 0; x < width; ++x)
      for (int s = 0; s < samples; ++s)
        page.values.push_back((x * 13 + y * 101 + s * 71 + x * y) & mask);
  return page;
}

// The page as the loader must give it: 8-bit colour blue first, otherwise in file order.
template <typename T>
std::vector<T> ExpectedMemory(const TestPage& page) {
  std::vector<T> out(page.values.size());
  const bool swap = sizeof(T) == 1 && page.samples >= 3;
  for (std::size_t px = 0; px < out.size() / page.samples; ++px)
    for (int s = 0; s < page.samples; ++s) {
      const int from = swap && s < 3 ? 2 - s : s;
      out[px * page.samples + s] = T(page.values[px * page.samples + from]);
    }
  return out;
}

template <typename T>
void ExpectLoadsAs(const QString& file, const TestPage& page, ur::ExImageDataType type) {
  ScopedImageBuf loaded;
  ASSERT_TRUE(Load(file, loaded));
  EXPECT_EQ(loaded->width, int(page.width));
  EXPECT_EQ(loaded->height, int(page.height));
  EXPECT_EQ(loaded->channels, page.samples);
  EXPECT_EQ(loaded->dataType, type);
  EXPECT_EQ(Samples<T>(loaded.get()), ExpectedMemory<T>(page));
}

TEST_F(TiffFormat, ReadsTiledAndSeparatePlaneLayouts) {
  struct Layout {
    const char* name;
    std::uint16_t samples, bits;
    bool separate;
    std::uint32_t tile;
    std::uint16_t compression;
  };
  const Layout layouts[] = {
      {"tiled_rgb8", 3, 8, false, 16, COMPRESSION_NONE},
      {"tiled_grey16_lzw", 1, 16, false, 16, COMPRESSION_LZW},
      {"tiled_planar_rgb16", 3, 16, true, 16, COMPRESSION_ADOBE_DEFLATE},
      {"planar_rgb8", 3, 8, true, 0, COMPRESSION_PACKBITS},
      {"planar_rgba16", 4, 16, true, 0, COMPRESSION_NONE},
      {"tiled_planar_rgb8", 3, 8, true, 32, COMPRESSION_LZW},
  };
  for (const Layout& l : layouts) {
    SCOPED_TRACE(l.name);
    TestPage page = PatternPage(37, 21, l.samples, l.bits);  // partial tiles on both edges
    page.separatePlanes = l.separate;
    page.tile = l.tile;
    page.compression = l.compression;
    const QString file = path(l.name) + QStringLiteral(".tif");
    WriteTiff(file, {page});
    if (l.bits == 8)
      ExpectLoadsAs<std::uint8_t>(file, page, ur::eImageDataUInt8);
    else
      ExpectLoadsAs<std::uint16_t>(file, page, ur::eImageDataUInt16);
  }
}

TEST_F(TiffFormat, SixteenBitDepthComesFromTheLargestSampleOrALargerRecord) {
  TestPage page = PatternPage(10, 6, 1, 16);
  for (auto& v : page.values) v &= 0x0FFF;
  page.values[17] = 4095;
  WriteTiff(path("twelve.tif"), {page});
  ScopedImageBuf loaded;
  ASSERT_TRUE(Load(path("twelve.tif"), loaded));
  EXPECT_EQ(loaded->bitDepth, 12);

  const auto withRecordDepth = [&](int depth, ur::ExBayerGrid grid) {
    ur::CxMetadata metadata;
    auto record = std::make_unique<ur::CxCommonImageMetadata>();
    record->dataType = ur::eImageDataUInt16;
    record->bitDepth = depth;
    record->bayerGrid = grid;
    metadata.addItem(std::move(record));
    TestPage described = page;
    described.description = metadata.saveToXml().toStdString();
    WriteTiff(path("described.tif"), {described});
    ScopedImageBuf image;
    EXPECT_TRUE(Load(path("described.tif"), image));
    return image;
  };
  ScopedImageBuf raised = withRecordDepth(14, ur::eBayerGRBG);
  EXPECT_EQ(raised->bitDepth, 14);
  EXPECT_EQ(raised->bayerGrid, ur::eBayerGRBG);
  EXPECT_EQ(withRecordDepth(10, ur::eBayerNone)->bitDepth, 12);  // never lowered
  EXPECT_EQ(withRecordDepth(7, ur::eBayerNone)->bitDepth, 12);   // does not fit 16-bit data

  // MaxSampleValue decides the depth of 8-bit data.
  TestPage eight = PatternPage(4, 4, 1, 8);
  for (auto& v : eight.values) v &= 0x3F;
  WriteTiff(path("six.tif"), {eight});
  {
    const Tiff tif = OpenTiff(path("six.tif"), "r+");
    ASSERT_TRUE(tif);
    TIFFSetField(tif.get(), TIFFTAG_MAXSAMPLEVALUE, 63);
    TIFFRewriteDirectory(tif.get());
  }
  ASSERT_TRUE(Load(path("six.tif"), loaded));
  EXPECT_EQ(loaded->bitDepth, 6);
}

TEST_F(TiffFormat, ReadsPalettesPackedSamplesInvertedGreyAndBottomUpPages) {
  // A coloured palette is expanded to 8-bit colour, blue first.
  TestPage palette = PatternPage(7, 5, 1, 8);
  palette.photometric = PHOTOMETRIC_PALETTE;
  palette.colourMap.resize(3 * 256);
  for (int i = 0; i < 256; ++i) {
    palette.colourMap[i] = std::uint16_t(i * 257);                // red
    palette.colourMap[256 + i] = std::uint16_t((255 - i) * 257);  // green
    palette.colourMap[512 + i] = std::uint16_t((i / 2) * 257);    // blue
  }
  WriteTiff(path("palette.tif"), {palette});
  ScopedImageBuf loaded;
  ASSERT_TRUE(Load(path("palette.tif"), loaded));
  ASSERT_EQ(loaded->channels, 3);
  EXPECT_EQ(loaded->dataType, ur::eImageDataUInt8);
  for (std::uint32_t i = 0; i < palette.values.size(); ++i) {
    const int index = int(palette.values[i]);
    const std::uint8_t* px = ur::RowPtr(loaded.get(), int(i / 7)) + (i % 7) * 3;
    ASSERT_EQ(px[0], index / 2);
    ASSERT_EQ(px[1], 255 - index);
    ASSERT_EQ(px[2], index);
  }

  // A grey palette (here an inverted ramp) gives one grey channel of the palette's values.
  for (int i = 0; i < 256; ++i)
    for (int t = 0; t < 3; ++t) palette.colourMap[t * 256 + i] = std::uint16_t((255 - i) * 257);
  WriteTiff(path("grey_palette.tif"), {palette});
  ASSERT_TRUE(Load(path("grey_palette.tif"), loaded));
  ASSERT_EQ(loaded->channels, 1);
  const std::vector<std::uint8_t> grey = Samples<std::uint8_t>(loaded.get());
  for (std::size_t i = 0; i < grey.size(); ++i) ASSERT_EQ(grey[i], 255 - palette.values[i]);

  // 12-bit packed samples are unpacked into 16-bit samples with their values and depth.
  const TestPage packed = PatternPage(13, 9, 1, 12);
  WriteTiff(path("packed12.tif"), {packed});
  ASSERT_TRUE(Load(path("packed12.tif"), loaded));
  EXPECT_EQ(loaded->dataType, ur::eImageDataUInt16);
  EXPECT_EQ(loaded->bitDepth, 12);
  EXPECT_EQ(Samples<std::uint16_t>(loaded.get()), ExpectedMemory<std::uint16_t>(packed));

  // MinIsWhite is turned so that 0 is black; Orientation 4 (bottom-left) is turned upright.
  TestPage whiteIsZero = PatternPage(5, 4, 1, 8);
  whiteIsZero.photometric = PHOTOMETRIC_MINISWHITE;
  whiteIsZero.orientation = ORIENTATION_BOTLEFT;
  WriteTiff(path("miniswhite.tif"), {whiteIsZero});
  ASSERT_TRUE(Load(path("miniswhite.tif"), loaded));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x)
      ASSERT_EQ(zel::testing::SampleAt<std::uint8_t>(loaded.get(), x, y),
                255 - whiteIsZero.values[std::size_t(3 - y) * 5 + x]);
}

// ---------------------------------------------------------------------------------------------
// Tags and metadata

TEST_F(TiffFormat, ForeignDescriptionIsReportedAndCameraTagsBecomeARecord) {
  static QStringList messages;
  messages.clear();
  const QtMessageHandler previous =
      qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg) messages << text;
      });

  TestPage page = PatternPage(4, 3, 1, 8);
  page.description = "File written by another program";
  {
    const Tiff tif = OpenTiff(path("camera.tif"), "w");
    ASSERT_TRUE(tif);
    // Exposure settings stored in the page itself, as some writers do.
    static const TIFFFieldInfo kExifInPage[] = {
        {33434, 1, 1, TIFF_RATIONAL, FIELD_CUSTOM, 1, 0, const_cast<char*>("ExposureTime")},
        {33437, 1, 1, TIFF_RATIONAL, FIELD_CUSTOM, 1, 0, const_cast<char*>("FNumber")},
        {34855, -1, -1, TIFF_SHORT, FIELD_CUSTOM, 1, 1, const_cast<char*>("ISOSpeedRatings")},
        {41987, 1, 1, TIFF_SHORT, FIELD_CUSTOM, 1, 0, const_cast<char*>("WhiteBalance")},
    };
    ASSERT_EQ(TIFFMergeFieldInfo(tif.get(), kExifInPage, 4), 0);
    TIFFSetField(tif.get(), TIFFTAG_MAKE, "Acme");
    TIFFSetField(tif.get(), TIFFTAG_ARTIST, "Jane");
    TIFFSetField(tif.get(), TIFFTAG_DATETIME, "2020:01:02 03:04:05");
    TIFFSetField(tif.get(), 33434, 0.125);
    TIFFSetField(tif.get(), 33437, 5.6);
    const std::uint16_t iso[] = {800};
    TIFFSetField(tif.get(), 34855, 1, iso);
    TIFFSetField(tif.get(), 41987, 1);
    WritePage(tif.get(), page);
  }
  ScopedImageBuf loaded;
  ur::CxMetadata metadata;
  const bool ok = Load(path("camera.tif"), loaded, &metadata);
  qInstallMessageHandler(previous);
  ASSERT_TRUE(ok);
  EXPECT_TRUE(messages.contains(QStringLiteral("ERROR | Failed to load the image metadata.")))
      << messages.join(QLatin1Char('\n')).toStdString();
  const auto* record = CommonRecord(metadata);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->cameraMake, QStringLiteral("Acme"));
  EXPECT_EQ(record->author, QStringLiteral("Jane"));
  EXPECT_EQ(record->dateTime, QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5)));
  EXPECT_NEAR(record->exposureTime, 0.125, 1e-6);
  EXPECT_NEAR(record->fNumber, 5.6, 1e-6);
  EXPECT_EQ(record->iso, 800);
  EXPECT_EQ(record->whiteBalance, 1);

  // Without any of these tags no record is invented.
  WriteTiff(path("bare.tif"), {PatternPage(4, 3, 1, 8)});
  ASSERT_TRUE(Load(path("bare.tif"), loaded, &metadata));
  EXPECT_EQ(CommonRecord(metadata), nullptr);
}

TEST_F(TiffFormat, ExposureInTheExifDirectoryIsRead) {
  const QString file = path("exif.tif");
  {
    // The page first with a place for the EXIF link, then the EXIF directory, then the link
    // (the order libtiff's own tests use; creating the EXIF directory first leaks in 4.5).
    const Tiff tif = OpenTiff(file, "w");
    ASSERT_TRUE(tif);
    TIFFSetField(tif.get(), TIFFTAG_MODEL, "Cam");
    TIFFSetField(tif.get(), TIFFTAG_EXIFIFD, std::uint64_t(0));
    WritePage(tif.get(), PatternPage(4, 3, 3, 8));
    ASSERT_EQ(TIFFCreateEXIFDirectory(tif.get()), 0);
    TIFFSetField(tif.get(), EXIFTAG_EXPOSURETIME, 0.01);
    TIFFSetField(tif.get(), EXIFTAG_FNUMBER, 4.0);
    const std::uint16_t iso[] = {200};
    TIFFSetField(tif.get(), EXIFTAG_ISOSPEEDRATINGS, 1, iso);
    std::uint64_t exifOffset = 0;
    ASSERT_TRUE(TIFFWriteCustomDirectory(tif.get(), &exifOffset));
    ASSERT_TRUE(TIFFSetDirectory(tif.get(), 0));
    TIFFSetField(tif.get(), TIFFTAG_EXIFIFD, exifOffset);
    ASSERT_TRUE(TIFFRewriteDirectory(tif.get()));
  }
  ScopedImageBuf loaded;
  ur::CxMetadata metadata;
  ASSERT_TRUE(Load(file, loaded, &metadata));
  EXPECT_EQ(loaded->channels, 3);
  const auto* record = CommonRecord(metadata);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->cameraModel, QStringLiteral("Cam"));
  EXPECT_NEAR(record->exposureTime, 0.01, 1e-9);
  EXPECT_NEAR(record->fNumber, 4.0, 1e-9);
  EXPECT_EQ(record->iso, 200);
}

// ---------------------------------------------------------------------------------------------
// Bad files

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  ASSERT_EQ(f.write(bytes), bytes.size());
}

// A classic little-endian TIFF built by hand: an 8-bit grey page whose one strip lies at
// stripOffset; data (if any) is appended after the directory.
QByteArray HandMadeTiff(std::uint32_t width, std::uint32_t height, std::uint32_t stripOffset,
                        const QByteArray& data) {
  QByteArray out("II*\0\x08\0\0\0", 8);
  const auto put16 = [&](std::uint16_t v) { out.append(char(v & 0xFF)).append(char(v >> 8)); };
  const auto put32 = [&](std::uint32_t v) {
    put16(std::uint16_t(v & 0xFFFF));
    put16(std::uint16_t(v >> 16));
  };
  const auto entry = [&](std::uint16_t tag, std::uint16_t type, std::uint32_t value) {
    put16(tag);
    put16(type);
    put32(1);
    if (type == TIFF_SHORT) {
      put16(std::uint16_t(value));
      put16(0);
    } else {
      put32(value);
    }
  };
  put16(8);
  entry(TIFFTAG_IMAGEWIDTH, TIFF_LONG, width);
  entry(TIFFTAG_IMAGELENGTH, TIFF_LONG, height);
  entry(TIFFTAG_BITSPERSAMPLE, TIFF_SHORT, 8);
  entry(TIFFTAG_COMPRESSION, TIFF_SHORT, COMPRESSION_NONE);
  entry(TIFFTAG_PHOTOMETRIC, TIFF_SHORT, PHOTOMETRIC_MINISBLACK);
  entry(TIFFTAG_STRIPOFFSETS, TIFF_LONG, stripOffset);
  entry(TIFFTAG_ROWSPERSTRIP, TIFF_LONG, height);
  entry(TIFFTAG_STRIPBYTECOUNTS, TIFF_LONG, width * height);
  put32(0);
  return out + data;
}

void ExpectRejected(const QString& file) {
  SCOPED_TRACE(file.toStdString());
  ScopedImageBuf image;
  EXPECT_FALSE(Load(file, image));
  EXPECT_EQ(image->data, nullptr);
  auto loader = Manager()->createLoader(file);
  ASSERT_TRUE(loader);
  EXPECT_FALSE(loader->open());
  EXPECT_FALSE(loader->isOpen());
  EXPECT_EQ(loader->frameCount(), 0);
  EXPECT_EQ(loader->imageData(0), nullptr);
}

TEST_F(TiffFormat, BadFilesFailWithoutCrashing) {
  ExpectRejected(path("missing.tif"));

  WriteBytes(path("empty.tif"), QByteArray());
  ExpectRejected(path("empty.tif"));

  QImage png(6, 5, QImage::Format_RGB32);
  png.fill(Qt::red);
  ASSERT_TRUE(png.save(path("picture.png"), "PNG"));
  ASSERT_TRUE(QFile::copy(path("picture.png"), path("picture.tif")));
  ExpectRejected(path("picture.tif"));

  // The hand-made file is sound when complete, and fails when its pixels are cut off.
  constexpr std::uint32_t kDataAt = 8 + 2 + 8 * 12 + 4;
  const QByteArray pixels(12 * 10, '\x55');
  WriteBytes(path("hand.tif"), HandMadeTiff(12, 10, kDataAt, pixels));
  ScopedImageBuf image;
  ASSERT_TRUE(Load(path("hand.tif"), image));
  EXPECT_EQ(Samples<std::uint8_t>(image.get()), std::vector<std::uint8_t>(120, 0x55));
  WriteBytes(path("cut_pixels.tif"), HandMadeTiff(12, 10, kDataAt, pixels.left(50)));
  ExpectRejected(path("cut_pixels.tif"));
  WriteBytes(path("absurd.tif"), HandMadeTiff(0x7FFFFFFF, 0x7FFFFFFF, kDataAt, pixels));
  ExpectRejected(path("absurd.tif"));

  // A file of the saver cut at several points.
  const ScopedImageBuf saved = PatternImage<std::uint16_t>(40, 30, 3, 16);
  ASSERT_TRUE(Manager()->saveImageToFile(path("whole.tif"), saved.get(), nullptr, Options(0)));
  const QByteArray whole = ReadBytes(path("whole.tif"));
  // (A cut of the last byte or two only damages the PageName text, which libtiff skips.)
  for (int cut : {4, 8, 16, whole.size() / 2, whole.size() - 40}) {
    WriteBytes(path("cut.tif"), whole.left(cut));
    ExpectRejected(path("cut.tif"));
  }

  // Random bytes, with and without a TIFF header in front.
  QRandomGenerator random(20240607);
  for (int i = 0; i < 24; ++i) {
    QByteArray bytes(64 + int(random.bounded(4096)), '\0');
    for (char& b : bytes) b = char(random.bounded(256));
    if (i % 2) bytes.replace(0, 4, QByteArray(i % 4 == 1 ? "II*\0" : "MM\0*", 4));
    WriteBytes(path("random.tif"), bytes);
    ScopedImageBuf noise;
    Load(path("random.tif"), noise);  // must not crash; random bytes rarely make a picture
    if (i % 2 == 0) {
      EXPECT_EQ(noise->data, nullptr);
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Options widget

QVariantMap OptionsFromWidget(ur::IxImageDataSaver* saver, QWidget* widget) {
  QVariantMap options;
  EXPECT_TRUE(QMetaObject::invokeMethod(saver, "optionsFromWidget", Qt::DirectConnection,
                                        Q_RETURN_ARG(QVariantMap, options),
                                        Q_ARG(QWidget*, widget)));
  return options;
}

TEST_F(TiffFormat, OptionsWidgetShowsAndReturnsTheOptions) {
  auto saver = Manager()->createSaver(path("options.tif"));
  ASSERT_TRUE(saver);
  EXPECT_EQ(saver->metaObject()->className(), std::string("ur::CxTiffImageSaver"));

  // Defaults: uncompressed, 16-bit data kept, no scaling.
  std::unique_ptr<QWidget> widget(saver->widgetForSaveDlg(nullptr));
  ASSERT_TRUE(widget);
  auto* combo = widget->findChild<QComboBox*>(QStringLiteral("cbCompr"));
  auto* keep16 = widget->findChild<QCheckBox*>(QStringLiteral("chk16BitData"));
  auto* scale = widget->findChild<QCheckBox*>(QStringLiteral("chkScaleRange16"));
  ASSERT_TRUE(combo && keep16 && scale);
  ASSERT_EQ(combo->count(), 3);
  EXPECT_EQ(combo->itemText(0), QStringLiteral("LZW"));
  EXPECT_EQ(combo->itemText(1), QStringLiteral("Packbits"));
  EXPECT_EQ(combo->itemText(2), QStringLiteral("Uncompressed (faster)"));
  EXPECT_EQ(combo->currentIndex(), 2);
  EXPECT_EQ(keep16->text(), QStringLiteral("Enable storing 16-bit data"));
  EXPECT_TRUE(keep16->isChecked());
  EXPECT_EQ(scale->text(), QStringLiteral("Scale the color bit depth to a full 16-bit range"));
  EXPECT_FALSE(scale->isChecked());
  EXPECT_TRUE(scale->isEnabled());
  EXPECT_EQ(scale->toolTip(),
            QStringLiteral("If the image has its color bit depth (bits per channel) greater than "
                           "8bitsthen the color range will be scaled to full 16bit range (e.g. "
                           "10bit image \nwill be scaled to 16bit image).\nThis option is NOT "
                           "valid for 8bit images."));

  // Preset from the options; the scaling box follows the 16-bit box.
  saver->setOptions(Options(1, false, true));
  widget.reset(saver->widgetForSaveDlg(nullptr));
  combo = widget->findChild<QComboBox*>(QStringLiteral("cbCompr"));
  keep16 = widget->findChild<QCheckBox*>(QStringLiteral("chk16BitData"));
  scale = widget->findChild<QCheckBox*>(QStringLiteral("chkScaleRange16"));
  EXPECT_EQ(combo->currentIndex(), 1);
  EXPECT_FALSE(keep16->isChecked());
  EXPECT_TRUE(scale->isChecked());
  EXPECT_FALSE(scale->isEnabled());
  keep16->click();
  EXPECT_TRUE(scale->isEnabled());
  keep16->click();
  EXPECT_FALSE(scale->isEnabled());
  keep16->click();

  combo->setCurrentIndex(0);
  scale->setChecked(false);
  const QVariantMap read = OptionsFromWidget(saver.get(), widget.get());
  EXPECT_EQ(read.value(QStringLiteral("compression")).toInt(), 0);
  EXPECT_EQ(read.value(QStringLiteral("data16bit")).toBool(), true);
  EXPECT_EQ(read.value(QStringLiteral("scale_range")).toBool(), false);

  // Controls that are not there are skipped: the options stay as they were.
  QWidget empty;
  EXPECT_EQ(OptionsFromWidget(saver.get(), &empty), Options(1, false, true));
}

TEST_F(TiffFormat, FormatClassesAreThePreferredTiffHandlers) {
  for (const char* name : {"x.tif", "x.tiff", "X.TIF"}) {
    SCOPED_TRACE(name);
    auto loader = Manager()->createLoader(path(name));
    ASSERT_TRUE(loader);
    const QMetaObject* meta = loader->metaObject();
    EXPECT_STREQ(meta->className(), "ur::CxTiffImageLoader");
    EXPECT_STREQ(meta->classInfo(meta->indexOfClassInfo("CustomName")).value(),
                 "TIFF Image Loader");
    const ur::FileFormatList formats = loader->fileFormats();
    ASSERT_EQ(formats.size(), 2);
    EXPECT_EQ(formats[0].filter, QStringLiteral("TIFF (*.tif)"));
    EXPECT_EQ(formats[1].filter, QStringLiteral("TIFF (*.tiff)"));
    EXPECT_EQ(formats[1].flags, 1);
    EXPECT_TRUE(loader->hasFileSource());
    auto saver = Manager()->createSaver(path(name));
    ASSERT_TRUE(saver);
    meta = saver->metaObject();
    EXPECT_STREQ(meta->className(), "ur::CxTiffImageSaver");
    EXPECT_STREQ(meta->classInfo(meta->indexOfClassInfo("CustomName")).value(), "TIFF Image Saver");
  }
}

}  // namespace
