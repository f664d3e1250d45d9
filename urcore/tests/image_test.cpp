#include <ur/buffers.h>
#include <ur/geometry.h>
#include <ur/image.h>

#include <zel_testing/log_capture.h>
#include <zel_testing/image_builder.h>
#include <zel_testing/printers.h>
#include <zel_testing/test_data.h>

#include <gtest/gtest.h>

#include <FreeImage.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <vector>

namespace {

using ur::CxImage;
using ur::ExImageDataType;
using ur::Failed;
using ur::ScopedImageBuf;
using ur::SxImageBuf;
using zel::testing::ImageShape;
using zel::testing::MakeImage;
using zel::testing::SampleAt;
using zel::testing::Samples;
namespace rc = ur::rc;

// ---- helpers -------------------------------------------------------------------------------

struct BitmapDeleter {
  void operator()(FIBITMAP* dib) const { FreeImage_Unload(dib); }
};
using BitmapPtr = std::unique_ptr<FIBITMAP, BitmapDeleter>;

// Reads a file with FreeImage directly, not through CxImage.
BitmapPtr LoadDirectly(const QString& path) {
  const QByteArray name = QFile::encodeName(path);
  return BitmapPtr(FreeImage_Load(FreeImage_GetFileType(name.constData(), 0), name.constData(),
                                  PNG_IGNOREGAMMA));
}

QByteArray ReadBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  ASSERT_EQ(file.write(bytes), bytes.size());
}

QStringList FilesIn(const QString& dir) {
  return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Bit depth and colour type from a PNG's IHDR chunk, read from the bytes themselves.
struct PngHeader {
  int bitDepth = -1;
  int colourType = -1;
};
PngHeader ReadPngHeader(const QString& path) {
  const QByteArray bytes = ReadBytes(path);
  if (bytes.size() < 26 || bytes.mid(12, 4) != "IHDR") return {};
  return {static_cast<unsigned char>(bytes[24]), static_cast<unsigned char>(bytes[25])};
}
constexpr int kPngGrey = 0;
constexpr int kPngRgb = 2;

// Runs an external program and returns its standard output; nullopt when it is not installed
// or fails.
std::optional<QByteArray> RunTool(const QString& program, const QStringList& args) {
  if (QStandardPaths::findExecutable(program).isEmpty()) return std::nullopt;
  QProcess process;
  process.start(program, args);
  if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0)
    return std::nullopt;
  return process.readAllStandardOutput();
}

bool HasImageMagick() {
  return !QStandardPaths::findExecutable(QStringLiteral("convert")).isEmpty();
}

// The picture as ImageMagick decodes it: 8-bit samples, top row first, `map` "gray" or "rgb".
// Declaring the picture sRGB keeps ImageMagick from applying a gAMA chunk to the values.
QByteArray DecodeWithImageMagick(const QString& path, const QString& map) {
  const auto out =
      RunTool(QStringLiteral("convert"),
              {path, QStringLiteral("-set"), QStringLiteral("colorspace"), QStringLiteral("sRGB"),
               QStringLiteral("-depth"), QStringLiteral("8"), map + ":-"});
  return out ? *out : QByteArray();
}

// A picture described top-down: value(x, y, c) is the sample of pixel (x, y) in memory
// channel c, row 0 the top row.
template <typename T>
using SampleFn = std::function<T(int x, int y, int c)>;

template <typename T>
ScopedImageBuf MakePicture(int width, int height, int channels, const SampleFn<T>& value,
                           int padBytes = 0) {
  std::vector<T> samples;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < channels; ++c) samples.push_back(value(x, y, c));
  ImageShape shape;
  shape.width = width;
  shape.height = height;
  shape.channels = channels;
  shape.padBytes = padBytes;
  return MakeImage<T>(shape, samples);
}

// The same picture, rows reversed into FreeImage's bottom-up memory order.
template <typename T>
ScopedImageBuf MakeBottomUpPicture(int width, int height, int channels, const SampleFn<T>& value,
                                   int padBytes = 0) {
  ScopedImageBuf buf = MakePicture<T>(width, height, channels, value, padBytes);
  EXPECT_EQ(ur::ReverseRowOrder(buf.get()), rc::Ok);
  return buf;
}

// An ASCII tag whose value is Latin-1 text, count and length the number of characters, as the
// ZEL writer builds it.
fipTag MakeTextTag(const QString& key, const QString& text) {
  const QByteArray latin1 = text.toLatin1();
  fipTag tag;
  tag.setKey(key.toLatin1().constData());
  tag.setType(FIDT_ASCII);
  tag.setCount(DWORD(latin1.size()));
  tag.setLength(DWORD(latin1.size()));
  tag.setValue(latin1.constData());
  return tag;
}

QByteArray TagBytes(const fipTag& tag) {
  return QByteArray(static_cast<const char*>(tag.getValue()), int(tag.getLength()));
}

// Text with Latin-1 letters and every XML special character.
const QString kRecordText = QString::fromUtf8(
    "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<zel note=\"caf\xC3\xA9 & cr\xC3\xA8me\" "
    "deg=\"20\xC2\xB0\"><q>'a' &lt; \"b\" &amp; c &gt; d</q><s>Stra\xC3\x9F"
    "e \xC3\xBF</s></zel>");

CxImage SmallGreyImage() {
  const ScopedImageBuf buf = MakePicture<std::uint8_t>(
      4, 3, 1, [](int x, int y, int) { return std::uint8_t(x + 10 * y); });
  CxImage image(buf.get());
  EXPECT_TRUE(image.isValid());
  return image;
}

using zel::testing::LogCapture;

// ---- the ZEL record tag --------------------------------------------------------------------

