// The full single-file conversion on real files: regions, bit depth, demosaicing, thresholds and
// normalisation, checked in the written ZEL image (read by Qt's own PNG reader) and its record.
#include "conversion_test_support.h"

#include <zel/file_conversion.h>
#include <zel/input_reading.h>
#include <zel/reverse_conversion.h>
#include <zel/zel_file.h>

#include <zel_testing/test_data.h>

#include <QFileInfo>

#include <cstdint>

namespace {

using namespace urs::zel;
namespace rc = ur::rc;
using zel::testing::LogLines;
using zel::testing::MakeGreyFrame;
using zel::testing::MakeRggbFrame;
using zel::testing::SampleAt;
using zel::testing::ScaledRank;

using FileConversion = zel::testing::ConversionTest;

constexpr std::uint16_t kGreyLevels[4] = {100, 300, 700, 1000};

unsigned int Convert(const QString& in, const QString& out, int bitDepth, const QRect& roi,
                     ur::ExBayerGrid grid, DemosaicAlgorithm algorithm,
                     ZelChannelNormalization normalization = Separated) {
  return ConvertFileToZel(zel::testing::CpuPlugin(), in, out, bitDepth, roi, false, -1, -1, -1,
                          -1, -1, -1, grid, algorithm, normalization);
}

TEST_F(FileConversion, RefusesBadArgumentsWithoutTouchingTheOutput) {
  const QString in = saveInput(QStringLiteral("frame.png"), MakeRggbFrame(8, 6).get());
  const QString fresh = path(QStringLiteral("fresh.zel.png"));
  const QString kept = earlierOutput(QStringLiteral("kept.zel.png"));
  const QRect whole(0, 0, 8, 6);
  for (const QRect& roi : {QRect(0, 0, 3, 4), QRect(0, 0, 4, 5), QRect(6, 0, 4, 4),
                           QRect(0, -2, 4, 4), QRect()}) {
    EXPECT_EQ(Convert(in, fresh, 16, roi, ur::eBayerRGGB, Simple), rc::InvalidArg(5));
    EXPECT_EQ(Convert(in, kept, 16, roi, ur::eBayerRGGB, Simple), rc::InvalidArg(5));
  }
  // The samples need 12 bits.
  EXPECT_EQ(Convert(in, kept, 11, whole, ur::eBayerRGGB, Simple), rc::InvalidArg(3));
  EXPECT_EQ(Convert(in, kept, 17, whole, ur::eBayerRGGB, Simple), rc::InvalidArg(3));
  {
    LogLines log;
    EXPECT_EQ(Convert(in, kept, 16, whole, ur::eBayerRGGB, DemosaicAlgorithm(2)),
              rc::InvalidArg(5));
    EXPECT_TRUE(log.has(QtCriticalMsg, "Function zel::Demosaic() failed. Code 0xa0004317"));
  }
  {
    LogLines log;
    EXPECT_EQ(Convert(path(QStringLiteral("no.png")), kept, 16, whole, ur::eBayerNone, Simple),
              rc::Fail);
    EXPECT_TRUE(log.has(QtCriticalMsg, "Function ReadRawImage() failed."));
  }
  EXPECT_FALSE(QFileInfo::exists(fresh));
  EXPECT_TRUE(unchanged(kept));
}

TEST_F(FileConversion, CopiesAGreyRegionUprightAndItsRecordMapsBackToTheSourceLevels) {
  ur::ScopedImageBuf frame = MakeGreyFrame(8, 6, kGreyLevels);
  const QString in = saveInput(QStringLiteral("grey.png"), frame.get());
  const QString out = path(QStringLiteral("grey.zel.png"));
  const QRect roi(2, 2, 4, 4);
  LogLines log;
  ASSERT_EQ(Convert(in, out, 16, roi, ur::eBayerNone, Simple), rc::Ok);
  for (const char* timing : {"ReadRawImage() took ", "Demosaic() took ", "ConvertToZel8() took ",
                             "WriteImage() took ", "Total time "})
    EXPECT_TRUE(log.has(QtDebugMsg, timing)) << timing;

  // A grey record describes channel 0 alone, so that it reads back.
  ur::CxImage image;
  ZelMetadata record;
  ASSERT_EQ(ReadZelImage(out, image, record), rc::Ok);
  EXPECT_EQ(record.levelsCount, 65536);
  EXPECT_EQ(record.bayerGrid, ur::eBayerNone);
  EXPECT_EQ(record.occupied[1], nullptr);
  EXPECT_EQ(record.normalization[0], 3);

  const QImage zel(out);
  ASSERT_EQ(zel.size(), QSize(4, 4));
  EXPECT_TRUE(zel.isGrayscale());
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) {
      const std::uint16_t level = SampleAt<std::uint16_t>(frame.get(), roi.x() + x, roi.y() + y);
      ASSERT_TRUE(record.occupied[0][level]);
      EXPECT_EQ(qRed(zel.pixel(x, y)), ScaledRank(record.mapping[0][level], 3)) << x << "," << y;
    }
}

