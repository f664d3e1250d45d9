// Reading the key-per-item metadata of first-generation ZEL images.
#include <zel/metadata.h>

#include <ur/image.h>
#include <ur/result.h>
#include <zel_testing/image_builder.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace urs::zel;
namespace rc = ur::rc;

using Tags = std::vector<std::pair<const char*, const char*>>;

// A small grey image carrying the given comment tags as Latin-1 ASCII text.
ur::CxImage LegacyImage(const Tags& tags) {
  const ur::ScopedImageBuf buf = zel::testing::MakeImage<std::uint8_t>(
      {4, 2}, std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8});
  ur::CxImage image(buf.get());
  EXPECT_TRUE(image.isValid());
  for (const auto& [key, value] : tags) {
    fipTag tag;
    EXPECT_TRUE(tag.setKeyValue(key, value));
    EXPECT_EQ(image.setMetadata(FIMD_COMMENTS, QLatin1String(key), tag), rc::Ok) << key;
  }
  return image;
}

const Tags kColour = {{"ZEL", "1.3"},
                      {"ZEL_NRGB", "300, 10;20"},
                      {"ZEL_CR", "{0:2:0};{1000:1:2}"},
                      {"ZEL_CG", "{4:1:0}"},
                      {"ZEL_CB", "{1023:1:0}"}};

// kColour with one key's value replaced (nullptr: the key left out).
Tags ColourWith(const char* key, const char* value) {
  Tags tags;
  for (const auto& tag : kColour)
    if (std::string(tag.first) != key) tags.push_back(tag);
  if (value) tags.emplace_back(key, value);
  return tags;
}

unsigned int Read(const Tags& tags) {
  ZelMetadata m;
  return ReadLegacyMetadata(LegacyImage(tags), m);
}

TEST(LegacyMetadata, ReadsAColourRecord) {
  ZelMetadata m;
  m.zelType = 0;
  m.bayerGrid = ur::eBayerRGGB;  // not carried by the form: kept
  ASSERT_EQ(ReadLegacyMetadata(LegacyImage(kColour), m), rc::Ok);
  EXPECT_EQ(m.verMajor, 1);
  EXPECT_EQ(m.verMinor, 3);
  EXPECT_EQ(m.levelsCount, 1024);  // smallest count above 300
  EXPECT_EQ(m.normalization[0], 300);
  EXPECT_EQ(m.normalization[1], 10);
  EXPECT_EQ(m.normalization[2], 20);
  EXPECT_EQ(m.bayerGrid, ur::eBayerRGGB);
  ASSERT_NE(m.occupied[0], nullptr);
  ASSERT_NE(m.occupied[2], nullptr);
  EXPECT_TRUE(m.occupied[0][1]);
  EXPECT_FALSE(m.occupied[0][2]);
  EXPECT_EQ(m.mapping[0][1000], 2);
  EXPECT_TRUE(m.occupied[1][4]);
  EXPECT_TRUE(m.occupied[2][1023]);
  EXPECT_TRUE(m.invalidPixels.isEmpty());
}

TEST(LegacyMetadata, LevelCountFollowsTheLargestNormalisation) {
  const std::vector<std::pair<const char*, int>> cases = {
      {"0,0,255", 256}, {"256,0,0", 1024}, {"1,4095,2", 4096}, {"4096;1;1", 16384},
      {"1,1,65535", 65536}};
  for (const auto& [values, levels] : cases) {
    ZelMetadata m;
    const Tags tags = {{"ZEL_NRGB", values}, {"ZEL_CR", "{0:1:0}"}, {"ZEL_CG", "{1:1:0}"},
                       {"ZEL_CB", "{255:1:0}"}};
    ASSERT_EQ(ReadLegacyMetadata(LegacyImage(tags), m), rc::Ok) << values;
    EXPECT_EQ(m.levelsCount, levels) << values;
  }
  EXPECT_EQ(Read(ColourWith("ZEL_NRGB", "300,70000,20")), rc::Fail);
}

