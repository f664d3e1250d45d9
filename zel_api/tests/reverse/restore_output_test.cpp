// What a restored file is: only lossless formats, the source's sample width, and records of
// every generation and shape the writer produces.
#include <zel/file_conversion.h>
#include <zel/metadata.h>
#include <zel/reverse_conversion.h>
#include <zel/zel_file.h>

#include <zel_testing/log_capture.h>
#include <zel_testing/image_builder.h>
#include <zel_testing/printers.h>

#include <ur/geometry.h>
#include <ur/image.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "reverse_fixture.h"

namespace {

using zel::testing::LogCapture;

namespace rc = ur::rc;
using urs::zel::ConvertZelFileToRAW;
using zel::testing::CpuPluginId;
using zel::testing::LoadTopDown;
using zel::testing::MakeImage;
using zel::testing::Samples;

// Asymmetric, every value below 256.
const std::vector<std::uint8_t> kLowValues = {0,  3,  17,  200, 255, 1, 2,  90,
                                              91, 92, 254, 7,   8,   9, 100};

// Declared 8 bits deep, as the forward conversion detects them, whatever the sample width.
template <typename T>
ur::ScopedImageBuf LowGrey() {
  return MakeImage<T>({5, 3, 1, 0, 0, 8}, std::vector<T>(kLowValues.begin(), kLowValues.end()));
}

class RestoreOutput : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_NE(CpuPluginId(), 0u) << "zel_plugin_cpu not found in " << ZEL_PLUGIN_BIN_DIR;
    ASSERT_TRUE(m_dir.isValid());
  }
  QString path(const QString& name) const { return m_dir.filePath(name); }
  QStringList files() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden); }

  QTemporaryDir m_dir;
};

// A 16-bit file whose values all lie below 256 goes the user's way there and back; every format
// of the way back keeps 16-bit samples and the exact values.
TEST_F(RestoreOutput, SixteenBitSourceComesBackInSixteenBitSamples) {
  const ur::ScopedImageBuf source = LowGrey<std::uint16_t>();
  // An image keeps its rows bottom first: turned, the file is upright.
  ur::ScopedImageBuf upright = LowGrey<std::uint16_t>();
  ASSERT_EQ(ur::ReverseRowOrder(upright.get()), rc::Ok);
  ASSERT_EQ(ur::CxImage(upright.get()).save(path("in.png")), rc::Ok);
  ASSERT_EQ(urs::zel::ConvertFileToZel8(path("in.png"), path("in.zel.png"), ur::eBayerNone,
                                        urs::zel::Simple),
            rc::Ok);
  for (const char* suffix : {"png", "tif", "TIFF", "pgm"}) {
    SCOPED_TRACE(suffix);
    const QString out = path(QStringLiteral("in.dezel.%1").arg(QLatin1String(suffix)));
    ASSERT_EQ(ConvertZelFileToRAW(CpuPluginId(), path("in.zel.png"), out, nullptr), rc::Ok);
    const ur::ScopedImageBuf raw = LoadTopDown(out);
    ASSERT_NE(raw->data, nullptr);
    EXPECT_EQ(raw->dataType, ur::eImageDataUInt16);
    EXPECT_EQ(Samples<std::uint16_t>(raw.get()), Samples<std::uint16_t>(source.get()));
  }
  // The PGM itself says 16 bits: its largest value is 65535.
  QFile pgm(path("in.dezel.pgm"));
  ASSERT_TRUE(pgm.open(QIODevice::ReadOnly));
  const QStringList header = QString::fromLatin1(pgm.read(32))
                                 .split(QRegularExpression(QStringLiteral("\\s+")))
                                 .mid(0, 4);
  EXPECT_EQ(header.mid(1), (QStringList{"5", "3", "65535"})) << header.join(' ').toStdString();
}

TEST_F(RestoreOutput, EightBitSourceComesBackInEightBitSamples) {
  const ur::ScopedImageBuf source = LowGrey<std::uint8_t>();
  ASSERT_EQ(zel::testing::WriteGreyZel(source.get(), 256, path("g.zel.png")), rc::Ok);
  for (const char* suffix : {"png", "tif", "pgm"}) {
    SCOPED_TRACE(suffix);
    const QString out = path(QStringLiteral("g.dezel.%1").arg(QLatin1String(suffix)));
    ASSERT_EQ(ConvertZelFileToRAW(CpuPluginId(), path("g.zel.png"), out, nullptr), rc::Ok);
    const ur::ScopedImageBuf raw = LoadTopDown(out);
    ASSERT_NE(raw->data, nullptr);
    EXPECT_EQ(raw->dataType, ur::eImageDataUInt8);
    EXPECT_EQ(Samples<std::uint8_t>(raw.get()), kLowValues);
  }
}