TEST(CxImageText, ZelRecordTagReadsBackUnchanged) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("record.zel.png"));
  CxImage image = SmallGreyImage();
  ASSERT_EQ(image.setMetadata(FIMD_COMMENTS, QStringLiteral("ZEL_MD"),
                              MakeTextTag(QStringLiteral("ZEL_MD"), kRecordText)),
            rc::Ok);
  ASSERT_EQ(image.save(path, CxImage::SxSaveParams{100}), rc::Ok);

  CxImage loaded;
  ASSERT_EQ(loaded.load(path), rc::Ok);
  fipTag tag;
  ASSERT_EQ(loaded.getMetadata(FIMD_COMMENTS, QStringLiteral("ZEL_MD"), tag), rc::Ok);
  EXPECT_EQ(tag.getType(), FIDT_ASCII);
  EXPECT_EQ(int(tag.getCount()), kRecordText.size());
  EXPECT_EQ(int(tag.getLength()), kRecordText.size());
  EXPECT_EQ(TagBytes(tag), kRecordText.toLatin1());
  EXPECT_EQ(QString::fromLatin1(TagBytes(tag)), kRecordText);

  fipTag absent;
  EXPECT_EQ(loaded.getMetadata(FIMD_COMMENTS, QStringLiteral("ZEL"), absent), rc::Fail);
}

// FreeImage writes comment tags as iTXt chunks, whose text must be UTF-8; a Latin-1 record
// is stored as a tEXt chunk instead, which is what other readers expect of Latin-1 text.
TEST(CxImageText, LatinOneRecordIsATextChunkAndUtf8TextStaysInternational) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("record.zel.png"));
  const QString utf8Text = QString::fromUtf8(
      "Gr\xC3\xBC\xC3\x9F"
      "e \xE2\x82\xAC");
  CxImage image = SmallGreyImage();
  ASSERT_EQ(image.setMetadata(FIMD_COMMENTS, QStringLiteral("ZEL_MD"),
                              MakeTextTag(QStringLiteral("ZEL_MD"), kRecordText)),
            rc::Ok);
  const QByteArray utf8 = utf8Text.toUtf8();
  fipTag utf8Tag;
  utf8Tag.setKey("Note");
  utf8Tag.setType(FIDT_ASCII);
  utf8Tag.setCount(DWORD(utf8.size()));
  utf8Tag.setLength(DWORD(utf8.size()));
  utf8Tag.setValue(utf8.constData());
  ASSERT_EQ(image.setMetadata(FIMD_COMMENTS, QStringLiteral("Note"), utf8Tag), rc::Ok);
  ASSERT_EQ(image.save(path), rc::Ok);

  const QByteArray file = ReadBytes(path);
  EXPECT_TRUE(file.contains(QByteArray("tEXtZEL_MD") + '\0' + kRecordText.toLatin1()));
  EXPECT_TRUE(file.contains(QByteArray("iTXtNote") + '\0'));
  CxImage loaded;
  ASSERT_EQ(loaded.load(path), rc::Ok);
  fipTag tag;
  ASSERT_EQ(loaded.getMetadata(FIMD_COMMENTS, QStringLiteral("Note"), tag), rc::Ok);
  EXPECT_EQ(TagBytes(tag), utf8);
}

TEST(CxImageText, ZelRecordChunkIsSeenByOtherReaders) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("record.zel.png"));
  CxImage image = SmallGreyImage();
  ASSERT_EQ(image.setMetadata(FIMD_COMMENTS, QStringLiteral("ZEL_MD"),
                              MakeTextTag(QStringLiteral("ZEL_MD"), kRecordText)),
            rc::Ok);
  ASSERT_EQ(image.save(path), rc::Ok);

  bool checked = false;
  if (const auto out = RunTool(QStringLiteral("pngcheck"), {QStringLiteral("-vt"), path})) {
    // pngcheck also verifies every chunk's CRC.
    EXPECT_TRUE(out->contains("tEXt")) << out->constData();
    EXPECT_TRUE(out->contains("keyword: ZEL_MD")) << out->constData();
    EXPECT_TRUE(out->contains("No errors detected")) << out->constData();
    checked = true;
  } else if (const auto info =
                 RunTool(QStringLiteral("identify"), {QStringLiteral("-verbose"), path})) {
    EXPECT_TRUE(info->contains("ZEL_MD")) << info->constData();
    checked = true;
  }
  // exiftool converts the Latin-1 text to UTF-8: the accents must survive.
  if (const auto value = RunTool(QStringLiteral("exiftool"),
                                 {QStringLiteral("-b"), QStringLiteral("-ZEL_MD"), path})) {
    EXPECT_EQ(QString::fromUtf8(*value), kRecordText);
    checked = true;
  }
  if (!checked)
    GTEST_SKIP() << "none of pngcheck, ImageMagick's identify and exiftool is installed";
}

// ---- rows and channel order ----------------------------------------------------------------

std::uint8_t UprightValue(int x, int y, int) { return std::uint8_t(10 + 20 * y + x); }
constexpr int kUprightWidth = 5;
constexpr int kUprightHeight = 3;

// A top-down asymmetric picture, reversed as the ZEL writer does, set and saved.
void SaveUprightSample(const QString& path) {
  ScopedImageBuf buf = MakePicture<std::uint8_t>(kUprightWidth, kUprightHeight, 1, UprightValue);
  ASSERT_EQ(ur::ReverseRowOrder(buf.get()), rc::Ok);
  CxImage image;
  ASSERT_EQ(image.setImageBuf(buf.get()), rc::Ok);
  ASSERT_EQ(image.save(path), rc::Ok);
}

TEST(CxImageRows, ReversedTopDownBufferIsWrittenUpright) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("upright.png"));
  SaveUprightSample(path);

  // FreeImage's scanline height - 1 is the top row of the picture.
  const BitmapPtr dib = LoadDirectly(path);
  ASSERT_TRUE(dib);
  ASSERT_EQ(int(FreeImage_GetHeight(dib.get())), kUprightHeight);
  for (int y = 0; y < kUprightHeight; ++y) {
    const BYTE* row = FreeImage_GetScanLine(dib.get(), kUprightHeight - 1 - y);
    for (int x = 0; x < kUprightWidth; ++x)
      EXPECT_EQ(row[x], UprightValue(x, y, 0)) << x << "," << y;
  }

  // Loaded back, the buffer is bottom-up again: memory row 0 holds the bottom row.
  CxImage loaded;
  ASSERT_EQ(loaded.load(path), rc::Ok);
  SxImageBuf buf;
  ASSERT_EQ(loaded.getImageBuf(buf), rc::Ok);
  EXPECT_EQ(SampleAt<std::uint8_t>(buf, 0, 0), UprightValue(0, kUprightHeight - 1, 0));
  EXPECT_EQ(SampleAt<std::uint8_t>(buf, 0, kUprightHeight - 1), UprightValue(0, 0, 0));
}

