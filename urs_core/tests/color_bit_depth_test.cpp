#include <urs/color_bit_depth.h>
#include <urs/progress_info.h>
#include <urs/protocol.h>

#include <ur/format_manager.h>

#include <zel_testing/image_builder.h>
#include <zel_testing/printers.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

using zel::testing::MakeImage;

namespace {

constexpr int kFileCount = 25;

class ColorBitDepthTest : public ::testing::Test {
protected:
  void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

  // A 2x2 grey image whose largest sample needs exactly bitDepth bits.
  void writeImage(const QString& relative, int bitDepth) const {
    const unsigned top = (1u << bitDepth) - 1;
    const bool wide = bitDepth > 8;
    const ur::ScopedImageBuf image =
        wide ? MakeImage<std::uint16_t>({2, 2, 1, 0, 0, bitDepth}, {0, 1, 2, std::uint16_t(top)})
             : MakeImage<std::uint8_t>({2, 2, 1, 0, 0, bitDepth}, {0, 1, 2, std::uint8_t(top)});
    ASSERT_TRUE(ur::CxImageFormatManager::instance()->saveImageToFile(path(relative), image.get()));
  }
  void writeJunk(const QString& name) const {
    QFile file(path(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("not an image") > 0);
  }
  void writeFrames(int count) const {
    for (int i = 0; i < count; ++i) writeImage(QStringLiteral("f%1.png").arg(i), 8);
  }
  QString path(const QString& relative) const { return m_dir.filePath(relative); }
  QString dir() const { return m_dir.path(); }

  // The protocol's lines without their time stamps.
  QStringList texts() {
    QStringList out;
    for (const QString& line : m_protocol.getProtocol())
      out << line.mid(line.indexOf(QStringLiteral("]: ")) + 3);
    return out;
  }

  ur::Result detect(const QString& dirPath, const QStringList& filters) {
    return urs::GetColorBitDepthFromDir(dirPath, filters, &m_depth, &m_type, &m_protocol,
                                        &m_progress);
  }

  QTemporaryDir m_dir;
  urs::Protocol m_protocol;
  urs::CxProgressInfo m_progress;
  int m_depth = -1;
  ur::ExImageDataType m_type = ur::eImageDataDouble;
};

const QStringList kPng{QStringLiteral("*.png")};
const QStringList kFullRun{QStringLiteral("0 of 25 files checked."),
                           QStringLiteral("10 of 25 files checked."),
                           QStringLiteral("20 of 25 files checked."),
                           QStringLiteral("25 of 25 files checked."), QStringLiteral("Done.")};

// A matching subdirectory holds a deeper image: it must be neither entered nor counted. A
// trailing separator on the path changes nothing.
TEST_F(ColorBitDepthTest, ChecksEveryFileReportsEveryTenthAndFinishesTheProgress) {
  writeFrames(kFileCount);
  ASSERT_TRUE(QDir(dir()).mkdir(QStringLiteral("deeper.png")));
  writeImage(QStringLiteral("deeper.png/g.png"), 14);
  writeImage(QStringLiteral("other.tif"), 14);

  for (const QString& dirPath : {dir(), dir() + QLatin1Char('/')}) {
    SCOPED_TRACE(dirPath.toStdString());
    m_protocol.reset();
    EXPECT_EQ(detect(dirPath, kPng), ur::rc::Ok);
    EXPECT_EQ(m_depth, 8);
    EXPECT_EQ(m_type, ur::eImageDataUInt8);
    EXPECT_EQ(texts(), kFullRun);
    double total = 0, task = 0;
    QString totalMessage, taskMessage;
    m_progress.getInfo(total, totalMessage, task, taskMessage);
    EXPECT_NEAR(total, 100.0, 1e-9);
    EXPECT_EQ(totalMessage, QStringLiteral("Detecting color depth..."));
  }
}

TEST_F(ColorBitDepthTest, CancelStopsBeforeTheNextFile) {
  writeFrames(kFileCount);
  // Cancel once three files have been handled.
  QObject::connect(&m_progress, &urs::CxProgressInfo::updated, [this] {
    double total = 0, task = 0;
    QString a, b;
    m_progress.getInfo(total, a, task, b);
    if (total > 3 * 100.0 / kFileCount - 1e-6) m_progress.cancel();
  });
  EXPECT_EQ(detect(dir(), kPng), ur::rc::Fail);
  EXPECT_EQ(texts(), (QStringList{QStringLiteral("0 of 25 files checked."),
                                  QStringLiteral("3 of 25 files checked."),
                                  QStringLiteral("Done.")}));
  EXPECT_EQ(m_depth, 8);  // what the files read so far hold
  EXPECT_EQ(m_type, ur::eImageDataUInt8);
}

TEST_F(ColorBitDepthTest, DeepestReadableFileDecidesAndFailuresFollowTheirTable) {
  const QStringList filters{QStringLiteral("*.tif"), QStringLiteral("*.png")};
  int depth = 7;
  ur::ExImageDataType type = ur::eImageDataDouble;
  EXPECT_EQ(urs::GetColorBitDepthFromDir(dir(), filters, nullptr, &type, nullptr, nullptr),
            ur::rc::InvalidArg(3));
  EXPECT_EQ(urs::GetColorBitDepthFromDir(dir(), filters, &depth, nullptr, nullptr, nullptr),
            ur::rc::InvalidArg(4));
  EXPECT_EQ(depth, 7);

  // Nothing matches: no messages, the data type untouched.
  writeImage(QStringLiteral("other.bmp"), 8);
  EXPECT_EQ(detect(dir(), filters), ur::rc::Fail);
  EXPECT_EQ(m_depth, 0);
  EXPECT_EQ(m_type, ur::eImageDataDouble);
  EXPECT_TRUE(m_protocol.isEmpty());

  // Nothing readable.
  writeJunk(QStringLiteral("broken.tif"));
  EXPECT_EQ(detect(dir(), filters), ur::rc::Fail);
  EXPECT_EQ(m_depth, 0);
  EXPECT_EQ(m_type, ur::eImageDataUnknown);
  EXPECT_EQ(texts(), (QStringList{QStringLiteral("0 of 1 files checked."),
                                  QStringLiteral("Failed to read broken.tif."),
                                  QStringLiteral("1 of 1 files checked."),
                                  QStringLiteral("Done.")}));

  // The unreadable file is skipped; 12- and 14-bit frames share a data type, an 8-bit one not.
  writeImage(QStringLiteral("a12.tif"), 12);
  writeImage(QStringLiteral("b14.tif"), 14);
  writeImage(QStringLiteral("c8.png"), 8);
  m_protocol.reset();
  EXPECT_EQ(urs::GetColorBitDepthFromDir(dir(), filters, &m_depth, &m_type, &m_protocol, nullptr),
            ur::rc::Ok);
  EXPECT_EQ(m_depth, 14);
  EXPECT_EQ(m_type, ur::eImageDataUInt16);
  EXPECT_TRUE(texts().contains(QStringLiteral("Failed to read broken.tif.")));
  EXPECT_EQ(texts().size(), 4);

  // Neither a protocol nor a progress record is needed.
  EXPECT_EQ(urs::GetColorBitDepthFromDir(dir(), filters, &depth, &type, nullptr, nullptr),
            ur::rc::Ok);
  EXPECT_EQ(depth, 14);
}

}  // namespace
