// The console converter's single-file conversion on real files: detected bit depth, the tables
// of grey and colour records, demosaicing, and outputs left alone on failure.
#include "conversion_test_support.h"

#include <zel/file_conversion.h>
#include <zel/zel_file.h>

#include <cstdint>

namespace {

using namespace urs::zel;
namespace rc = ur::rc;
using zel::testing::MakeGreyFrame;
using zel::testing::MakeRggbFrame;
using zel::testing::SampleAt;
using zel::testing::ScaledRank;

using FileConversion8 = zel::testing::ConversionTest;

// Reads the record of out, and checks that every pixel of the upright image is its source
// level's rank scaled by channel 0's maximum.
template <typename T>
void ExpectGreyMapsBack(const ur::SxImageBuf& source, const QString& out, ZelMetadata& record) {
  ur::CxImage image;
  ASSERT_EQ(ReadZelImage(out, image, record), rc::Ok);
  const QImage zel(out);
  ASSERT_EQ(zel.size(), QSize(source.width, source.height));
  for (int y = 0; y < source.height; ++y)
    for (int x = 0; x < source.width; ++x) {
      const T level = SampleAt<T>(source, x, y);
      ASSERT_LT(int(level), record.levelsCount);
      ASSERT_TRUE(record.occupied[0][level]);
      EXPECT_EQ(qRed(zel.pixel(x, y)),
                ScaledRank(record.mapping[0][level], record.normalization[0]))
          << x << "," << y;
    }
}

TEST_F(FileConversion8, RefusesBadArgumentsAndLeavesAnExistingOutputAlone) {
  const QString in = saveInput(QStringLiteral("mosaic.png"), MakeRggbFrame(8, 6).get());
  const QString kept = earlierOutput(QStringLiteral("mosaic.zel.png"));
  EXPECT_EQ(ConvertFileToZel8(path(QStringLiteral("no.png")), kept, ur::eBayerRGGB, Simple),
            rc::InvalidArg(1));
  EXPECT_EQ(ConvertFileToZel8(in, QString(), ur::eBayerRGGB, Simple), rc::InvalidArg(2));
  EXPECT_EQ(ConvertFileToZel8(in, kept, ur::eBayerRGGB, DemosaicAlgorithm(2)), rc::Fail);
  EXPECT_TRUE(unchanged(kept));
}

TEST_F(FileConversion8, SizesTheTablesByTheDepthTheSamplesNeed) {
  // 8-bit grey: the tables of channel 0 alone, 256 levels, through the 1-byte operation.
  const std::uint8_t bytes[4] = {3, 50, 120, 200};
  ur::ScopedImageBuf grey8 = MakeGreyFrame(6, 5, bytes);
  const QString out8 = path(QStringLiteral("grey8.zel.png"));
  ASSERT_EQ(ConvertFileToZel8(saveInput(QStringLiteral("grey8.png"), grey8.get()), out8,
                              ur::eBayerNone, Simple),
            rc::Ok);
  ZelMetadata record8;
  ExpectGreyMapsBack<std::uint8_t>(grey8.get(), out8, record8);
  EXPECT_EQ(record8.levelsCount, 256);
  EXPECT_EQ(record8.bayerGrid, ur::eBayerNone);
  EXPECT_EQ(record8.mapping[1], nullptr);
  EXPECT_EQ(record8.mapping[2], nullptr);
  EXPECT_EQ(record8.normalization[0], 3);
  EXPECT_FALSE(record8.applyThreshold);

  // 16-bit samples that never exceed 1023 are 10-bit data.
  const std::uint16_t words[4] = {0, 17, 512, 1023};
  ur::ScopedImageBuf grey10 = MakeGreyFrame(5, 6, words);
  const QString out10 = path(QStringLiteral("grey10.zel.png"));
  ASSERT_EQ(ConvertFileToZel8(saveInput(QStringLiteral("grey10.png"), grey10.get()), out10,
                              ur::eBayerNone, Averaging),
            rc::Ok);
  ZelMetadata record10;
  ExpectGreyMapsBack<std::uint16_t>(grey10.get(), out10, record10);
  EXPECT_EQ(record10.levelsCount, 1024);
}

TEST_F(FileConversion8, DemosaicsA16BitMosaicIntoHalfSizeColour) {
  const QString in = saveInput(QStringLiteral("mosaic.tif"), MakeRggbFrame(8, 6).get());
  const QString out = path(QStringLiteral("mosaic.zel.png"));
  ASSERT_EQ(ConvertFileToZel8(in, out, ur::eBayerRGGB, Simple), rc::Ok);
  ur::CxImage image;
  ZelMetadata record;
  ASSERT_EQ(ReadZelImage(out, image, record), rc::Ok);
  EXPECT_EQ(record.levelsCount, 4096);  // the largest sample, 3000, needs 12 bits
  EXPECT_EQ(record.bayerGrid, ur::eBayerRGGB);
  EXPECT_EQ(record.debayer, Simple);
  const unsigned short maxima[3] = {2, 0, 1};
  for (int c = 0; c < 3; ++c) EXPECT_EQ(record.normalization[c], maxima[c]) << c;

  const QImage zel(out);
  ASSERT_EQ(zel.size(), QSize(4, 3));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      EXPECT_EQ(qRed(zel.pixel(x, y)), ScaledRank((x + 2 * y) % 3, 2)) << x << "," << y;
      EXPECT_EQ(qBlue(zel.pixel(x, y)), ScaledRank(y == 1 ? 1 : 0, 1)) << x << "," << y;
    }
}

}  // namespace
