#include <ur/common_image_metadata.h>
#include <ur/metadata.h>
#include <ur/plugin.h>
#include <ur/rtti.h>

#include <zel_testing/printers.h>

#include <gtest/gtest.h>

#include <QLocale>

namespace {

using ur::CxCommonImageMetadata;
using ur::CxMetadata;

// A collection holding one common record with every field set.
CxMetadata FullRecord() {
  auto* r = new CxCommonImageMetadata();
  r->dataType = ur::eImageDataUInt16;
  r->bitDepth = 12;
  r->bayerGrid = ur::eBayerGRBG;
  r->planar = 1;
  r->patternWidth = 2;
  r->patternHeight = 2;
  r->cameraMake = QStringLiteral("Acme & Sons");
  r->cameraModel = QStringLiteral("Model <X>");
  r->author = QStringLiteral("J\u00f6rg");
  r->software = QStringLiteral("ZEL");
  r->copyright = QStringLiteral("(c) 2024");
  r->description = QStringLiteral("two\nlines");
  r->dateTime = QDateTime(QDate(2024, 5, 17), QTime(13, 45, 12, 250), Qt::UTC);
  r->exposureTime = 1.0 / 3.0;
  r->gain = 0.1;
  r->aperture = 2.8;
  r->fNumber = 1e-5;
  r->iso = 0;
  r->whiteBalance = 1;
  CxMetadata m;
  m.addItem(r);
  return m;
}

void ExpectSameRecord(const CxCommonImageMetadata& a, const CxCommonImageMetadata& b) {
  EXPECT_EQ(a.dataType, b.dataType);
  EXPECT_EQ(a.bitDepth, b.bitDepth);
  EXPECT_EQ(a.bayerGrid, b.bayerGrid);
  EXPECT_EQ(a.planar, b.planar);
  EXPECT_EQ(a.patternWidth, b.patternWidth);
  EXPECT_EQ(a.patternHeight, b.patternHeight);
  EXPECT_EQ(a.cameraMake, b.cameraMake);
  EXPECT_EQ(a.cameraModel, b.cameraModel);
  EXPECT_EQ(a.author, b.author);
  EXPECT_EQ(a.software, b.software);
  EXPECT_EQ(a.copyright, b.copyright);
  EXPECT_EQ(a.description, b.description);
  EXPECT_EQ(a.dateTime, b.dateTime);
  EXPECT_EQ(a.exposureTime, b.exposureTime);  // exact: the text form must round-trip doubles
  EXPECT_EQ(a.gain, b.gain);
  EXPECT_EQ(a.aperture, b.aperture);
  EXPECT_EQ(a.fNumber, b.fNumber);
  EXPECT_EQ(a.iso, b.iso);
  EXPECT_EQ(a.whiteBalance, b.whiteBalance);
}

// Restores the default locale when a test changed it.
struct DefaultLocaleGuard {
  ~DefaultLocaleGuard() { QLocale::setDefault(QLocale::c()); }
};

TEST(Metadata, CommonRecordRoundTripsEveryFieldInCLocaleAndIsoDate) {
  const DefaultLocaleGuard guard;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));  // decimal comma
  const CxMetadata original = FullRecord();
  const QString xml = original.saveToXml(-1);

  EXPECT_TRUE(xml.startsWith(QStringLiteral("<ur_metadata version=\"1\">"))) << xml.toStdString();
  EXPECT_TRUE(xml.contains(QStringLiteral("<item type=\"ur::CxCommonImageMetadata\">")));
  EXPECT_TRUE(xml.contains(QStringLiteral("<date_time>2024-05-17T13:45:12.250Z</date_time>")));
  EXPECT_TRUE(xml.contains(QStringLiteral("<gain>0.1</gain>")));
  EXPECT_TRUE(xml.contains(QStringLiteral("<aperture>2.8</aperture>")));

  CxMetadata loaded;
  ASSERT_TRUE(loaded.loadFromXml(xml));
  ASSERT_EQ(loaded.count(), 1);
  ASSERT_NE(loaded.find<CxCommonImageMetadata>(), nullptr);
  ExpectSameRecord(*original.find<CxCommonImageMetadata>(), *loaded.find<CxCommonImageMetadata>());
  EXPECT_TRUE(loaded.find<CxCommonImageMetadata>()->hasAcquisitionInfo());  // iso 0 is recorded
}

