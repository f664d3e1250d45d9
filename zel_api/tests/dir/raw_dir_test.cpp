// The raw path on real files: the shared DNG samples for what ends or skips a directory, and
// generated mosaics of at most 255 levels per plane for the exact way back in all four grids.
#include "dir_fixture.h"

#include <zel/metadata.h>
#include <zel/reverse_conversion.h>
#include <zel/zel_file.h>

#include <QFileInfo>

namespace {

namespace rc = ur::rc;
using namespace urs::zel;
using zel::testing::LoadTopDown;
using zel::testing::MakeRawFrame;
using zel::testing::Samples;
using zel::testing::SampleAt;

using RawDir = zel::testing::DirTest;

TEST_F(RawDir, DngSamplesOfTheWrongDepthOrAnOddCropEndTheDirectory) {
  const QString deeper = folder(QStringLiteral("depth"));
  const QString odd = folder(QStringLiteral("depth/odd"));
  if (!copySample("d550_grbg_12bit_strips.dng", deeper + "twelve.dng") ||
      !copySample("d550_rggb_14bit_subifd.dng", deeper + "fourteen.dng") ||
      !copySample("d550_grbg_12bit_strips.dng", odd + "twelve.dng"))
    GTEST_SKIP() << "shared DNG samples not found";

  ZelParams p = params(deeper, ur::eBayerRGGB);
  p.processSubfolders = true;
  p.applyRoi = true;
  p.rawRoiLeft = 2;  // even cuts: the region keeps even sides
  p.rawRoiRight = 4;
  ASSERT_EQ(ConvertDirToZel(p, nullptr), rc::Ok);
  EXPECT_TRUE(protocolHas(QStringLiteral("File %1 has not the correct color bit depth. "
                                         "Expected: 12, read: 14")
                              .arg(deeper + "fourteen.dng")))
      << protocolText().toStdString();
  EXPECT_TRUE(
      protocolHas(QStringLiteral("Processing %1 failed with error 0xa0004313").arg(deeper)));
  EXPECT_TRUE(zelFiles(deeper + "ZEL/").isEmpty());
  // The subfolder's 12-bit frame converts: a one-channel mosaic of type 1 of the region's size.
  ASSERT_EQ(zelFiles(odd + "ZEL/"), QStringList({"twelve.zel.png"}));
  {
    ur::CxImage image;
    ZelMetadata md;
    ASSERT_EQ(ReadZelImage(odd + "ZEL/twelve.zel.png", image, md), rc::Ok);
    ur::SxImageBuf buf;
    ASSERT_EQ(image.getImageBuf(buf), rc::Ok);
    EXPECT_EQ(buf.channels, 1);
    EXPECT_EQ(buf.width, 640 - 6);
    EXPECT_EQ(buf.height, 480);
    EXPECT_EQ(md.zelType, 1);
    EXPECT_EQ(md.bayerGrid, ur::eBayerGRBG);  // the file's own grid, from an even column
  }
  EXPECT_EQ(m_summary.converted, 1);
  EXPECT_EQ(m_summary.failed, 2);

  // In the flat path the deeper file is only skipped; the other converts, demosaiced by its grid.
  ZelParams flat = params(deeper);
  ASSERT_EQ(ConvertFlatDirToZel(flat, deeper, {}, nullptr), rc::Ok);
  EXPECT_TRUE(protocolHas(
      QStringLiteral("Invalid color bit depth in file %1.").arg(deeper + "fourteen.dng")));
  EXPECT_TRUE(QFileInfo::exists(deeper + "twelve.zel.png"));

  // Three columns cut on the left make the region's width odd.
  ZelParams cut = params(odd, ur::eBayerRGGB);
  cut.applyRoi = true;
  cut.rawRoiLeft = 3;
  ASSERT_EQ(ConvertDirToZel(cut, nullptr), rc::Ok);
  EXPECT_TRUE(protocolHas("The ROI width and height must be even."));
  EXPECT_TRUE(protocolHas(QStringLiteral("Processing %1 failed with error 0xa000000d").arg(odd)));

  // Demosaiced by Simple after compaction: colour of half the size. The real frame's planes hold
  // more levels than the 8-bit spread keeps apart.
  ZelParams half = params(odd, ur::eBayerRGGB);
  half.debayerizeOutput = true;
  half.algorithm = Simple;
  ASSERT_EQ(ConvertDirToZel(half, nullptr), rc::Ok);
  EXPECT_TRUE(protocolHas("a channel holds more than 255 levels"));
  ur::CxImage image;
  ZelMetadata md;
  ASSERT_EQ(ReadZelImage(odd + "ZEL/twelve.zel.png", image, md), rc::Ok);
  ur::SxImageBuf buf;
  ASSERT_EQ(image.getImageBuf(buf), rc::Ok);
  EXPECT_EQ(buf.channels, 3);
  EXPECT_EQ(buf.width, 320);
  EXPECT_EQ(buf.height, 240);
  EXPECT_EQ(md.zelType, 1);
}

struct RoundTrip {
  bool debayerize = false;
  bool threshold = false;
};

class RawRoundTrip : public RawDir {
protected:
  // Two asymmetric frames per grid (a region cut at an odd column, so the region's grid is
  // another than the file's), converted by the raw path and restored by the reverse path.
  void run(const RoundTrip& how) {
    for (const ur::ExBayerGrid grid :
         {ur::eBayerBGGR, ur::eBayerRGGB, ur::eBayerGBRG, ur::eBayerGRBG}) {
      SCOPED_TRACE(int(grid));
      const QString dir = folder(QStringLiteral("grid%1").arg(int(grid)));
      const QString back = folder(QStringLiteral("grid%1/back").arg(int(grid)));
      ur::ScopedImageBuf frames[2] = {MakeRawFrame(30, 20, grid, 0),
                                      MakeRawFrame(30, 20, grid, 5)};
      save(dir + "f0.png", frames[0].get());
      save(dir + "f1.png", frames[1].get());

      ZelParams p = params(dir, grid);
      p.applyRoi = true;
      p.rawRoiLeft = 1;
      p.rawRoiRight = 3;
      p.rawRoiTop = 2;
      p.debayerizeOutput = how.debayerize;
      p.algorithm = Averaging;
      if (how.threshold) {
        // Red's two lowest levels and blue's highest are replaced, and must still come back.
        p.applyThreshold = true;
        p.thresholdLowRed = 203;
        p.thresholdHighRed = 4000;  // a negative high with a low set is no valid pair
        p.thresholdHighBlue = 1400 + 3 * 119;
      }
      ASSERT_EQ(ConvertDirToZel(p, nullptr), rc::Ok) << protocolText().toStdString();
      ASSERT_EQ(zelFiles(dir + "ZEL/").size(), 2) << protocolText().toStdString();
      EXPECT_TRUE(protocolHas("; the way back will give every sample exactly."));

      BackZelParams restore;
      restore.pluginId = p.pluginId;
      restore.inputDir = dir + "ZEL/";
      restore.outputDir = back;
      ASSERT_EQ(ConvertDirToRaw(restore, nullptr), rc::Ok);
      for (int f = 0; f < 2; ++f) {
        const ur::ScopedImageBuf restored =
            LoadTopDown(back + QStringLiteral("f%1.dezel.png").arg(f));
        ASSERT_TRUE(restored->data);
        ASSERT_EQ(restored->width, 26);
        ASSERT_EQ(restored->height, 18);
        int wrong = 0;
        for (int y = 0; y < 18; ++y)
          for (int x = 0; x < 26; ++x)
            wrong += SampleAt<std::uint16_t>(restored.get(), x, y) !=
                     SampleAt<std::uint16_t>(frames[f].get(), x + 1, y + 2);
        EXPECT_EQ(wrong, 0) << "frame " << f;
      }
      if (how.threshold) {
        ur::CxImage image;
        ZelMetadata md;
        ASSERT_EQ(ReadZelImage(dir + "ZEL/f0.zel.png", image, md), rc::Ok);
        EXPECT_FALSE(md.invalidPixels.isEmpty());
      }
    }
  }
};

TEST_F(RawRoundTrip, MosaicComesBackExactlyInEveryGrid) { run({}); }

TEST_F(RawRoundTrip, DemosaicedOutputKeepsEverySiteInItsOwnChannel) { run({true, false}); }

TEST_F(RawRoundTrip, ReplacedPixelsComeBack) { run({false, true}); }

}  // namespace
