// The FITS loader on the shared sample files (external/fits, facts in external/README.md), with
// their values checked against astropy, on files that astropy writes, on edge cases built byte
// by byte, and on malformed files, which must be refused without a crash.

#include <gtest/gtest.h>
#include <ur/common_image_metadata.h>
#include <ur/format_manager.h>
#include <zel_testing/log_capture.h>
#include <zel_testing/printers.h>
#include <zel_testing/test_data.h>

#include <QDir>
#include <QJsonObject>
#include <QTemporaryDir>
#include <limits>

#include "fits_test_support.h"

namespace {

using fits_testing::Card;
using fits_testing::Data16;
using fits_testing::Data8;
using fits_testing::Header;
using fits_testing::SampleValue;
using ur::ScopedImageBuf;

class FitsLoader : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ur::LoadFormatPlugins(); }
  void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
  QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
  bool load(const QByteArray& bytes, ScopedImageBuf& image, const char* name = "t.fits") const {
    return fits_testing::LoadBytes(path(name), bytes, image);
  }

  QTemporaryDir m_dir;
};

struct SampleFile {
  const char* name;  // below external/fits
  bool loads;
  int width;
  int height;
  int channels;
  ur::ExImageDataType type;
};

// Shapes and types as the README states them; the scaled 16-bit file gives physical values.
const SampleFile kSamples[] = {
    {"hopper_bitpix8.fits", true, 128, 128, 1, ur::eImageDataUInt8},
    {"fixed-1890_bitpix16_bzero32768.fits", true, 100, 100, 1, ur::eImageDataUInt16},
    {"1904-66_AZP_bitpix-32.fits", true, 192, 192, 1, ur::eImageDataFloat},
    {"o4sp040b0_raw_image_extensions.fits", true, 62, 44, 1, ur::eImageDataUInt16},
    {"m13_bitpix16_signed.fits", true, 300, 300, 1, ur::eImageDataInt16},
    {"scale_bitpix16_bscale.fits", true, 20, 21, 1, ur::eImageDataFloat},
    {"arange_bitpix32_cube3d.fits", false, 0, 0, 0, ur::eImageDataUnknown},
    {"hopper_naxis_zero_malformed.fits", false, 0, 0, 0, ur::eImageDataUnknown},
    {"comp_rice_tile_compressed.fits", false, 0, 0, 0, ur::eImageDataUnknown},
};

TEST_F(FitsLoader, SampleFilesLoadWithTheirShapeAndAstropysValues) {
  bool peerMissing = false;
  for (const SampleFile& f : kSamples) {
    SCOPED_TRACE(f.name);
    const QString file =
        zel::testing::TestDataPath(QStringLiteral("external/fits/") + QLatin1String(f.name));
    ZEL_REQUIRE_TESTDATA(file);
    ScopedImageBuf image;
    ur::CxMetadata metadata;
    zel::testing::LogCapture log(QtWarningMsg);
    ASSERT_EQ(fits_testing::Load(file, image, &metadata), f.loads);
    if (!f.loads) {
      EXPECT_TRUE(zel::testing::LogCapture::contains(file))
          << zel::testing::LogCapture::all().toStdString();
      continue;
    }
    EXPECT_EQ(image->width, f.width);
    EXPECT_EQ(image->height, f.height);
    EXPECT_EQ(image->channels, f.channels);
    EXPECT_EQ(image->dataType, f.type);
    ASSERT_NE(metadata.find<ur::CxCommonImageMetadata>(), nullptr);
    EXPECT_EQ(metadata.find<ur::CxCommonImageMetadata>()->dataType, f.type);

    const fits_testing::PeerResult peer = fits_testing::RunPeer("read", file);
    if (peer.skip) {
      peerMissing = true;
      continue;
    }
    ASSERT_TRUE(peer.ok) << peer.error.toStdString();
    EXPECT_EQ(fits_testing::CompareWithPeer(image.get(), peer.json), QString());
  }
  if (peerMissing) GTEST_SKIP() << "values not checked: astropy (Debian python3-astropy) is absent";
}

