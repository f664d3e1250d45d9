#include <ur/buffers.h>
#include <ur/common_image_metadata.h>
#include <ur/data_loader.h>
#include <ur/image_data.h>

#include <zel_testing/image_builder.h>
#include <zel_testing/printers.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

using ur::CxImageData;
using ur::CxMetadata;
using ur::ScopedImageBuf;
using ur::SxImageBuf;
using zel::testing::ImageShape;
using zel::testing::MakeImage;
using zel::testing::Samples;

const QDateTime kStamp(QDate(2024, 5, 17), QTime(13, 45, 12, 250), Qt::UTC);

CxMetadata RecordWithBitDepth(int bits) {
  auto* r = new ur::CxCommonImageMetadata();
  r->bitDepth = bits;
  CxMetadata m;
  m.addItem(r);
  return m;
}

TEST(ImageData, OwnsShallowPixelsAndClonesDeeply) {
  SxImageBuf pixels =
      MakeImage<std::uint16_t>(ImageShape{3, 2, 1, 0, 4, 12}, {1, 2, 3, 4, 5, 6}).release();
  auto data = std::make_unique<CxImageData>();
  data->setImageShallow(pixels, 5, 0, kStamp);
  data->setMetadata(RecordWithBitDepth(12));
  EXPECT_EQ(data->image().data, pixels.data);  // taken over, not copied

  const std::unique_ptr<CxImageData> copy(data->clone(nullptr));
  ASSERT_NE(copy, nullptr);
  EXPECT_NE(copy->image().data, pixels.data);
  EXPECT_EQ(copy->frame(), 5);
  EXPECT_EQ(copy->timestampUs(), data->timestampUs());
  EXPECT_NE(copy->metadata().item(0), data->metadata().item(0));
  ASSERT_NE(copy->metadata().find<ur::CxCommonImageMetadata>(), nullptr);
  EXPECT_EQ(copy->metadata().find<ur::CxCommonImageMetadata>()->bitDepth, 12);

  data.reset();  // frees the original pixels once; the clone's stay readable
  EXPECT_EQ(Samples<std::uint16_t>(copy->image()), (std::vector<std::uint16_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(copy->image().bitDepth, 12);
}

TEST(ImageData, ReplacingTakingAndCopyingPixelsNeitherLeaksNorFreesTwice) {
  CxImageData data;
  SxImageBuf first = MakeImage<std::uint8_t>(ImageShape{2, 1}, {1, 2}).release();
  SxImageBuf second = MakeImage<std::uint8_t>(ImageShape{2, 1}, {3, 4}).release();
  data.setImageShallow(first, 0, 0, kStamp);
  data.setImageShallow(second, 0, 0, kStamp);  // frees first
  data.setImageShallow(second, 1, 0, kStamp);  // the same pixels again: kept
  EXPECT_EQ(Samples<std::uint8_t>(data.image()), (std::vector<std::uint8_t>{3, 4}));

  SxImageBuf taken = data.takeImage();
  EXPECT_FALSE(data.hasPixels());
  EXPECT_EQ(taken.data, second.data);
  ur::FreeBuffer(taken);

  ScopedImageBuf source = MakeImage<std::uint8_t>(ImageShape{2, 1}, {7, 8});
  ASSERT_TRUE(data.setImage(source.get(), kStamp));
  source->data[0] = 0;
  EXPECT_EQ(Samples<std::uint8_t>(data.image()), (std::vector<std::uint8_t>{7, 8}));
  EXPECT_FALSE(data.setImage(SxImageBuf{}, kStamp));

  const std::unique_ptr<CxImageData> empty(CxImageData().clone(nullptr));
  ASSERT_NE(empty, nullptr);
  EXPECT_FALSE(empty->hasPixels());
}

TEST(ImageData, KeepsTheTimeStampInMicroseconds) {
  CxImageData data;
  data.setImageShallow(SxImageBuf{}, 0, 0, kStamp);
  EXPECT_EQ(data.timestampUs(), kStamp.toMSecsSinceEpoch() * 1000);
  EXPECT_EQ(data.timestamp(), kStamp);
  data.setImageShallow(SxImageBuf{}, 0, 0, QDateTime());
  EXPECT_EQ(data.timestampUs(), 0);
}

// A loader serving one image from memory, to exercise the defaults of IxImageDataLoader.
class MemoryLoader : public ur::IxImageDataLoader {
public:
  MemoryLoader(const SxImageBuf& pixels, const CxMetadata& metadata) {
    m_source.setImage(pixels, kStamp);
    m_source.setMetadata(metadata);
  }
  bool open() override { return m_open = true; }
  bool isOpen() const override { return m_open; }
  void close() override { m_open = false; }
  ur::FileFormatList fileFormats() const override { return {{QStringLiteral("Memory (*.mem)"), 1}}; }
  CxImageData* imageData(int frame) override {
    return (m_open && frame == 0) ? m_source.clone(nullptr) : nullptr;
  }

private:
  CxImageData m_source;
  bool m_open = false;
};

TEST(ImageDataLoader, RoiCopiesTheRegionAndNamesItsOwnBayerCell) {
  std::vector<std::uint16_t> samples(16);
  for (int i = 0; i < 16; ++i) samples[std::size_t(i)] = std::uint16_t(i);
  const ScopedImageBuf mosaic =
      MakeImage<std::uint16_t>(ImageShape{4, 4, 1, 0, 2, 12, ur::eBayerRGGB}, samples);
  MemoryLoader loader(mosaic.get(), RecordWithBitDepth(12));
  ASSERT_TRUE(loader.open());

  ScopedImageBuf roi;
  ASSERT_TRUE(loader.loadRoi(0, QRect(1, 0, 2, 3), roi.get()));
  EXPECT_EQ(Samples<std::uint16_t>(roi.get()), (std::vector<std::uint16_t>{1, 2, 5, 6, 9, 10}));
  EXPECT_EQ(roi->bayerGrid, ur::eBayerGRBG);  // R G / G B read from column 1: G R / B G
  EXPECT_EQ(roi->bitDepth, 12);

  SxImageBuf untouched;
  EXPECT_FALSE(loader.loadRoi(0, QRect(3, 3, 2, 2), untouched));
  EXPECT_EQ(untouched.data, nullptr);

  const std::unique_ptr<CxImageData> region(loader.dataRoi(QRect(1, 1, 2, 2), 0));
  ASSERT_NE(region, nullptr);
  EXPECT_EQ(Samples<std::uint16_t>(region->image()), (std::vector<std::uint16_t>{5, 6, 9, 10}));
  EXPECT_EQ(region->image().bayerGrid, ur::eBayerBGGR);  // from the odd row and column: B G / G R
  ASSERT_NE(region->metadata().find<ur::CxCommonImageMetadata>(), nullptr);
}

TEST(ImageDataLoader, HistogramHasTheLevelsOfTheBitDepthPerLogicalChannel) {
  const ScopedImageBuf grey =
      MakeImage<std::uint16_t>(ImageShape{4, 1, 1, 0, 0, 10}, {0, 1023, 1023, 5});
  MemoryLoader greyLoader(grey.get(), CxMetadata());
  greyLoader.open();
  ur::CxImageHistogram histogram;
  ASSERT_TRUE(greyLoader.loadHistogram(0, histogram));
  EXPECT_EQ(histogram.channels(), 1);
  EXPECT_EQ(histogram.levels(), 1024);
  EXPECT_EQ(histogram.count(0, 0), 1u);
  EXPECT_EQ(histogram.count(0, 5), 1u);
  EXPECT_EQ(histogram.count(0, 1023), 2u);

  // 8-bit colour is B, G, R in memory; the histogram is in logical order R, G, B.
  const ScopedImageBuf colour = MakeImage<std::uint8_t>(ImageShape{1, 1, 3}, {10, 20, 30});
  MemoryLoader colourLoader(colour.get(), CxMetadata());
  colourLoader.open();
  ASSERT_TRUE(colourLoader.loadHistogram(0, histogram));
  EXPECT_EQ(histogram.levels(), 256);
  EXPECT_EQ(histogram.count(0, 30), 1u);
  EXPECT_EQ(histogram.count(2, 10), 1u);

  const ScopedImageBuf floats = MakeImage<float>(ImageShape{1, 1}, {0.5f});
  MemoryLoader floatLoader(floats.get(), CxMetadata());
  floatLoader.open();
  EXPECT_FALSE(floatLoader.loadHistogram(0, histogram));
}

// An owned image of one value everywhere.
template <typename T>
ScopedImageBuf Flat(int width, int height, int bits, ur::ExBayerGrid grid, T value) {
  return MakeImage<T>(ImageShape{width, height, 1, 0, 0, bits, grid},
                      std::vector<T>(std::size_t(width) * std::size_t(height), value));
}

TEST(ImageDataLoader, ThumbnailIsEightBitColourWithinFourHundredByThreeHundred) {
  struct Case {
    int width, height, bits;
    ur::ExBayerGrid grid;
    int thumbWidth, thumbHeight;
  };
  const Case cases[] = {
      {1000, 500, 8, ur::eBayerNone, 400, 200},
      {300, 600, 8, ur::eBayerNone, 150, 300},
      {320, 240, 8, ur::eBayerNone, 320, 240},  // small images are not enlarged
      {1600, 1200, 12, ur::eBayerRGGB, 400, 300},  // a mosaic: one colour pixel per cell
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    const ScopedImageBuf image =
        c.bits == 8 ? Flat<std::uint8_t>(c.width, c.height, 8, c.grid, 255)
                    : Flat<std::uint16_t>(c.width, c.height, c.bits, c.grid, 4095);
    MemoryLoader loader(image.get(), CxMetadata());
    loader.open();
    ScopedImageBuf thumb;
    ASSERT_TRUE(loader.loadThumbnail(0, thumb.get()));
    EXPECT_EQ(thumb->width, c.thumbWidth);
    EXPECT_EQ(thumb->height, c.thumbHeight);
    EXPECT_EQ(thumb->channels, 3);
    EXPECT_EQ(thumb->dataType, ur::eImageDataUInt8);
    const std::vector<std::uint8_t> samples = Samples<std::uint8_t>(thumb.get());
    EXPECT_TRUE(std::all_of(samples.begin(), samples.end(), [](std::uint8_t v) { return v == 255; }));
  }
}

TEST(ImageDataLoader, SetFilenameClosesAnOpenLoader) {
  const ScopedImageBuf image = MakeImage<std::uint8_t>(ImageShape{1, 1}, {1});
  MemoryLoader loader(image.get(), CxMetadata());
  ASSERT_TRUE(loader.open());
  EXPECT_EQ(loader.frameCount(), 1);
  loader.setFilename(QStringLiteral("other.mem"));
  EXPECT_FALSE(loader.isOpen());
  EXPECT_EQ(loader.filename(), QStringLiteral("other.mem"));
  EXPECT_EQ(loader.data(0), nullptr);
}

}  // namespace
