// The input readers' dispatch by suffix, their failure codes and the demosaicing front.
#include <zel/input_reading.h>

#include <zel_testing/log_capture.h>
#include <zel_testing/image_builder.h>
#include <zel_testing/printers.h>
#include <zel_testing/test_data.h>

#include <urs/image_loader.h>
#include <urs/matlab_file.h>

#include <ur/buffers.h>
#include <ur/image.h>
#include <ur/result.h>

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QtGlobal>
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

TEST(InputReading, RawFilterListsThePatternsInOrder) {
  EXPECT_EQ(GetRawFilter(), QStringList({"*.png", "*.dng", "*.mat", "*.txt", "*.tif", "*.tiff",
                                         "*.fit", "*.fits", "*.fts"}));
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

void WriteText(const QString& path, const QByteArray& text) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(text);
}

// A 10 x 5 matrix of the doubles 1..50 (column-major, as MATLAB keeps it), as text and as MATLAB.
void WriteLevels(const QString& textPath, const QString& matPath) {
  std::vector<double> values(50);
  QByteArray text;
  for (int row = 0; row < 5; ++row) {
    for (int col = 0; col < 10; ++col) {
      values[std::size_t(col) * 5 + std::size_t(row)] = row * 10 + col + 1;
      text += QByteArray::number(row * 10 + col + 1) + (col < 9 ? "\t" : "\n");
    }
  }
  WriteText(textPath, text);
  void* mat = urs::matlab::MatOpenWrite(matPath);
  ASSERT_NE(mat, nullptr);
  ASSERT_TRUE(urs::matlab::AddVar(mat, values.data(), 5, 10, QStringLiteral("levels")));
  ASSERT_TRUE(urs::matlab::MatClose(mat));
}

// Doubles that are levels (whole numbers 1..50) come back as those levels, with the 6 bits the
// largest needs, through both readers; fractional data is stretched over 16 bits, and the log
// says from which range.
TEST(InputReading, MatrixOfLevelsKeepsItsValuesAndFractionsAreStretchedWithAWarning) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString text = dir.filePath("levels.txt");
  const QString mat = dir.filePath("levels.mat");
  WriteLevels(text, mat);
  std::vector<std::uint16_t> expected(50);
  for (int i = 0; i < 50; ++i) expected[std::size_t(i)] = std::uint16_t(i + 1);
  for (const QString& path : {text, mat}) {
    for (const bool raw : {true, false}) {
      SCOPED_TRACE(QStringLiteral("%1 %2").arg(path, raw ? "raw" : "input").toStdString());
      ur::CxImage image;
      ur::ExBayerGrid grid = ur::eBayerRGGB;
      const zel::testing::LogCapture capture(QtWarningMsg);
      ASSERT_EQ(raw ? ReadRawImage(path, image, grid) : ReadInputImage(path, image, grid), rc::Ok);
      EXPECT_TRUE(capture.lines().isEmpty()) << capture.lines().join("\n").toStdString();
      ur::SxImageBuf buf;
      ASSERT_FALSE(ur::Failed(image.getImageBuf(buf)));
      EXPECT_EQ(buf.width, 10);
      EXPECT_EQ(buf.height, 5);
      EXPECT_EQ(buf.dataType, ur::eImageDataUInt16);
      EXPECT_EQ(buf.bitDepth, 6);
      EXPECT_EQ(grid, ur::eBayerNone);
      EXPECT_EQ(Samples<std::uint16_t>(buf), expected);
    }
  }

  const QString fractions = dir.filePath("fractions.txt");
  WriteText(fractions, "0.5 1.5\n2.5 4.5\n");
  ur::CxImage image;
  ur::ExBayerGrid grid = ur::eBayerNone;
  const zel::testing::LogCapture capture(QtWarningMsg);
  ASSERT_EQ(ReadRawImage(fractions, image, grid), rc::Ok);
  ur::SxImageBuf buf;
  ASSERT_FALSE(ur::Failed(image.getImageBuf(buf)));
  EXPECT_EQ(Samples<std::uint16_t>(buf), (std::vector<std::uint16_t>{0, 16384, 32768, 65535}));
  EXPECT_EQ(buf.bitDepth, 16);
  ASSERT_EQ(capture.lines().size(), 1);
  EXPECT_TRUE(capture.lines()[0].contains("rescaled from [0.5, 4.5] to 0..65535"))
      << capture.lines()[0].toStdString();
}

// What the converters show the user when a matrix is refused: a warning naming the file and why.
TEST(InputReading, RefusedMatricesAreNamedWithTheirReasonInAWarning) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString text = dir.filePath("typo.txt");
  WriteText(text, "1 2 3\n4 5o 6\n");
  struct Case {
    QString path;
    QString reason;
    unsigned int code;
  };
  std::vector<Case> cases = {{text, "line 2, column 2: \"5o\" is not a number", rc::Fail}};
  const QString sparse = TestDataPath("external/mat/scipy_testsparse_7.4_GLNX86.mat");
  if (QFileInfo::exists(sparse))
    cases.push_back({sparse, "MATLAB variable 'testsparse' is a sparse matrix: not supported",
                     rc::Fail});
  const QString single = TestDataPath("external/mat/halide_matrix_3200.mat");
  if (QFileInfo::exists(single))
    cases.push_back({single, "holds 1 channel(s) of single values", rc::Unsupported});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.toStdString());
    ur::CxImage image;
    ur::ExBayerGrid grid = ur::eBayerNone;
    const zel::testing::LogCapture capture(QtWarningMsg);
    EXPECT_EQ(ReadRawImage(c.path, image, grid), c.code);
    EXPECT_FALSE(image.isValid());
    ASSERT_EQ(capture.lines().size(), 1) << capture.lines().join("\n").toStdString();
    EXPECT_TRUE(capture.lines()[0].contains(c.path));
    EXPECT_TRUE(capture.lines()[0].contains(c.reason)) << capture.lines()[0].toStdString();
  }
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
