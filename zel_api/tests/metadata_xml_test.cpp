// The metadata record: its release rule, its XML text and reading that text back.
#include <zel/metadata.h>

#include <ur/result.h>
#include <zel_testing/printers.h>

#include <gtest/gtest.h>

#include <QDomDocument>

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using namespace urs::zel;
namespace rc = ur::rc;

// Sets channel c of m to the given occupied levels with their ranks as mapping.
void SetChannel(ZelMetadata& m, int c, const std::vector<int>& levels) {
  ASSERT_TRUE(m.allocateChannel(c));
  unsigned short rank = 0;
  for (int level : levels) {
    m.occupied[c][level] = true;
    m.mapping[c][level] = rank++;
  }
}

QDomDocument Parse(const QString& text) {
  QDomDocument doc;
  EXPECT_TRUE(doc.setContent(text)) << text.toStdString();
  return doc;
}

QString Save(const ZelMetadata& m) {
  QString text;
  EXPECT_EQ(SaveMetadataToString(m, text), rc::Ok);
  return text;
}

// Reads text into a fresh record, expecting success.
void Load(const QString& text, ZelMetadata& m) {
  ASSERT_EQ(ReadMetadataFromXml(Parse(text), m), rc::Ok) << text.toStdString();
}

QDomElement Child(const QDomElement& e, const char* name) {
  return e.firstChildElement(QLatin1String(name));
}

std::vector<bool> Occupancy(const ZelMetadata& m, int c) {
  return std::vector<bool>(m.occupied[c], m.occupied[c] + m.levelsCount);
}

std::vector<unsigned short> Mapping(const ZelMetadata& m, int c) {
  return std::vector<unsigned short>(m.mapping[c], m.mapping[c] + m.levelsCount);
}

ZelMetadata GreyRecord() {
  ZelMetadata m;
  m.levelsCount = 16;
  m.bayerGrid = ur::eBayerNone;
  SetChannel(m, 0, {1, 2, 3, 9});
  m.normalization[0] = 3;
  return m;
}

TEST(ZelMetadataRecord, MovingTransfersTheArrays) {
  ZelMetadata a = GreyRecord();
  a.invalidPixels.append(InvalidPixel{});
  bool* const occupied = a.occupied[0];
  ZelMetadata b(std::move(a));
  EXPECT_EQ(b.occupied[0], occupied);
  EXPECT_EQ(a.occupied[0], nullptr);
  EXPECT_EQ(a.mapping[0], nullptr);
  EXPECT_EQ(b.levelsCount, 16);
  EXPECT_EQ(b.invalidPixels.size(), 1);
  ZelMetadata c;
  EXPECT_FALSE(c.allocateChannel(0));  // no levels yet
  c.levelsCount = 4;
  ASSERT_TRUE(c.allocateChannel(2));
  c = std::move(b);  // frees c's own channel 2 and takes b's arrays
  EXPECT_EQ(c.occupied[0], occupied);
  EXPECT_EQ(c.occupied[2], nullptr);
  EXPECT_EQ(b.occupied[0], nullptr);
  // Destroying a, b and c must free each array exactly once (checked under ASan).
}

TEST(ZelMetadataRecord, ReleaseFreesAndDetachLeavesCallerArraysAlone) {
  std::vector<unsigned short> table(8, 7);
  bool occupied[8] = {true};
  {
    ZelMetadata m;
    m.levelsCount = 8;
    m.occupied[0] = occupied;
    m.mapping[0] = table.data();
    m.detachArrays();
    EXPECT_EQ(m.occupied[0], nullptr);
  }
  EXPECT_EQ(table[7], 7);  // the record left the caller's arrays alive

  ZelMetadata m = GreyRecord();
  m.invalidPixels.append(InvalidPixel{});
  m.release();
  EXPECT_EQ(m.occupied[0], nullptr);
  EXPECT_EQ(m.mapping[0], nullptr);
  EXPECT_TRUE(m.invalidPixels.isEmpty());
  EXPECT_EQ(m.levelsCount, 16);
  EXPECT_FALSE(m.allocateChannel(4));
  EXPECT_FALSE(m.allocateChannel(-1));
}