TEST(CxImageRows, ReversedTopDownBufferIsUprightForImageMagick) {
  if (!HasImageMagick()) GTEST_SKIP() << "ImageMagick's convert is not installed";
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("upright.png"));
  SaveUprightSample(path);
  QByteArray expected;
  for (int y = 0; y < kUprightHeight; ++y)
    for (int x = 0; x < kUprightWidth; ++x) expected += char(UprightValue(x, y, 0));
  EXPECT_EQ(DecodeWithImageMagick(path, QStringLiteral("gray")), expected);
}

TEST(CxImageRows, SaveBufferToFileWritesABottomUpBufferUpright) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("restored.dezel.png"));
  const ScopedImageBuf buf = MakeBottomUpPicture<std::uint16_t>(
      3, 4, 1, [](int x, int y, int) { return std::uint16_t(1000 * y + x); });
  ASSERT_EQ(CxImage::saveBufferToFile(buf.get(), path, CxImage::SxSaveParams{100}), rc::Ok);

  const BitmapPtr dib = LoadDirectly(path);
  ASSERT_TRUE(dib);
  ASSERT_EQ(FreeImage_GetImageType(dib.get()), FIT_UINT16);
  const auto* top = reinterpret_cast<const std::uint16_t*>(FreeImage_GetScanLine(dib.get(), 3));
  const auto* bottom = reinterpret_cast<const std::uint16_t*>(FreeImage_GetScanLine(dib.get(), 0));
  EXPECT_EQ(top[2], 2);
  EXPECT_EQ(bottom[2], 3002);
}

TEST(CxImageChannels, ColourChannelOrderMatchesOtherReaders) {
  if (!HasImageMagick()) GTEST_SKIP() << "ImageMagick's convert is not installed";
  QTemporaryDir dir;
  // Top-left pixel pure red, the rest pure blue; 8-bit memory order B, G, R, 16-bit R, G, B.
  const ScopedImageBuf bgr8 = MakeBottomUpPicture<std::uint8_t>(2, 2, 3, [](int x, int y, int c) {
    const bool red = x == 0 && y == 0;
    return std::uint8_t((red ? c == 2 : c == 0) ? 255 : 0);
  });
  const ScopedImageBuf rgb16 = MakeBottomUpPicture<std::uint16_t>(2, 2, 3, [](int x, int y, int c) {
    const bool red = x == 0 && y == 0;
    return std::uint16_t((red ? c == 0 : c == 2) ? 65535 : 0);
  });
  const QByteArray expected("\xFF\x00\x00\x00\x00\xFF\x00\x00\xFF\x00\x00\xFF", 12);
  const QString path8 = dir.filePath(QStringLiteral("red8.png"));
  const QString path16 = dir.filePath(QStringLiteral("red16.png"));
  ASSERT_EQ(CxImage::saveBufferToFile(bgr8.get(), path8), rc::Ok);
  ASSERT_EQ(CxImage::saveBufferToFile(rgb16.get(), path16), rc::Ok);
  EXPECT_EQ(DecodeWithImageMagick(path8, QStringLiteral("rgb")).toHex(), expected.toHex());
  EXPECT_EQ(DecodeWithImageMagick(path16, QStringLiteral("rgb")).toHex(), expected.toHex());
  const auto pixel =
      RunTool(QStringLiteral("convert"),
              {path8, QStringLiteral("-crop"), QStringLiteral("1x1+0+0"), QStringLiteral("txt:")});
  ASSERT_TRUE(pixel);
  EXPECT_TRUE(pixel->contains("#FF0000")) << pixel->constData();
}

// ---- lossless round trips ------------------------------------------------------------------

struct RoundTripCase {
  const char* name;
  const char* suffix;
  ExImageDataType dataType;
  int channels;
  FREE_IMAGE_TYPE bitmapType;
  int pngBitDepth;  // expected in the written IHDR; -1 for other formats
  int pngColourType;
};

class CxImageRoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

// Samples that catch swapped bytes, swapped channels and lost rows: every sample differs, and
// 0 and the top level both occur.
template <typename T>
T RoundTripSample(int x, int y, int c) {
  if (x == 0 && y == 0) return T(0);
  if (x == 6 && y == 4) return std::numeric_limits<T>::max();
  return T(0x0101 * (x + 1) + 0x1357 * y + 0x4000 * c + 0x21 * c * x);
}

template <typename T>
void CheckRoundTrip(const RoundTripCase& param) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("sample.") + param.suffix);
  // Odd width and a padded source pitch: rows of both sides must be walked by their pitch.
  const ScopedImageBuf source =
      MakePicture<T>(7, 5, param.channels, &RoundTripSample<T>, /*padBytes=*/6);
  ASSERT_EQ(CxImage::saveBufferToFile(source.get(), path), rc::Ok);
  if (param.pngBitDepth >= 0) {
    const PngHeader header = ReadPngHeader(path);
    EXPECT_EQ(header.bitDepth, param.pngBitDepth);
    EXPECT_EQ(header.colourType, param.pngColourType);
  }

  CxImage loaded;
  ASSERT_EQ(loaded.load(path), rc::Ok);
  EXPECT_EQ(FreeImage_GetImageType(loaded.bitmap()), param.bitmapType);
  SxImageBuf buf;
  ASSERT_EQ(loaded.getImageBuf(buf), rc::Ok);
  EXPECT_EQ(buf.width, 7);
  EXPECT_EQ(buf.height, 5);
  EXPECT_EQ(buf.channels, param.channels);
  EXPECT_EQ(buf.dataType, param.dataType);
  EXPECT_EQ(buf.bitDepth, int(8 * sizeof(T)));
  EXPECT_EQ(buf.planar, 0);
  EXPECT_EQ(buf.linePitch, int(FreeImage_GetPitch(loaded.bitmap())));
  EXPECT_EQ(Samples<T>(buf), Samples<T>(source.get()));
}

