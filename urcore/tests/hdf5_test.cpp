// The HDF5 routines of the image core, on files written and then read back or altered here:
// layouts, regions, attributes and descriptions that disagree with the stored pixels.

#include <ur/buffers.h>
#include <ur/common_image_metadata.h>
#include <ur/hdf5.h>
#include <ur/image_data.h>

#include <zel_testing/image_builder.h>
#include <zel_testing/printers.h>

#include <gtest/gtest.h>

#include <H5Cpp.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <memory>
#include <vector>

namespace {

using ur::CxHDF5;
using ur::ScopedImageBuf;
using ur::SxImageBuf;
using zel::testing::ImageShape;
using zel::testing::MakeImage;
using zel::testing::Samples;

// A new file in a temporary folder, kept open while the fixture lives; HDF5 work is done
// under the framework's lock, as every caller must.
class Hdf5File : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    m_path = m_dir.filePath(QStringLiteral("test.h5"));
    ur::CxHDF5::lock();
    m_file = std::make_unique<H5::H5File>(QFile::encodeName(m_path).constData(), H5F_ACC_TRUNC);
  }
  void TearDown() override {
    m_file.reset();
    ur::CxHDF5::unlock();
  }
  H5::H5File& file() { return *m_file; }
  H5::Group format(const char* image) { return m_file->openGroup(std::string(image) + "/format"); }

  QTemporaryDir m_dir;
  QString m_path;
  std::unique_ptr<H5::H5File> m_file;
};

template <typename T>
void ExpectRoundTrip(H5::H5File& file, const char* name, const ScopedImageBuf& image) {
  ASSERT_TRUE(CxHDF5::writeImageBuf(file, QLatin1String(name), image.get())) << CxHDF5::lastError().toStdString();
  ScopedImageBuf back;
  ASSERT_TRUE(CxHDF5::readImageBuf(file, QLatin1String(name), back.get())) << CxHDF5::lastError().toStdString();
  EXPECT_EQ(back->width, image->width);
  EXPECT_EQ(back->height, image->height);
  EXPECT_EQ(back->channels, image->channels);
  EXPECT_EQ(back->planar, image->planar);
  EXPECT_EQ(back->bitDepth, image->bitDepth);
  EXPECT_EQ(back->dataType, image->dataType);
  EXPECT_EQ(back->bayerGrid, image->bayerGrid);
  EXPECT_EQ(Samples<T>(back.get()), Samples<T>(image.get())) << name;
}

