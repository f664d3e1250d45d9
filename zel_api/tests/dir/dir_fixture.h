#pragma once
// Directory trees of real files in a temporary folder, converted through the real CPU plug-in,
// with the run's protocol, progress and summary at hand.

#include "../reverse/reverse_fixture.h"

#include <zel/dir_conversion.h>
#include <zel/plugin.h>

#include <zel_testing/image_builder.h>
#include <zel_testing/test_data.h>

#include <urs/progress_info.h>
#include <urs/protocol.h>

#include <ur/bayer.h>
#include <ur/format_manager.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace zel::testing {

class DirTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_NE(CpuPluginId(), 0u);
    ASSERT_TRUE(m_root.isValid());
  }

  // A folder below the temporary root, made with its parents; its path ends with "/".
  QString folder(const QString& relative) const {
    EXPECT_TRUE(QDir(m_root.path()).mkpath(relative));
    return QDir(m_root.path()).filePath(relative) + QLatin1Char('/');
  }

  // buf is top-down, as the format manager's loaders deliver it.
  static void save(const QString& path, const ur::SxImageBuf& buf) {
    ASSERT_TRUE(ur::CxImageFormatManager::instance()->saveImageToFile(path, buf))
        << path.toStdString();
  }

  // A shared DNG sample (derived/dng/<name>) copied into the tree; false when it is absent.
  static bool copySample(const QString& name, const QString& to) {
    return QFile::copy(TestDataPath(QStringLiteral("derived/dng/") + name), to);
  }

  urs::zel::ZelParams params(const QString& inputDir, ur::ExBayerGrid grid = ur::eBayerNone) {
    urs::zel::ZelParams p;
    p.pluginId = CpuPluginId();
    p.inputDir = inputDir;
    p.rawBitColorDepth = 12;
    p.bayerGrid = grid;
    p.algorithm = urs::zel::Averaging;
    p.progress = &m_progress;
    p.protocol = &m_protocol;
    p.summary = &m_summary;
    return p;
  }

  bool protocolHas(const QString& text) {
    for (const QString& line : m_protocol.getProtocol())
      if (line.contains(text)) return true;
    return false;
  }
  QString protocolText() { return m_protocol.getProtocol().join(QLatin1Char('\n')); }

  static QStringList zelFiles(const QString& dir) {
    return QDir(dir).entryList({QStringLiteral("*.zel.png")}, QDir::Files, QDir::Name);
  }

  QTemporaryDir m_root;
  urs::Protocol m_protocol;
  urs::CxProgressInfo m_progress;
  urs::zel::ZelRunSummary m_summary;
};

// A top-down grey frame of 16-bit samples holding 12-bit levels: up to 150 levels from `first`
// in steps of 7 (all of them from 150 pixels on), laid out so that any flip or shift shows.
inline ur::ScopedImageBuf MakeGrey(int width, int height, int first, int seed) {
  std::vector<std::uint16_t> samples;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      samples.push_back(std::uint16_t(first + 7 * ((x + width * y + seed) % 150)));
  return MakeImage<std::uint16_t>({width, height}, samples);
}

// A top-down 12-bit mosaic of 16-bit samples (grid names its top-left cell) whose four planes
// hold 120 levels each, in steps of 3 from a base of their own; seed varies the layout only.
inline ur::ScopedImageBuf MakeRawFrame(int width, int height, ur::ExBayerGrid grid, int seed) {
  const int base[4] = {200, 700, 1400, 2100};
  std::vector<std::uint16_t> samples;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int plane = ur::PlaneAt(grid, x, y);
      const int cell = (7 * (x / 2) + 11 * (y / 2) * (y / 2) + 13 * seed + 29 * plane) % 120;
      samples.push_back(std::uint16_t(base[plane] + 3 * cell));
    }
  ImageShape shape{width, height};
  shape.bitDepth = 12;
  return MakeImage<std::uint16_t>(shape, samples);
}

}  // namespace zel::testing
