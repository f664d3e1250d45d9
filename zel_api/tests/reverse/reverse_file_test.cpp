// One ZEL file back to its raw levels, through real files and the real plug-in.
#include <zel/metadata.h>
#include <zel/reverse_conversion.h>
#include <zel/zel_file.h>

#include <urs/protocol.h>

#include <zel_testing/image_builder.h>
#include <zel_testing/printers.h>

#include <ur/image.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "reverse_fixture.h"

namespace {

namespace rc = ur::rc;
using urs::zel::ConvertZelFileToRAW;
using zel::testing::CpuPluginId;
using zel::testing::LoadTopDown;
using zel::testing::MakeMosaic;
using zel::testing::Samples;

class ReverseFile : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_NE(CpuPluginId(), 0u) << "zel_plugin_cpu not found in " << ZEL_PLUGIN_BIN_DIR;
    ASSERT_TRUE(m_dir.isValid());
  }
  QString path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

  // Restores `zel` to `out` and returns the restored pixels top-down.
  ur::ScopedImageBuf restore(const QString& zel, const QString& out) {
    EXPECT_EQ(ConvertZelFileToRAW(CpuPluginId(), zel, out, nullptr), rc::Ok);
    return LoadTopDown(out);
  }

  QTemporaryDir m_dir;
};

ur::ScopedImageBuf TwelveBitGrey() {
  // Asymmetric, padded rows, the lowest and highest 12-bit levels among others.
  const int w = 7, h = 5;
  std::vector<std::uint16_t> s(std::size_t(w) * h);
  const std::uint16_t levels[] = {0, 1, 17, 400, 2048, 4094, 4095};
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = levels[(i * 3 + i / w) % 7];
  return zel::testing::MakeImage<std::uint16_t>({w, h, 1, 0, 6, 12}, s);
}

TEST_F(ReverseFile, GreyTwelveBitComesBackExactlyAndUpright) {
  const ur::ScopedImageBuf grey = TwelveBitGrey();
  ASSERT_EQ(zel::testing::WriteGreyZel(grey.get(), 4096, path("g.zel.png")), rc::Ok);
  const ur::ScopedImageBuf raw = restore(path("g.zel.png"), path("g.dezel.png"));
  ASSERT_NE(raw->data, nullptr);
  EXPECT_EQ(raw->dataType, ur::eImageDataUInt16);
  EXPECT_EQ(raw->channels, 1);
  EXPECT_EQ(Samples<std::uint16_t>(raw.get()), Samples<std::uint16_t>(grey.get()));
}

// Each colour pixel of a Simple demosaic stands for a 2x2 cell: the mosaic comes back at twice
// the ZEL size. Interpolated colour keeps its size. Both restore every site of the source.
TEST_F(ReverseFile, ColourRestoresTheMosaicAtTheSizeItsDemosaicingImplies) {
  const int w = 10, h = 6;
  for (const ur::ExBayerGrid grid : {ur::eBayerGBRG, ur::eBayerBGGR}) {
    SCOPED_TRACE(grid);
    const ur::ScopedImageBuf mosaic = MakeMosaic(w, h, grid, false);
    ASSERT_EQ(zel::testing::WriteColourZel(mosaic.get(), urs::zel::Simple, path("s.zel.png")),
              rc::Ok);
    ASSERT_EQ(zel::testing::WriteColourZel(mosaic.get(), urs::zel::Averaging, path("a.zel.png")),
              rc::Ok);
    ur::CxImage zel;
    ASSERT_EQ(zel.load(path("s.zel.png")), rc::Ok);
    EXPECT_EQ(FreeImage_GetWidth(zel.bitmap()), unsigned(w / 2));

    for (const char* name : {"s", "a"}) {
      SCOPED_TRACE(name);
      const ur::ScopedImageBuf raw = restore(path(name) + ".zel.png", path(name) + ".dezel.png");
      ASSERT_NE(raw->data, nullptr);
      EXPECT_EQ(raw->channels, 1);
      EXPECT_EQ(raw->width, w);
      EXPECT_EQ(raw->height, h);
      EXPECT_EQ(Samples<std::uint16_t>(raw.get()), Samples<std::uint16_t>(mosaic.get()));
    }
  }
}