TEST_P(CxImageRoundTrip, KeepsEverySample) {
  const RoundTripCase& param = GetParam();
  switch (param.dataType) {
    case ur::eImageDataUInt8:
      CheckRoundTrip<std::uint8_t>(param);
      break;
    case ur::eImageDataUInt16:
      CheckRoundTrip<std::uint16_t>(param);
      break;
    case ur::eImageDataFloat:
      CheckRoundTrip<float>(param);
      break;
    default:
      FAIL() << "no case for this type";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, CxImageRoundTrip,
    ::testing::Values(
        RoundTripCase{"Grey8Png", "png", ur::eImageDataUInt8, 1, FIT_BITMAP, 8, kPngGrey},
        RoundTripCase{"Bgr8Png", "png", ur::eImageDataUInt8, 3, FIT_BITMAP, 8, kPngRgb},
        RoundTripCase{"Grey16Png", "png", ur::eImageDataUInt16, 1, FIT_UINT16, 16, kPngGrey},
        RoundTripCase{"Rgb16Png", "png", ur::eImageDataUInt16, 3, FIT_RGB16, 16, kPngRgb},
        RoundTripCase{"Grey16Tiff", "tif", ur::eImageDataUInt16, 1, FIT_UINT16, -1, -1},
        RoundTripCase{"FloatTiff", "tiff", ur::eImageDataFloat, 1, FIT_FLOAT, -1, -1}),
    [](const ::testing::TestParamInfo<RoundTripCase>& param) { return param.param.name; });

// A PNG chunk built here, with its CRC worked out independently of the code under test.
QByteArray PngChunk(const QByteArray& type, const QByteArray& data) {
  auto bigEndian = [](quint32 v) {
    const char bytes[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    return QByteArray(bytes, 4);
  };
  quint32 crc = 0xFFFFFFFFu;
  for (const char byte : type + data) {
    crc ^= quint8(byte);
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return bigEndian(quint32(data.size())) + type + data + bigEndian(~crc);
}

TEST(CxImageLoad, GammaChunkDoesNotChangeSamples) {
  // 4 x 1 8-bit grey, file gamma 1.0: a reader that corrects for a 2.2 display changes 64 to 136.
  const QByteArray header("\0\0\0\x04\0\0\0\x01\x08\0\0\0\0", 13);
  const QByteArray rows("\0\x00\x40\x80\xC8", 5);  // filter byte 0, then 0, 64, 128, 200
  const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", header) +
                         PngChunk("gAMA", QByteArray("\0\x01\x86\xA0", 4)) +  // 100000
                         PngChunk("IDAT", qCompress(rows).mid(4)) + PngChunk("IEND", {});
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("gamma.png"));
  WriteBytes(path, png);
  CxImage image;
  ASSERT_EQ(image.load(path), rc::Ok);
  SxImageBuf buf;
  ASSERT_EQ(image.getImageBuf(buf), rc::Ok);
  EXPECT_EQ(Samples<std::uint8_t>(buf), (std::vector<std::uint8_t>{0, 64, 128, 200}));
}

TEST(CxImageLoad, SixteenBitGreyPngIsUInt16WithItsPitch) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("grey16.png"));
  const ScopedImageBuf source = MakePicture<std::uint16_t>(
      7, 2, 1, [](int x, int y, int) { return std::uint16_t(4000 + x + y); });
  ASSERT_EQ(CxImage::saveBufferToFile(source.get(), path), rc::Ok);
  CxImage image;
  ASSERT_EQ(image.load(path), rc::Ok);
  EXPECT_EQ(FreeImage_GetImageType(image.bitmap()), FIT_UINT16);
  SxImageBuf buf;
  ASSERT_EQ(image.getImageBuf(buf), rc::Ok);
  EXPECT_EQ(buf.linePitch, 16);  // 7 x 2 bytes, rounded up to FreeImage's 4-byte rows
  EXPECT_EQ(buf.channels, 1);
  EXPECT_EQ(buf.dataType, ur::eImageDataUInt16);
  EXPECT_EQ(buf.bitDepth, 16);
  EXPECT_EQ(buf.data, FreeImage_GetBits(image.bitmap()));
  ur::SxImageInfo info;
  ASSERT_EQ(image.getImageInfo(info), rc::Ok);
  EXPECT_EQ(info.linePitch, 16);
  EXPECT_EQ(info.width, 7);
}

// ---- buffers and value semantics -----------------------------------------------------------

TEST(CxImageBuffer, EveryDocumentedLayoutIsKept) {
  struct Layout {
    ExImageDataType type;
    int channels;
    int bytes;
  };
  const Layout layouts[] = {
      {ur::eImageDataUInt8, 1, 1},  {ur::eImageDataUInt8, 3, 1},  {ur::eImageDataUInt8, 4, 1},
      {ur::eImageDataUInt16, 1, 2}, {ur::eImageDataUInt16, 3, 2}, {ur::eImageDataUInt16, 4, 2},
      {ur::eImageDataInt16, 1, 2},  {ur::eImageDataUInt32, 1, 4}, {ur::eImageDataInt32, 1, 4},
      {ur::eImageDataFloat, 1, 4},  {ur::eImageDataFloat, 3, 4},  {ur::eImageDataFloat, 4, 4},
      {ur::eImageDataDouble, 1, 8}};
  for (const Layout& l : layouts) {
    SCOPED_TRACE(testing::Message() << "type " << l.type << ", channels " << l.channels);
    SxImageBuf source;
    ASSERT_EQ(ur::AllocBuffer(source, 3, 2, l.channels, 0, l.type), rc::Ok);
    ScopedImageBuf owner(source);
    for (std::int64_t i = 0; i < ur::BufferBytes(source); ++i)
      source.data[i] = std::uint8_t(i * 7 + 1);
    CxImage image(source);
    SxImageBuf buf;
    ASSERT_EQ(image.getImageBuf(buf), rc::Ok);
    EXPECT_EQ(buf.dataType, l.type);
    EXPECT_EQ(buf.channels, l.channels);
    EXPECT_EQ(buf.bitDepth, 8 * l.bytes);
    for (int y = 0; y < 2; ++y)
      EXPECT_EQ(
          QByteArray(reinterpret_cast<const char*>(ur::RowPtr(buf, y)), 3 * l.channels * l.bytes),
          QByteArray(reinterpret_cast<const char*>(ur::RowPtr(source, y)),
                     3 * l.channels * l.bytes));
  }
}

