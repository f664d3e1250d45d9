// Conversions zelconv cannot carry out: "Failed", status 1, and nothing written or replaced.
#include <gtest/gtest.h>
#include <ur/image.h>
#include <zel_testing/image_builder.h>
#include <zel_testing/printers.h>
#include <zel_testing/test_data.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unistd.h>

#include "zelconv_test_support.h"

namespace {

using zel::testing::FileBytes;
using zel::testing::RunZelconv;
using zel::testing::ZelconvRun;

const QByteArray kKeep = QByteArrayLiteral("an earlier file that must survive\n");

// A grey ZEL record in its XML form: four source levels 0..3 ranked 0..3 of 256 possible.
const char* const kGreyRecord =
    "<!DOCTYPE zel_md>\n"
    "<zel_md ver_major=\"2\" ver_minor=\"0\">\n"
    " <processing levelsCount=\"%1\" bayerGrid=\"4\" zelType=\"0\">\n"
    "  <mapping>\n"
    "   <channel0 value=\"%2\"/>\n"
    "  </mapping>\n"
    "  <normalization channel0=\"3\"/>\n"
    "  <threshold apply=\"0\"/>\n"
    " </processing>\n"
    "</zel_md>\n";

QByteArray GreyRecord(const QString& levelsCount, const QString& mapping) {
  return QString::fromLatin1(kGreyRecord).arg(levelsCount, mapping).toLatin1();
}

class ZelconvFailures : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(m_dir.isValid());
    const std::vector<int> samples = zel::testing::ShuffledSamples(
        zel::testing::SpreadLevels(30, 1023), std::size_t(29) * 17, 3);
    ASSERT_TRUE(zel::testing::WriteImage(path("frame.png"),
                                         zel::testing::MakeGreyImage(29, 17, 10, samples).get()));
  }

  QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
  QStringList entries() const {
    return QDir(m_dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
  }

  // A one-channel 8-bit image holding the stored values 0, 85, 170, 255 of ranks 0..3, with
  // record as its "ZEL_MD" text.
  bool writeZelLike(const QString& file, const QByteArray& record) const {
    std::vector<std::uint8_t> values(7 * 5);
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = std::uint8_t(85 * ((i * 3) % 4));
    const ur::ScopedImageBuf buf = zel::testing::MakeImage<std::uint8_t>({7, 5}, values);
    ur::CxImage image(buf.get());
    fipTag tag;
    return tag.setKeyValue("ZEL_MD", record.constData()) &&
           ur::Succeeded(image.setMetadata(FIMD_COMMENTS, QStringLiteral("ZEL_MD"), tag)) &&
           ur::Succeeded(image.save(file));
  }

  // Runs zelconv, which must report a failed conversion and leave the folder as it was.
  void expectFailureWithoutTrace(const QStringList& arguments) {
    SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
    const QStringList before = entries();
    const ZelconvRun run = RunZelconv(arguments);
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.saidLine(QStringLiteral("Failed"))) << run.err.toStdString();
    EXPECT_FALSE(run.saidLine(QStringLiteral("Success")));
    EXPECT_EQ(entries(), before);
  }

  QTemporaryDir m_dir;
};

TEST_F(ZelconvFailures, UnusableInputsLeaveAnEarlierOutputAlone) {
  ASSERT_TRUE(zel::testing::WriteBytes(path("out.zel.png"), kKeep));
  ASSERT_TRUE(zel::testing::WriteBytes(path("notes.png"), "plain text, not an image\n"));
  ASSERT_TRUE(zel::testing::WriteBytes(path("notes.dng"), "plain text, not a DNG\n"));
  ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("folder.png")));
  // Image content under a suffix the converter does not read.
  ASSERT_TRUE(QFile::copy(path("frame.png"), path("frame.jpg")));
  for (const char* input : {"absent.png", "notes.png", "notes.dng", "folder.png", "frame.jpg"})
    expectFailureWithoutTrace(
        {QStringLiteral("-i"), path(input), QStringLiteral("-o"), path("out.zel.png")});
  EXPECT_EQ(FileBytes(path("out.zel.png")), kKeep);
}