// A compacted mosaic (ZEL type 1) needs each plane's own table; the two greens differ here, and
// blue occupies neighbouring levels, which the record's run-length form cannot spread by itself.
TEST_F(ReverseFile, PlaneMosaicRestoresEveryPlanesLevels) {
  const ur::ScopedImageBuf mosaic = MakeMosaic(12, 6, ur::eBayerGRBG, true);
  for (const auto mode : {urs::zel::Separated, urs::zel::Together}) {
    SCOPED_TRACE(mode);
    ASSERT_EQ(zel::testing::WritePlaneZel(mosaic.get(), mode, path("p.zel.png")), rc::Ok);
    const ur::ScopedImageBuf raw = restore(path("p.zel.png"), path("p.dezel.png"));
    ASSERT_NE(raw->data, nullptr);
    EXPECT_EQ(Samples<std::uint16_t>(raw.get()), Samples<std::uint16_t>(mosaic.get()));
  }
}

// A record the plug-in refuses (a replaced value beyond 16 bits), or a target that cannot be
// written, leaves no file and an earlier output as it was.
TEST_F(ReverseFile, FailuresWriteNothingAndKeepAnExistingOutput) {
  const ur::ScopedImageBuf grey = TwelveBitGrey();
  urs::InvalidPixel beyond;
  beyond.invalidValue[0] = 70000;
  ASSERT_EQ(zel::testing::WriteGreyZel(grey.get(), 4096, path("bad.zel.png"), {beyond}), rc::Ok);
  ASSERT_EQ(zel::testing::WriteGreyZel(grey.get(), 4096, path("good.zel.png")), rc::Ok);

  const QByteArray earlier("earlier output");
  for (const char* target : {"bad.dezel.png", "good.dezel.xyz"}) {
    QFile f(path(target));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(earlier);
  }
  EXPECT_TRUE(ur::Failed(
      ConvertZelFileToRAW(CpuPluginId(), path("bad.zel.png"), path("bad.dezel.png"), nullptr)));
  // No format is written under this suffix.
  EXPECT_TRUE(ur::Failed(
      ConvertZelFileToRAW(CpuPluginId(), path("good.zel.png"), path("good.dezel.xyz"), nullptr)));
  EXPECT_TRUE(ur::Failed(ConvertZelFileToRAW(CpuPluginId(), path("good.zel.png"),
                                             path("missing/good.dezel.png"), nullptr)));
  EXPECT_TRUE(ur::Failed(
      ConvertZelFileToRAW(CpuPluginId(), path("bad.zel.png"), path("fresh.dezel.png"), nullptr)));

  EXPECT_FALSE(QFileInfo::exists(path("fresh.dezel.png")));
  EXPECT_FALSE(QFileInfo::exists(path("missing")));
  for (const char* target : {"bad.dezel.png", "good.dezel.xyz"}) {
    QFile kept(path(target));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), earlier) << target;
  }
  // Only the files made here remain: no temporary file is left behind.
  EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files).size(), 4);
}

TEST_F(ReverseFile, RefusesBadPluginIdsAndSixteenBitImages) {
  const ur::ScopedImageBuf grey = TwelveBitGrey();
  ASSERT_EQ(zel::testing::WriteGreyZel(grey.get(), 4096, path("g.zel.png")), rc::Ok);
  EXPECT_EQ(ConvertZelFileToRAW(0, path("g.zel.png"), path("g.dezel.png"), nullptr),
            rc::InvalidArg(1));
  EXPECT_EQ(ConvertZelFileToRAW(CpuPluginId() + 1, path("g.zel.png"), path("g.dezel.png"), nullptr),
            rc::InvalidArg(1));

  // The same record on 16-bit pixels.
  ur::CxImage zel;
  ASSERT_EQ(zel.load(path("g.zel.png")), rc::Ok);
  ur::CxImage wide(grey.get());
  ASSERT_EQ(wide.copyMetadataFromImage(zel), rc::Ok);
  ASSERT_EQ(wide.save(path("w.zel.png")), rc::Ok);
  urs::Protocol log;
  EXPECT_EQ(ConvertZelFileToRAW(CpuPluginId(), path("w.zel.png"), path("w.dezel.png"), &log),
            rc::Fail);
  EXPECT_TRUE(log.getLastMessage().endsWith(QStringLiteral("]: Cannot convert 16bit ZEL image: ") +
                                            path("w.zel.png")));
  EXPECT_FALSE(QFileInfo::exists(path("w.dezel.png")));
}

}  // namespace
