// The DNG reader on the real and derived sample DNGs: sizes, white-level bit depth and Bayer grid
// of every file, samples against independent sources, and refusal of broken files.
#include "dng_raw.h"

#include <zel/input_reading.h>

#include <zel_testing/image_builder.h>
#include <zel_testing/printers.h>
#include <zel_testing/test_data.h>

#include <ur/buffers.h>
#include <ur/format_manager.h>
#include <ur/image.h>
#include <ur/result.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

using namespace urs::zel;
namespace rc = ur::rc;
using zel::testing::SampleAt;
using zel::testing::TestDataPath;

struct DngCase {
  const char* file;
  int width;
  int height;
  int channels;
  int bitDepth;
  ur::ExImageDataType type;
  ur::ExBayerGrid grid;
};

constexpr ur::ExImageDataType k8 = ur::eImageDataUInt8;
constexpr ur::ExImageDataType k16 = ur::eImageDataUInt16;

// Facts from the sample folders' READMEs. The two linear DNGs (one of them lossy) are refused.
constexpr const char* kFrame550D = "external/dng/canon_eos550d_magiclantern_colorchart.dng";

const DngCase kCases[] = {
    {kFrame550D, 1888, 1182, 1, 14, k16, ur::eBayerRGGB},
    {"derived/dng/d550_rggb_14bit_subifd.dng", 640, 480, 1, 14, k16, ur::eBayerRGGB},
    {"derived/dng/d550_grbg_14bit_bigendian.dng", 640, 480, 1, 14, k16, ur::eBayerGRBG},
    {"derived/dng/d550_gbrg_14bit.dng", 640, 480, 1, 14, k16, ur::eBayerGBRG},
    {"derived/dng/d550_bggr_14bit_subifd.dng", 640, 480, 1, 14, k16, ur::eBayerBGGR},
    {"derived/dng/d550_grbg_12bit_strips.dng", 640, 480, 1, 12, k16, ur::eBayerGRBG},
    {"derived/dng/d550_gbrg_10bit_subifd.dng", 640, 480, 1, 10, k16, ur::eBayerGBRG},
    {"derived/dng/d550_bggr_8bit.dng", 640, 480, 1, 8, k8, ur::eBayerBGGR},
    {"derived/dng/d550_rggb_16bit.dng", 640, 480, 1, 16, k16, ur::eBayerRGGB},
    {"derived/dng/halide_grbg_12bit_w1053.dng", 256, 344, 1, 12, k16, ur::eBayerGRBG},
    {"derived/dng/halide_grbg_10bit_w1023_over_white.dng", 256, 344, 1, 10, k16, ur::eBayerGRBG},
    {"external/dng/lg_h815_linearraw_lossy_sample_1mp.dng", 600, 338, 3, 16, k16, ur::eBayerNone},
    {"external/dng/canon_sd1200is_linearraw_ljpeg8.dng", 450, 692, 3, 8, k8, ur::eBayerNone},
};

#define REQUIRE_DNG_SAMPLES() ZEL_REQUIRE_TESTDATA(TestDataPath("derived/dng/d550_gbrg_14bit.dng"))

// File name -> grid of the file's own CFAPattern tag as exiftool reads it; empty without exiftool.
QMap<QString, ur::ExBayerGrid> GridsOfCfaPatternTags(const QStringList& paths) {
  static const QMap<QString, ur::ExBayerGrid> kPatterns = {
      {"[Red,Green][Green,Blue]", ur::eBayerRGGB}, {"[Blue,Green][Green,Red]", ur::eBayerBGGR},
      {"[Green,Red][Blue,Green]", ur::eBayerGRBG}, {"[Green,Blue][Red,Green]", ur::eBayerGBRG}};
  QMap<QString, ur::ExBayerGrid> grids;
  const QString exiftool = QStandardPaths::findExecutable(QStringLiteral("exiftool"));
  if (exiftool.isEmpty()) return grids;
  QProcess tool;
  tool.start(exiftool, QStringList{"-p", "$FileName|$CFAPattern"} + paths);
  if (!tool.waitForFinished(60000)) return grids;
  for (const QString& line : QString::fromUtf8(tool.readAllStandardOutput()).split('\n')) {
    const QStringList parts = line.trimmed().split('|');
    if (parts.size() == 2) grids.insert(parts[0], kPatterns.value(parts[1], ur::eBayerMosaic));
  }
  return grids;
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
  return file.readAll();
}

