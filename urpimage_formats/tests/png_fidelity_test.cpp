// PNG files load with the samples they store, through every path that reads them: the format
// manager (file), the loader on a memory buffer, and CxImage::load. Files are made by libpng in
// every grey depth with the chunks that used to change samples (gAMA, sRGB, cHRM, iCCP, sBIT,
// a tRNS key colour, interlacing).

#include <ur/buffers.h>
#include <ur/data_loader.h>
#include <ur/format_manager.h>
#include <ur/image.h>
#include <ur/image_data.h>
#include <ur/rtti.h>

#include <zel_testing/image_builder.h>
#include <zel_testing/png_maker.h>
#include <zel_testing/test_data.h>

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

using zel::testing::EncodePng;
using zel::testing::PngSpec;
using zel::testing::SampleAt;

const QString kLoaderClass = QStringLiteral("ur::CxFreeImageLoader");

struct Loaded {
  int width = 0, height = 0, channels = 0, bitDepth = 0;
  ur::ExImageDataType type = ur::eImageDataUnknown;
  std::vector<std::uint16_t> samples;  // top row first
};

Loaded FromTopDown(const ur::SxImageBuf& b, bool bottomUp = false) {
  Loaded out{b.width, b.height, b.channels, b.bitDepth, b.dataType, {}};
  const bool wide = ur::BytesPerSample(b.dataType) == 2;
  for (int y = 0; y < b.height; ++y)
    for (int x = 0; x < b.width; ++x)
      for (int c = 0; c < b.channels; ++c) {
        const int row = bottomUp ? b.height - 1 - y : y;
        out.samples.push_back(wide ? SampleAt<std::uint16_t>(b, x, row, c)
                                   : SampleAt<std::uint8_t>(b, x, row, c));
      }
  return out;
}

class PngFidelity : public ::testing::Test {
protected:
  static void SetUpTestSuite() { ur::LoadFormatPlugins(); }
  void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
  QString path(const QString& name) const { return m_dir.filePath(name); }

  // The file through the three reading paths; false where one of them fails.
  static bool loadAll(const QString& file, Loaded out[3]) {
    ur::ScopedImageBuf managed;
    if (!ur::CxImageFormatManager::instance()->loadImageFromFile(file, managed.get(), nullptr))
      return false;
    out[0] = FromTopDown(managed.get());

    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) return false;
    std::unique_ptr<ur::IxImageDataLoader> loader(
        ur::CxRtti::instance()->create<ur::IxImageDataLoader>(kLoaderClass));
    loader->setBuffer(f.readAll(), QStringLiteral("png"));
    if (!loader->open()) return false;
    std::unique_ptr<ur::CxImageData> data(loader->imageData(0));
    out[1] = FromTopDown(data->image());

    ur::CxImage image;
    ur::SxImageBuf buf;
    if (ur::Failed(image.load(file)) || ur::Failed(image.getImageBuf(buf))) return false;
    out[2] = FromTopDown(buf, true);
    return true;
  }

  QTemporaryDir m_dir;
};

TEST_F(PngFidelity, GreyFilesLoadTheirStoredSamplesWhateverTheirChunks) {
  struct Variant {
    const char* name;
    void (*apply)(PngSpec&);
  };
  const Variant variants[] = {
      {"plain", [](PngSpec&) {}},
      {"gamma1", [](PngSpec& s) { s.gamma = 1.0, s.chrm = true; }},
      {"srgb", [](PngSpec& s) { s.gamma = 0.45455, s.sRgb = true, s.iccp = true; }},
      {"key", [](PngSpec& s) { s.transparentKey = 1, s.interlaced = true; }},
      {"sbit", [](PngSpec& s) { s.sbit = true, s.gamma = 2.2; }},
  };
  for (const int depth : {1, 2, 4, 8, 16}) {
    for (const Variant& v : variants) {
      SCOPED_TRACE(testing::Message() << depth << "-bit " << v.name);
      PngSpec spec;
      spec.width = 13;
      spec.height = 7;
      spec.bitDepth = depth;
      v.apply(spec);
      std::vector<std::uint16_t> samples;
      const unsigned levels = 1u << depth;
      for (int i = 0; i < spec.width * spec.height; ++i)
        samples.push_back(std::uint16_t((unsigned(i) * 2654435761u >> 7) % levels));
      samples[5] = std::uint16_t(levels - 1);
      const QString file = path(QStringLiteral("g%1_%2.png").arg(depth).arg(v.name));
      ASSERT_TRUE(zel::testing::WriteBytes(file, EncodePng(spec, samples)));

      Loaded loaded[3];
      ASSERT_TRUE(loadAll(file, loaded));
      for (const Loaded& l : loaded) {
        EXPECT_EQ(l.width, 13);
        EXPECT_EQ(l.height, 7);
        EXPECT_EQ(l.channels, 1);
        EXPECT_EQ(l.type, depth == 16 ? ur::eImageDataUInt16 : ur::eImageDataUInt8);
        if (depth < 8) {
          EXPECT_EQ(l.bitDepth, depth);
        }
        EXPECT_EQ(l.samples, samples);
      }
    }
  }
}