TEST_F(FitsLoader, UnsignedAndSignedSixteenBitRules) {
  ScopedImageBuf image;
  // BZERO 32768: the stored extremes become 0 and 65535; the file's first row is the bottom row.
  ASSERT_TRUE(load(
      Header({Card("SIMPLE", "T"), Card("BITPIX", "16"), Card("NAXIS", "2"), Card("NAXIS1", "2"),
              Card("NAXIS2", "2"), Card("BZERO", "32768"), Card("BSCALE", "1")}) +
          Data16({-32768, 32767, 0, 1}),
      image));
  EXPECT_EQ(image->dataType, ur::eImageDataUInt16);
  EXPECT_EQ(SampleValue(image.get(), 0, 1, 0), 0);
  EXPECT_EQ(SampleValue(image.get(), 1, 1, 0), 65535);
  EXPECT_EQ(SampleValue(image.get(), 0, 0, 0), 32768);
  EXPECT_EQ(SampleValue(image.get(), 1, 0, 0), 32769);
  EXPECT_EQ(image->bitDepth, 16);

  // DATAMIN 0 and DATAMAX below 32768 without BZERO: unsigned, depth from the pixels.
  const auto ranged = [](const char* min) {
    return Header({Card("SIMPLE", "T"), Card("BITPIX", "16"), Card("NAXIS", "2"),
                   Card("NAXIS1", "3"), Card("NAXIS2", "1"), Card("DATAMIN", min),
                   Card("DATAMAX", "4095")}) +
           Data16({4095, 7, 0});
  };
  ASSERT_TRUE(load(ranged("0"), image));
  EXPECT_EQ(image->dataType, ur::eImageDataUInt16);
  EXPECT_EQ(image->bitDepth, 12);
  ASSERT_TRUE(load(ranged("-5"), image));
  EXPECT_EQ(image->dataType, ur::eImageDataInt16);

  // Without any of these cards the samples are signed and negatives are kept.
  ASSERT_TRUE(load(Header({Card("SIMPLE", "T"), Card("BITPIX", "16"), Card("NAXIS", "2"),
                           Card("NAXIS1", "2"), Card("NAXIS2", "1")}) +
                       Data16({-7, 300}),
                   image));
  EXPECT_EQ(image->dataType, ur::eImageDataInt16);
  EXPECT_EQ(SampleValue(image.get(), 0, 0, 0), -7);

  // A scaling that gives fractions loads the physical values as floats.
  ASSERT_TRUE(load(
      Header({Card("SIMPLE", "T"), Card("BITPIX", "16"), Card("NAXIS", "2"), Card("NAXIS1", "2"),
              Card("NAXIS2", "1"), Card("BSCALE", "0.5"), Card("BZERO", "10.0")}) +
          Data16({-3, 5}),
      image));
  EXPECT_EQ(image->dataType, ur::eImageDataFloat);
  EXPECT_EQ(SampleValue(image.get(), 0, 0, 0), 8.5);
  EXPECT_EQ(SampleValue(image.get(), 1, 0, 0), 12.5);
}