TEST(CxImageBuffer, RefusesWhatItCannotHoldAndStaysUnchanged) {
  CxImage empty;
  SxImageBuf buf;
  ur::SxImageInfo info;
  EXPECT_FALSE(empty.isValid());
  EXPECT_EQ(empty.getImageBuf(buf), rc::Fail);
  EXPECT_EQ(empty.getImageInfo(info), rc::Fail);
  EXPECT_EQ(empty.setImageBuf(SxImageBuf{}), rc::InvalidArg(1));
  EXPECT_FALSE(CxImage(SxImageBuf{}).isValid());

  CxImage image = SmallGreyImage();
  ASSERT_EQ(image.setMetadata(FIMD_COMMENTS, QStringLiteral("k"),
                              MakeTextTag(QStringLiteral("k"), QStringLiteral("v"))),
            rc::Ok);
  ImageShape planar;
  planar.width = 2;
  planar.height = 2;
  planar.channels = 3;
  planar.planar = 1;
  const ScopedImageBuf planarBuf = zel::testing::MakeZeroImage<std::uint8_t>(planar);
  EXPECT_EQ(image.setImageBuf(planarBuf.get()), rc::InvalidArg(1));
  ImageShape twoChannels;
  twoChannels.width = 2;
  twoChannels.height = 2;
  twoChannels.channels = 2;
  const ScopedImageBuf twoBuf = zel::testing::MakeZeroImage<std::uint8_t>(twoChannels);
  EXPECT_EQ(image.setImageBuf(twoBuf.get()), rc::InvalidArg(1));
  const ScopedImageBuf doubleRgb = zel::testing::MakeZeroImage<double>(ImageShape{2, 2, 3});
  EXPECT_EQ(image.setImageBuf(doubleRgb.get()), rc::InvalidArg(1));

  ASSERT_EQ(image.getImageBuf(buf), rc::Ok);
  EXPECT_EQ(buf.width, 4);
  EXPECT_EQ(SampleAt<std::uint8_t>(buf, 3, 2), 23);
  fipTag tag;
  EXPECT_EQ(image.getMetadata(FIMD_COMMENTS, QStringLiteral("k"), tag), rc::Ok);

  // A successful setImageBuf replaces the pixels and keeps the tags.
  const ScopedImageBuf rgb =
      MakePicture<std::uint8_t>(2, 1, 3, [](int, int, int c) { return std::uint8_t(c); });
  ASSERT_EQ(image.setImageBuf(rgb.get()), rc::Ok);
  ASSERT_EQ(image.getImageBuf(buf), rc::Ok);
  EXPECT_EQ(buf.channels, 3);
  EXPECT_EQ(image.getMetadata(FIMD_COMMENTS, QStringLiteral("k"), tag), rc::Ok);
  EXPECT_EQ(TagBytes(tag), QByteArray("v"));
}

TEST(CxImageBuffer, CopiesAreIndependentAndMovesEmptyTheSource) {
  CxImage original = SmallGreyImage();
  CxImage copy(original);
  CxImage assigned;
  assigned = original;
  SxImageBuf a, b, c;
  ASSERT_EQ(original.getImageBuf(a), rc::Ok);
  ASSERT_EQ(copy.getImageBuf(b), rc::Ok);
  ASSERT_EQ(assigned.getImageBuf(c), rc::Ok);
  EXPECT_NE(a.data, b.data);
  EXPECT_NE(a.data, c.data);
  b.data[0] = 99;
  c.data[0] = 98;
  EXPECT_EQ(a.data[0], 0);

  CxImage moved(std::move(copy));
  EXPECT_FALSE(copy.isValid());  // NOLINT(bugprone-use-after-move): documented state
  ASSERT_EQ(moved.getImageBuf(b), rc::Ok);
  EXPECT_EQ(b.data[0], 99);
  assigned = std::move(moved);
  EXPECT_FALSE(moved.isValid());  // NOLINT(bugprone-use-after-move)
  ASSERT_EQ(assigned.getImageBuf(c), rc::Ok);
  EXPECT_EQ(c.data[0], 99);
  assigned = assigned;  // self-assignment keeps the image
  EXPECT_TRUE(assigned.isValid());
}

TEST(CxImageBuffer, KeepsADeclaredBitDepthUntilTheNextLoad) {
  ScopedImageBuf buf = MakePicture<std::uint16_t>(
      4, 3, 1, [](int x, int y, int) { return std::uint16_t(100 * x + y); });
  buf.get().bitDepth = 12;
  CxImage image(buf.get());
  SxImageBuf view;
  ASSERT_EQ(image.getImageBuf(view), rc::Ok);
  EXPECT_EQ(view.bitDepth, 12);
  CxImage copy(image);
  CxImage moved(std::move(copy));
  ASSERT_EQ(moved.getImageBuf(view), rc::Ok);
  EXPECT_EQ(view.bitDepth, 12);
  // A depth no smaller than the samples is the full size.
  buf.get().bitDepth = 0;
  ASSERT_EQ(image.setImageBuf(buf.get()), rc::Ok);
  ASSERT_EQ(image.getImageBuf(view), rc::Ok);
  EXPECT_EQ(view.bitDepth, 16);

  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("grey.png"));
  buf.get().bitDepth = 10;
  ASSERT_EQ(CxImage::saveBufferToFile(buf.get(), file), rc::Ok);
  ASSERT_EQ(image.setImageBuf(buf.get()), rc::Ok);
  ASSERT_EQ(image.load(file), rc::Ok);
  ASSERT_EQ(image.getImageBuf(view), rc::Ok);
  EXPECT_EQ(view.bitDepth, 16);
}

TEST(CxImageLoad, LoadMetadataTakesTheTagsWithoutPixels) {
  CxImage image = SmallGreyImage();
  ASSERT_EQ(image.setMetadata(FIMD_COMMENTS, QStringLiteral("Note"),
                              MakeTextTag(QStringLiteral("Note"), QStringLiteral("kept"))),
            rc::Ok);
  QTemporaryDir dir;
  const QString file = dir.filePath(QStringLiteral("tagged.png"));
  ASSERT_EQ(image.save(file), rc::Ok);

  CxImage tags;
  ASSERT_EQ(tags.loadMetadata(file), rc::Ok);
  SxImageBuf view;
  EXPECT_TRUE(Failed(tags.getImageBuf(view)));
  CxImage target = SmallGreyImage();
  ASSERT_EQ(target.copyMetadataFromImage(tags), rc::Ok);
  fipTag note;
  ASSERT_EQ(target.getMetadata(FIMD_COMMENTS, QStringLiteral("Note"), note), rc::Ok);
  EXPECT_STREQ(static_cast<const char*>(note.getValue()), "kept");
  EXPECT_TRUE(Failed(tags.loadMetadata(dir.filePath(QStringLiteral("missing.png")))));
}