// Lossy or unknown formats are refused before the input is even read, with the formats that
// are written; nothing appears on disk.
TEST_F(RestoreOutput, RefusesLossyAndUnknownSuffixesBeforeAnyWork) {
  const ur::ScopedImageBuf source = LowGrey<std::uint16_t>();
  ASSERT_EQ(zel::testing::WriteGreyZel(source.get(), 256, path("g.zel.png")), rc::Ok);
  for (const char* name : {"g.dezel.jp2", "g.dezel.jpg", "g.dezel.JPEG", "g.dezel.xyz", "g"}) {
    SCOPED_TRACE(name);
    LogCapture log;
    EXPECT_EQ(ConvertZelFileToRAW(CpuPluginId(), path("g.zel.png"), path(name), nullptr),
              rc::Unsupported);
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().first().contains(path("g.zel.png")));
    EXPECT_TRUE(log.lines().first().contains(QStringLiteral(".tif, .tiff, .png, .pgm")))
        << log.lines().first().toStdString();
  }
  EXPECT_EQ(files(), QStringList{"g.zel.png"});
  // A missing input is not looked at either.
  EXPECT_EQ(ConvertZelFileToRAW(CpuPluginId(), path("none.zel.png"), path("x.jp2"), nullptr),
            rc::Unsupported);
}

// A record written before the sample width was kept has no "sampleBits": the level count
// decides as it always did.
TEST_F(RestoreOutput, RecordWithoutSampleWidthStillRestores) {
  const ur::ScopedImageBuf source = LowGrey<std::uint16_t>();
  ASSERT_EQ(zel::testing::WriteGreyZel(source.get(), 256, path("new.zel.png")), rc::Ok);
  ur::CxImage image;
  urs::zel::ZelMetadata md;
  ASSERT_EQ(urs::zel::ReadZelImage(path("new.zel.png"), image, md), rc::Ok);
  ASSERT_EQ(md.sampleBits, 16);
  md.sampleBits = 0;
  QString text;
  ASSERT_EQ(urs::zel::SaveMetadataToString(md, text), rc::Ok);
  ASSERT_FALSE(text.contains(QStringLiteral("sampleBits")));
  const QByteArray bytes = text.toLatin1();
  fipTag tag;
  ASSERT_TRUE(tag.setKey(urs::zel::kZelMetadataKey) && tag.setType(FIDT_ASCII) &&
              tag.setCount(DWORD(bytes.size())) && tag.setLength(DWORD(bytes.size())) &&
              tag.setValue(bytes.constData()));
  ASSERT_EQ(image.setMetadata(FIMD_COMMENTS, QString::fromLatin1(urs::zel::kZelMetadataKey), tag),
            rc::Ok);
  ASSERT_EQ(image.save(path("old.zel.png")), rc::Ok);

  ASSERT_EQ(
      ConvertZelFileToRAW(CpuPluginId(), path("old.zel.png"), path("old.dezel.png"), nullptr),
      rc::Ok);
  const ur::ScopedImageBuf raw = LoadTopDown(path("old.dezel.png"));
  ASSERT_NE(raw->data, nullptr);
  EXPECT_EQ(raw->dataType, ur::eImageDataUInt8);
  EXPECT_EQ(Samples<std::uint8_t>(raw.get()), kLowValues);
}

// Degenerate thresholds can leave a channel without any occupied level; its record ("") reads,
// and the pixels the thresholds replaced come back from the record's list.
TEST_F(RestoreOutput, RecordWithAnEmptyChannelReadsAndRestores) {
  const ur::ScopedImageBuf source =
      MakeImage<std::uint16_t>({3, 2, 1, 0, 0, 12}, {0, 4000, 0, 0, 0, 0});
  ur::ScopedImageBuf zel = zel::testing::MakeZeroImage<std::uint8_t>({3, 2});
  urs::zel::ZelMetadata md;
  md.levelsCount = 4096;
  md.bayerGrid = ur::eBayerNone;
  ASSERT_TRUE(md.allocateChannel(0));
  md.applyThreshold = true;
  md.thresholds[0][0] = 1;
  md.thresholds[0][1] = 0;
  urs::InvalidPixel replaced;
  replaced.col = 1;
  replaced.row = 0;
  replaced.invalidValue[0] = 4000;
  md.invalidPixels = {replaced};
  ASSERT_EQ(zel::testing::WriteRecordImage(source.get(), zel.get(), md, false, path("e.zel.png")),
            rc::Ok);

  ur::CxImage image;
  urs::zel::ZelMetadata read;
  ASSERT_EQ(urs::zel::ReadZelImage(path("e.zel.png"), image, read), rc::Ok);
  ASSERT_NE(read.occupied[0], nullptr);
  EXPECT_EQ(std::vector<bool>(read.occupied[0], read.occupied[0] + 4096),
            std::vector<bool>(4096, false));
  ASSERT_EQ(ConvertZelFileToRAW(CpuPluginId(), path("e.zel.png"), path("e.dezel.png"), nullptr),
            rc::Ok);
  const ur::ScopedImageBuf raw = LoadTopDown(path("e.dezel.png"));
  ASSERT_NE(raw->data, nullptr);
  EXPECT_EQ(Samples<std::uint16_t>(raw.get()), Samples<std::uint16_t>(source.get()));
}

}  // namespace
