// The FITS saver: the header it writes, round trips of every sample type it stores (read back
// here and by astropy), atomic saving, and the keyword editor of the save dialog.

#include <gtest/gtest.h>
#include <ur/common_image_metadata.h>
#include <ur/format_manager.h>
#include <ur/image_data.h>
#include <zel_testing/printers.h>

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QGridLayout>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QToolButton>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "fits_test_support.h"

namespace {

using fits_testing::SampleValue;
using ur::ScopedImageBuf;

ur::CxImageFormatManager* Manager() { return ur::CxImageFormatManager::instance(); }

QByteArray FileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The header's cards, up to and with END.
QStringList Cards(const QByteArray& file) {
  QStringList cards;
  for (int at = 0; at + 80 <= file.size(); at += 80) {
    cards << QString::fromLatin1(file.mid(at, 80));
    if (cards.last().startsWith(QLatin1String("END     "))) break;
  }
  return cards;
}

QStringList Keywords(const QStringList& cards) {
  QStringList keywords;
  for (const QString& card : cards) keywords << card.left(8).trimmed();
  return keywords;
}

template <typename T>
void Put(ur::SxImageBuf& b, int x, int y, int c, double v) {
  const T t = static_cast<T>(v);
  std::memcpy(ur::RowPtr(b, y) + (std::size_t(x) * b.channels + c) * sizeof(T), &t, sizeof(T));
}

// An image of the type whose samples run over the type's whole range, extremes included, in
// an order that shows row, column and channel mix-ups.
template <typename T>
ScopedImageBuf RangeImage(ur::ExImageDataType type, int width, int height, int channels) {
  ScopedImageBuf b;
  EXPECT_FALSE(
      ur::Failed(ur::AllocBuffer(b.get(), width, height, channels, int(sizeof(T) * 8), type)));
  const double low =
      std::is_floating_point_v<T> ? -1.0e6 : double(std::numeric_limits<T>::lowest());
  const double high = std::is_floating_point_v<T> ? 3.5e5 : double(std::numeric_limits<T>::max());
  const int n = width * height * channels;
  for (int i = 0; i < n; ++i) {
    const int k = (i * 7) % n;  // n is not a multiple of 7 in the cases below
    const double v = k == 0 ? low : k == n - 1 ? high : low + (high - low) * k / (n - 1);
    Put<T>(b.get(), (i / channels) % width, i / (channels * width), i % channels,
           std::is_floating_point_v<T> ? v : std::floor(v));
  }
  return b;
}

class FitsSaver : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ur::LoadFormatPlugins(); }
  void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
  QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }
  QTemporaryDir m_dir;
};

TEST_F(FitsSaver, WritesTheHeaderCardsInOrder) {
  ScopedImageBuf image = RangeImage<std::uint8_t>(ur::eImageDataUInt8, 5, 3, 1);
  auto record = std::make_unique<ur::CxCommonImageMetadata>();
  record->author = QStringLiteral("Ann O'Neil");
  record->cameraModel = QStringLiteral("CamX");
  record->software = QStringLiteral("zel");
  record->exposureTime = 0.25;
  record->gain = 6.0;
  record->dateTime = QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58, 125), Qt::UTC);
  ur::CxMetadata metadata;
  metadata.addItem(std::move(record));
  const QString comment = QString(72, QLatin1Char('a')) + QString(28, QLatin1Char('b'));
  const ur::SaveOptions options = {{"COMMENT", comment}, {"OBJECT", "M 13"}, {"COUNT", 42},
                                   {"RATIO", 0.5},       {"FLAG", true},     {"NAXIS", 9},
                                   {"quality", 5}};
  ASSERT_TRUE(Manager()->saveImageToFile(path("h.fits"), image.get(), &metadata, options));

  const QByteArray bytes = FileBytes(path("h.fits"));
  const QStringList cards = Cards(bytes);
  EXPECT_EQ(
      Keywords(cards),
      QStringList({"SIMPLE",  "BITPIX",   "NAXIS",   "NAXIS1", "NAXIS2",   "EXTEND",  "BZERO",
                   "BSCALE",  "DATAMIN",  "DATAMAX", "AUTHOR", "CAMERA",   "PROGRAM", "UNITTIME",
                   "TIMESYS", "EXPOSURE", "GAIN",    "DATE",   "DATE-OBS", "COMMENT", "COMMENT",
                   "COUNT",   "FLAG",     "OBJECT",  "RATIO",  "END"}));
  auto card = [&](int i) { return cards.value(i).trimmed(); };
  EXPECT_EQ(card(0), QStringLiteral("SIMPLE  =                    T"));
  EXPECT_EQ(card(9), QStringLiteral("DATAMAX =           255.000000"));
  EXPECT_EQ(card(10), QStringLiteral("AUTHOR  = 'Ann O''Neil'"));
  EXPECT_EQ(card(11), QStringLiteral("CAMERA  = 'CamX    '"));
  EXPECT_EQ(card(15), QStringLiteral("EXPOSURE=             0.250000 / [s]"));
  EXPECT_EQ(card(17), QStringLiteral("DATE    = '2024-02-29T23:59:58.125'"));
  EXPECT_EQ(cards.value(19), QStringLiteral("COMMENT ") + QString(72, QLatin1Char('a')));
  EXPECT_EQ(cards.value(20), QStringLiteral("COMMENT ") + QString(28, QLatin1Char('b')) +
                                 QString(44, QLatin1Char(' ')));
  EXPECT_EQ(card(21), QStringLiteral("COUNT   =                   42"));
  EXPECT_EQ(card(22), QStringLiteral("FLAG    =                    T"));
  EXPECT_EQ(card(24), QStringLiteral("RATIO   =             0.500000"));
  // Header and data in whole blocks, the header padded with blanks.
  EXPECT_EQ(bytes.size(), 2880 * 2);
  EXPECT_EQ(bytes.mid(cards.size() * 80, 2880 - cards.size() * 80),
            QByteArray(2880 - cards.size() * 80, ' '));

  ScopedImageBuf loaded;
  ur::CxMetadata back;
  ASSERT_TRUE(fits_testing::Load(path("h.fits"), loaded, &back));
  const auto* r = back.find<ur::CxCommonImageMetadata>();
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->cameraModel, QStringLiteral("CamX"));
  EXPECT_EQ(r->author, QStringLiteral("Ann O'Neil"));
  EXPECT_DOUBLE_EQ(r->exposureTime, 0.25);
  EXPECT_EQ(r->dateTime.toUTC(), QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58, 125), Qt::UTC));
}

