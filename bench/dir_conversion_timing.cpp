// Time of converting a folder of frames: the directory conversion (every frame read twice, one
// mapping for all) against the single-file conversion of each frame in turn.
// Usage: zel_dir_timing dir|files <folder>
// Outputs go to <folder>/ZEL (dir) or <folder>/one (files). One tab-separated line: mode,
// frames converted, seconds, frames per second, peak resident memory in MiB; "failed" with the
// code otherwise. Run each mode in a process of its own, so that the peak is that mode's.
#include <zel/dir_conversion.h>
#include <zel/file_conversion.h>
#include <zel/input_reading.h>
#include <zel/plugin.h>

#include <ur/bit_depth.h>
#include <ur/image.h>
#include <ur/result.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

QStringList Inputs(const QString& folder) {
  QStringList names = QDir(folder).entryList(urs::zel::GetRawFilter(), QDir::Files, QDir::Name);
  names.erase(std::remove_if(names.begin(), names.end(),
                             [](const QString& n) { return n.endsWith(".zel.png"); }),
              names.end());
  return names;
}

// The bit depth a frame's samples need.
int DepthOf(const QString& path) {
  ur::CxImage image;
  ur::ExBayerGrid grid = ur::eBayerNone;
  ur::SxImageBuf buf;
  if (ur::Failed(urs::zel::ReadRawImage(path, image, grid)) || ur::Failed(image.getImageBuf(buf)) ||
      ur::Failed(ur::DetectColorBitDepth(buf, 16)))
    return 0;
  return buf.bitDepth;
}

double PeakMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;  // kilobytes on Linux
}

int Report(const char* mode, unsigned int code, int frames, double seconds) {
  if (ur::Failed(code)) {
    std::printf("%s\tfailed\t%s\n", mode, ur::ResultToHex(code).toLatin1().constData());
    return 1;
  }
  std::printf("%s\t%d\t%.2f\t%.2f\t%.0f\n", mode, frames, seconds, frames / seconds, PeakMiB());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() != 3 || (args[1] != "dir" && args[1] != "files")) {
    std::fputs("usage: zel_dir_timing dir|files <folder>\n", stderr);
    return 255;
  }
  QVector<urs::zel::ZelPluginInfo> plugins;
  if (ur::Failed(urs::zel::InitPlugins(app.applicationDirPath())) ||
      ur::Failed(urs::zel::GetPlugins(plugins)) || plugins.isEmpty()) {
    std::fputs("zel_dir_timing: no conversion plug-in\n", stderr);
    return 1;
  }
  const QString folder = QDir(args[2]).absolutePath() + QLatin1Char('/');
  const QStringList names = Inputs(folder);
  if (names.isEmpty()) {
    std::fputs("zel_dir_timing: no input frames\n", stderr);
    return 1;
  }

  // The directory run's setting: the deepest frame's, found before the clock starts.
  int depth = 0;
  for (const QString& name : names) depth = std::max(depth, DepthOf(folder + name));

  const Clock::time_point start = Clock::now();
  unsigned int code = ur::rc::Ok;
  int frames = 0;
  if (args[1] == "dir") {
    urs::zel::ZelRunSummary summary;
    urs::zel::ZelParams params;
    params.pluginId = plugins.first().id;
    params.inputDir = folder;
    params.rawBitColorDepth = depth;
    params.bayerGrid = ur::eBayerNone;
    params.summary = &summary;
    code = urs::zel::ConvertDirToZel(params, nullptr);
    frames = summary.converted;
  } else {
    QDir(folder).mkdir("one");
    for (const QString& name : names) {
      code = urs::zel::ConvertFileToZel8(folder + name,
                                         folder + "one/" + QFileInfo(name).completeBaseName() +
                                             ".zel.png",
                                         ur::eBayerNone, urs::zel::Averaging);
      if (ur::Failed(code)) break;
      ++frames;
    }
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return Report(args[1].toLatin1().constData(), code, frames, seconds);
}