// ---- metadata ------------------------------------------------------------------------------

TEST(CxImageMetadata, CopyMetadataFromImageCopiesEveryModelAndTag) {
  CxImage source = SmallGreyImage();
  ASSERT_EQ(source.setMetadata(FIMD_COMMENTS, QStringLiteral("a"),
                               MakeTextTag(QStringLiteral("a"), QStringLiteral("from source"))),
            rc::Ok);
  ASSERT_EQ(source.setMetadata(FIMD_COMMENTS, QStringLiteral("b"),
                               MakeTextTag(QStringLiteral("b"), QStringLiteral("only source"))),
            rc::Ok);
  ASSERT_EQ(
      source.setMetadata(FIMD_IPTC, QStringLiteral("Caption-Abstract"),
                         MakeTextTag(QStringLiteral("Caption-Abstract"), QStringLiteral("iptc"))),
      rc::Ok);
  CxImage target = SmallGreyImage();
  ASSERT_EQ(target.setMetadata(FIMD_COMMENTS, QStringLiteral("a"),
                               MakeTextTag(QStringLiteral("a"), QStringLiteral("old"))),
            rc::Ok);
  ASSERT_EQ(target.setMetadata(FIMD_COMMENTS, QStringLiteral("c"),
                               MakeTextTag(QStringLiteral("c"), QStringLiteral("only target"))),
            rc::Ok);

  ASSERT_EQ(target.copyMetadataFromImage(source), rc::Ok);
  fipTag tag;
  ASSERT_EQ(target.getMetadata(FIMD_COMMENTS, QStringLiteral("a"), tag), rc::Ok);
  EXPECT_EQ(TagBytes(tag), QByteArray("from source"));
  ASSERT_EQ(target.getMetadata(FIMD_COMMENTS, QStringLiteral("b"), tag), rc::Ok);
  EXPECT_EQ(TagBytes(tag), QByteArray("only source"));
  ASSERT_EQ(target.getMetadata(FIMD_COMMENTS, QStringLiteral("c"), tag), rc::Ok);
  EXPECT_EQ(TagBytes(tag), QByteArray("only target"));
  ASSERT_EQ(target.getMetadata(FIMD_IPTC, QStringLiteral("Caption-Abstract"), tag), rc::Ok);
  EXPECT_EQ(TagBytes(tag), QByteArray("iptc"));
  EXPECT_EQ(FreeImage_GetMetadataCount(FIMD_COMMENTS, target.bitmap()), 3u);

  CxImage empty;
  EXPECT_EQ(empty.copyMetadataFromImage(source), rc::Fail);
  EXPECT_EQ(target.copyMetadataFromImage(empty), rc::Fail);
  EXPECT_EQ(target.copyMetadataFromImage(target), rc::Ok);
}

TEST(CxImageMetadata, SetMetadataStoresACopyUnderTheKey) {
  CxImage image = SmallGreyImage();
  fipTag tag = MakeTextTag(QStringLiteral("original"), QStringLiteral("value"));
  ASSERT_EQ(image.setMetadata(FIMD_COMMENTS, QStringLiteral("renamed"), tag), rc::Ok);
  EXPECT_STREQ(tag.getKey(), "original");  // the caller's tag is not touched
  fipTag found;
  ASSERT_EQ(image.getMetadata(FIMD_COMMENTS, QStringLiteral("renamed"), found), rc::Ok);
  EXPECT_STREQ(found.getKey(), "renamed");
  EXPECT_EQ(TagBytes(found), QByteArray("value"));

  // An empty tag removes the key; no image, no tags.
  EXPECT_EQ(image.setMetadata(FIMD_COMMENTS, QStringLiteral("renamed"), fipTag()), rc::Ok);
  EXPECT_EQ(image.getMetadata(FIMD_COMMENTS, QStringLiteral("renamed"), found), rc::Fail);
  CxImage empty;
  EXPECT_EQ(empty.setMetadata(FIMD_COMMENTS, QStringLiteral("k"), tag), rc::Fail);
  EXPECT_EQ(empty.getMetadata(FIMD_COMMENTS, QStringLiteral("k"), found), rc::Fail);
}

// ---- failing saves -------------------------------------------------------------------------

TEST(CxImageSave, MissingFolderFailsAndCreatesNothing) {
  QTemporaryDir dir;
  const QString missing = dir.filePath(QStringLiteral("missing"));
  EXPECT_EQ(SmallGreyImage().save(missing + QStringLiteral("/out.png")), rc::Fail);
  EXPECT_FALSE(QFileInfo::exists(missing));
  EXPECT_TRUE(FilesIn(dir.path()).isEmpty());
}

TEST(CxImageSave, RefusalsLeaveAnExistingFileByteIdentical) {
  QTemporaryDir dir;
  const QByteArray old("previous contents");
  const QString bmp = dir.filePath(QStringLiteral("out.bmp"));
  const QString png = dir.filePath(QStringLiteral("out.png"));
  const QString jpg = dir.filePath(QStringLiteral("out.jpg"));
  for (const QString& path : {bmp, png, jpg}) WriteBytes(path, old);

  // BMP cannot hold a double image.
  const ScopedImageBuf doubles = zel::testing::MakeZeroImage<double>(ImageShape{3, 2, 1});
  EXPECT_EQ(CxImage::saveBufferToFile(doubles.get(), bmp), rc::Unsupported);
  const CxImage grey = SmallGreyImage();
  EXPECT_EQ(grey.save(png, CxImage::SxSaveParams{100, 10}), rc::InvalidArg(2));
  EXPECT_EQ(grey.save(jpg, CxImage::SxSaveParams{0}), rc::InvalidArg(2));
  EXPECT_EQ(grey.save(dir.filePath(QStringLiteral("out.unknownsuffix"))), rc::Unsupported);
  EXPECT_EQ(grey.save(dir.filePath(QStringLiteral("no_suffix"))), rc::Unsupported);
  EXPECT_EQ(CxImage().save(png), rc::Fail);
  EXPECT_EQ(CxImage::saveBufferToFile(SxImageBuf{}, png), rc::InvalidArg(1));

  for (const QString& path : {bmp, png, jpg}) EXPECT_EQ(ReadBytes(path), old) << path.toStdString();
  EXPECT_EQ(FilesIn(dir.path()), (QStringList{"out.bmp", "out.jpg", "out.png"}));
}