TEST(MetadataXml, GreyRecordHasOnlyChannelZero) {
  const QString text = Save(GreyRecord());
  EXPECT_TRUE(text.startsWith(QStringLiteral("<!DOCTYPE zel_md>"))) << text.toStdString();
  const QDomElement root = Parse(text).documentElement();
  EXPECT_EQ(root.tagName(), QStringLiteral("zel_md"));
  EXPECT_EQ(root.attribute(QStringLiteral("ver_major")), QStringLiteral("2"));
  EXPECT_EQ(root.attribute(QStringLiteral("ver_minor")), QStringLiteral("0"));
  const QDomElement processing = root.firstChild().toElement();
  EXPECT_EQ(processing.tagName(), QStringLiteral("processing"));
  EXPECT_EQ(processing.attribute(QStringLiteral("levelsCount")), QStringLiteral("16"));
  EXPECT_EQ(processing.attribute(QStringLiteral("bayerGrid")), QStringLiteral("4"));
  EXPECT_EQ(processing.attribute(QStringLiteral("zelType")), QStringLiteral("0"));
  EXPECT_FALSE(processing.hasAttribute(QStringLiteral("debayer")));

  const QDomElement mapping = processing.firstChildElement();
  EXPECT_EQ(mapping.tagName(), QStringLiteral("mapping"));
  EXPECT_EQ(mapping.childNodes().size(), 1);
  EXPECT_EQ(Child(mapping, "channel0").attribute(QStringLiteral("value")),
            QStringLiteral("{1:3:0};{9:1:3}"));
  const QDomElement normalization = mapping.nextSiblingElement();
  EXPECT_EQ(normalization.tagName(), QStringLiteral("normalization"));
  EXPECT_EQ(normalization.attributes().size(), 1);
  EXPECT_EQ(normalization.attribute(QStringLiteral("channel0")), QStringLiteral("3"));
  const QDomElement threshold = normalization.nextSiblingElement();
  EXPECT_EQ(threshold.tagName(), QStringLiteral("threshold"));
  EXPECT_EQ(threshold.attributes().size(), 1);
  EXPECT_EQ(threshold.attribute(QStringLiteral("apply")), QStringLiteral("0"));
  EXPECT_TRUE(threshold.nextSiblingElement().isNull());  // no invalid_pixels
}

ZelMetadata ColourRecord() {
  ZelMetadata m;
  m.levelsCount = 1024;
  m.bayerGrid = ur::eBayerBGGR;
  m.debayer = Simple;
  SetChannel(m, 0, {0, 1, 2, 1023});
  SetChannel(m, 1, {5, 7});
  SetChannel(m, 2, {1000});
  m.normalization[0] = 3;
  m.normalization[1] = 1;
  m.normalization[2] = 0;
  m.applyThreshold = true;
  m.thresholds[0][0] = 2;
  m.thresholds[0][1] = 1000;
  m.thresholds[1][0] = 65535;  // -1 on the caller's side: no threshold
  m.thresholds[1][1] = 65535;
  m.thresholds[2][0] = 0;
  m.thresholds[2][1] = 900;
  return m;
}

TEST(MetadataXml, ColourRecordWritesThreeChannelsAndUnsignedThresholds) {
  const QDomElement processing = Parse(Save(ColourRecord())).documentElement().firstChildElement();
  EXPECT_EQ(processing.attribute(QStringLiteral("debayer")), QStringLiteral("1"));
  EXPECT_EQ(processing.attribute(QStringLiteral("bayerGrid")), QStringLiteral("0"));
  const QDomElement mapping = Child(processing, "mapping");
  EXPECT_EQ(mapping.childNodes().size(), 3);
  EXPECT_EQ(Child(mapping, "channel0").attribute(QStringLiteral("value")),
            QStringLiteral("{0:3:0};{1023:1:3}"));
  EXPECT_EQ(Child(mapping, "channel1").attribute(QStringLiteral("value")),
            QStringLiteral("{5:1:0};{7:1:1}"));
  EXPECT_EQ(Child(mapping, "channel2").attribute(QStringLiteral("value")),
            QStringLiteral("{1000:1:0}"));
  const QDomElement threshold = Child(processing, "threshold");
  EXPECT_EQ(threshold.attribute(QStringLiteral("apply")), QStringLiteral("1"));
  EXPECT_EQ(threshold.attribute(QStringLiteral("channel0")), QStringLiteral("2:1000"));
  EXPECT_EQ(threshold.attribute(QStringLiteral("channel1")), QStringLiteral("65535:65535"));
  EXPECT_EQ(threshold.attribute(QStringLiteral("channel2")), QStringLiteral("0:900"));
  EXPECT_FALSE(threshold.hasAttribute(QStringLiteral("channel3")));
}