TEST_F(PngFidelity, SixteenBitSampleWithUnitGammaKeepsItsValues) {
  const QString file = zel::testing::TestDataPath("external/png/pngsuite_basn0g16.png");
  ZEL_REQUIRE_TESTDATA(file);
  Loaded loaded[3];
  ASSERT_TRUE(loadAll(file, loaded));
  for (const Loaded& l : loaded) {
    ASSERT_EQ(l.samples.size(), 32u * 32u);
    // Stored values of the top row, decoded from the file's IDAT independently.
    EXPECT_EQ(l.samples[0], 0);
    EXPECT_EQ(l.samples[1], 2304);
    EXPECT_EQ(l.samples[2], 4608);
  }
}

TEST_F(PngFidelity, ColourTypesLoadAsColourChannels) {
  struct Case {
    int colourType, depth, channels;
    bool alphaPalette;
  };
  for (const Case c : {Case{PNG_COLOR_TYPE_GRAY_ALPHA, 8, 4, false},
                       Case{PNG_COLOR_TYPE_GRAY_ALPHA, 16, 4, false},
                       Case{PNG_COLOR_TYPE_RGB, 16, 3, false},
                       Case{PNG_COLOR_TYPE_PALETTE, 4, 4, true},
                       Case{PNG_COLOR_TYPE_PALETTE, 8, 4, false}}) {
    SCOPED_TRACE(testing::Message() << "type " << c.colourType << " depth " << c.depth);
    PngSpec spec;
    spec.width = 5;
    spec.height = 3;
    spec.colourType = c.colourType;
    spec.bitDepth = c.depth;
    const int stored = c.colourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                       : c.colourType == PNG_COLOR_TYPE_RGB     ? 3
                                                                : 1;
    std::vector<std::uint16_t> samples(std::size_t(15 * stored));
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = std::uint16_t(i % 3);
    if (c.colourType == PNG_COLOR_TYPE_PALETTE) {
      spec.palette = {10, 20, 30, 40, 50, 60, 70, 80, 90};
      if (c.alphaPalette) spec.paletteAlpha = {255, 128, 0};
    }
    const QString file = path(QStringLiteral("c%1_%2.png").arg(c.colourType).arg(c.depth));
    ASSERT_TRUE(zel::testing::WriteBytes(file, EncodePng(spec, samples)));
    Loaded loaded[3];
    ASSERT_TRUE(loadAll(file, loaded));
    for (const Loaded& l : loaded) {
      // CxImage keeps an opaque colour palette as three channels.
      const bool opaquePalette = c.colourType == PNG_COLOR_TYPE_PALETTE && !c.alphaPalette;
      EXPECT_EQ(l.channels, opaquePalette && &l == &loaded[2] ? 3 : c.channels);
      if (c.colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        // Pixel 1 is grey 2 with alpha 0: the grey in each colour channel, then the alpha.
        EXPECT_EQ(std::vector<std::uint16_t>(l.samples.begin() + 4, l.samples.begin() + 8),
                  (std::vector<std::uint16_t>{2, 2, 2, 0}));
      }
      if (c.alphaPalette) {
        // Pixel 1 is entry 1: B, G, R = 60, 50, 40 with alpha 128.
        EXPECT_EQ(std::vector<std::uint16_t>(l.samples.begin() + 4, l.samples.begin() + 8),
                  (std::vector<std::uint16_t>{60, 50, 40, 128}));
      }
    }
  }
}

TEST_F(PngFidelity, DamagedFilesFailThroughEveryPath) {
  PngSpec spec;
  spec.width = 40;
  spec.height = 30;
  spec.bitDepth = 16;
  spec.interlaced = true;
  spec.texts = {{"Comment", "some text"}};
  std::vector<std::uint16_t> samples(40 * 30);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = std::uint16_t(i * 977);
  const QByteArray good = EncodePng(spec, samples);
  ASSERT_FALSE(good.isEmpty());

  std::vector<QByteArray> bad;
  for (int cut = 0; cut < good.size(); cut += 23) bad.push_back(good.left(cut));
  QByteArray flipped = good;
  flipped[good.indexOf("IDAT") + 20] = char(flipped[good.indexOf("IDAT") + 20] ^ 0x55);
  bad.push_back(flipped);
  // A header claiming 65535 x 65535 pixels (with a valid CRC) over a few hundred bytes of data.
  QByteArray huge = good;
  const int ihdr = huge.indexOf("IHDR");
  for (int i = 0; i < 8; ++i) huge[ihdr + 4 + i] = char(i % 4 < 2 ? 0 : 0xFF);
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(huge.constData() + ihdr), 17);
  for (int i = 0; i < 4; ++i) huge[ihdr + 17 + i] = char(crc >> (24 - 8 * i));
  bad.push_back(huge);

  int index = 0;
  for (const QByteArray& bytes : bad) {
    SCOPED_TRACE(index);
    const QString file = path(QStringLiteral("bad%1.png").arg(index++));
    ASSERT_TRUE(zel::testing::WriteBytes(file, bytes));
    ur::ScopedImageBuf buf;
    EXPECT_FALSE(ur::CxImageFormatManager::instance()->loadImageFromFile(file, buf.get(), nullptr));
    EXPECT_EQ(buf->data, nullptr);
    std::unique_ptr<ur::IxImageDataLoader> loader(
        ur::CxRtti::instance()->create<ur::IxImageDataLoader>(kLoaderClass));
    loader->setBuffer(bytes, QStringLiteral("png"));
    EXPECT_FALSE(loader->open());
    ur::CxImage image;
    EXPECT_TRUE(ur::Failed(image.load(file)));
  }
}

}  // namespace