using ImageMaker = ScopedImageBuf (*)(ur::ExImageDataType, int, int, int);

struct TypeCase {
  const char* name;
  ur::ExImageDataType type;
  int channels;
  ImageMaker make;
};

// Colour planes go into the file red first and the bottom row first, which astropy's view of
// the file checks.
TEST_F(FitsSaver, EveryStoredTypeRoundTripsHereAndInAstropy) {
  const TypeCase cases[] = {
      {"u8", ur::eImageDataUInt8, 1, &RangeImage<std::uint8_t>},
      {"i8", ur::eImageDataInt8, 1, &RangeImage<std::int8_t>},
      {"u16", ur::eImageDataUInt16, 1, &RangeImage<std::uint16_t>},
      {"i16", ur::eImageDataInt16, 1, &RangeImage<std::int16_t>},
      {"u32", ur::eImageDataUInt32, 1, &RangeImage<std::uint32_t>},
      {"i32", ur::eImageDataInt32, 1, &RangeImage<std::int32_t>},
      {"f32", ur::eImageDataFloat, 1, &RangeImage<float>},
      {"f64", ur::eImageDataDouble, 1, &RangeImage<double>},
      {"rgb8", ur::eImageDataUInt8, 3, &RangeImage<std::uint8_t>},
      {"rgb16", ur::eImageDataUInt16, 3, &RangeImage<std::uint16_t>},
      {"rgba8", ur::eImageDataUInt8, 4, &RangeImage<std::uint8_t>}};
  bool peerMissing = false;
  for (const TypeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const int w = 5, h = 4;
    const ScopedImageBuf image = c.make(c.type, w, h, c.channels);
    const QString file = m_dir.filePath(QLatin1String(c.name) + QStringLiteral(".fits"));
    ASSERT_TRUE(Manager()->saveImageToFile(file, image.get()));

    ScopedImageBuf loaded;
    ASSERT_TRUE(fits_testing::Load(file, loaded));
    ASSERT_EQ(loaded->dataType, c.type);
    ASSERT_EQ(loaded->channels, c.channels);
    ASSERT_EQ(loaded->width, w);
    ASSERT_EQ(loaded->height, h);
    int wrong = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        for (int ch = 0; ch < c.channels; ++ch)
          wrong += SampleValue(loaded.get(), x, y, ch) != SampleValue(image.get(), x, y, ch);
    EXPECT_EQ(wrong, 0);

    const fits_testing::PeerResult peer = fits_testing::RunPeer("read", file);
    if (peer.skip) {
      peerMissing = true;
      continue;
    }
    ASSERT_TRUE(peer.ok) << peer.error.toStdString();
    EXPECT_EQ(fits_testing::CompareWithPeer(image.get(), peer.json), QString());
  }
  if (peerMissing) GTEST_SKIP() << "not checked in astropy (Debian python3-astropy) : absent";
}

