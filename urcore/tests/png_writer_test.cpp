// 8-bit PNGs (the ZEL images) are encoded by our own writer; these tests read its files back
// with FreeImage, the format manager and pngcheck.

#include <ur/buffers.h>
#include <ur/format_manager.h>
#include <ur/geometry.h>
#include <ur/image.h>

#include <zel_testing/image_builder.h>
#include <zel_testing/printers.h>

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QtEndian>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdint>
#include <ostream>
#include <random>
#include <utility>
#include <vector>

namespace {

using ur::CxImage;
using ur::ScopedImageBuf;
using ur::SxImageBuf;
using zel::testing::ImageShape;
using zel::testing::Samples;
namespace rc = ur::rc;

struct PngShape {
  const char* name;
  int width;
  int height;
  int channels;
};

void PrintTo(const PngShape& shape, std::ostream* os) { *os << shape.name; }

// Random samples (every byte value, so filter differences wrap around) with a padded pitch.
ScopedImageBuf RandomImage(const PngShape& shape, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::uint8_t> samples(std::size_t(shape.width) * shape.height * shape.channels);
  for (std::uint8_t& s : samples) s = std::uint8_t(random());
  ImageShape image;
  image.width = shape.width;
  image.height = shape.height;
  image.channels = shape.channels;
  image.padBytes = 5;
  return zel::testing::MakeImage<std::uint8_t>(image, samples);
}

// Memory rows in the opposite order: the top-down view of a bottom-up buffer.
std::vector<std::uint8_t> RowsReversed(const SxImageBuf& buf) {
  ScopedImageBuf copy;
  EXPECT_EQ(ur::AllocAndCopyBuffer(buf, copy.get()), rc::Ok);
  EXPECT_EQ(ur::ReverseRowOrder(copy.get()), rc::Ok);
  return Samples<std::uint8_t>(copy.get());
}

// The image data of a PNG file (about sizeHint bytes), inflated by zlib, which also checks the
// stream's Adler-32 (PNG readers may stop before it). Empty when the stream is broken.
QByteArray InflatedImageData(const QString& path, int sizeHint) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray png = file.readAll();
  QByteArray stream;
  for (int pos = 8; pos + 12 <= png.size();) {
    const int length = int(qFromBigEndian<quint32>(png.constData() + pos));
    if (png.mid(pos + 4, 4) == "IDAT") stream += png.mid(pos + 8, length);
    pos += length + 12;
  }
  char hint[4];  // qUncompress wants the size first
  qToBigEndian(quint32(sizeHint), hint);
  return qUncompress(QByteArray(hint, 4) + stream);
}

// An ASCII tag of text; its count and length are `length` bytes of the text's buffer, so a
// length one past the text counts the final zero, as Exif strings do.
fipTag AsciiTag(const char* key, const QByteArray& text, int length) {
  fipTag tag;
  tag.setKey(key);
  tag.setType(FIDT_ASCII);
  tag.setCount(DWORD(length));
  tag.setLength(DWORD(length));
  tag.setValue(text.constData());
  return tag;
}

class PngWriter8 : public ::testing::TestWithParam<PngShape> {};

TEST_P(PngWriter8, EveryLevelReadsBackThroughCxImageAndTheFormatManager) {
  const PngShape& shape = GetParam();
  QTemporaryDir dir;
  const ScopedImageBuf source = RandomImage(shape, 3);
  const std::vector<std::uint8_t> expected = Samples<std::uint8_t>(source.get());

  // The writer's default, storing, fastest and best levels must all decode alike.
  for (const int level : {-1, 0, 1, 9}) {
    const QString path = dir.filePath(QStringLiteral("level%1.png").arg(level));
    ASSERT_EQ(CxImage::saveBufferToFile(source.get(), path, CxImage::SxSaveParams{100, level}),
              rc::Ok);
    // One filter byte per row.
    const int filteredBytes = (shape.width * shape.channels + 1) * shape.height;
    EXPECT_EQ(InflatedImageData(path, filteredBytes).size(), filteredBytes) << "level " << level;
    CxImage loaded;
    ASSERT_EQ(loaded.load(path), rc::Ok) << level;
    SxImageBuf buf;
    ASSERT_EQ(loaded.getImageBuf(buf), rc::Ok);
    ASSERT_EQ(buf.width, shape.width);
    ASSERT_EQ(buf.height, shape.height);
    ASSERT_EQ(buf.channels, shape.channels);
    EXPECT_EQ(Samples<std::uint8_t>(buf), expected) << "level " << level;
  }

  // The format manager's loaders give the top row first. Other tests may have loaded plug-ins
  // from elsewhere already; this loads ours from beside the test binary if they are built.
  ur::LoadFormatPlugins();
  auto* manager = ur::CxImageFormatManager::instance();
  if (!manager->createLoader(dir.filePath(QStringLiteral("level1.png"))))
    GTEST_SKIP() << "no PNG loader: the format plug-ins are not built next to the tests";
  ScopedImageBuf viaManager;
  ASSERT_TRUE(manager->loadImageFromFile(dir.filePath(QStringLiteral("level1.png")),
                                         viaManager.get(), nullptr));
  ASSERT_EQ(viaManager.get().channels, shape.channels);
  EXPECT_EQ(Samples<std::uint8_t>(viaManager.get()), RowsReversed(source.get()));
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, PngWriter8,
    ::testing::Values(PngShape{"GreyOddWidth", 37, 11, 1}, PngShape{"BgrOddWidth", 37, 11, 3},
                      PngShape{"GreyOneColumn", 1, 9, 1}, PngShape{"BgrOneColumn", 1, 9, 3},
                      PngShape{"GreyOneRow", 9, 1, 1}, PngShape{"BgrOneRow", 9, 1, 3},
                      // Noise that does not compress, handed to the compressor in several pieces.
                      PngShape{"GreyLarge", 1201, 1003, 1}),
    [](const ::testing::TestParamInfo<PngShape>& param) { return param.param.name; });