QString WriteInto(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
  QFile file(dir.filePath(name));
  EXPECT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
  return file.fileName();
}

TEST(DngReader, ReadsEverySampleWithItsSizeBitDepthAndGrid) {
  REQUIRE_DNG_SAMPLES();
  QStringList paths;
  for (const DngCase& c : kCases) paths << TestDataPath(QString::fromLatin1(c.file));
  const QMap<QString, ur::ExBayerGrid> tagGrids = GridsOfCfaPatternTags(paths);
  for (const DngCase& c : kCases) {
    SCOPED_TRACE(c.file);
    const QString path = TestDataPath(QString::fromLatin1(c.file));
    // The converters refuse by these facts before reading: a readable mosaic must pass.
    const DngRawFacts facts = InspectDngRaw(path);
    EXPECT_TRUE(facts.isDng && facts.decodable && facts.complete);
    EXPECT_EQ(facts.linear, c.channels == 3);
    EXPECT_EQ(facts.lossy, QFileInfo(path).fileName().contains(QLatin1String("lossy")));

    ur::CxImage image;
    ur::ExBayerGrid grid = ur::eBayerMosaic;
    if (facts.linear) {
      EXPECT_EQ(ReadRawImage(path, image, grid), rc::Unsupported);
      continue;
    }
    ASSERT_EQ(ReadRawImage(path, image, grid), rc::Ok);
    EXPECT_EQ(grid, c.grid);
    if (c.grid != ur::eBayerNone && !tagGrids.isEmpty()) {
      EXPECT_EQ(grid, tagGrids.value(QFileInfo(path).fileName(), ur::eBayerMosaic));
    }
    ur::SxImageBuf buf;
    ASSERT_FALSE(ur::Failed(image.getImageBuf(buf)));
    EXPECT_EQ(buf.width, c.width);
    EXPECT_EQ(buf.height, c.height);
    EXPECT_EQ(buf.channels, c.channels);
    EXPECT_EQ(buf.dataType, c.type);

    // A CxImage does not keep the bit depth: read it where the reader sets it.
    ur::ScopedImageBuf raw;
    ASSERT_EQ(ReadDngRaw(path, raw), rc::Ok);
    EXPECT_EQ(raw->bitDepth, c.bitDepth);
  }
}

// Every sample against the untouched dump of a peer tool: the packed 14-bit frame with margins,
// a big-endian file, an 8-bit one, and one with samples above its white level (not clipped).
TEST(DngReader, SamplesMatchTheRawDumpOfAPeerTool) {
  REQUIRE_DNG_SAMPLES();
  const QString dumper = QStandardPaths::findExecutable(QStringLiteral("unprocessed_raw"));
  if (dumper.isEmpty()) GTEST_SKIP() << "unprocessed_raw not installed";
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (const char* file : {kFrame550D,
                           "derived/dng/d550_grbg_14bit_bigendian.dng",
                           "derived/dng/d550_bggr_8bit.dng",
                           "derived/dng/halide_grbg_10bit_w1023_over_white.dng"}) {
    SCOPED_TRACE(file);
    // The tool writes its dump next to its input.
    const QString copy =
        WriteInto(dir, "frame.dng", ReadAll(TestDataPath(QString::fromLatin1(file))));
    QProcess tool;
    tool.setStandardOutputFile(QProcess::nullDevice());
    tool.start(dumper, {QStringLiteral("-T"), copy});
    ASSERT_TRUE(tool.waitForFinished(60000));
    ASSERT_EQ(tool.exitCode(), 0);
    ur::ScopedImageBuf dump;
    ASSERT_TRUE(ur::CxImageFormatManager::instance()->loadImageFromFile(copy + ".tiff", dump.get(),
                                                                        nullptr));
    ur::CxImage image;
    ur::ExBayerGrid grid = ur::eBayerNone;
    ASSERT_EQ(ReadRawImage(copy, image, grid), rc::Ok);
    ur::SxImageBuf buf;
    ASSERT_FALSE(ur::Failed(image.getImageBuf(buf)));
    ASSERT_EQ(buf.width, dump->width);
    ASSERT_EQ(buf.height, dump->height);
    const bool eightBit = buf.dataType == ur::eImageDataUInt8;
    int mismatches = 0;
    for (int y = 0; y < buf.height; ++y)
      for (int x = 0; x < buf.width; ++x) {
        const int ours = eightBit ? SampleAt<std::uint8_t>(buf, x, y)
                                  : SampleAt<std::uint16_t>(buf, x, y);
        mismatches += ours != SampleAt<std::uint16_t>(dump.get(), x, y);
      }
    EXPECT_EQ(mismatches, 0);
    QFile::remove(copy);
    QFile::remove(copy + ".tiff");
  }
}

