#pragma once
// Shared pieces of the single-file conversion tests: the real CPU plug-in, files in a temporary
// folder, frames whose flips show, the 8-bit value of a rank and a capture of the log.

#include <zel/plugin.h>

#include <zel_testing/image_builder.h>

#include <ur/format_manager.h>

#include <QFile>
#include <QImage>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#ifndef ZEL_CPU_PLUGIN_DIR
#error "ZEL_CPU_PLUGIN_DIR must name the folder of zel_plugin_cpu"
#endif

namespace zel::testing {

// The build's bin folder holds only the real plug-in: once loaded, it is the first listed.
inline unsigned long long CpuPlugin() {
  QVector<urs::zel::ZelPluginInfo> plugins;
  urs::zel::GetPlugins(plugins);
  return plugins.isEmpty() ? 0 : plugins.first().id;
}

class ConversionTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_EQ(urs::zel::InitPlugins(QStringLiteral(ZEL_CPU_PLUGIN_DIR)), ur::rc::Ok);
    ASSERT_TRUE(m_dir.isValid());
  }

  QString path(const QString& name) const { return m_dir.filePath(name); }

  // buf is top-down, as the format manager's loaders deliver it.
  QString saveInput(const QString& name, const ur::SxImageBuf& buf) const {
    EXPECT_TRUE(ur::CxImageFormatManager::instance()->saveImageToFile(path(name), buf));
    return path(name);
  }

  // An output file of an earlier run, which a failing conversion must leave alone.
  QString earlierOutput(const QString& name) const {
    QFile file(path(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(kEarlier) > 0);
    return path(name);
  }
  bool unchanged(const QString& file) const {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) && f.readAll() == kEarlier;
  }

private:
  static constexpr const char* kEarlier = "earlier result";
  QTemporaryDir m_dir;
};

// A grey frame of four levels laid out so that any flip or shift shows.
template <typename T>
ur::ScopedImageBuf MakeGreyFrame(int width, int height, const T (&levels)[4]) {
  std::vector<T> samples;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) samples.push_back(levels[(x + 2 * y) % 4]);
  return MakeImage<T>({width, height}, samples);
}

// An RGGB mosaic of 16-bit samples: red of cell (cx, cy) is 1000, 2000 or 3000 by
// (cx + 2 cy) mod 3, blue 600 in the second row of cells and 500 elsewhere, green 800.
inline ur::ScopedImageBuf MakeRggbFrame(int width, int height) {
  const std::uint16_t reds[3] = {1000, 2000, 3000};
  std::vector<std::uint16_t> samples;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int cx = x / 2, cy = y / 2;
      if (y % 2 == 0 && x % 2 == 0) samples.push_back(reds[(cx + 2 * cy) % 3]);
      else if (y % 2 == 1 && x % 2 == 1) samples.push_back(cy == 1 ? 600 : 500);
      else samples.push_back(800);
    }
  return MakeImage<std::uint16_t>({width, height}, samples);
}

// The 8-bit value of a rank when the channel's ranks run from 0 to maximum, rounded to nearest.
inline int ScaledRank(unsigned rank, unsigned maximum) {
  return maximum == 0 ? 0 : int(std::lround(rank * 255.0 / maximum));
}

// The log lines written while an instance lives. One at a time.
class LogLines {
public:
  LogLines() { m_previous = qInstallMessageHandler(&LogLines::handle); }
  ~LogLines() {
    qInstallMessageHandler(m_previous);
    lines().clear();
  }
  bool has(QtMsgType type, const QString& start) const {
    for (const auto& line : lines())
      if (line.first == type && line.second.startsWith(start)) return true;
    return false;
  }
  // A line of type that holds every one of parts.
  bool hasLineWith(QtMsgType type, const QStringList& parts) const {
    for (const auto& line : lines()) {
      bool all = line.first == type;
      for (const QString& part : parts) all = all && line.second.contains(part);
      if (all) return true;
    }
    return false;
  }
  QString all() const {
    QString text;
    for (const auto& line : lines()) text += line.second + QLatin1Char('\n');
    return text;
  }

private:
  static QVector<QPair<QtMsgType, QString>>& lines() {
    static QVector<QPair<QtMsgType, QString>> captured;
    return captured;
  }
  static void handle(QtMsgType type, const QMessageLogContext&, const QString& text) {
    lines().append({type, text});
  }
  QtMessageHandler m_previous = nullptr;
};

}  // namespace zel::testing