// The ZEL record travels as a text chunk that CxImage finds again and other readers accept;
// metadata that only FreeImage's writer stores is not lost.
TEST(PngWriter8Text, TagsReadBackAndPngcheckAcceptsTheFile) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("record.zel.png"));
  const QByteArray record("<?xml version=\"1.0\"?><zel levels=\"4096\">caf\xE9</zel>");
  const QByteArray note("plain ASCII note");
  const QByteArray title("Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC");  // UTF-8 beyond Latin-1
  CxImage image(RandomImage(PngShape{"", 40, 30, 1}, 5).get());
  for (const auto& [key, text] :
       {std::pair{"ZEL_MD", record}, std::pair{"Note", note}, std::pair{"Title", title}})
    ASSERT_EQ(image.setMetadata(FIMD_COMMENTS, QString::fromLatin1(key),
                                AsciiTag(key, text, text.size())),
              rc::Ok);
  // An Exif time stamp becomes a tIME chunk, as FreeImage's writer makes it.
  const QByteArray stamp("2021:03:04 15:06:07");
  ASSERT_EQ(image.setMetadata(FIMD_EXIF_MAIN, QStringLiteral("DateTime"),
                              AsciiTag("DateTime", stamp, stamp.size() + 1)),
            rc::Ok);
  ASSERT_EQ(image.save(path), rc::Ok);

  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  // Latin-1 and ASCII text are tEXt, which every reader shows; international text is iTXt.
  EXPECT_TRUE(bytes.contains(QByteArray("tEXtZEL_MD") + '\0' + record));
  EXPECT_TRUE(bytes.contains(QByteArray("tEXtNote") + '\0' + note));
  EXPECT_TRUE(bytes.contains(QByteArray("iTXtTitle") + QByteArray(5, '\0') + title));
  EXPECT_TRUE(bytes.contains(QByteArray("tIME\x07\xE5\x03\x04\x0F\x06\x07", 11)));

  CxImage loaded;
  ASSERT_EQ(loaded.load(path), rc::Ok);
  fipTag tag;
  ASSERT_EQ(loaded.getMetadata(FIMD_COMMENTS, QStringLiteral("ZEL_MD"), tag), rc::Ok);
  EXPECT_EQ(QByteArray(static_cast<const char*>(tag.getValue()), int(tag.getLength())), record);
  ASSERT_EQ(loaded.getMetadata(FIMD_EXIF_MAIN, QStringLiteral("DateTime"), tag), rc::Ok);
  EXPECT_STREQ(static_cast<const char*>(tag.getValue()), stamp.constData());

  // XMP is FreeImage's to write: a bitmap that carries it must keep it.
  const QByteArray xmp("<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"/>");
  ASSERT_EQ(image.setMetadata(FIMD_XMP, QStringLiteral("XMLPacket"),
                              AsciiTag("XMLPacket", xmp, xmp.size())),
            rc::Ok);
  const QString withXmp = dir.filePath(QStringLiteral("xmp.png"));
  ASSERT_EQ(image.save(withXmp), rc::Ok);
  CxImage reloaded;
  ASSERT_EQ(reloaded.load(withXmp), rc::Ok);
  EXPECT_EQ(reloaded.getMetadata(FIMD_XMP, QStringLiteral("XMLPacket"), tag), rc::Ok);
  EXPECT_EQ(reloaded.getMetadata(FIMD_COMMENTS, QStringLiteral("ZEL_MD"), tag), rc::Ok);

  bool checked = false;
  if (!QStandardPaths::findExecutable(QStringLiteral("pngcheck")).isEmpty()) {
    QProcess pngcheck;
    pngcheck.start(QStringLiteral("pngcheck"), {QStringLiteral("-v"), path});
    ASSERT_TRUE(pngcheck.waitForFinished(60000));
    const QByteArray report = pngcheck.readAllStandardOutput();
    EXPECT_EQ(pngcheck.exitCode(), 0) << report.constData();
    EXPECT_TRUE(report.contains("No errors detected")) << report.constData();
    checked = true;
  }
  if (!QStandardPaths::findExecutable(QStringLiteral("identify")).isEmpty()) {
    QProcess identify;
    identify.start(QStringLiteral("identify"), {QStringLiteral("-verbose"), path});
    ASSERT_TRUE(identify.waitForFinished(60000));
    const QByteArray report = identify.readAllStandardOutput();
    EXPECT_TRUE(report.contains("ZEL_MD: <?xml")) << report.constData();
    checked = true;
  }
  if (!checked) GTEST_SKIP() << "neither pngcheck nor ImageMagick's identify is installed";
}

}  // namespace
