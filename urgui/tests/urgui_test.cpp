#include <ur/urgui.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

namespace {

QString Hello() { return QCoreApplication::translate("UrguiTest", "Hello"); }

QApplication* App() { return qobject_cast<QApplication*>(QCoreApplication::instance()); }

TEST(LocalizationManager, ListsTheProgramsLanguagesAndInstallsOneAtATime) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  ASSERT_TRUE(QFile::copy(URGUI_TEST_CATALOGUE, dir.filePath("demo_app_cs_CZ.qm")));
  // Qt's own catalogues beside the program are no language of the program.
  ASSERT_TRUE(QFile::copy(URGUI_TEST_CATALOGUE, dir.filePath("qtbase_de_DE.qm")));
  ASSERT_TRUE(QFile::copy(URGUI_TEST_CATALOGUE, dir.filePath("notes.qm")));

  {
    ur::CxLocalizationManager manager;
    EXPECT_EQ(manager.load(dir.path()), 1);
    EXPECT_EQ(manager.localeNames(), QStringList{"cs_CZ"});

    ASSERT_TRUE(manager.install(App(), "cs_CZ"));
    EXPECT_EQ(Hello(), QString::fromUtf8("Dobrý den"));
    // A second choice replaces the first instead of stacking on it.
    EXPECT_TRUE(manager.install(App(), "en_US"));
    EXPECT_EQ(Hello(), "Hello");
    EXPECT_FALSE(manager.install(App(), "de_DE"));
    EXPECT_FALSE(manager.install(nullptr, "cs_CZ"));
    ASSERT_TRUE(manager.install(App(), "cs_CZ"));
  }
  EXPECT_EQ(Hello(), "Hello") << "a destroyed manager leaves no translator behind";

  ur::CxLocalizationManager empty;
  EXPECT_EQ(empty.load(dir.filePath("missing")), 0);
  EXPECT_TRUE(empty.localeNames().isEmpty());
}

QRgb CentreOf(const QPixmap& pixmap) {
  const QImage image = pixmap.toImage();
  return image.pixel(image.width() / 2, image.height() / 2) & 0xffffffu;
}

TEST(GuiHelper, DrawsFromTheDoubleSizeFileAboveScaleOne) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QImage plain(8, 8, QImage::Format_ARGB32), doubled(16, 16, QImage::Format_ARGB32);
  plain.fill(QColor(255, 0, 0));
  doubled.fill(QColor(0, 0, 255));
  const QString path = dir.filePath("mark.png");
  ASSERT_TRUE(plain.save(path));
  ASSERT_EQ(ur::CxGuiHelper::doubleResolutionPath(path), dir.filePath("mark_2x.png"));
  ASSERT_TRUE(doubled.save(dir.filePath("mark_2x.png")));

  const QPixmap one = ur::CxGuiHelper::scaledPixmap(path, 8, 8, false, 1.0, 1.0);
  EXPECT_EQ(one.size(), QSize(8, 8));
  EXPECT_EQ(CentreOf(one), 0xff0000u);

  // Scale 2 of Qt's own device pixels: 16 device pixels shown on 8 logical ones.
  const QPixmap two = ur::CxGuiHelper::scaledPixmap(path, 8, 8, false, 2.0, 2.0);
  EXPECT_EQ(two.size(), QSize(16, 16));
  EXPECT_DOUBLE_EQ(two.devicePixelRatio(), 2.0);
  EXPECT_EQ(CentreOf(two), 0x0000ffu);

  // A 144-DPI screen: larger than the plain file, so drawn down from the double one.
  const QPixmap oneAndHalf = ur::CxGuiHelper::scaledPixmap(path, 8, 4, false, 1.5, 1.0);
  EXPECT_EQ(oneAndHalf.size(), QSize(12, 6));
  EXPECT_EQ(CentreOf(oneAndHalf), 0x0000ffu);
  EXPECT_EQ(ur::CxGuiHelper::scaledPixmap(path, 8, 4, true, 1.0, 1.0).size(), QSize(4, 4));

  EXPECT_TRUE(ur::CxGuiHelper::scaledPixmap(dir.filePath("none.png"), 8, 8, false, 1, 1).isNull());

  const QIcon icon = ur::CxGuiHelper::dpiScaledIconWithDisState(path, 8, 8, false);
  const QRgb normal = CentreOf(icon.pixmap(QSize(8, 8), QIcon::Normal));
  const QImage disabled = icon.pixmap(QSize(8, 8), QIcon::Disabled).toImage();
  const QRgb faded = disabled.pixel(4, 4);
  EXPECT_EQ(normal, 0xff0000u);
  EXPECT_EQ(qRed(faded), qGreen(faded)) << "the disabled state is grey";
  EXPECT_LT(qAlpha(faded), 255);
}

}  // namespace
