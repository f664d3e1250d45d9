#include <ur/units.h>

#include <zel_testing/printers.h>

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

using ur::CxUnits;

TEST(Units, ShortAndLongNamesInAnyCase) {
  struct Case {
    const char* utf8;
    CxUnits::ExUnit unit;
  };
  const Case cases[] = {
      {"mm", CxUnits::eUnitMillimeter},     {" Millimetre ", CxUnits::eUnitMillimeter},
      {"\xC2\xB5m", CxUnits::eUnitMicrometer},  // micro sign
      {"\xCE\xBCm", CxUnits::eUnitMicrometer},  // Greek mu
      {"UM", CxUnits::eUnitMicrometer},     {"microns", CxUnits::eUnitMicrometer},
      {"MS", CxUnits::eUnitMillisecond},    {"\xC2\xB5s", CxUnits::eUnitMicrosecond},
      {"hz", CxUnits::eUnitHertz},          {"Px", CxUnits::eUnitPixel},
      {"inches", CxUnits::eUnitInch},       {"m", CxUnits::eUnitMeter},
      {"", CxUnits::eUnitNone},             {"furlong", CxUnits::eUnitNone},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CxUnits::unitFromText(QString::fromUtf8(c.utf8)), c.unit) << c.utf8;
}

TEST(Units, EveryUnitReadsBackFromItsOwnText) {
  for (int u = CxUnits::eUnitPixel; u <= CxUnits::eUnitHertz; ++u) {
    const auto unit = CxUnits::ExUnit(u);
    EXPECT_FALSE(CxUnits::textFromUnit(unit).isEmpty()) << u;
    EXPECT_EQ(CxUnits::unitFromText(CxUnits::textFromUnit(unit)), unit) << u;
  }
  EXPECT_EQ(CxUnits::textFromUnit(CxUnits::eUnitHertz), QStringLiteral("Hz"));
  EXPECT_TRUE(CxUnits::textFromUnit(CxUnits::eUnitNone).isEmpty());
}

TEST(FileSystemRepresentation, NamesANonAsciiFileForCLibraries) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("bild_\u00e4\u00f6\u00fc.tif"));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  std::FILE* f = std::fopen(ur::FileSystemRepresentation(path).constData(), "rb");
  EXPECT_NE(f, nullptr);
  if (f) std::fclose(f);
}

}  // namespace
