// Time of a DNG read: each file given is read N times through ReadRawImage (raw image and the
// file's metadata, as the converters read it) and through the raw reader alone.
// Usage: zel_dng_timing [-n N] file.dng...
// One tab-separated line per file: name, size, grid, ms per frame (ReadRawImage), ms per frame
// (raw reader alone), megapixels per second (ReadRawImage); "failed" with the code otherwise.
#include "dng_raw.h"

#include <zel/input_reading.h>

#include <ur/buffers.h>
#include <ur/image.h>
#include <ur/result.h>

#include <QFileInfo>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const char* GridName(ur::ExBayerGrid grid) {
  static const char* const names[] = {"BGGR", "RGGB", "GBRG", "GRBG", "none", "mosaic"};
  return grid >= 0 && grid <= ur::eBayerMosaic ? names[grid] : "?";
}

// Milliseconds per call of read, run `times` times after one untimed warm-up call.
template <typename Read>
double MsPerCall(int times, Read read) {
  read();
  const Clock::time_point start = Clock::now();
  for (int i = 0; i < times; ++i) read();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count() / times;
}

int TimeFile(const QString& path, int times) {
  const QByteArray name = QFileInfo(path).fileName().toLocal8Bit();
  ur::CxImage image;
  ur::ExBayerGrid grid = ur::eBayerNone;
  const unsigned int rc = urs::zel::ReadRawImage(path, image, grid);
  ur::SxImageBuf buf;
  if (ur::Failed(rc) || ur::Failed(image.getImageBuf(buf))) {
    std::printf("%s\tfailed\t%s\n", name.constData(), ur::ResultToHex(rc).toLatin1().constData());
    return 1;
  }
  const double readMs = MsPerCall(times, [&] {
    ur::CxImage frame;
    ur::ExBayerGrid frameGrid = ur::eBayerNone;
    urs::zel::ReadRawImage(path, frame, frameGrid);
  });
  const double rawMs = MsPerCall(times, [&] {
    ur::ScopedImageBuf raw;
    urs::zel::ReadDngRaw(path, raw);
  });
  const double megapixels = double(buf.width) * buf.height / 1e6;
  std::printf("%s\t%dx%d\t%s\t%.2f\t%.2f\t%.1f\n", name.constData(), buf.width, buf.height,
              GridName(grid), readMs, rawMs, megapixels / (readMs / 1000.0));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  int times = 10;
  std::vector<QString> files;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-n") == 0 && i + 1 < argc)
      times = std::max(1, std::atoi(argv[++i]));
    else
      files.push_back(QString::fromLocal8Bit(argv[i]));
  }
  if (files.empty()) {
    std::fprintf(stderr, "usage: %s [-n N] file.dng...\n", argv[0]);
    return 2;
  }
  int failures = 0;
  for (const QString& file : files) failures += TimeFile(file, times);
  return failures ? 1 : 0;
}
