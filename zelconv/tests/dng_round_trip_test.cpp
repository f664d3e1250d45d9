// Every CFA DNG of the sample set through zelconv (grid taken from the file) with both
// demosaicing algorithms, and back to a one-channel mosaic of the raw image's size.
#include <gtest/gtest.h>
#include <ur/image.h>
#include <zel/input_reading.h>
#include <zel_testing/image_builder.h>
#include <zel_testing/printers.h>
#include <zel_testing/test_data.h>

#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cstdlib>

#include "zelconv_test_support.h"

namespace {

using zel::testing::GreyAt;
using zel::testing::RankOf;
using zel::testing::RunZelconv;
using zel::testing::ZelconvRun;

struct DngCase {
  const char* file;  // below the sample folder
  int width;         // the stored raw image, as the sample folder's READMEs give it
  int height;
  const char* samePixelsAs = nullptr;  // a PNG of the same mosaic, to show the raw is upright
};

std::ostream& operator<<(std::ostream& os, const DngCase& c) { return os << c.file; }

// Colours of the 2x2 cell per grid value (BGGR, RGGB, GBRG, GRBG), row by row.
const std::array<const char*, 4> kCells{"bggr", "rggb", "gbrg", "grbg"};

char ColourAt(ur::ExBayerGrid grid, int x, int y) {
  return kCells[std::size_t(grid)][(y % 2) * 2 + x % 2];
}

// The sorted distinct samples at the sites of one colour.
std::vector<int> LevelsAtSites(const ur::SxImageBuf& mosaic, ur::ExBayerGrid grid, char colour) {
  std::vector<int> levels;
  for (int y = 0; y < mosaic.height; ++y)
    for (int x = 0; x < mosaic.width; ++x)
      if (ColourAt(grid, x, y) == colour) levels.push_back(GreyAt(mosaic, x, y));
  std::sort(levels.begin(), levels.end());
  levels.erase(std::unique(levels.begin(), levels.end()), levels.end());
  return levels;
}

class DngRoundTrip : public ::testing::TestWithParam<DngCase> {
protected:
  void SetUp() override {
    m_file = zel::testing::TestDataPath(QLatin1String(GetParam().file));
    ZEL_REQUIRE_TESTDATA(m_file);
    ASSERT_TRUE(m_dir.isValid());
    ASSERT_EQ(urs::zel::ReadInputImage(m_file, m_image, m_grid), ur::rc::Ok);
    ASSERT_EQ(m_image.getImageBuf(m_raw), ur::rc::Ok);
    ASSERT_EQ(m_raw.width, GetParam().width);
    ASSERT_EQ(m_raw.height, GetParam().height);
    ASSERT_LT(int(m_grid), 4) << "the file's CFA pattern was not found";
    // The restored mosaic is compared with m_raw, so m_raw itself must be the upright picture.
    if (GetParam().samePixelsAs) {
      const ur::ScopedImageBuf png = zel::testing::ReadImage(
          zel::testing::TestDataPath(QLatin1String(GetParam().samePixelsAs)));
      ASSERT_NE(png->data, nullptr);
      ASSERT_EQ(zel::testing::Samples<std::uint16_t>(png.get()),
                zel::testing::Samples<std::uint16_t>(m_raw));
    }
  }

  // Converts with the algorithm, checks the ZEL image's shape and restores it. The restored
  // mosaic, or no pixels when it is not a one-channel image of the raw image's size.
  ur::ScopedImageBuf roundTrip(const QString& algorithm, int zelWidth, int zelHeight) {
    const QString zel = m_dir.filePath(algorithm + QStringLiteral(".zel.png"));
    const QString restoredFile = m_dir.filePath(algorithm + QStringLiteral(".dezel.tif"));
    const ZelconvRun forward = RunZelconv(
        {QStringLiteral("-i"), m_file, QStringLiteral("-o"), zel, QStringLiteral("-a"), algorithm});
    EXPECT_TRUE(forward.finished);
    EXPECT_TRUE(forward.saidLine(QStringLiteral("Success"))) << forward.err.toStdString();
    const ur::ScopedImageBuf stored = zel::testing::ReadImage(zel);
    if (!stored->data) return {};
    EXPECT_EQ(stored->channels, 3);
    EXPECT_EQ(stored->width, zelWidth);
    EXPECT_EQ(stored->height, zelHeight);

    ur::ScopedImageBuf restored = zel::testing::RestoreThroughZelconv(zel, restoredFile);
    if (restored->channels != 1 || restored->width != m_raw.width ||
        restored->height != m_raw.height) {
      ADD_FAILURE() << "restored " << restored->width << "x" << restored->height << "x"
                    << restored->channels;
      return {};
    }
    return restored;
  }