TEST_F(FitsSaver, AFailedSaveLeavesTheTargetAsItWas) {
  ScopedImageBuf image = RangeImage<std::uint8_t>(ur::eImageDataUInt8, 3, 3, 1);
  ASSERT_TRUE(Manager()->saveImageToFile(path("keep.fits"), image.get()));
  const QByteArray before = FileBytes(path("keep.fits"));

  // Complex samples have no BITPIX: refused before anything is written.
  ScopedImageBuf complex;
  ASSERT_FALSE(
      ur::Failed(ur::AllocBuffer(complex.get(), 2, 2, 1, 64, ur::eImageDataComplexDouble)));
  auto saver = Manager()->createSaver(path("keep.fits"));
  ASSERT_TRUE(saver);
  ur::CxImageData data;
  data.setImageShallow(complex.release(), 0, 0, QDateTime::currentDateTime());
  EXPECT_FALSE(saver->saveImageData(&data, 0));
  EXPECT_EQ(FileBytes(path("keep.fits")), before);
  EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.fits"});

  saver->setFilename(m_dir.filePath(QStringLiteral("missing/folder/x.fits")));
  ur::CxImageData grey;
  ASSERT_TRUE(grey.setImage(image.get(), QDateTime::currentDateTime()));
  EXPECT_FALSE(saver->saveImageData(&grey, 0));
}

QVariantMap OptionsFromWidget(ur::IxImageDataSaver* saver, QWidget* widget) {
  QVariantMap options;
  EXPECT_TRUE(QMetaObject::invokeMethod(saver, "optionsFromWidget", Qt::DirectConnection,
                                        Q_RETURN_ARG(QVariantMap, options),
                                        Q_ARG(QWidget*, widget)));
  return options;
}

QAction* MenuAction(QMenu* menu, const QString& title, const QString& text) {
  for (QAction* sub : menu->actions())
    if (sub->menu() && sub->text() == title)
      for (QAction* action : sub->menu()->actions())
        if (action->text() == text) return action;
  return nullptr;
}

TEST_F(FitsSaver, KeywordEditorAddsRemovesAndCollectsKeywords) {
  auto saver = Manager()->createSaver(path("k.fits"));
  ASSERT_TRUE(saver);
  EXPECT_EQ(saver->metaObject()->className(), std::string("ur::CxFitsImageSaver"));
  saver->setOptions({{"AUTHOR", "me"}, {"quality", 3}});
  std::unique_ptr<QWidget> editor(saver->widgetForSaveDlg(nullptr));
  ASSERT_TRUE(editor);
  auto* add = editor->findChild<QToolButton*>(QStringLiteral("btnAdd"));
  ASSERT_TRUE(add && add->menu());
  EXPECT_EQ(add->text(), QStringLiteral("Add FITS keyword"));
  EXPECT_EQ(add->popupMode(), QToolButton::InstantPopup);
  QMenu* menu = add->menu();
  ASSERT_EQ(menu->actions().size(), 2);
  EXPECT_EQ(menu->actions()[0]->menu()->actions().size(), 9);
  EXPECT_EQ(menu->actions()[1]->menu()->actions().size(), 13);
  auto* author = editor->findChild<QLineEdit*>(QStringLiteral("AUTHOR"));
  ASSERT_TRUE(author);
  EXPECT_EQ(author->text(), QStringLiteral("me"));

  QAction* object = MenuAction(menu, QStringLiteral("FITS Standard"), QStringLiteral("OBJECT"));
  QAction* obsId = MenuAction(menu, QStringLiteral("Commonly used"), QStringLiteral("OBS_ID"));
  QAction* again = MenuAction(menu, QStringLiteral("FITS Standard"), QStringLiteral("AUTHOR"));
  ASSERT_TRUE(object && obsId && again);
  object->trigger();
  obsId->trigger();
  again->trigger();  // a keyword has one row
  EXPECT_EQ(editor->findChildren<QLineEdit*>().size(), 3);
  editor->findChild<QLineEdit*>(QStringLiteral("OBS_ID"))->setText(QStringLiteral("o4sp"));

  // The remove button of the AUTHOR row.
  auto* grid = qobject_cast<QGridLayout*>(editor->layout());
  ASSERT_TRUE(grid);
  int row = 0, column = 0, rs = 0, cs = 0;
  grid->getItemPosition(grid->indexOf(author), &row, &column, &rs, &cs);
  auto* remove = qobject_cast<QToolButton*>(grid->itemAtPosition(row, 2)->widget());
  ASSERT_TRUE(remove);
  EXPECT_EQ(remove->text(), QStringLiteral("X"));
  remove->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(editor->findChild<QLineEdit*>(QStringLiteral("AUTHOR")), nullptr);

  const QVariantMap options = OptionsFromWidget(saver.get(), editor.get());
  EXPECT_EQ(options.keys(), QStringList({"OBJECT", "OBS_ID", "quality"}));
  EXPECT_EQ(options.value(QStringLiteral("OBS_ID")).toString(), QStringLiteral("o4sp"));
  EXPECT_EQ(options.value(QStringLiteral("quality")).toInt(), 3);

  // The collected keywords go into the file.
  saver.reset();
  ScopedImageBuf image = RangeImage<std::uint8_t>(ur::eImageDataUInt8, 2, 2, 1);
  ASSERT_TRUE(Manager()->saveImageToFile(path("k.fits"), image.get(), nullptr, options));
  EXPECT_TRUE(
      Cards(FileBytes(path("k.fits")))
          .contains(QStringLiteral("OBS_ID  = 'o4sp    '").leftJustified(80, QLatin1Char(' '))));
}

}  // namespace
