// zel_samples: the project's own sample frames and the round-trip check of the main job.
//
//   zel_samples make <dir>                  the four small sample frames
//   zel_samples bench-frames <dir>          the two 4000 x 3000 benchmark frames
//   zel_samples bench-mosaics <dir> <count> count 4000 x 3000 10-bit RGGB mosaics
//   zel_samples compare <source> <restored> [bggr|rggb|gbrg|grbg]
//        prints "exact" or "max difference N". The source is read as the converters read it
//        (a DNG as its raw mosaic with the file's grid); the grid lets a mosaic be compared with
//        a demosaiced colour image. Exit status 0 in both cases, 2 when the images cannot be read
//        or compared.

#include "sample_files.h"

#include <ur/buffers.h>
#include <ur/format_manager.h>
#include <ur/image.h>

#include <zel/image_compare.h>
#include <zel/input_reading.h>

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void PrintUsage() {
  std::fputs(
      "usage: zel_samples make <dir>\n"
      "       zel_samples bench-frames <dir>\n"
      "       zel_samples bench-mosaics <dir> <count>\n"
      "       zel_samples compare <source> <restored> [bggr|rggb|gbrg|grbg]\n"
      "       zel_samples copy <input> <output>   (through the format plug-ins, by suffix)\n",
      stderr);
}

int PrintWritten(const QStringList& written, const QString& errorText) {
  if (written.isEmpty()) {
    std::fprintf(stderr, "zel_samples: %s\n", qUtf8Printable(errorText));
    return kExitFailed;
  }
  for (const QString& path : written) std::printf("%s\n", qUtf8Printable(path));
  return kExitOk;
}

bool ParseGrid(const QString& text, ur::ExBayerGrid& grid) {
  static const char* const kNames[] = {"bggr", "rggb", "gbrg", "grbg"};  // enum order
  for (int i = 0; i < 4; ++i)
    if (text.compare(QLatin1String(kNames[i]), Qt::CaseInsensitive) == 0) {
      grid = ur::ExBayerGrid(i);
      return true;
    }
  return false;
}

// Rewrites an image in the format of the output's suffix (fuzz seeds of every format).
int Copy(const QString& input, const QString& output) {
  ur::ScopedImageBuf image;
  ur::CxMetadata metadata;
  ur::CxImageFormatManager* formats = ur::CxImageFormatManager::instance();
  if (!formats->loadImageFromFile(input, image.get(), &metadata) ||
      !formats->saveImageToFile(output, image.get(), &metadata)) {
    std::fprintf(stderr, "zel_samples: cannot copy %s to %s\n", qUtf8Printable(input),
                 qUtf8Printable(output));
    return kExitFailed;
  }
  return kExitOk;
}

int Compare(const QStringList& args) {
  ur::ExBayerGrid grid = ur::eBayerNone;
  if (args.size() == 5 && !ParseGrid(args[4], grid)) {
    PrintUsage();
    return kExitUsage;
  }
  // The source is read as the converters read it (DNG mosaics, MATLAB and text matrices too).
  ur::CxImage source;
  ur::ExBayerGrid fileGrid = ur::eBayerNone;
  ur::SxImageBuf sourceBuf;
  if (ur::Failed(urs::zel::ReadInputImage(args[2], source, fileGrid)) ||
      ur::Failed(source.getImageBuf(sourceBuf))) {
    std::fprintf(stderr, "zel_samples: cannot read %s\n", qUtf8Printable(args[2]));
    return kExitUsage;
  }
  if (grid == ur::eBayerNone) grid = fileGrid;
  ur::ScopedImageBuf restored;
  if (!ur::CxImageFormatManager::instance()->loadImageFromFile(args[3], restored.get(), nullptr)) {
    std::fprintf(stderr, "zel_samples: cannot read %s\n", qUtf8Printable(args[3]));
    return kExitUsage;
  }
  const urs::zel::ZelComparison result =
      urs::zel::CompareImages(sourceBuf, restored.get(), grid);
  if (!result.comparable) {
    std::fprintf(stderr, "zel_samples: cannot compare: %s\n", qUtf8Printable(result.reason));
    return kExitUsage;
  }
  if (result.maxDifference == 0)
    std::printf("exact\n");
  else
    std::printf("max difference %d\n", result.maxDifference);
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  // The application object gives the executable's folder, where the format plug-ins lie.
  QCoreApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  const QString command = args.value(1);
  QString errorText;
  if (command == QLatin1String("make") && args.size() == 3)
    return PrintWritten(zel::samples::WriteMainSamples(args[2], errorText), errorText);
  if (command == QLatin1String("bench-frames") && args.size() == 3)
    return PrintWritten(zel::samples::WriteBenchFrames(args[2], errorText), errorText);
  if (command == QLatin1String("bench-mosaics") && args.size() == 4 && args[3].toInt() > 0)
    return PrintWritten(zel::samples::WriteBenchMosaics(args[2], args[3].toInt(), errorText),
                        errorText);
  if (command == QLatin1String("compare") && (args.size() == 4 || args.size() == 5))
    return Compare(args);
  if (command == QLatin1String("copy") && args.size() == 4) return Copy(args[2], args[3]);
  PrintUsage();
  return kExitUsage;
}