TEST_F(ZelconvFailures, OutputsThatCannotBeWrittenLeaveNoTrace) {
  ASSERT_TRUE(zel::testing::WriteBytes(path("plain.txt"), kKeep));
  ASSERT_TRUE(zel::testing::WriteBytes(path("out.xyz"), kKeep));
  ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("taken.zel.png")));
  QStringList outputs{path("missing/out.zel.png"), path("plain.txt/out.zel.png"), path("out.xyz"),
                      path("taken.zel.png")};
  // Permissions do not stop the superuser, so the read-only folder only counts for others.
  if (geteuid() != 0) {
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("locked")));
    ASSERT_TRUE(QFile::setPermissions(path("locked"), QFile::ReadOwner | QFile::ExeOwner));
    outputs.append(path("locked/out.zel.png"));
  }
  for (const QString& output : outputs)
    expectFailureWithoutTrace(
        {QStringLiteral("-i"), path("frame.png"), QStringLiteral("-o"), output});
  if (geteuid() != 0) {
    EXPECT_TRUE(QDir(path("locked")).isEmpty());
    QFile::setPermissions(path("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
  EXPECT_EQ(FileBytes(path("plain.txt")), kKeep);
  EXPECT_EQ(FileBytes(path("out.xyz")), kKeep);
  EXPECT_TRUE(QDir(path("taken.zel.png")).isEmpty());
}

// A ZEL image is a PNG: any other output would lose the record, so it is refused up front.
TEST_F(ZelconvFailures, OutputThatIsNoPngIsRefusedWithAMessage) {
  for (const char* name : {"a.zel.jpg", "a.tif"}) {
    expectFailureWithoutTrace(
        {QStringLiteral("-i"), path("frame.png"), QStringLiteral("-o"), path(name)});
    const ZelconvRun run =
        RunZelconv({QStringLiteral("-i"), path("frame.png"), QStringLiteral("-o"), path(name)});
    EXPECT_TRUE(run.err.contains(QStringLiteral("The output file %1 must be a PNG image")
                                     .arg(path(name))))
        << run.err.toStdString();
  }
}

// Inputs whose values could not come back are refused with their reason, before any output.
TEST_F(ZelconvFailures, InputsThatCannotBeRestoredAreRefusedWithTheirReason) {
  std::vector<std::uint16_t> rgb(9 * 7 * 3);
  for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = std::uint16_t(300 * (i % 5));
  ASSERT_TRUE(zel::testing::WriteImage(
      path("colour.tif"), zel::testing::MakeImage<std::uint16_t>({9, 7, 3}, rgb).get()));
  const ZelconvRun made = RunZelconv(
      {QStringLiteral("-i"), path("frame.png"), QStringLiteral("-o"), path("frame.zel.png")});
  ASSERT_TRUE(made.saidLine(QStringLiteral("Success"))) << made.err.toStdString();
  const QString linear = zel::testing::TestDataPath(
      QStringLiteral("external/dng/canon_sd1200is_linearraw_ljpeg8.dng"));
  const struct {
    QString input;
    const char* reason;
  } cases[] = {
      {path("colour.tif"), "colour images are not supported"},
      {path("frame.zel.png"), "already a ZEL image"},
      {linear, "linear (demosaiced) DNG files are not supported"},
  };
  for (const auto& c : cases) {
    if (!QFileInfo::exists(c.input)) continue;  // the shared samples are optional
    expectFailureWithoutTrace(
        {QStringLiteral("-i"), c.input, QStringLiteral("-o"), path("out.zel.png")});
    const ZelconvRun run =
        RunZelconv({QStringLiteral("-i"), c.input, QStringLiteral("-o"), path("out.zel.png")});
    EXPECT_TRUE(run.err.contains(QStringLiteral("Cannot convert %1: ").arg(c.input)) &&
                run.err.contains(QLatin1String(c.reason)))
        << run.err.toStdString();
  }
}

// Writing over the input would destroy the frame before anything could be restored from it.
TEST_F(ZelconvFailures, OutputThatIsTheInputIsRefused) {
  const QByteArray original = FileBytes(path("frame.png"));
  const QString sameByAnotherName = m_dir.path() + QStringLiteral("/./frame.png");
  expectFailureWithoutTrace(
      {QStringLiteral("-i"), path("frame.png"), QStringLiteral("-o"), sameByAnotherName});
  expectFailureWithoutTrace({QStringLiteral("-r"), QStringLiteral("-i"), path("frame.png"),
                             QStringLiteral("-o"), path("frame.png")});
  EXPECT_EQ(FileBytes(path("frame.png")), original);
}

// The hand-made record is sound, so each damaged copy fails because of its damage alone.
TEST_F(ZelconvFailures, ReverseRefusesImagesWithoutAUsableRecord) {
  ASSERT_TRUE(writeZelLike(path("sound.zel.png"),
                           GreyRecord(QStringLiteral("256"), QStringLiteral("{0:4:0}"))));
  // -b and -a mean nothing to the reverse conversion, so not even bad values stop it.
  const ZelconvRun sound =
      RunZelconv({QStringLiteral("-r"), QStringLiteral("-i"), path("sound.zel.png"),
                  QStringLiteral("-o"), path("sound.dezel.png"), QStringLiteral("-b"),
                  QStringLiteral("xyz"), QStringLiteral("-a"), QStringLiteral("ahd")});
  ASSERT_TRUE(sound.finished);
  EXPECT_TRUE(sound.saidLine(QStringLiteral("Success"))) << sound.err.toStdString();
  const ur::ScopedImageBuf stored = zel::testing::ReadImage(path("sound.zel.png"));
  const ur::ScopedImageBuf restored = zel::testing::ReadImage(path("sound.dezel.png"));
  ASSERT_NE(restored->data, nullptr);
  ASSERT_EQ(restored->width, stored->width);
  ASSERT_EQ(restored->height, stored->height);
  for (int y = 0; y < stored->height; ++y)
    for (int x = 0; x < stored->width; ++x)
      ASSERT_EQ(zel::testing::GreyAt(restored.get(), x, y),
                zel::testing::GreyAt(stored.get(), x, y) / 85)
          << "at " << x << "," << y;
  ASSERT_TRUE(QFile::remove(path("sound.dezel.png")));

  const QByteArray sound256 = GreyRecord(QStringLiteral("256"), QStringLiteral("{0:4:0}"));
  ASSERT_TRUE(writeZelLike(path("truncated.zel.png"), sound256.left(sound256.size() / 2)));
  ASSERT_TRUE(writeZelLike(path("outside.zel.png"),
                           GreyRecord(QStringLiteral("256"), QStringLiteral("{250:100:0}"))));
  ASSERT_TRUE(writeZelLike(path("negative.zel.png"),
                           GreyRecord(QStringLiteral("-4"), QStringLiteral("{0:4:0}"))));
  ASSERT_TRUE(writeZelLike(path("nolevels.zel.png"),
                           GreyRecord(QStringLiteral("0"), QStringLiteral("{0:4:0}"))));
  ASSERT_TRUE(writeZelLike(path("empty.zel.png"), QByteArray()));
  ASSERT_TRUE(zel::testing::WriteBytes(path("restored.tif"), kKeep));
  for (const char* input : {"truncated.zel.png", "outside.zel.png", "negative.zel.png",
                            "nolevels.zel.png", "empty.zel.png", "frame.png", "absent.zel.png"})
    expectFailureWithoutTrace({QStringLiteral("-r"), QStringLiteral("-i"), path(input),
                               QStringLiteral("-o"), path("restored.tif")});
  EXPECT_EQ(FileBytes(path("restored.tif")), kKeep);
}

}  // namespace