TEST(CxImageSave, WriteFailureLeavesAnExistingFileByteIdentical) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("noise.png"));
  const QByteArray old("previous contents");
  WriteBytes(path, old);
  // Noise does not compress: its PNG is far larger than the file-size limit set below.
  std::mt19937 random(7);
  const ScopedImageBuf noise =
      MakePicture<std::uint8_t>(128, 128, 1, [&](int, int, int) { return std::uint8_t(random()); });

  // The kernel refuses to grow a file past RLIMIT_FSIZE (the signal it sends is ignored here),
  // so the write fails part-way, as it would on a full disk.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit limited = saved;
  limited.rlim_cur = 4096;
  const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
  const ur::Result result = CxImage::saveBufferToFile(noise.get(), path);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);

  EXPECT_EQ(result, rc::Fail);
  EXPECT_EQ(ReadBytes(path), old);
  EXPECT_EQ(FilesIn(dir.path()), QStringList{"noise.png"});
}

TEST(CxImageSave, ReplacesAnExistingFileAndLeavesNoTemporaryFile) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("out.png"));
  ASSERT_EQ(SmallGreyImage().save(path), rc::Ok);
  const ScopedImageBuf other =
      MakePicture<std::uint8_t>(2, 2, 1, [](int, int, int) { return std::uint8_t(200); });
  ASSERT_EQ(CxImage::saveBufferToFile(other.get(), path, CxImage::SxSaveParams{100, 9}), rc::Ok);
  EXPECT_EQ(FilesIn(dir.path()), QStringList{"out.png"});
  CxImage loaded;
  ASSERT_EQ(loaded.load(path), rc::Ok);
  SxImageBuf buf;
  ASSERT_EQ(loaded.getImageBuf(buf), rc::Ok);
  EXPECT_EQ(buf.width, 2);
  EXPECT_EQ(SampleAt<std::uint8_t>(buf, 1, 1), 200);
}

// ---- failing loads -------------------------------------------------------------------------

// A valid PNG of noise (its image data dominates the file) for truncation tests.
QByteArray NoisePng(const QString& dir) {
  std::mt19937 random(11);
  const ScopedImageBuf noise =
      MakePicture<std::uint8_t>(64, 64, 3, [&](int, int, int) { return std::uint8_t(random()); });
  const QString path = QDir(dir).filePath(QStringLiteral("noise-source.png"));
  EXPECT_EQ(CxImage::saveBufferToFile(noise.get(), path), rc::Ok);
  const QByteArray bytes = ReadBytes(path);
  QFile::remove(path);
  return bytes;
}

TEST(CxImageLoad, BrokenFilesFailAndLeaveTheImageUnchanged) {
  QTemporaryDir dir;
  const QByteArray png = NoisePng(dir.path());
  ASSERT_GT(png.size(), 10000);
  std::mt19937 random(3);
  QByteArray randomBytes;
  for (int i = 0; i < 4096; ++i) randomBytes += char(random());

  const std::vector<std::pair<QString, QByteArray>> files = {
      {QStringLiteral("empty.png"), QByteArray()},
      {QStringLiteral("random.png"), randomBytes},
      {QStringLiteral("random.tif"), randomBytes},
      {QStringLiteral("signature-only.png"), png.left(8)},
      {QStringLiteral("cut-in-header.png"), png.left(20)},
      {QStringLiteral("cut-after-header.png"), png.left(33)},
      {QStringLiteral("cut-in-data.png"), png.left(png.size() / 2)},
      {QStringLiteral("signature-then-noise.png"), png.left(8) + randomBytes},
  };
  for (const auto& [name, bytes] : files) WriteBytes(dir.filePath(name), bytes);
  QStringList paths{dir.filePath(QStringLiteral("missing.png")), dir.path(), QString()};
  for (const auto& file : files) paths << dir.filePath(file.first);

  CxImage image = SmallGreyImage();
  ASSERT_EQ(image.setMetadata(FIMD_COMMENTS, QStringLiteral("k"),
                              MakeTextTag(QStringLiteral("k"), QStringLiteral("v"))),
            rc::Ok);
  FIBITMAP* const before = image.bitmap();
  for (const QString& path : paths) {
    EXPECT_EQ(image.load(path), rc::Fail) << path.toStdString();
    EXPECT_EQ(image.bitmap(), before) << path.toStdString();
  }
  SxImageBuf buf;
  ASSERT_EQ(image.getImageBuf(buf), rc::Ok);
  EXPECT_EQ(buf.width, 4);
  EXPECT_EQ(SampleAt<std::uint8_t>(buf, 3, 2), 23);
  fipTag tag;
  EXPECT_EQ(image.getMetadata(FIMD_COMMENTS, QStringLiteral("k"), tag), rc::Ok);

  CxImage empty;
  EXPECT_EQ(empty.load(dir.filePath(QStringLiteral("cut-in-data.png"))), rc::Fail);
  EXPECT_FALSE(empty.isValid());
}

TEST(CxImageLoad, ContentsDecideTheFormatBeforeTheSuffix) {
  QTemporaryDir dir;
  const QString png = dir.filePath(QStringLiteral("really-a-png.tif"));
  ASSERT_EQ(SmallGreyImage().save(dir.filePath(QStringLiteral("a.png"))), rc::Ok);
  ASSERT_TRUE(QFile::rename(dir.filePath(QStringLiteral("a.png")), png));
  CxImage image;
  ASSERT_EQ(image.load(png), rc::Ok);
  SxImageBuf buf;
  ASSERT_EQ(image.getImageBuf(buf), rc::Ok);
  EXPECT_EQ(buf.width, 4);
}