TEST(MetadataXml, FailingMappingStringLeavesTextUnchanged) {
  ZelMetadata m = GreyRecord();
  std::free(m.mapping[0]);
  m.mapping[0] = nullptr;
  QString text = QStringLiteral("before");
  EXPECT_EQ(SaveMetadataToString(m, text), rc::InvalidArg(2));
  EXPECT_EQ(text, QStringLiteral("before"));
}

TEST(MetadataXml, ReadingColourWithoutChannel3CopiesChannel1) {
  ZelMetadata m;
  Load(Save(ColourRecord()), m);
  EXPECT_EQ(m.levelsCount, 1024);
  EXPECT_EQ(m.bayerGrid, ur::eBayerBGGR);
  EXPECT_EQ(m.debayer, Simple);
  ASSERT_NE(m.occupied[3], nullptr);
  ASSERT_NE(m.mapping[3], nullptr);
  EXPECT_NE(m.occupied[3], m.occupied[1]);  // own arrays, freed on their own
  std::vector<bool> expected(1024, false);
  expected[5] = expected[7] = true;
  EXPECT_EQ(Occupancy(m, 3), expected);
  EXPECT_EQ(Occupancy(m, 1), expected);
  EXPECT_EQ(m.mapping[3][7], 1);
  EXPECT_EQ(Mapping(m, 3), Mapping(m, 1));
  EXPECT_EQ(m.occupied[0][1023], true);
  EXPECT_EQ(m.mapping[0][1023], 3);
  EXPECT_EQ(m.normalization[3], 1);
  EXPECT_TRUE(m.applyThreshold);
  EXPECT_EQ(m.thresholds[0][1], 1000);
  EXPECT_EQ(m.thresholds[1][0], 65535);
  EXPECT_EQ(m.thresholds[3][0], 65535);
  EXPECT_EQ(m.thresholds[3][1], 65535);
}

TEST(MetadataXml, InvalidPixelsRoundTripWithSignedValues) {
  ZelMetadata m = ColourRecord();
  SetChannel(m, 3, {6});
  m.normalization[3] = 9;
  InvalidPixel p;
  p.col = 12;
  p.row = 3;
  const std::uint32_t before[4] = {1023, 0, 4294967295u, 40}, after[4] = {500, 7, 1, 41};
  for (int c = 0; c < 4; ++c) {
    p.invalidValue[c] = before[c];
    p.newValue[c] = after[c];
  }
  m.invalidPixels = {p, InvalidPixel{}};
  const QString text = Save(m);
  const QDomElement processing = Parse(text).documentElement().firstChildElement();
  const QDomElement list = Child(processing, "invalid_pixels");
  ASSERT_TRUE(list.firstChild().isComment());
  EXPECT_EQ(list.firstChild().toComment().data(),
            QStringLiteral("the channelX format is invalid_val:new_val"));
  EXPECT_EQ(Child(list, "pixel").attribute(QStringLiteral("channel2")), QStringLiteral("-1:1"));

  ZelMetadata back;
  Load(text, back);
  ASSERT_EQ(back.invalidPixels.size(), 2);  // the comment is not a pixel
  const InvalidPixel& q = back.invalidPixels[0];
  EXPECT_EQ(q.col, 12);
  EXPECT_EQ(q.row, 3);
  for (int c = 0; c < 4; ++c) {
    EXPECT_EQ(q.invalidValue[c], before[c]) << c;
    EXPECT_EQ(q.newValue[c], after[c]) << c;
  }
  EXPECT_EQ(back.normalization[3], 9);  // a channel 3 of its own is not replaced
  EXPECT_EQ(back.mapping[3][6], 0);
  EXPECT_FALSE(back.occupied[3][5]);
}

