// ZEL image files: building the image from a compacted buffer, writing it, recognising it and
// reading its record back, through real PNG files in a temporary folder.
#include <zel/zel_file.h>

#include <zel_testing/log_capture.h>
#include <zel_testing/image_builder.h>
#include <zel_testing/printers.h>

#include <ur/image.h>

#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <iostream>
#include <vector>

namespace {

using zel::testing::LogCapture;

using namespace urs::zel;
namespace rc = ur::rc;
using zel::testing::MakeImage;
using zel::testing::MakeZeroImage;
using zel::testing::SampleAt;

// Channel c occupies the given levels (ascending), mapped to their ranks.
void SetChannel(ZelMetadata& md, int c, std::initializer_list<int> levels) {
  ASSERT_TRUE(md.allocateChannel(c));
  unsigned short rank = 0;
  for (int level : levels) {
    md.occupied[c][level] = true;
    md.mapping[c][level] = rank++;
  }
  md.normalization[c] = rank ? rank - 1 : 0;
}

ZelMetadata MakeRecord(int levelsCount, int channels) {
  ZelMetadata md;
  md.levelsCount = levelsCount;
  for (int c = 0; c < channels; ++c) SetChannel(md, c, {0, 1, 2 + c});
  return md;
}

// A one-channel source whose largest sample is maxSample (all others 0).
template <typename T>
ur::CxImage MakeSource(int width, int height, T maxSample) {
  ur::ScopedImageBuf buf = MakeZeroImage<T>({width, height});
  reinterpret_cast<T*>(buf->data)[0] = maxSample;
  return ur::CxImage(buf.get());
}

fipTag AsciiTag(const QByteArray& value) {
  fipTag tag;
  tag.setType(FIDT_ASCII);
  tag.setCount(DWORD(value.size()));
  tag.setLength(DWORD(value.size()));
  tag.setValue(value.constData());
  return tag;
}

QString CommentText(const ur::CxImage& image, const char* key) {
  fipTag tag;
  if (ur::Failed(image.getMetadata(FIMD_COMMENTS, QString::fromLatin1(key), tag))) return {};
  return QString::fromLatin1(static_cast<const char*>(tag.getValue()), int(tag.getLength()));
}

void ExpectSameArrays(const ZelMetadata& a, const ZelMetadata& b) {
  for (int c = 0; c < 4; ++c) {
    SCOPED_TRACE(c);
    ASSERT_EQ(a.occupied[c] == nullptr, b.occupied[c] == nullptr);
    ASSERT_EQ(a.mapping[c] == nullptr, b.mapping[c] == nullptr);
    if (!a.occupied[c]) continue;
    EXPECT_EQ(std::vector<bool>(a.occupied[c], a.occupied[c] + a.levelsCount),
              std::vector<bool>(b.occupied[c], b.occupied[c] + b.levelsCount));
    EXPECT_EQ(std::vector<unsigned short>(a.mapping[c], a.mapping[c] + a.levelsCount),
              std::vector<unsigned short>(b.mapping[c], b.mapping[c] + b.levelsCount));
  }
}

TEST(CreateZelImage, AcceptsHalfSizeColourOnlyForSimpleDemosaicing) {
  const ur::CxImage source = MakeSource<std::uint16_t>(640, 480, 4095);
  const QRect roi(0, 0, 640, 480);
  ur::ScopedImageBuf zel = MakeZeroImage<std::uint8_t>({320, 240, 3});
  ZelMetadata md = MakeRecord(4096, 3);
  md.debayer = Simple;

  ur::CxImage output;
  EXPECT_EQ(CreateZelImageForSave8(source, roi, zel.get(), output, md, 12, true), rc::Ok);
  ur::SxImageBuf made;
  ASSERT_EQ(output.getImageBuf(made), rc::Ok);
  EXPECT_EQ(made.width, 320);
  EXPECT_EQ(made.height, 240);
  EXPECT_EQ(made.channels, 3);

  // Interpolating keeps the full size, and without demosaicing there is no halving either.
  md.debayer = Averaging;
  EXPECT_EQ(CreateZelImageForSave8(source, roi, zel.get(), output, md, 12, true),
            rc::InvalidArg(3));
  md.debayer = Simple;
  EXPECT_EQ(CreateZelImageForSave8(source, roi, zel.get(), output, md, 12, false),
            rc::InvalidArg(3));
}

TEST(CreateZelImage, LevelBoundFollowsTheAssumedBitDepth) {
  const ur::CxImage source = MakeSource<std::uint16_t>(8, 4, 4095);  // needs 12 bits
  ur::ScopedImageBuf zel = MakeZeroImage<std::uint8_t>({8, 4});
  ZelMetadata md = MakeRecord(65536, 1);
  ur::CxImage output;

  // Beyond 2^12 but within 2^16: the assumed depth, not the detected one, sets the bound.
  md.normalization[0] = 5000;
  EXPECT_EQ(CreateZelImageForSave8(source, QRect(0, 0, 8, 4), zel.get(), output, md, 16, false),
            rc::Ok);
  EXPECT_EQ(CreateZelImageForSave8(source, QRect(0, 0, 8, 4), zel.get(), output, md, 12, false),
            rc::InvalidArg(5));
  md.normalization[0] = 4096;
  EXPECT_EQ(CreateZelImageForSave8(source, QRect(0, 0, 8, 4), zel.get(), output, md, 12, false),
            rc::Ok);
  // Samples deeper than the assumed depth cannot be described by the record.
  EXPECT_EQ(CreateZelImageForSave8(source, QRect(0, 0, 8, 4), zel.get(), output, md, 10, false),
            rc::Fail);
}

TEST(CreateZelImage, RejectsUnusableBuffersBeforeTouchingThem) {
  const ur::CxImage source = MakeSource<std::uint16_t>(4, 3, 255);
  const QRect roi(0, 0, 4, 3);
  ZelMetadata md = MakeRecord(256, 3);
  ur::CxImage output;

  ur::ScopedImageBuf wide = MakeZeroImage<std::uint16_t>({4, 3});
  EXPECT_EQ(CreateZelImageForSave8(source, roi, wide.get(), output, md, 8, false),
            rc::InvalidArg(3));
  ur::SxImageBuf empty;
  EXPECT_EQ(CreateZelImageForSave8(source, roi, empty, output, md, 8, false), rc::InvalidArg(3));
  ur::ScopedImageBuf twoChannels = MakeZeroImage<std::uint8_t>({4, 3, 2});
  EXPECT_EQ(CreateZelImageForSave8(source, roi, twoChannels.get(), output, md, 8, false),
            rc::InvalidArg(3));
  ur::ScopedImageBuf planar = MakeZeroImage<std::uint8_t>({4, 3, 3, 1});
  EXPECT_EQ(CreateZelImageForSave8(source, roi, planar.get(), output, md, 8, false),
            rc::InvalidArg(3));

  // Wrong size: the rows must stay as they were.
  const std::vector<std::uint8_t> rows = {1, 1, 1, 2, 2, 2};
  ur::ScopedImageBuf small = MakeImage<std::uint8_t>({3, 2}, rows);
  EXPECT_EQ(CreateZelImageForSave8(source, roi, small.get(), output, md, 8, false),
            rc::InvalidArg(3));
  EXPECT_EQ(zel::testing::Samples<std::uint8_t>(small.get()), rows);
  EXPECT_FALSE(output.isValid());
}

TEST(CreateZelImage, RejectsSourcesOtherThanOneUnsignedChannel) {
  ur::ScopedImageBuf zel = MakeZeroImage<std::uint8_t>({4, 3});
  ZelMetadata md = MakeRecord(256, 1);
  ur::CxImage output;

  ur::ScopedImageBuf colour = MakeZeroImage<std::uint8_t>({4, 3, 3});
  EXPECT_EQ(CreateZelImageForSave8(ur::CxImage(colour.get()), QRect(0, 0, 4, 3), zel.get(), output,
                                   md, 8, false),
            rc::InvalidArg(1));
  ur::ScopedImageBuf real = MakeZeroImage<float>({4, 3});
  EXPECT_EQ(CreateZelImageForSave8(ur::CxImage(real.get()), QRect(0, 0, 4, 3), zel.get(), output,
                                   md, 8, false),
            rc::InvalidArg(1));
  EXPECT_EQ(
      CreateZelImageForSave8(ur::CxImage(), QRect(0, 0, 4, 3), zel.get(), output, md, 8, false),
      rc::Fail);
}

TEST(CreateZelImage, NeedsAMappingForEveryChannel) {
  const ur::CxImage source = MakeSource<std::uint8_t>(4, 2, 200);
  ur::CxImage output;

  ZelMetadata grey;
  grey.levelsCount = 256;
  ur::ScopedImageBuf greyBuf = MakeZeroImage<std::uint8_t>({4, 2});
  EXPECT_EQ(
      CreateZelImageForSave8(source, QRect(0, 0, 4, 2), greyBuf.get(), output, grey, 8, false),
      rc::InvalidArg(5));

  // Two channels are not enough for a colour buffer.
  ZelMetadata colour = MakeRecord(256, 2);
  ur::ScopedImageBuf colourBuf = MakeZeroImage<std::uint8_t>({2, 1, 3});
  EXPECT_EQ(
      CreateZelImageForSave8(source, QRect(0, 0, 4, 2), colourBuf.get(), output, colour, 8, true),
      rc::InvalidArg(5));
}

TEST(CreateZelImage, CarriesSourceMetadataAndAddsTheRecordAsPlainText) {
  ur::CxImage source = MakeSource<std::uint8_t>(3, 2, 9);
  ASSERT_EQ(source.setMetadata(FIMD_COMMENTS, "Camera", AsciiTag("X1")), rc::Ok);
  // A record of the first generation left on the source would be read instead of the new one.
  ASSERT_EQ(source.setMetadata(FIMD_COMMENTS, "ZEL", AsciiTag("1.0")), rc::Ok);
  ASSERT_EQ(source.setMetadata(FIMD_COMMENTS, "ZEL_NMONO", AsciiTag("1")), rc::Ok);
  ZelMetadata md = MakeRecord(1024, 1);
  ur::ScopedImageBuf zel = MakeImage<std::uint8_t>({3, 2}, {1, 2, 3, 4, 5, 6});

  ur::CxImage output;
  ASSERT_EQ(CreateZelImageForSave8(source, QRect(0, 0, 3, 2), zel.get(), output, md, 10, false),
            rc::Ok);
  EXPECT_EQ(CommentText(output, "Camera"), "X1");
  EXPECT_EQ(CommentText(output, "ZEL"), QString());
  EXPECT_EQ(CommentText(output, "ZEL_NMONO"), QString());

  // The record written also names the source's sample width.
  md.sampleBits = 8;
  QString xml;
  ASSERT_EQ(SaveMetadataToString(md, xml), rc::Ok);
  fipTag tag;
  ASSERT_EQ(output.getMetadata(FIMD_COMMENTS, kZelMetadataKey, tag), rc::Ok);
  EXPECT_EQ(tag.getType(), FIDT_ASCII);
  EXPECT_EQ(tag.getCount(), DWORD(xml.size()));
  EXPECT_EQ(tag.getLength(), DWORD(xml.size()));
  EXPECT_EQ(CommentText(output, kZelMetadataKey), xml);

  // The image holds the rows bottom first, so memory row 0 is the buffer's last row.
  ur::SxImageBuf made;
  ASSERT_EQ(output.getImageBuf(made), rc::Ok);
  EXPECT_EQ(SampleAt<std::uint8_t>(made, 0, 0), 4);
  EXPECT_EQ(SampleAt<std::uint8_t>(made, 0, 1), 1);

  ZelMetadata readBack;
  EXPECT_EQ(GetZelMetadata(output, readBack), rc::Ok);
  EXPECT_EQ(readBack.levelsCount, 1024);
}

TEST(CreateZelImage, ImageWithoutRecordIsASuccessThatCannotBeWritten) {
  const ur::CxImage source = MakeSource<std::uint8_t>(2, 2, 3);
  ZelMetadata md = MakeRecord(256, 1);
  // Without its occupancy the channel has no mapping string.
  std::free(md.occupied[0]);
  md.occupied[0] = nullptr;
  ur::ScopedImageBuf zel = MakeZeroImage<std::uint8_t>({2, 2});

  ur::CxImage output;
  EXPECT_EQ(CreateZelImageForSave8(source, QRect(0, 0, 2, 2), zel.get(), output, md, 8, false),
            rc::OkWithoutRecord);
  EXPECT_TRUE(output.isValid());
  bool isZel = true;
  EXPECT_TRUE(ur::Failed(IsZelImage(output, isZel)));
  EXPECT_FALSE(isZel);

  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath("x.zel.png");
  EXPECT_EQ(WriteZelImage(output, path, nullptr), rc::Fail);
  EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(WriteZelImage, RefusesImagesWithoutARecord) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath("x.zel.png");
  ur::ScopedImageBuf buf = MakeZeroImage<std::uint8_t>({2, 2});
  ur::CxImage image(buf.get());

  LogCapture log;
  QString error;
  EXPECT_EQ(WriteZelImage(image, path, &error), rc::Fail);
  EXPECT_EQ(error, "Cannot check ZEL metadata. Error: 0xa0000000");
  EXPECT_TRUE(log.contains("Function IsZelImage() failed. Code 0xa0000000"));

  ASSERT_EQ(image.setMetadata(FIMD_COMMENTS, kZelMetadataKey, AsciiTag("")), rc::Ok);
  bool isZel = true;
  EXPECT_EQ(IsZelImage(image, isZel), rc::Ok);
  EXPECT_FALSE(isZel);
  error.clear();
  EXPECT_EQ(WriteZelImage(image, path, &error), rc::EmptyRecord);
  EXPECT_EQ(error, "Invalid ZEL metadata");
  EXPECT_EQ(WriteZelImage(image, path, nullptr), rc::EmptyRecord);
  EXPECT_FALSE(QFileInfo::exists(path));

  ASSERT_EQ(image.setMetadata(FIMD_COMMENTS, kZelMetadataKey, AsciiTag("<zel_md/>")), rc::Ok);
  EXPECT_EQ(IsZelImage(image, isZel), rc::Ok);
  EXPECT_TRUE(isZel);
}

TEST(WriteZelImage, ReportsAFailedSaveAndLeavesNoFile) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  ur::ScopedImageBuf buf = MakeZeroImage<std::uint8_t>({2, 2});
  ur::CxImage image(buf.get());
  ASSERT_EQ(image.setMetadata(FIMD_COMMENTS, kZelMetadataKey, AsciiTag("<zel_md/>")), rc::Ok);