TEST(FreeImageMessages, ReachTheQtLogWithTheFormatName) {
  // PNG files are decoded by our own reader, which names the file and the reason; other formats
  // still go through FreeImage, whose messages carry the format's name.
  QTemporaryDir dir;
  const QString png = dir.filePath(QStringLiteral("cut.png"));
  WriteBytes(png, NoisePng(dir.path()).left(2000));
  const QString tif = dir.filePath(QStringLiteral("cut.tif"));
  ASSERT_EQ(SmallGreyImage().save(tif), rc::Ok);
  QFile whole(tif);
  ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
  WriteBytes(tif, whole.readAll().left(12));
  whole.close();
  LogCapture log;
  CxImage image;
  EXPECT_EQ(image.load(png), rc::Fail);
  EXPECT_EQ(image.load(tif), rc::Fail);
  ASSERT_GE(log.lines().size(), 2);
  EXPECT_EQ(log.lines().first(),
            QStringLiteral("CxImage: cannot read %1: IDAT: the chunk runs past the end of the file")
                .arg(png));
  EXPECT_TRUE(log.lines().last().startsWith(QStringLiteral("FreeImage: TIFF: ")))
      << log.lines().join('\n').toStdString();
}

// A file whose first bytes say another format than its suffix is not handed to that format's
// decoder: this icon header would have FreeImage allocate 3 GB.
TEST(FreeImageMessages, ForeignContentBehindAKnownSuffixIsNotDecoded) {
  QTemporaryDir dir;
  const QString icon = dir.filePath(QStringLiteral("icon.png"));
  WriteBytes(icon, QByteArray::fromHex("0000010044fffffffffffffd0000000100000000000000000000000000000000000000"));
  LogCapture log;
  CxImage image;
  EXPECT_EQ(image.load(icon), rc::Fail);
  EXPECT_TRUE(log.contains(QStringLiteral("it holds a ICO image, not the PNG its name says")))
      << log.lines().join('\n').toStdString();
}

// ---- sample files made by others -----------------------------------------------------------

struct ExternalPng {
  const char* file;
  int width;
  int height;
  int channels;
  ExImageDataType dataType;
};

TEST(CxImageExternal, PngSamplesHaveTheirDocumentedSizes) {
  const ExternalPng samples[] = {
      {"pngsuite_basn0g08.png", 32, 32, 1, ur::eImageDataUInt8},
      {"pngsuite_basn0g16.png", 32, 32, 1, ur::eImageDataUInt16},
      {"pngsuite_basn2c08.png", 32, 32, 3, ur::eImageDataUInt8},
      {"pngsuite_basn2c16.png", 32, 32, 3, ur::eImageDataUInt16},
      {"pngsuite_basn3p08.png", 32, 32, 3, ur::eImageDataUInt8},
      {"imagepng_lorem_ipsum_palette_grey.png", 935, 534, 1, ur::eImageDataUInt8},
      {"halide_bayer_small_16bit_mosaic.png", 256, 344, 1, ur::eImageDataUInt16},
  };
  for (const ExternalPng& sample : samples) {
    const QString path = zel::testing::TestDataPath(QStringLiteral("external/png/") + sample.file);
    ZEL_REQUIRE_TESTDATA(path);
    SCOPED_TRACE(sample.file);
    CxImage image;
    ASSERT_EQ(image.load(path), rc::Ok);
    SxImageBuf buf;
    ASSERT_EQ(image.getImageBuf(buf), rc::Ok);
    EXPECT_EQ(buf.width, sample.width);
    EXPECT_EQ(buf.height, sample.height);
    EXPECT_EQ(buf.channels, sample.channels);
    EXPECT_EQ(buf.dataType, sample.dataType);
  }
}

TEST(CxImageExternal, SixteenBitMosaicKeepsItsTenBitLevels) {
  const QString path = zel::testing::TestDataPath(
      QStringLiteral("external/png/halide_bayer_small_16bit_mosaic.png"));
  ZEL_REQUIRE_TESTDATA(path);
  CxImage image;
  ASSERT_EQ(image.load(path), rc::Ok);
  SxImageBuf buf;
  ASSERT_EQ(image.getImageBuf(buf), rc::Ok);
  const std::vector<std::uint16_t> samples = Samples<std::uint16_t>(buf);
  // The README documents values 0..1053.
  EXPECT_EQ(*std::min_element(samples.begin(), samples.end()), 0);
  EXPECT_EQ(*std::max_element(samples.begin(), samples.end()), 1053);
}

// Palette files are read as the picture's values, not as palette indices.
TEST(CxImageExternal, PalettePngsMatchImageMagick) {
  if (!HasImageMagick()) GTEST_SKIP() << "ImageMagick's convert is not installed";
  const struct {
    const char* file;
    const char* map;
  } samples[] = {{"imagepng_lorem_ipsum_palette_grey.png", "gray"},
                 {"pngsuite_basn3p08.png", "rgb"}};
  for (const auto& sample : samples) {
    const QString path = zel::testing::TestDataPath(QStringLiteral("external/png/") + sample.file);
    ZEL_REQUIRE_TESTDATA(path);
    SCOPED_TRACE(sample.file);
    CxImage image;
    ASSERT_EQ(image.load(path), rc::Ok);
    ScopedImageBuf copy;
    SxImageBuf buf;
    ASSERT_EQ(image.getImageBuf(buf), rc::Ok);
    ASSERT_EQ(ur::AllocAndCopyBuffer(buf, copy.get()), rc::Ok);
    ASSERT_EQ(ur::ReverseRowOrder(copy.get()), rc::Ok);  // top row first, as ImageMagick gives it
    QByteArray ours;
    for (int y = 0; y < buf.height; ++y)
      for (int x = 0; x < buf.width; ++x)
        for (int c = buf.channels - 1; c >= 0; --c)  // B, G, R in memory; R, G, B from ImageMagick
          ours += char(SampleAt<std::uint8_t>(copy.get(), x, y, c));
    const QByteArray theirs = DecodeWithImageMagick(path, QString::fromLatin1(sample.map));
    EXPECT_TRUE(ours == theirs) << "differs from ImageMagick's decoding (" << ours.size() << " vs "
                                << theirs.size() << " bytes)";
  }
}

}  // namespace