TEST_F(FileConversion, SimpleDemosaicingHalvesTheRegionAndTogetherSharesOneMaximum) {
  const QString in = saveInput(QStringLiteral("mosaic.png"), MakeRggbFrame(8, 10).get());
  const QRect roi(0, 2, 8, 8);  // starts on a cell boundary, so RGGB still names its top left
  for (ZelChannelNormalization normalization : {Separated, Together}) {
    SCOPED_TRACE(normalization);
    const QString out = path(QStringLiteral("mosaic%1.zel.png").arg(normalization));
    ASSERT_EQ(Convert(in, out, 16, roi, ur::eBayerRGGB, Simple, normalization), rc::Ok);
    ur::CxImage image;
    ZelMetadata record;
    ASSERT_EQ(ReadZelImage(out, image, record), rc::Ok);
    EXPECT_EQ(record.bayerGrid, ur::eBayerRGGB);
    EXPECT_EQ(record.debayer, Simple);
    // Red holds three levels, green one, blue two.
    const unsigned short maxima[2][3] = {{2, 0, 1}, {2, 2, 2}};
    for (int c = 0; c < 3; ++c) EXPECT_EQ(record.normalization[c], maxima[normalization][c]);

    const QImage zel(out);
    ASSERT_EQ(zel.size(), QSize(4, 4));
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 4; ++x) {
        const QRgb pixel = zel.pixel(x, y);  // cell (x, y + 1) of the frame
        EXPECT_EQ(qRed(pixel), ScaledRank((x + 2 * (y + 1)) % 3, 2)) << x << "," << y;
        EXPECT_EQ(qBlue(pixel), ScaledRank(y == 0 ? 1 : 0, maxima[normalization][2]));
      }
  }
}

TEST_F(FileConversion, RecordsTheThresholdsAndTheReplacedPixels) {
  ur::ScopedImageBuf frame = MakeGreyFrame(6, 4, kGreyLevels);
  reinterpret_cast<std::uint16_t*>(ur::RowPtr(frame.get(), 1))[3] = 65535;
  const QString in = saveInput(QStringLiteral("hot.png"), frame.get());
  const QString out = path(QStringLiteral("hot.zel.png"));
  ASSERT_EQ(ConvertFileToZel(zel::testing::CpuPlugin(), in, out, 16, QRect(0, 0, 6, 4), true, -1, 4000, 7, 9,
                             11, 13, ur::eBayerNone, Averaging, Separated),
            rc::Ok);
  ur::CxImage image;
  ZelMetadata record;
  ASSERT_EQ(ReadZelImage(out, image, record), rc::Ok);
  EXPECT_TRUE(record.applyThreshold);
  EXPECT_EQ(record.thresholds[0][0], 65535);
  EXPECT_EQ(record.thresholds[0][1], 4000);
  ASSERT_EQ(record.invalidPixels.size(), 1);
  const InvalidPixel& hot = record.invalidPixels.first();
  EXPECT_EQ(QPoint(hot.col, hot.row), QPoint(3, 1));
  EXPECT_EQ(hot.invalidValue[0], 65535u);
  // The replacement is a neighbour's level, stored in the hot pixel's place.
  const unsigned replaced = hot.newValue[0];
  ASSERT_LT(replaced, 4000u);
  EXPECT_TRUE(record.occupied[0][replaced]);
  EXPECT_FALSE(record.occupied[0][65535]);
  EXPECT_EQ(qRed(QImage(out).pixel(3, 1)),
            ScaledRank(record.mapping[0][replaced], record.normalization[0]));
}