TEST(MetadataXml, DebayerIsReadOnlyForMosaics) {
  ZelMetadata mosaic = GreyRecord();
  mosaic.bayerGrid = ur::eBayerBGGR;
  mosaic.debayer = Simple;
  ZelMetadata back;
  back.debayer = Averaging;
  Load(Save(mosaic), back);
  EXPECT_EQ(back.debayer, Simple);

  ZelMetadata none = GreyRecord();
  none.debayer = Simple;
  ZelMetadata kept;
  kept.debayer = Averaging;
  Load(Save(none), kept);
  EXPECT_EQ(kept.bayerGrid, ur::eBayerNone);
  EXPECT_EQ(kept.debayer, Averaging);
}

// A processing element with the given children inside a valid root.
// version: the text between the quotes after ver_major, so that it can also hold ver_minor.
QString Document(const QString& children,
                 const QString& version = QStringLiteral("2\" ver_minor=\"0")) {
  return QStringLiteral("<zel_md ver_major=\"%1\"><processing levelsCount=\"16\" bayerGrid=\"4\" "
                        "zelType=\"0\">%2</processing></zel_md>")
      .arg(version, children);
}

const QString kMapping = QStringLiteral("<mapping><channel0 value=\"{1:2:0}\"/></mapping>");

unsigned int Read(const QString& text) {
  ZelMetadata m;
  return ReadMetadataFromXml(Parse(text), m);
}

TEST(MetadataXml, RefusesWrongRootVersionAndProcessing) {
  EXPECT_EQ(Read(Document(kMapping)), rc::Ok);
  EXPECT_EQ(Read(QStringLiteral("<zel ver_major=\"2\" ver_minor=\"0\"><processing/></zel>")),
            rc::NotZelImage);
  ZelMetadata empty;
  EXPECT_EQ(ReadMetadataFromXml(QDomDocument(), empty), rc::NotZelImage);
  EXPECT_EQ(Read(Document(kMapping, QStringLiteral("2\" ver_minor=\"1"))), rc::Unsupported);
  EXPECT_EQ(Read(Document(kMapping, QStringLiteral("2"))), rc::Unsupported);
  EXPECT_EQ(Read(Document(kMapping, QStringLiteral("x\" ver_minor=\"0"))), rc::Unsupported);
  EXPECT_EQ(Read(QStringLiteral("<zel_md ver_major=\"2\" ver_minor=\"0\"><other/></zel_md>")),
            rc::NotZelImage);
  EXPECT_EQ(Read(QStringLiteral("<zel_md ver_major=\"2\" ver_minor=\"0\"/>")), rc::NotZelImage);
  EXPECT_EQ(Read(QStringLiteral("<zel_md ver_major=\"2\" ver_minor=\"0\"><processing "
                                "levelsCount=\"16\" zelType=\"0\"/></zel_md>")),
            rc::NotZelImage);
  // A mosaic needs its demosaicing.
  EXPECT_EQ(Read(QStringLiteral("<zel_md ver_major=\"2\" ver_minor=\"0\"><processing "
                                "levelsCount=\"16\" bayerGrid=\"1\" zelType=\"0\"/></zel_md>")),
            rc::NotZelImage);
}

TEST(MetadataXml, RefusesBrokenProcessingChildren) {
  EXPECT_EQ(Read(Document(QString())), rc::Ok);  // attributes only
  EXPECT_EQ(Read(Document(QStringLiteral("<mapping/>"))), rc::NotZelImage);
  EXPECT_EQ(Read(Document(QStringLiteral("<mapping><channel0 value=\"{15:2:0}\"/></mapping>"))),
            rc::NotZelImage);
  EXPECT_EQ(Read(Document(QStringLiteral("<normalization channel1=\"3\"/>"))), rc::NotZelImage);
  EXPECT_EQ(Read(Document(QStringLiteral("<threshold channel0=\"1:2\"/>"))), rc::NotZelImage);
  EXPECT_EQ(Read(Document(QStringLiteral("<threshold apply=\"1\"/>"))), rc::NotZelImage);
  EXPECT_EQ(Read(Document(QStringLiteral("<threshold apply=\"1\" channel0=\"1:2:3\"/>"))),
            rc::NotZelImage);
  EXPECT_EQ(Read(Document(QStringLiteral("<threshold apply=\"0\" channel0=\"1\"/>"))), rc::Ok);
}

