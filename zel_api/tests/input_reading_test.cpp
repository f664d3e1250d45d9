// The input readers' dispatch by suffix, their failure codes and the demosaicing front.
#include <zel/input_reading.h>

#include <zel_testing/image_builder.h>
#include <zel_testing/printers.h>
#include <zel_testing/test_data.h>

#include <urs/image_loader.h>

#include <ur/buffers.h>
#include <ur/image.h>
#include <ur/result.h>

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

using namespace urs::zel;
namespace rc = ur::rc;
using zel::testing::ImageShape;
using zel::testing::MakeImage;
using zel::testing::MakeZeroImage;
using zel::testing::Samples;
using zel::testing::TestDataPath;

TEST(InputReading, RawFilterListsTheSixPatternsInOrder) {
  EXPECT_EQ(GetRawFilter(),
            QStringList({"*.png", "*.dng", "*.mat", "*.txt", "*.tif", "*.tiff"}));
}

// The suffix is compared in lower case; the input reader leaves the grid of a TIFF alone.
TEST(InputReading, TiffIsReadByBothReadersWhateverTheSuffixCase) {
  const QString source = TestDataPath("external/tiff/libtiff_rgb-3c-8b.tiff");
  ZEL_REQUIRE_TESTDATA(source);
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString upper = dir.filePath("FRAME.TIF");
  ASSERT_TRUE(QFile::copy(source, upper));
  ur::CxImage raw, input;
  ur::ExBayerGrid rawGrid = ur::eBayerRGGB, inputGrid = ur::eBayerGBRG;
  ASSERT_EQ(ReadRawImage(upper, raw, rawGrid), rc::Ok);
  ASSERT_EQ(ReadInputImage(source, input, inputGrid), rc::Ok);
  EXPECT_EQ(rawGrid, ur::eBayerNone);
  EXPECT_EQ(inputGrid, ur::eBayerGBRG);
  for (const ur::CxImage* image : {&raw, &input}) {
    ur::SxImageBuf buf;
    ASSERT_FALSE(ur::Failed(image->getImageBuf(buf)));
    EXPECT_EQ(buf.width, 157);
    EXPECT_EQ(buf.height, 151);
    EXPECT_EQ(buf.channels, 3);
  }
}

// A JPEG is no accepted input: the raw reader refuses it, the input reader reads nothing.
TEST(InputReading, JpegIsRefusedByTheRawReaderAndSkippedByTheInputReader) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath("photo.jpg");
  {
    const ur::ScopedImageBuf grey =
        MakeZeroImage<std::uint8_t>(ImageShape{16, 8, 1, 0, 0, 0, ur::eBayerNone});
    ASSERT_EQ(ur::CxImage::saveBufferToFile(grey.get(), path), rc::Ok);
  }
  ur::CxImage image;
  ur::ExBayerGrid grid = ur::eBayerBGGR;
  EXPECT_EQ(ReadRawImage(path, image, grid), rc::Unsupported);
  EXPECT_EQ(ReadInputImage(path, image, grid), rc::Ok);
  EXPECT_FALSE(image.isValid());
  EXPECT_EQ(grid, ur::eBayerBGGR);

  EXPECT_EQ(ReadInputImage(dir.filePath("missing.png"), image, grid), rc::InvalidArg(1));
}

TEST(InputReading, TextMatrixIsReadAsOneSixteenBitChannelWithoutGrid) {
  if (!std::unique_ptr<urs::ImageLoader>(urs::ImageLoader::instance()))
    GTEST_SKIP() << "no shared image loader in this build";
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath("matrix.txt");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("0,1,2\n3,4,5\n");
  file.close();
  ur::CxImage image;
  ur::ExBayerGrid grid = ur::eBayerRGGB;
  ASSERT_EQ(ReadRawImage(path, image, grid), rc::Ok);
  EXPECT_EQ(grid, ur::eBayerNone);
  ur::SxImageBuf buf;
  ASSERT_FALSE(ur::Failed(image.getImageBuf(buf)));
  EXPECT_EQ(buf.width, 3);
  EXPECT_EQ(buf.height, 2);
  EXPECT_EQ(buf.channels, 1);
  EXPECT_EQ(buf.dataType, ur::eImageDataUInt16);
}

// Without a grid the region is copied as it is, whatever the algorithm (an unknown one too); a
// mosaic with an unknown algorithm is refused.
TEST(InputReading, DemosaicCopiesAnImageWithoutGridAndChecksTheAlgorithmOfAMosaic) {
  std::vector<std::uint16_t> samples(4 * 3 * 3);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = std::uint16_t(100 + i);
  const ur::ScopedImageBuf source =
      MakeImage<std::uint16_t>(ImageShape{4, 3, 3, 0, 6, 0, ur::eBayerNone}, samples);
  // Pixels (1, 1) and (2, 1): samples 15..20 of the row-major list.
  const std::vector<std::uint16_t> expected = {115, 116, 117, 118, 119, 120};
  for (const int algorithm : {int(Averaging), int(Simple), 7}) {
    SCOPED_TRACE(algorithm);
    ur::ScopedImageBuf destination =
        MakeZeroImage<std::uint16_t>(ImageShape{2, 1, 3, 0, 0, 0, ur::eBayerNone});
    ASSERT_EQ(Demosaic(source.get(), QRect(1, 1, 2, 1), destination.get(),
                       static_cast<DemosaicAlgorithm>(algorithm)),
              rc::Ok);
    EXPECT_EQ(Samples<std::uint16_t>(destination.get()), expected);
  }

  const ur::ScopedImageBuf mosaic =
      MakeZeroImage<std::uint16_t>(ImageShape{4, 4, 1, 0, 0, 12, ur::eBayerRGGB});
  ur::ScopedImageBuf colour =
      MakeZeroImage<std::uint16_t>(ImageShape{4, 4, 3, 0, 0, 12, ur::eBayerNone});
  EXPECT_EQ(Demosaic(mosaic.get(), QRect(0, 0, 4, 4), colour.get(),
                     static_cast<DemosaicAlgorithm>(7)),
            rc::InvalidArg(5));
}

}  // namespace
