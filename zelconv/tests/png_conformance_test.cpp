// PNG files of every grey kind through zelconv and back: the restored file holds the stored
// samples, whatever gamma, colour or transparency chunks the source carried. PNG files that are
// not grey are refused with a reason and leave nothing behind.
#include <gtest/gtest.h>

#include <png.h>

#include <QDir>
#include <QTemporaryDir>

#include "zelconv_test_support.h"

namespace {

using zel::testing::EncodePng;
using zel::testing::PngSpec;
using zel::testing::RunZelconv;

std::vector<std::uint16_t> GreySamples(const PngSpec& spec) {
  std::vector<std::uint16_t> samples;
  const unsigned levels = spec.bitDepth == 16 ? 200u : 1u << spec.bitDepth;
  const unsigned scale = spec.bitDepth == 16 ? 311u : 1u;  // 200 levels spread over 16 bits
  for (int i = 0; i < spec.width * spec.height; ++i)
    samples.push_back(std::uint16_t((unsigned(i) * 2654435761u >> 9) % levels * scale));
  return samples;
}

TEST(PngConformance, GreyFilesRestoreTheirStoredSamples) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (const int depth : {1, 2, 4, 8, 16}) {
    PngSpec spec;
    spec.width = 23;
    spec.height = 11;
    spec.bitDepth = depth;
    spec.sRgb = depth == 8;
    spec.gamma = spec.sRgb ? 0.45455 : 1.0;
    spec.transparentKey = depth == 16 ? 311 : 1;
    spec.interlaced = depth % 2 == 0;
    const std::vector<std::uint16_t> samples = GreySamples(spec);
    SCOPED_TRACE(depth);
    const QString input = dir.filePath(QStringLiteral("g%1.png").arg(depth));
    const QString zel = dir.filePath(QStringLiteral("g%1.zel.png").arg(depth));
    const QByteArray png = EncodePng(spec, samples);
    ASSERT_FALSE(png.isEmpty());
    ASSERT_TRUE(zel::testing::WriteBytes(input, png));
    ASSERT_TRUE(RunZelconv({QStringLiteral("-i"), input, QStringLiteral("-o"), zel})
                    .saidLine(QStringLiteral("Success")));
    const ur::ScopedImageBuf restored = zel::testing::RestoreThroughZelconv(
        zel, dir.filePath(QStringLiteral("g%1.dezel.png").arg(depth)));
    ASSERT_NE(restored->data, nullptr);
    ASSERT_EQ(restored->width, spec.width);
    ASSERT_EQ(restored->height, spec.height);
    for (int y = 0; y < spec.height; ++y)
      for (int x = 0; x < spec.width; ++x)
        ASSERT_EQ(zel::testing::GreyAt(restored.get(), x, y), samples[y * spec.width + x])
            << "at " << x << ", " << y;
  }
}

TEST(PngConformance, OtherKindsAreRefusedWithAReason) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  struct Case {
    int colourType, depth, stored;
    const char* reason;
  };
  for (const Case c : {Case{PNG_COLOR_TYPE_GRAY_ALPHA, 16, 2, "alpha channel"},
                       Case{PNG_COLOR_TYPE_PALETTE, 8, 1, "colour images"},
                       Case{PNG_COLOR_TYPE_RGB, 8, 3, "colour images"}}) {
    SCOPED_TRACE(c.colourType);
    PngSpec spec;
    spec.width = 6;
    spec.height = 4;
    spec.colourType = c.colourType;
    spec.bitDepth = c.depth;
    if (c.colourType == PNG_COLOR_TYPE_PALETTE) spec.palette = {200, 10, 10, 10, 200, 10};
    const QString input = dir.filePath(QStringLiteral("c%1.png").arg(c.colourType));
    ASSERT_TRUE(zel::testing::WriteBytes(
        input, EncodePng(spec, std::vector<std::uint16_t>(std::size_t(24 * c.stored), 1))));
    const auto run = RunZelconv({QStringLiteral("-i"), input, QStringLiteral("-o"),
                                 dir.filePath(QStringLiteral("out.zel.png"))});
    EXPECT_TRUE(run.saidLine(QStringLiteral("Failed")));
    EXPECT_TRUE(run.err.contains(input)) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QLatin1String(c.reason))) << run.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("out.zel.png"))));
  }
}

}  // namespace