// A channel without occupied levels is written as ""; reading it gives an empty channel.
TEST(MetadataXml, ReadsAnEmptyChannel) {
  ZelMetadata empty;
  empty.levelsCount = 16;
  empty.bayerGrid = ur::eBayerNone;
  ASSERT_TRUE(empty.allocateChannel(0));
  const QString text = Save(empty);
  ASSERT_TRUE(text.contains(QStringLiteral("value=\"\""))) << text.toStdString();
  ZelMetadata m;
  Load(text, m);
  ASSERT_NE(m.occupied[0], nullptr);
  EXPECT_EQ(Occupancy(m, 0), std::vector<bool>(16, false));
}

// The source's sample width is optional: records written before it was kept read as unknown.
TEST(MetadataXml, SampleWidthIsEightOrSixteenOrAbsent) {
  ZelMetadata wide = GreyRecord();
  wide.sampleBits = 16;
  const QString text = Save(wide);
  EXPECT_EQ(Parse(text).documentElement().firstChildElement().attribute(
                QStringLiteral("sampleBits")),
            QStringLiteral("16"));
  ZelMetadata m;
  Load(text, m);
  EXPECT_EQ(m.sampleBits, 16);
  Load(Document(kMapping), m);
  EXPECT_EQ(m.sampleBits, 0);
  EXPECT_FALSE(Save(GreyRecord()).contains(QStringLiteral("sampleBits")));
  for (const char* bits : {"12", "0", "x", ""}) {
    QString other = Document(kMapping);
    other.replace(QStringLiteral("zelType="),
                  QStringLiteral("sampleBits=\"%1\" zelType=").arg(QLatin1String(bits)));
    EXPECT_EQ(Read(other), rc::NotZelImage) << bits;
  }
}

TEST(MetadataXml, RefusesInvalidPixels) {
  const auto pixels = [](const char* attributes) {
    return Document(kMapping + QStringLiteral("<invalid_pixels><!-- note --><pixel %1/>"
                                              "</invalid_pixels>")
                                   .arg(QLatin1String(attributes)));
  };
  EXPECT_EQ(Read(pixels("row=\"1\" col=\"2\" channel0=\"3:4\"")), rc::Ok);
  EXPECT_EQ(Read(pixels("row=\"1\" col=\"2\" channel0=\"3\"")), rc::InvalidPixelList);
  EXPECT_EQ(Read(pixels("row=\"1\" channel0=\"3:4\"")), rc::InvalidPixelList);
  EXPECT_EQ(Read(pixels("col=\"1\" channel0=\"3:4\"")), rc::InvalidPixelList);
  EXPECT_EQ(Read(pixels("row=\"1\" col=\"2\"")), rc::InvalidPixelList);
  EXPECT_EQ(Read(pixels("row=\"1\" col=\"2\" channel0=\"3:4\" channel1=\"5\"")),
            rc::InvalidPixelList);
}

TEST(MetadataXml, ReadingReplacesArraysOfAnEarlierRecord) {
  ZelMetadata m = ColourRecord();  // 1024 levels in channels 0..2
  Load(Document(kMapping), m);
  EXPECT_EQ(m.levelsCount, 16);
  ASSERT_NE(m.occupied[0], nullptr);
  EXPECT_EQ(m.occupied[1], nullptr);  // no table of the old size survives
  EXPECT_EQ(m.mapping[3], nullptr);
  EXPECT_TRUE(m.occupied[0][2]);
}

TEST(MetadataXml, RefusesMappingsForAnImpossibleLevelCount) {
  for (const char* count : {"0", "-5", "65537", "many"}) {
    QString text = Document(kMapping);
    text.replace(QStringLiteral("levelsCount=\"16\""),
                 QStringLiteral("levelsCount=\"%1\"").arg(QLatin1String(count)));
    EXPECT_EQ(Read(text), rc::NotZelImage) << count;
  }
}

}  // namespace