// The IFD0 entry of tag in a little-endian TIFF (the real frame keeps its raw image there).
char* Ifd0Entry(QByteArray& bytes, quint16 tag) {
  const quint32 ifd = qFromLittleEndian<quint32>(bytes.constData() + 4);
  const quint16 entries = qFromLittleEndian<quint16>(bytes.constData() + ifd);
  for (int i = 0; i < entries; ++i) {
    char* entry = bytes.data() + ifd + 2 + 12 * i;
    if (qFromLittleEndian<quint16>(entry) == tag) return entry;
  }
  return nullptr;
}

// LibRaw guesses 16383 for the 14-bit packed frame without a WhiteLevel tag; the rule is 65535.
TEST(DngReader, CountsAMissingWhiteLevelAs65535) {
  REQUIRE_DNG_SAMPLES();
  QByteArray bytes = ReadAll(TestDataPath(kFrame550D));
  char* whiteLevel = Ifd0Entry(bytes, 50717);
  ASSERT_NE(whiteLevel, nullptr);
  qToLittleEndian<quint16>(50741, whiteLevel);  // an unregistered tag number
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  ur::ScopedImageBuf raw;
  ASSERT_EQ(ReadDngRaw(WriteInto(dir, "no_white.dng", bytes), raw), rc::Ok);
  EXPECT_EQ(raw->bitDepth, 16);
}

// CFAPattern counts from the ActiveArea's corner: moved to (27, 153), the RGGB tag puts blue at
// the stored image's origin. Reading the tag as written would say RGGB.
TEST(DngReader, TakesTheGridAtTheStoredOriginBehindAnOddActiveArea) {
  REQUIRE_DNG_SAMPLES();
  QByteArray bytes = ReadAll(TestDataPath(kFrame550D));
  const char* activeArea = Ifd0Entry(bytes, 50829);
  ASSERT_NE(activeArea, nullptr);
  char* topLeft = bytes.data() + qFromLittleEndian<quint32>(activeArea + 8);  // LONG top, left
  ASSERT_EQ(qFromLittleEndian<quint32>(topLeft), 26u);
  ASSERT_EQ(qFromLittleEndian<quint32>(topLeft + 4), 152u);
  qToLittleEndian<quint32>(27, topLeft);
  qToLittleEndian<quint32>(153, topLeft + 4);
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  ur::CxImage image;
  ur::ExBayerGrid grid = ur::eBayerNone;
  ASSERT_EQ(ReadRawImage(WriteInto(dir, "odd_area.dng", bytes), image, grid), rc::Ok);
  EXPECT_EQ(grid, ur::eBayerBGGR);
}

// Applies edit(entry, little) to tag's entry in the first directory. Byte order and entry
// layout as TIFF has them.
template <typename Edit>
QByteArray EditIfd0Entry(QByteArray bytes, quint16 tag, Edit edit) {
  const bool little = bytes.startsWith("II");
  const auto u16 = [&](int at) {
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData()) + at;
    return little ? quint16(b[0] | b[1] << 8) : quint16(b[0] << 8 | b[1]);
  };
  const auto u32 = [&](int at) {
    return little ? quint32(u16(at)) | quint32(u16(at + 2)) << 16
                  : quint32(u16(at)) << 16 | quint32(u16(at + 2));
  };
  const int ifd = int(u32(4));
  for (int i = 0; i < u16(ifd); ++i) {
    const int entry = ifd + 2 + 12 * i;
    if (u16(entry) == tag) edit(bytes.data() + entry, little);
  }
  return bytes;
}

// Renames tag of the first directory to an unknown number, as if it were missing.
QByteArray WithoutIfd0Tag(const QByteArray& bytes, quint16 tag) {
  return EditIfd0Entry(bytes, tag, [](char* entry, bool) {
    entry[0] = char(0xfe);
    entry[1] = char(0xfe);
  });
}