TEST(LegacyMetadata, RefusesUnusableNormalisation) {
  EXPECT_EQ(Read(ColourWith("ZEL_NRGB", "300,10")), rc::Fail);
  EXPECT_EQ(Read(ColourWith("ZEL_NRGB", "300,x,10")), rc::Fail);
  EXPECT_EQ(Read(ColourWith("ZEL_NRGB", "")), rc::Fail);
  EXPECT_EQ(Read(ColourWith("ZEL_NRGB", "-1,2,3")), rc::Fail);
  // Parts that are not numbers are skipped.
  ZelMetadata m;
  ASSERT_EQ(ReadLegacyMetadata(LegacyImage(ColourWith("ZEL_NRGB", "a,300;;10,b,20")), m), rc::Ok);
  EXPECT_EQ(m.normalization[1], 10);
  EXPECT_EQ(m.normalization[2], 20);
  EXPECT_TRUE(ur::Failed(Read(ColourWith("ZEL_NRGB", nullptr))));
}

TEST(LegacyMetadata, MissingOrInvalidMappingFails) {
  ZelMetadata m;
  const ur::CxImage image = LegacyImage(ColourWith("ZEL_CR", nullptr));
  fipTag unused;
  const unsigned int lookup = image.getMetadata(FIMD_COMMENTS, QStringLiteral("ZEL_CR"), unused);
  ASSERT_TRUE(ur::Failed(lookup));
  EXPECT_EQ(ReadLegacyMetadata(image, m), lookup);
  // Level 1024 lies outside the 1024 levels of normalisation 300.
  EXPECT_EQ(Read(ColourWith("ZEL_CG", "{1023:2:0}")), rc::Fail);
  // An empty string is a channel without occupied levels, as the writer gives it.
  EXPECT_EQ(Read(ColourWith("ZEL_CB", "")), rc::Ok);
}

TEST(LegacyMetadata, ReadsAGreyRecordWithPixels) {
  ZelMetadata m;
  const Tags tags = {{"ZEL", "1.0"},
                     {"ZEL_NMONO", "3"},
                     {"ZEL_CMONO", "{10:2:0};{200:2:2}"},
                     {"ZEL_IMONO", "{5,7:255,201};{ 0 , 1 : -1 , 3 }"}};
  ASSERT_EQ(ReadLegacyMetadata(LegacyImage(tags), m), rc::Ok);
  EXPECT_EQ(m.levelsCount, 256);
  EXPECT_EQ(m.normalization[0], 3);
  EXPECT_EQ(m.occupied[1], nullptr);
  EXPECT_EQ(m.mapping[0][201], 3);
  ASSERT_EQ(m.invalidPixels.size(), 2);
  EXPECT_EQ(m.invalidPixels[0].col, 5);
  EXPECT_EQ(m.invalidPixels[0].row, 7);
  EXPECT_EQ(m.invalidPixels[0].invalidValue[0], 255u);
  EXPECT_EQ(m.invalidPixels[0].newValue[0], 201u);
  EXPECT_EQ(m.invalidPixels[0].invalidValue[1], 0u);
  EXPECT_EQ(m.invalidPixels[1].row, 1);
  EXPECT_EQ(m.invalidPixels[1].invalidValue[0], 4294967295u);
}

TEST(LegacyMetadata, ReadsColourPixelsAndRefusesBrokenOnes) {
  ZelMetadata m;
  const char* pixels = "{1,2:10,20,30:11,21,31};{3,4:1,2,3,4:5,6,7,8}";
  ASSERT_EQ(ReadLegacyMetadata(LegacyImage(ColourWith("ZEL_IRGB", pixels)), m), rc::Ok);
  ASSERT_EQ(m.invalidPixels.size(), 2);
  const InvalidPixel& p = m.invalidPixels[0];
  EXPECT_EQ(p.col, 1);
  EXPECT_EQ(p.row, 2);
  EXPECT_EQ(p.invalidValue[2], 30u);
  EXPECT_EQ(p.newValue[1], 21u);
  EXPECT_EQ(p.invalidValue[3], 20u);  // the second green copies the first
  EXPECT_EQ(p.newValue[3], 21u);
  EXPECT_EQ(m.invalidPixels[1].newValue[3], 8u);
  for (const char* broken : {"1,2:10,20,30:11,21,31", "{1,2:10,20,30}", "{1:10,20,30:11,21,31}",
                             "{1,2:10,20:11,21,31}", "{1,2:10,20,30:11,x,31}",
                             "{1,2:1,2,3,4,5:1,2,3}"})
    EXPECT_EQ(Read(ColourWith("ZEL_IRGB", broken)), rc::Fail) << broken;
}

}  // namespace
