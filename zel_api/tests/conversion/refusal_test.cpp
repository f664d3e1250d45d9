// What both single-file conversions refuse before reading pixels or writing anything: outputs
// that are no PNG, and inputs whose values could not be restored. Each refusal names the file and
// its reason in a warning.
#include "conversion_test_support.h"

#include <zel/file_conversion.h>

#include <zel_testing/test_data.h>

#include <QFileInfo>

#include <cstdint>
#include <functional>

namespace {

using namespace urs::zel;
namespace rc = ur::rc;
using zel::testing::LogLines;
using zel::testing::MakeGreyFrame;
using zel::testing::MakeImage;
using zel::testing::TestDataPath;

using ConversionRefusal = zel::testing::ConversionTest;

const std::uint16_t kLevels[4] = {10, 400, 2000, 4000};

// The two forms side by side: the full form converts the whole frame as 16-bit data.
const struct Form {
  const char* name;
  std::function<unsigned int(const QString&, const QString&)> convert;
} kForms[] = {
    {"ConvertFileToZel",
     [](const QString& in, const QString& out) {
       return ConvertFileToZel(zel::testing::CpuPlugin(), in, out, 16, QRect(0, 0, 8, 6), false, 0,
                               0, 0, 0, 0, 0, ur::eBayerNone, Simple, Separated);
     }},
    {"ConvertFileToZel8",
     [](const QString& in, const QString& out) {
       return ConvertFileToZel8(in, out, ur::eBayerNone, Simple);
     }},
};

TEST_F(ConversionRefusal, OutputThatIsNoPngIsRefusedBeforeAnyWork) {
  const QString in = saveInput(QStringLiteral("grey.png"), MakeGreyFrame(8, 6, kLevels).get());
  for (const Form& form : kForms)
    for (const char* name : {"grey.zel.jpg", "grey.tif"}) {
      SCOPED_TRACE(std::string(form.name) + " " + name);
      const QString out = path(QLatin1String(name));
      LogLines log;
      EXPECT_EQ(form.convert(in, out), rc::Unsupported);
      EXPECT_TRUE(log.hasLineWith(QtWarningMsg, {out, QStringLiteral("must be a PNG image")}))
          << log.all().toStdString();
      EXPECT_FALSE(QFileInfo::exists(out));
    }
}

struct RefusedInput {
  QString file;
  QString reason;
  unsigned int code;
};

TEST_F(ConversionRefusal, InputsThatCannotBeRestoredAreRefusedWithTheirReason) {
  const QString linear =
      TestDataPath(QStringLiteral("external/dng/canon_sd1200is_linearraw_ljpeg8.dng"));
  ZEL_REQUIRE_TESTDATA(linear);
  const auto bytesOf = [](const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  };
  const auto copyAs = [&](const QString& from, const QString& name) {
    QFile out(path(name));
    EXPECT_TRUE(out.open(QIODevice::WriteOnly) && out.write(bytesOf(from)) > 0);
    return path(name);
  };

  std::vector<std::uint16_t> rgb(8 * 6 * 3);
  for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = std::uint16_t(100 * (i % 7));
  QImage rgba(8, 6, QImage::Format_ARGB32);
  rgba.fill(qRgba(10, 20, 30, 128));
  ASSERT_TRUE(rgba.save(path(QStringLiteral("alpha.png"))));
  QImage colour(8, 6, QImage::Format_RGB888);
  colour.fill(qRgb(200, 20, 30));
  ASSERT_TRUE(colour.save(path(QStringLiteral("colour.png"))));

  // A ZEL image is refused by its name, and by its record under any other name.
  const QString zel = path(QStringLiteral("made.zel.png"));
  ASSERT_EQ(ConvertFileToZel8(saveInput(QStringLiteral("grey.png"),
                                        MakeGreyFrame(8, 6, kLevels).get()),
                              zel, ur::eBayerNone, Simple),
            rc::Ok);

  const QString colourReason = QStringLiteral("colour images are not supported");
  const QString zelReason = QStringLiteral("already a ZEL image");
  const RefusedInput cases[] = {
      {saveInput(QStringLiteral("colour.tif"), MakeImage<std::uint16_t>({8, 6, 3}, rgb).get()),
       colourReason, rc::Unsupported},
      {path(QStringLiteral("colour.png")), colourReason, rc::Unsupported},
      {path(QStringLiteral("alpha.png")), QStringLiteral("alpha channel"), rc::Unsupported},
      {zel, zelReason, rc::Unsupported},
      {copyAs(zel, QStringLiteral("renamed.png")), zelReason, rc::Unsupported},
      {linear, QStringLiteral("linear (demosaiced) DNG files are not supported"),
       rc::Unsupported},
      {TestDataPath(QStringLiteral("external/dng/lg_h815_linearraw_lossy_sample_1mp.dng")),
       QStringLiteral("lossy DNG files are not supported"), rc::Unsupported},
      {copyAs(TestDataPath(QStringLiteral("external/dng/gopro_fusion_GPBK7066.gpr")),
              QStringLiteral("gopro.dng")),
       QStringLiteral("cannot decode"), rc::Unsupported},
      {copyAs(TestDataPath(QStringLiteral("external/dng/kodak_dc50_bonus_raw.kdc")),
              QStringLiteral("kodak.dng")),
       QStringLiteral("not a DNG file the converter can read"), rc::NotZelImage},
      {TestDataPath(QStringLiteral("external/dng/kodak_dc50_bonus_raw.kdc")),
       QStringLiteral("not an input format"), rc::Unsupported},
  };
  const QString out = path(QStringLiteral("out.zel.png"));
  for (const Form& form : kForms)
    for (const RefusedInput& c : cases) {
      SCOPED_TRACE(std::string(form.name) + " " + c.file.toStdString());
      LogLines log;
      EXPECT_EQ(form.convert(c.file, out), c.code);
      EXPECT_TRUE(log.hasLineWith(QtWarningMsg, {QStringLiteral("Cannot convert ") + c.file,
                                                 c.reason}))
          << log.all().toStdString();
      EXPECT_FALSE(QFileInfo::exists(out));
    }
}

// Simple demosaicing takes whole 2x2 cells; what it leaves out of an odd frame is reported.
TEST_F(ConversionRefusal, OddEdgesDroppedBySimpleDemosaicingAreLogged) {
  const QString in =
      saveInput(QStringLiteral("odd.png"), zel::testing::MakeRggbFrame(8, 6).get());
  const QString cut = path(QStringLiteral("cut.png"));
  ur::SxImageBuf odd;
  ASSERT_TRUE(ur::CxImageFormatManager::instance()->loadImageFromFile(in, odd, nullptr));
  ur::ScopedImageBuf owned(odd);
  odd.width = 7;  // the same rows, one column fewer
  odd.height = 5;
  ASSERT_TRUE(ur::CxImageFormatManager::instance()->saveImageToFile(cut, odd));
  const QString out = path(QStringLiteral("cut.zel.png"));
  LogLines log;
  ASSERT_EQ(ConvertFileToZel8(cut, out, ur::eBayerRGGB, Simple), rc::Ok);
  EXPECT_TRUE(log.hasLineWith(QtWarningMsg, {cut, QStringLiteral("last row and column"),
                                             QStringLiteral("7x5")}))
      << log.all().toStdString();
  EXPECT_EQ(QImage(out).size(), QSize(3, 2));
}

}  // namespace