TEST_F(Hdf5File, BuffersOfEveryLayoutComeBackUnchanged) {
  // Padded rows catch pitch mistakes; 8-bit colour is reordered on the way to the file.
  ExpectRoundTrip<std::uint8_t>(file(), "grey8", MakeImage<std::uint8_t>({3, 2, 1, 0, 5}, {1, 2, 3, 4, 5, 255}));
  ExpectRoundTrip<std::uint8_t>(
      file(), "bgr8", MakeImage<std::uint8_t>({2, 2, 3, 0, 3}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  ExpectRoundTrip<std::uint16_t>(
      file(), "rgb16", MakeImage<std::uint16_t>({2, 1, 3, 0, 2, 12}, {4095, 0, 7, 1, 2, 3}));
  ExpectRoundTrip<float>(file(), "planar",
                         MakeImage<float>({2, 1, 4, 1, 4}, {0.5f, -1, 2, 3, 1e9f, 5, 6, 7}));
  ExpectRoundTrip<std::int16_t>(file(), "signed", MakeImage<std::int16_t>({1, 3, 1}, {-32768, 0, 32767}));
  ExpectRoundTrip<std::uint16_t>(
      file(), "mosaic", MakeImage<std::uint16_t>({2, 2, 1, 0, 0, 10, ur::eBayerGRBG}, {1, 2, 3, 1023}));

  // Other tools see the shape of the picture and red first.
  const H5::DataSet pixels = file().openDataSet("bgr8/pixels");
  hsize_t dims[3] = {};
  ASSERT_EQ(pixels.getSpace().getSimpleExtentDims(dims), 3);
  EXPECT_EQ(dims[0], 2u);  // height
  EXPECT_EQ(dims[1], 2u);  // width
  EXPECT_EQ(dims[2], 3u);  // channels
  std::vector<std::uint8_t> stored(12);
  pixels.read(stored.data(), H5::PredType::NATIVE_UINT8);
  EXPECT_EQ(stored, (std::vector<std::uint8_t>{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}));
  hsize_t planarDims[3] = {};
  file().openDataSet("planar/pixels").getSpace().getSimpleExtentDims(planarDims);
  EXPECT_EQ(planarDims[0], 4u);  // channels first
}

TEST_F(Hdf5File, RegionsComeWithTheGridOfTheirCorner) {
  std::vector<std::uint16_t> samples(6 * 4);
  for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = std::uint16_t(i);
  ur::CxImageData data;
  data.setImageShallow(MakeImage<std::uint16_t>({6, 4, 1, 0, 6, 12, ur::eBayerRGGB}, samples).release(),
                       0, 0, QDateTime());
  ASSERT_TRUE(CxHDF5::writeImageData(file(), QStringLiteral("image_data"), &data));

  ScopedImageBuf region;
  ASSERT_TRUE(CxHDF5::readImageDataRoi(file(), QStringLiteral("image_data"), QRect(1, 1, 3, 2),
                                       region.get()));
  EXPECT_EQ(Samples<std::uint16_t>(region.get()), (std::vector<std::uint16_t>{7, 8, 9, 13, 14, 15}));
  EXPECT_EQ(region->bayerGrid, ur::eBayerBGGR);
  EXPECT_EQ(region->bitDepth, 12);

  ScopedImageBuf outside;
  EXPECT_FALSE(CxHDF5::readImageDataRoi(file(), QStringLiteral("image_data"), QRect(4, 2, 3, 2),
                                        outside.get()));
  EXPECT_TRUE(CxHDF5::lastError().contains(QLatin1String("outside the image")));
  EXPECT_EQ(outside->data, nullptr);
}

TEST_F(Hdf5File, ImageObjectsKeepMetadataHistogramAndTimestamp) {
  auto* record = new ur::CxCommonImageMetadata();
  record->cameraModel = QStringLiteral("Kamera ü");
  record->bitDepth = 4;
  ur::CxMetadata metadata;
  metadata.addItem(record);
  ur::CxImageData data;
  data.setImageShallow(MakeImage<std::uint8_t>({3, 1, 1, 0, 0, 4}, {0, 15, 15}).release(), 7, 0,
                       QDateTime());
  data.setTimestampUs(1234567890123456);
  data.setMetadata(metadata);
  ASSERT_TRUE(CxHDF5::writeImageData(file(), QStringLiteral("image_data"), &data));

  const std::unique_ptr<ur::CxImageData> back(CxHDF5::readImageData(file(), QStringLiteral("image_data")));
  ASSERT_TRUE(back) << CxHDF5::lastError().toStdString();
  EXPECT_EQ(back->frame(), 7);
  EXPECT_EQ(back->timestampUs(), 1234567890123456);
  auto* backRecord = back->metadata().find<ur::CxCommonImageMetadata>();
  ASSERT_TRUE(backRecord);
  EXPECT_EQ(backRecord->cameraModel, QStringLiteral("Kamera ü"));

  ur::CxImageHistogram histogram;
  ASSERT_TRUE(CxHDF5::readHistogram(file(), QStringLiteral("/image_data/histogram"), histogram));
  ASSERT_EQ(histogram.channels(), 1);
  ASSERT_EQ(histogram.levels(), 16);  // the levels of the bit depth, not of the type
  EXPECT_EQ(histogram.count(0, 0), 1u);
  EXPECT_EQ(histogram.count(0, 15), 2u);

  // Replacing the metadata in place leaves the rest alone.
  ASSERT_TRUE(CxHDF5::writeMetadata(file(), QStringLiteral("/image_data/metadata"), ur::CxMetadata()));
  ur::CxMetadata replaced = metadata;
  ASSERT_TRUE(CxHDF5::readMetadata(file(), QStringLiteral("/image_data/metadata"), replaced));
  EXPECT_TRUE(replaced.isEmpty());
  ur::SxImageInfo info;
  ASSERT_TRUE(CxHDF5::readImageInfo(file(), QStringLiteral("/image_data/image/format"), info));
  EXPECT_EQ(info.width, 3);
  EXPECT_EQ(info.bitDepth, 4);
}

TEST_F(Hdf5File, AttributesAreReadOnlyWhenTheyFit) {
  int value = 5;
  EXPECT_FALSE(CxHDF5::readAttrInt32(file(), QStringLiteral("missing"), value, true, 0));
  EXPECT_TRUE(CxHDF5::readAttrInt32(file(), QStringLiteral("missing"), value, false, 9));
  EXPECT_EQ(value, 9);
  const std::int64_t big = std::int64_t(1) << 40;
  file().createAttribute("big", H5::PredType::STD_I64LE, H5::DataSpace(H5S_SCALAR))
      .write(H5::PredType::NATIVE_INT64, &big);
  EXPECT_FALSE(CxHDF5::readAttrInt32(file(), QStringLiteral("big"), value, true, 0));
  ASSERT_TRUE(CxHDF5::writeAttrString(file(), QStringLiteral("NAME"), QStringLiteral("first")));
  ASSERT_TRUE(CxHDF5::writeAttrString(file(), QStringLiteral("NAME"), QStringLiteral("zweite")));
  QString text;
  ASSERT_TRUE(CxHDF5::readAttrString(file(), QStringLiteral("NAME"), text));
  EXPECT_EQ(text, QStringLiteral("zweite"));
}

TEST_F(Hdf5File, DescriptionsThatDisagreeWithThePixelsAreRefused) {
  const ScopedImageBuf image = MakeImage<std::uint16_t>({4, 2, 1}, {1, 2, 3, 4, 5, 6, 7, 8});
  const struct {
    const char* attribute;
    int value;
    const char* reason;
  } cases[] = {
      {"width", 5, "size does not match"},
      {"channels", 5, "channels are not supported"},
      {"data_type", ur::eImageDataInt16, "stored sample type"},
      {"data_type", ur::eImageDataComplexDouble, "data type 9 is not supported"},
      {"bit_depth", 17, "bit depth"},
      // A huge claim must be refused before anything is allocated for it.
      {"height", 2147483647, "larger than supported"},
      {"height", 1 << 20, "size does not match"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(CxHDF5::writeImageBuf(file(), QStringLiteral("img"), image.get()));
    H5::Group description = format("img");
    ASSERT_TRUE(CxHDF5::writeAttrInt32(description, QLatin1String(c.attribute), c.value));
    SxImageBuf back;
    EXPECT_FALSE(CxHDF5::readImageBuf(file(), QStringLiteral("img"), back));
    EXPECT_TRUE(CxHDF5::lastError().contains(QLatin1String(c.reason)))
        << c.attribute << ": " << CxHDF5::lastError().toStdString();
    EXPECT_EQ(back.data, nullptr);
  }
  // A consistent claim of 2.5 GB whose chunks were never stored: refused before allocating.
  const ScopedImageBuf small = MakeImage<std::uint8_t>({1, 1, 1}, {1});
  ASSERT_TRUE(CxHDF5::writeImageBuf(file(), QStringLiteral("huge"), small.get()));
  H5::Group huge = file().openGroup("huge");
  huge.unlink("pixels");
  const hsize_t dims[2] = {50000, 50000}, chunk[2] = {1, 50000};
  H5::DSetCreatPropList plist;
  plist.setChunk(2, chunk);
  plist.setDeflate(1);
  huge.createDataSet("pixels", H5::PredType::NATIVE_UINT8, H5::DataSpace(2, dims), plist);
  H5::Group hugeFormat = format("huge");
  ASSERT_TRUE(CxHDF5::writeAttrInt32(hugeFormat, QStringLiteral("width"), 50000));
  ASSERT_TRUE(CxHDF5::writeAttrInt32(hugeFormat, QStringLiteral("height"), 50000));
  SxImageBuf hugeBack;
  EXPECT_FALSE(CxHDF5::readImageBuf(file(), QStringLiteral("huge"), hugeBack));
  EXPECT_TRUE(CxHDF5::lastError().contains(QLatin1String("too few"))) << CxHDF5::lastError().toStdString();

  SxImageBuf none;
  EXPECT_FALSE(CxHDF5::readImageBuf(file(), QStringLiteral("nothing"), none));
  ur::SxImageInfo info;
  EXPECT_FALSE(CxHDF5::readImageInfo(file(), QStringLiteral("/nothing/image/format"), info));
}

}  // namespace