// The preview directory of this DNG loses its Compression tag: once a decoder of previews
// overran its buffer on such files. The raw image and the descriptive tags still come through.
TEST(DngReader, ReadsTheMosaicAndTagsWhateverThePreviewDirectorySays) {
  REQUIRE_DNG_SAMPLES();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QByteArray bytes = ReadAll(TestDataPath("derived/dng/d550_gbrg_10bit_subifd.dng"));
  const QByteArray damaged = WithoutIfd0Tag(bytes, 259);
  ASSERT_NE(damaged, bytes);
  ur::CxImage image;
  ur::ExBayerGrid grid = ur::eBayerNone;
  ASSERT_EQ(ReadRawImage(WriteInto(dir, "no_compression.dng", damaged), image, grid), rc::Ok);
  EXPECT_EQ(grid, ur::eBayerGBRG);
  fipTag make;
  ASSERT_EQ(image.getMetadata(FIMD_EXIF_MAIN, QStringLiteral("Make"), make), rc::Ok);
  EXPECT_STREQ(make.toString(FIMD_EXIF_MAIN), "Derived");
}

TEST(DngReader, RefusesFilesItCannotRead) {
  REQUIRE_DNG_SAMPLES();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const struct {
    QString path;
    unsigned int code;
  } cases[] = {
      // Metadata only: the one tile is 22 bytes of placeholder for 3516x2328 samples.
      {TestDataPath("external/dng/canon_350d_truncated_no_image_data.dng"), rc::Fail},
      // The same with a preview directory libtiff cannot read (RowsPerStrip claims 127
      // values): LibRaw still finds the raw image and would decode zeros for the missing data.
      {WriteInto(dir, "unreadable_preview.dng",
                 EditIfd0Entry(ReadAll(TestDataPath(
                                   "external/dng/canon_350d_truncated_no_image_data.dng")),
                               278,
                               [](char* entry, bool little) {
                                 if (little) qToLittleEndian<quint32>(127, entry + 4);
                                 else qToBigEndian<quint32>(127, entry + 4);
                               })),
       rc::Fail},
      // A DNG structure with a codec LibRaw cannot decode.
      {WriteInto(dir, "gopro.dng", ReadAll(TestDataPath("external/dng/gopro_fusion_GPBK7066.gpr"))),
       rc::Fail},
      // A camera raw file LibRaw reads, but no DNG.
      {WriteInto(dir, "kodak.dng", ReadAll(TestDataPath("external/dng/kodak_dc50_bonus_raw.kdc"))),
       rc::NotZelImage},
      {WriteInto(dir, "text.dng", "not an image at all\n"), rc::NotZelImage},
      {dir.filePath("missing.dng"), rc::Fail},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path.toStdString());
    ur::CxImage image;
    ur::ExBayerGrid grid = ur::eBayerRGGB;
    EXPECT_EQ(ReadRawImage(c.path, image, grid), c.code);
    EXPECT_EQ(grid, ur::eBayerNone);
    EXPECT_FALSE(image.isValid());
  }
}

// Truncated copies: a clean failure, whatever part is cut off (run under the sanitizers).
TEST(DngReader, FailsCleanlyOnTruncatedCopies) {
  REQUIRE_DNG_SAMPLES();
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const struct {
    const char* file;
    std::vector<double> cuts;  // fractions of the size to keep
  } cases[] = {
      {kFrame550D, {0.0, 0.001, 0.25, 0.75, 0.999}},
      {"derived/dng/d550_rggb_14bit_subifd.dng", {0.05, 0.5, 0.99}},
      {"derived/dng/d550_grbg_12bit_strips.dng", {0.5, 0.999}},
      {"derived/dng/d550_bggr_8bit.dng", {0.5}},
      {"external/dng/lg_h815_linearraw_lossy_sample_1mp.dng", {0.25, 0.5}},
      {"external/dng/canon_sd1200is_linearraw_ljpeg8.dng", {0.25}},
  };
  for (const auto& c : cases) {
    const QByteArray bytes = ReadAll(TestDataPath(QString::fromLatin1(c.file)));
    for (const double cut : c.cuts) {
      const int kept = int(bytes.size() * cut);
      SCOPED_TRACE(std::string(c.file) + " cut to " + std::to_string(kept));
      const QString copy = WriteInto(dir, "cut.dng", bytes.left(kept));
      ur::CxImage image;
      ur::ExBayerGrid grid = ur::eBayerRGGB;
      EXPECT_TRUE(ur::Failed(ReadRawImage(copy, image, grid)));
      EXPECT_FALSE(image.isValid());
    }
  }
}

}  // namespace