  const QString path = dir.filePath("missing/x.zel.png");
  LogCapture log;
  QString error;
  EXPECT_EQ(WriteZelImage(image, path, &error), rc::Fail);
  EXPECT_EQ(error, "Image saving failed with error 0xa0000000");
  EXPECT_TRUE(log.contains("Function ur::CxImage::save() failed."));
  EXPECT_FALSE(QFileInfo::exists(path));
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("missing")));
}

TEST(ReadZelImage, AcceptsOnlyImagesWithTheXmlRecord) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  ur::ScopedImageBuf buf = MakeImage<std::uint8_t>({3, 1}, {0, 1, 2});
  ur::CxImage plainImage(buf.get());
  const QString plain = dir.filePath("plain.png");
  ASSERT_EQ(plainImage.save(plain), rc::Ok);

  ur::CxImage image;
  ZelMetadata md;
  {
    LogCapture log;
    EXPECT_EQ(ReadZelImage(plain, image, md), rc::NotZelImage);
    EXPECT_TRUE(log.contains(QString("The input image %1 is not a ZEL image.").arg(plain)));
    EXPECT_EQ(ReadZelImage(dir.filePath("none.zel.png"), image, md), rc::Fail);
    EXPECT_TRUE(log.contains("Cannot read ZEL image: " + dir.filePath("none.zel.png")));
  }
  EXPECT_EQ(GetZelMetadata(image, md), rc::Fail);

  // A first-generation record: refused by the reader, understood by the record parser.
  ASSERT_EQ(plainImage.setMetadata(FIMD_COMMENTS, "ZEL", AsciiTag("1.0")), rc::Ok);
  ASSERT_EQ(plainImage.setMetadata(FIMD_COMMENTS, "ZEL_NMONO", AsciiTag("2")), rc::Ok);
  ASSERT_EQ(plainImage.setMetadata(FIMD_COMMENTS, "ZEL_CMONO", AsciiTag("{0:3:0}")), rc::Ok);
  const QString legacy = dir.filePath("legacy.zel.png");
  ASSERT_EQ(plainImage.save(legacy), rc::Ok);
  EXPECT_EQ(ReadZelImage(legacy, image, md), rc::NotZelImage);
  bool isZel = true;
  IsZelImage(image, isZel);
  EXPECT_FALSE(isZel);
  ASSERT_EQ(GetZelMetadata(image, md), rc::Ok);
  EXPECT_EQ(md.verMajor, 1);
  EXPECT_EQ(md.normalization[0], 2);
  EXPECT_EQ(md.levelsCount, 256);
  ASSERT_NE(md.mapping[0], nullptr);
  EXPECT_EQ(md.mapping[0][2], 2);
  EXPECT_TRUE(md.occupied[0][2]);
  EXPECT_FALSE(md.occupied[0][3]);
}