  QString m_file;
  QTemporaryDir m_dir;
  ur::CxImage m_image;
  ur::ExBayerGrid m_grid = ur::eBayerNone;
  ur::SxImageBuf m_raw;  // the pixels of m_image, top row first
};

// Simple demosaicing keeps red and blue samples as they are, so at their sites the restored
// sample is the original, or with more than 256 levels of the colour an occupied level whose
// rank lies within half a scaling step of the original's.
TEST_P(DngRoundTrip, SimpleRestoresRedAndBlueSites) {
  const ur::ScopedImageBuf restored =
      roundTrip(QStringLiteral("sd"), m_raw.width / 2, m_raw.height / 2);
  ASSERT_NE(restored->data, nullptr);
  for (char colour : {'r', 'b'}) {
    const std::vector<int> levels = LevelsAtSites(m_raw, m_grid, colour);
    const double tolerance = 0.5 * (double(levels.size()) - 1) / 255.0 + 0.5;
    int wrong = 0;
    for (int y = 0; y < m_raw.height && wrong < 10; ++y)
      for (int x = 0; x < m_raw.width && wrong < 10; ++x) {
        if (ColourAt(m_grid, x, y) != colour) continue;
        const int original = GreyAt(m_raw, x, y);
        const int got = GreyAt(restored.get(), x, y);
        const int rank = RankOf(levels, got);
        if (rank < 0 || std::abs(rank - RankOf(levels, original)) > tolerance) {
          ++wrong;
          ADD_FAILURE() << colour << " site " << x << "," << y << ": " << original
                        << " came back as " << got << " (" << levels.size() << " levels)";
        }
      }
  }
}

// Interpolation keeps every site's own sample; with 8-bit samples no channel can hold more
// than 256 levels, so the whole mosaic must come back exactly.
TEST_P(DngRoundTrip, InterpolatedRestoresTheMosaicAtRawSize) {
  const ur::ScopedImageBuf restored = roundTrip(QStringLiteral("id"), m_raw.width, m_raw.height);
  ASSERT_NE(restored->data, nullptr);
  if (m_raw.dataType != ur::eImageDataUInt8) return;
  ASSERT_EQ(restored->dataType, ur::eImageDataUInt8);
  ASSERT_EQ(zel::testing::Samples<std::uint8_t>(restored.get()),
            zel::testing::Samples<std::uint8_t>(m_raw));
}

INSTANTIATE_TEST_SUITE_P(
    Samples, DngRoundTrip,
    ::testing::Values(DngCase{"external/dng/canon_eos550d_magiclantern_colorchart.dng", 1888, 1182},
                      DngCase{"derived/dng/d550_rggb_14bit_subifd.dng", 640, 480},
                      DngCase{"derived/dng/d550_grbg_14bit_bigendian.dng", 640, 480},
                      DngCase{"derived/dng/d550_gbrg_14bit.dng", 640, 480},
                      DngCase{"derived/dng/d550_bggr_14bit_subifd.dng", 640, 480},
                      DngCase{"derived/dng/d550_grbg_12bit_strips.dng", 640, 480},
                      DngCase{"derived/dng/d550_gbrg_10bit_subifd.dng", 640, 480},
                      DngCase{"derived/dng/d550_bggr_8bit.dng", 640, 480},
                      DngCase{"derived/dng/d550_rggb_16bit.dng", 640, 480},
                      DngCase{"derived/dng/halide_grbg_12bit_w1053.dng", 256, 344,
                              "external/png/halide_bayer_small_16bit_mosaic.png"},
                      DngCase{"derived/dng/halide_grbg_10bit_w1023_over_white.dng", 256, 344,
                              "external/png/halide_bayer_small_16bit_mosaic.png"}),
    [](const ::testing::TestParamInfo<DngCase>& param) {
      const QString name = QFileInfo(QLatin1String(param.param.file)).completeBaseName();
      return name.toStdString();
    });

}  // namespace