// A DNG's white level sets its bit depth; samples above it must still fit the tables.
TEST_F(FileConversion, DngBitDepthComesFromTheWhiteLevelAndItsSamples) {
  const QString twelve = zel::testing::TestDataPath(QStringLiteral("derived/dng/d550_grbg_12bit_strips.dng"));
  const QString overWhite =
      zel::testing::TestDataPath(QStringLiteral("derived/dng/halide_grbg_10bit_w1023_over_white.dng"));
  ZEL_REQUIRE_TESTDATA(twelve);
  ZEL_REQUIRE_TESTDATA(overWhite);
  const QString out = path(QStringLiteral("dng.zel.png"));
  const QRect crop(0, 0, 64, 48);
  ASSERT_EQ(Convert(twelve, out, 12, crop, ur::eBayerNone, Simple), rc::Ok);
  ur::CxImage image;
  ZelMetadata record;
  ASSERT_EQ(ReadZelImage(out, image, record), rc::Ok);
  EXPECT_EQ(record.levelsCount, 4096);
  EXPECT_EQ(record.bayerGrid, ur::eBayerGRBG);
  EXPECT_EQ(Convert(twelve, out, 8, crop, ur::eBayerNone, Simple), rc::InvalidArg(3));

  // White level 1023 with samples up to 1053: ten bits would drop them off the tables.
  const QRect whole(0, 0, 256, 344);
  EXPECT_EQ(Convert(overWhite, out, 10, whole, ur::eBayerNone, Averaging), rc::InvalidArg(3));
  ASSERT_EQ(Convert(overWhite, out, 11, whole, ur::eBayerNone, Averaging), rc::Ok);
  ASSERT_EQ(ReadZelImage(out, image, record), rc::Ok);
  EXPECT_EQ(record.levelsCount, 2048);
  EXPECT_TRUE(record.occupied[0][1053] || record.occupied[1][1053] || record.occupied[2][1053]);
}

// The value of sample (x, y) of a one-channel image of 8- or 16-bit samples.
int ValueAt(const ur::SxImageBuf& image, int x, int y) {
  return image.dataType == ur::eImageDataUInt8 ? SampleAt<std::uint8_t>(image, x, y)
                                               : SampleAt<std::uint16_t>(image, x, y);
}

// 8-bit samples go through the plug-in's 1-byte operation, also when the tables are sized for
// 16-bit data, and every sample comes back: no channel of 8-bit data holds more than 256 levels.
TEST_F(FileConversion, EightBitInputsConvertAndRestoreExactly) {
  const std::uint8_t levels[4] = {0, 9, 130, 255};
  ur::ScopedImageBuf grey = MakeGreyFrame(10, 6, levels);
  const QString dng = zel::testing::TestDataPath(QStringLiteral("derived/dng/d550_bggr_8bit.dng"));
  ZEL_REQUIRE_TESTDATA(dng);
  const struct {
    QString input;
    int bitDepth;
    DemosaicAlgorithm algorithm;
  } cases[] = {
      {saveInput(QStringLiteral("grey8.png"), grey.get()), 8, Simple},
      {saveInput(QStringLiteral("grey8.tif"), grey.get()), 16, Simple},
      {dng, 8, Averaging},  // grid BGGR from the file; interpolation keeps every site's value
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input.toStdString());
    ur::CxImage source;
    ur::ExBayerGrid grid = ur::eBayerNone;
    ASSERT_EQ(ReadRawImage(c.input, source, grid), rc::Ok);
    ur::SxImageBuf raw;
    ASSERT_EQ(source.getImageBuf(raw), rc::Ok);
    ASSERT_EQ(raw.dataType, ur::eImageDataUInt8);

    const QString zel = path(QStringLiteral("eight.zel.png"));
    const QString back = path(QStringLiteral("eight.dezel.tif"));
    ASSERT_EQ(Convert(c.input, zel, c.bitDepth, QRect(0, 0, raw.width, raw.height),
                      ur::eBayerNone, c.algorithm),
              rc::Ok);
    ASSERT_EQ(ConvertZelFileToRAW(zel::testing::CpuPlugin(), zel, back, nullptr), rc::Ok);
    ur::SxImageBuf restored;
    ASSERT_TRUE(ur::CxImageFormatManager::instance()->loadImageFromFile(back, restored, nullptr));
    const ur::ScopedImageBuf owned(restored);
    ASSERT_EQ(restored.channels, 1);
    ASSERT_EQ(QSize(restored.width, restored.height), QSize(raw.width, raw.height));
    int wrong = 0;
    for (int y = 0; y < raw.height && wrong < 5; ++y)
      for (int x = 0; x < raw.width && wrong < 5; ++x)
        if (ValueAt(restored, x, y) != ValueAt(raw, x, y)) {
          ++wrong;
          ADD_FAILURE() << x << "," << y << ": " << ValueAt(raw, x, y) << " came back as "
                        << ValueAt(restored, x, y);
        }
    QFile::remove(zel);
    QFile::remove(back);
  }
}

}  // namespace