TEST(Metadata, RecordWithoutAcquisitionDataWritesNoneAndReadsBackWithout) {
  CxMetadata m;
  auto* r = new CxCommonImageMetadata();
  r->bitDepth = 10;
  m.addItem(r);
  const QString xml = m.saveToXml(-1);
  EXPECT_FALSE(xml.contains(QStringLiteral("iso")));
  EXPECT_FALSE(xml.contains(QStringLiteral("date_time")));
  CxMetadata loaded;
  ASSERT_TRUE(loaded.loadFromXml(xml));
  ASSERT_NE(loaded.find<CxCommonImageMetadata>(), nullptr);
  EXPECT_EQ(loaded.find<CxCommonImageMetadata>()->bitDepth, 10);
  EXPECT_FALSE(loaded.find<CxCommonImageMetadata>()->hasAcquisitionInfo());
}

TEST(Metadata, UnknownItemsAreKeptVerbatimInTheirOrder) {
  const QString lens = QStringLiteral(
      "<item type=\"acme::CxLensInfo\"><lens focal=\"50\">Summicron &amp; co</lens><empty/></item>");
  const QString note = QStringLiteral("<item type=\"other::Note\">plain text</item>");
  const QString xml = QStringLiteral(
                          "<ur_metadata version=\"1\">\n  %1\n"
                          "  <item type=\"ur::CxCommonImageMetadata\"><bit_depth>12</bit_depth>"
                          "<exposure_time> 4e-3 </exposure_time><camera_make>Acme</camera_make>"
                          "<date_time>2023-01-02T03:04:05</date_time></item>\n  %2\n</ur_metadata>")
                          .arg(lens, note);
  CxMetadata m;
  ASSERT_TRUE(m.loadFromXml(xml));
  ASSERT_EQ(m.count(), 3);
  EXPECT_EQ(m.item(0), m.item(QStringLiteral("acme::CxLensInfo")));
  EXPECT_EQ(m.item(2), m.item(QStringLiteral("other::Note")));
  const CxCommonImageMetadata* record = m.find<CxCommonImageMetadata>();
  ASSERT_EQ(record, m.item(1));
  EXPECT_EQ(record->bitDepth, 12);
  EXPECT_EQ(record->exposureTime, 0.004);
  EXPECT_EQ(record->cameraMake, QStringLiteral("Acme"));
  EXPECT_EQ(record->dateTime, QDateTime(QDate(2023, 1, 2), QTime(3, 4, 5)));
  EXPECT_EQ(record->iso, -1);  // absent elements keep "not recorded"

  // Written back unchanged and in place, also after a copy of the collection.
  const QString saved = CxMetadata(m).saveToXml(-1);
  const int lensAt = saved.indexOf(lens);
  const int recordAt = saved.indexOf(QStringLiteral("ur::CxCommonImageMetadata"));
  const int noteAt = saved.indexOf(note);
  EXPECT_GE(lensAt, 0) << saved.toStdString();
  EXPECT_LT(lensAt, recordAt);
  EXPECT_LT(recordAt, noteAt);
}

TEST(Metadata, MalformedXmlOrForeignRootIsRefusedAndCollectionUnchanged) {
  CxMetadata m = FullRecord();
  const QString before = m.saveToXml(-1);
  for (const QString& bad :
       {QString(), QStringLiteral("<ur_metadata version=\"1\"><item type=\"x\">"),
        QStringLiteral("<other_root><item type=\"ur::CxCommonImageMetadata\"/></other_root>"),
        QStringLiteral("not xml at all")}) {
    EXPECT_FALSE(m.loadFromXml(bad)) << bad.toStdString();
    EXPECT_EQ(m.saveToXml(-1), before);
  }
}