TEST(ReadZelImage, RejectsARecordThatIsNotXml) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  ur::ScopedImageBuf buf = MakeZeroImage<std::uint8_t>({2, 2});
  ur::CxImage image(buf.get());
  ASSERT_EQ(image.setMetadata(FIMD_COMMENTS, kZelMetadataKey, AsciiTag("<zel_md")), rc::Ok);
  const QString path = dir.filePath("broken.zel.png");
  ASSERT_EQ(WriteZelImage(image, path, nullptr), rc::Ok);

  ur::CxImage loaded;
  ZelMetadata md;
  EXPECT_EQ(ReadZelImage(path, loaded, md), rc::Fail);
  EXPECT_TRUE(loaded.isValid());
}

// Runs a command-line tool; false when it is not installed.
bool RunTool(const QString& program, const QStringList& args, QString& output, int& exitCode) {
  if (QStandardPaths::findExecutable(program).isEmpty()) return false;
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, args);
  if (!process.waitForFinished(30000)) return false;
  output = QString::fromLocal8Bit(process.readAll());
  exitCode = process.exitCode();
  return true;
}

TEST(ZelImageFile, RoundTripIsUprightAndKeepsTheRecord) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const ur::CxImage source = MakeSource<std::uint16_t>(5, 3, 700);  // 10 bits

  ZelMetadata md;
  md.levelsCount = 1024;
  SetChannel(md, 0, {3, 4, 5, 700});
  md.applyThreshold = true;
  md.thresholds[0][0] = 3;
  md.thresholds[0][1] = 1000;
  md.bayerGrid = ur::eBayerNone;
  InvalidPixel p1;
  p1.col = 1;
  p1.row = 2;
  p1.invalidValue[0] = 1023;
  p1.newValue[0] = 5;
  InvalidPixel p2;
  p2.col = 4;
  p2.invalidValue[0] = 1;
  p2.newValue[0] = 3;
  md.invalidPixels = {p1, p2};

  // Top-down and asymmetric, so that a turned or mirrored image shows.
  std::vector<std::uint8_t> pixels;
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) pixels.push_back(std::uint8_t(17 + 40 * y + x));
  ur::ScopedImageBuf zel = MakeImage<std::uint8_t>({5, 3, 1, 0, 3}, pixels);

  ur::CxImage output;
  ASSERT_EQ(CreateZelImageForSave8(source, QRect(0, 0, 5, 3), zel.get(), output, md, 10, false),
            rc::Ok);
  const QString path = dir.filePath(ZelOutputFileName("/in/scan.tif"));
  QString error;
  ASSERT_FALSE(ur::Failed(WriteZelImage(output, path, &error)));
  EXPECT_TRUE(error.isEmpty());

  // An ordinary 8-bit grey PNG, upright.
  QImage png(path);
  ASSERT_FALSE(png.isNull());
  EXPECT_EQ(png.format(), QImage::Format_Grayscale8);
  ASSERT_EQ(png.size(), QSize(5, 3));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(qGray(png.pixel(x, y)), pixels[std::size_t(y) * 5 + x]) << x << "," << y;

  QString report;
  int exitCode = -1;
  if (RunTool("pngcheck", {"-v", path}, report, exitCode)) {
    EXPECT_EQ(exitCode, 0) << report.toStdString();
    EXPECT_TRUE(report.contains("8-bit grayscale")) << report.toStdString();
    // A text chunk, tEXt or iTXt, named after the record's key.
    EXPECT_TRUE(report.contains("keyword: ZEL_MD")) << report.toStdString();
  } else {
    std::cout << "pngcheck not found: the PNG chunks are not checked\n";
  }

  ur::CxImage loaded;
  ZelMetadata readBack;
  readBack.debayer = Averaging;
  ASSERT_EQ(ReadZelImage(path, loaded, readBack), rc::Ok);
  EXPECT_EQ(readBack.verMajor, 2);
  EXPECT_EQ(readBack.verMinor, 0);
  EXPECT_EQ(readBack.levelsCount, md.levelsCount);
  ExpectSameArrays(md, readBack);
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(readBack.normalization[c], md.normalization[c]) << c;
    EXPECT_EQ(readBack.thresholds[c][0], md.thresholds[c][0]) << c;
    EXPECT_EQ(readBack.thresholds[c][1], md.thresholds[c][1]) << c;
  }
  EXPECT_EQ(readBack.applyThreshold, true);
  EXPECT_EQ(readBack.bayerGrid, ur::eBayerNone);
  EXPECT_EQ(readBack.debayer, Averaging);  // not stored without a Bayer grid
  EXPECT_EQ(readBack.zelType, 0);
  EXPECT_EQ(readBack.sampleBits, 16);  // the source's, though its values need 10 bits
  ASSERT_EQ(readBack.invalidPixels.size(), 2);
  for (int i = 0; i < 2; ++i) {
    const InvalidPixel& a = md.invalidPixels[i];
    const InvalidPixel& b = readBack.invalidPixels[i];
    EXPECT_EQ(b.col, a.col);
    EXPECT_EQ(b.row, a.row);
    for (int c = 0; c < 4; ++c) {
      EXPECT_EQ(b.invalidValue[c], a.invalidValue[c]) << i << "," << c;
      EXPECT_EQ(b.newValue[c], a.newValue[c]) << i << "," << c;
    }
  }

  // The loaded pixels are left bottom first, as the image holds them.
  ur::SxImageBuf loadedBuf;
  ASSERT_EQ(loaded.getImageBuf(loadedBuf), rc::Ok);
  EXPECT_EQ(SampleAt<std::uint8_t>(loadedBuf, 0, 0), pixels[10]);
  EXPECT_EQ(SampleAt<std::uint8_t>(loadedBuf, 0, 2), pixels[0]);
}

TEST(ZelOutputFileName, KeepsEverythingUpToTheLastDot) {
  EXPECT_EQ(ZelOutputFileName("scan.tif"), "scan.zel.png");
  EXPECT_EQ(ZelOutputFileName("a.b.c.dng"), "a.b.c.zel.png");
  EXPECT_EQ(ZelOutputFileName("/data/in.d/frame.0001.tif"), "frame.0001.zel.png");
  EXPECT_EQ(ZelOutputFileName("raw"), "raw.zel.png");
}

}  // namespace