TEST_F(FitsLoader, FindsTheImageExtensionWithItsOwnScaling) {
  // The primary unit has no data; its BZERO does not apply to the extension.
  const QByteArray primary =
      Header({Card("SIMPLE", "T"), Card("BITPIX", "16"), Card("NAXIS", "0"), Card("EXTEND", "T"),
              Card("BZERO", "32768"), Card("CAMERA", "'Cam ''A'''")});
  const QByteArray table =
      Header({Card("XTENSION", "'BINTABLE'"), Card("BITPIX", "8"), Card("NAXIS", "2"),
              Card("NAXIS1", "4"), Card("NAXIS2", "2"), Card("PCOUNT", "0"), Card("GCOUNT", "1")}) +
      Data8(std::vector<std::uint8_t>(8, 0xEE));
  const QByteArray image16 =
      Header({Card("XTENSION", "'IMAGE   '"), Card("BITPIX", "16"), Card("NAXIS", "2"),
              Card("NAXIS1", "1"), Card("NAXIS2", "2"), Card("PCOUNT", "0"), Card("GCOUNT", "1")}) +
      Data16({-2, 9});
  ScopedImageBuf image;
  ur::CxMetadata metadata;
  QFile file(path("ext.fits"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(primary + table + image16);
  file.close();
  ASSERT_TRUE(fits_testing::Load(path("ext.fits"), image, &metadata));
  EXPECT_EQ(image->dataType, ur::eImageDataInt16);
  EXPECT_EQ(image->height, 2);
  EXPECT_EQ(SampleValue(image.get(), 0, 1, 0), -2);
  EXPECT_EQ(SampleValue(image.get(), 0, 0, 0), 9);
  // A string with a doubled quote reads as one quote; the primary header's record stays.
  EXPECT_EQ(metadata.find<ur::CxCommonImageMetadata>()->cameraModel, QStringLiteral("Cam 'A'"));
}

TEST_F(FitsLoader, EndAsTheLastCardOfABlock) {
  QByteArray header = Card("SIMPLE", "T") + Card("BITPIX", "8") + Card("NAXIS", "2") +
                      Card("NAXIS1", "1") + Card("NAXIS2", "1");
  while (header.size() < 35 * 80) header += Card("COMMENT", nullptr);
  header += Card("END", nullptr);
  ASSERT_EQ(header.size(), 2880);
  ScopedImageBuf image;
  ASSERT_TRUE(load(header + Data8({42}), image));
  EXPECT_EQ(SampleValue(image.get(), 0, 0, 0), 42);
}

TEST_F(FitsLoader, AstropyFilesLoadWithAstropysValues) {
  const fits_testing::PeerResult peer = fits_testing::RunPeer("write", m_dir.path());
  if (peer.skip) GTEST_SKIP() << peer.error.toStdString();
  ASSERT_TRUE(peer.ok) << peer.error.toStdString();
  ASSERT_FALSE(peer.json.isEmpty());
  for (auto it = peer.json.begin(); it != peer.json.end(); ++it) {
    SCOPED_TRACE(it.key().toStdString());
    ScopedImageBuf image;
    ASSERT_TRUE(fits_testing::Load(m_dir.filePath(it.key()), image));
    EXPECT_EQ(fits_testing::CompareWithPeer(image.get(), it.value().toObject()), QString());
  }
}

TEST_F(FitsLoader, MalformedFilesAreRefusedCleanly) {
  const QByteArray simple = Card("SIMPLE", "T");
  const QByteArray bitpix = Card("BITPIX", "16");
  const QByteArray data = Data16(std::vector<std::int16_t>(16, 1));
  // A primary unit of 16-bit samples with these axis cards (and others), and data.
  const auto unit = [&](std::initializer_list<const char*> cards) {
    QByteArray header = simple + bitpix;
    for (auto it = cards.begin(); it != cards.end(); it += 2) header += Card(*it, *(it + 1));
    return Header({header}) + data;
  };
  const struct {
    const char* what;
    QByteArray bytes;
  } cases[] = {
      {"empty", QByteArray()},
      {"header without END", (simple + bitpix).leftJustified(2880 * 2, ' ')},
      {"header cut short", Header({simple, bitpix, Card("NAXIS", "0")}).left(2000)},
      {"no SIMPLE", unit({"NAXIS", "2", "NAXIS1", "4", "NAXIS2", "4"}).mid(80)},
      {"NAXIS without = ",
       Header({simple, bitpix, QByteArray("NAXIS   2").leftJustified(80, ' '), Card("NAXIS1", "4"),
               Card("NAXIS2", "4")}) + data},
      {"four axes", unit({"NAXIS", "4", "NAXIS1", "2", "NAXIS2", "2", "NAXIS3", "2", "NAXIS4", "2"})},
      {"NAXIS2 missing", unit({"NAXIS", "2", "NAXIS1", "4"})},
      {"axes overflow",
       unit({"NAXIS", "3", "NAXIS1", "4294967296", "NAXIS2", "4294967296", "NAXIS3", "3"})},
      {"axes beyond the file", unit({"NAXIS", "2", "NAXIS1", "100000", "NAXIS2", "100000"})},
      {"negative axis", unit({"NAXIS", "2", "NAXIS1", "-4", "NAXIS2", "4"})},
      {"PCOUNT 1", unit({"NAXIS", "2", "NAXIS1", "2", "NAXIS2", "2", "PCOUNT", "1"})},
      {"GCOUNT 2", unit({"NAXIS", "2", "NAXIS1", "2", "NAXIS2", "2", "GCOUNT", "2"})},
      {"BITPIX 64", unit({"NAXIS", "2", "NAXIS1", "2", "NAXIS2", "2", "BITPIX", "64"})},
      {"BITPIX 12", unit({"NAXIS", "2", "NAXIS1", "2", "NAXIS2", "2", "BITPIX", "12"})},
      {"no image unit", Header({simple, bitpix, Card("NAXIS", "0")})},
      {"extension without XTENSION",
       Header({simple, bitpix, Card("NAXIS", "0")}) + unit({"NAXIS", "2"}).mid(80)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScopedImageBuf image;
    zel::testing::LogCapture log(QtWarningMsg);
    EXPECT_FALSE(load(c.bytes, image));
    EXPECT_EQ(image->data, nullptr);
    EXPECT_TRUE(zel::testing::LogCapture::contains(path("t.fits")));
  }
}

}  // namespace