TEST(Metadata, CopiesAreDeepAndAddItemReplacesInPlace) {
  CxMetadata m;
  ASSERT_TRUE(m.loadFromXml(QStringLiteral(
      "<ur_metadata><item type=\"acme::First\"/><item type=\"ur::CxCommonImageMetadata\">"
      "<bit_depth>8</bit_depth></item><item type=\"acme::Last\"/></ur_metadata>")));
  CxMetadata copy = m;
  m.find<CxCommonImageMetadata>()->bitDepth = 14;
  EXPECT_EQ(copy.find<CxCommonImageMetadata>()->bitDepth, 8);
  EXPECT_NE(copy.item(0), m.item(0));

  auto replacement = std::make_unique<CxCommonImageMetadata>();
  replacement->bitDepth = 16;
  copy.addItem(std::move(replacement));
  ASSERT_EQ(copy.count(), 3);
  ASSERT_NE(qobject_cast<CxCommonImageMetadata*>(copy.item(1)), nullptr);
  EXPECT_EQ(copy.find<CxCommonImageMetadata>()->bitDepth, 16);

  EXPECT_TRUE(copy.removeItem(QStringLiteral("acme::First")));
  EXPECT_FALSE(copy.removeItem(QStringLiteral("acme::First")));
  EXPECT_EQ(copy.count(), 2);
  EXPECT_EQ(m.count(), 3);
}

QString NoteType();

// An item of a plug-in, with its own saver and loader, as the MATLAB classes of urs_core are.
class TestNoteItem : public ur::IxMetadataItem {
  Q_OBJECT
public:
  Q_INVOKABLE explicit TestNoteItem(QObject* parent = nullptr) : IxMetadataItem(parent) {}
  IxMetadataItem* clone() const override {
    auto* c = new TestNoteItem();
    c->text = text;
    return c;
  }
  QString text;
};

QString NoteType() { return QString::fromLatin1(TestNoteItem::staticMetaObject.className()); }

class TestNoteSaver : public ur::IxMetadataSaver {
  Q_OBJECT
public:
  Q_INVOKABLE explicit TestNoteSaver(QObject* parent = nullptr) : IxMetadataSaver(parent) {}
  bool save(QDomDocument& doc, QDomElement& parent, const ur::IxMetadataItem* item) override {
    const auto* note = qobject_cast<const TestNoteItem*>(item);
    if (!note) return false;
    QDomElement e = doc.createElement(QStringLiteral("note"));
    e.appendChild(doc.createTextNode(note->text));
    parent.appendChild(e);
    return true;
  }
  QStringList supportedTypes() const override { return {NoteType()}; }
};

class TestNoteLoader : public ur::IxMetadataLoader {
  Q_OBJECT
public:
  Q_INVOKABLE explicit TestNoteLoader(QObject* parent = nullptr) : IxMetadataLoader(parent) {}
  bool load(const QDomElement& parent, ur::IxMetadataItem* item) override {
    auto* note = qobject_cast<TestNoteItem*>(item);
    if (!note) return false;
    note->text = parent.firstChildElement(QStringLiteral("note")).text();
    return true;
  }
  QStringList supportedTypes() const override { return {NoteType()}; }
};

class NotePlugin : public ur::CxPlugin {
public:
  bool registerClasses() override {
    ur::CxRtti* rtti = ur::CxRtti::instance();
    return rtti->registerClass(this, TestNoteItem::staticMetaObject, QStringLiteral("IxMetadataItem")) &&
           rtti->registerClass(this, TestNoteSaver::staticMetaObject, QStringLiteral("IxMetadataSaver")) &&
           rtti->registerClass(this, TestNoteLoader::staticMetaObject, QStringLiteral("IxMetadataLoader"));
  }
  QString name() const override { return QStringLiteral("notes"); }
};

TEST(Metadata, PluginItemsUseTheirRegisteredCodecsAndStayVerbatimOnceUnregistered) {
  NotePlugin plugin;
  ASSERT_TRUE(plugin.registerClasses());
  CxMetadata m;
  auto* note = new TestNoteItem();
  note->text = QStringLiteral("hello");
  m.addItem(note);
  const QString xml = m.saveToXml(-1);
  EXPECT_TRUE(
      xml.contains(QStringLiteral("<item type=\"%1\"><note>hello</note></item>").arg(NoteType())))
      << xml.toStdString();
  CxMetadata loaded;
  ASSERT_TRUE(loaded.loadFromXml(xml));
  ASSERT_NE(loaded.find<TestNoteItem>(), nullptr);
  EXPECT_EQ(loaded.find<TestNoteItem>()->text, QStringLiteral("hello"));

  ur::CxRtti::instance()->unregisterClasses(&plugin);
  CxMetadata kept;
  ASSERT_TRUE(kept.loadFromXml(xml));
  EXPECT_EQ(kept.find<TestNoteItem>(), nullptr);
  EXPECT_EQ(kept.saveToXml(-1), xml);
}

}  // namespace

#include "metadata_test.moc"
