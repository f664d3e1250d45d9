#include "zelconv_test_support.h"

#include <gtest/gtest.h>

#include <ur/format_manager.h>
#include <zel_testing/image_builder.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <algorithm>
#include <cmath>
#include <random>

namespace zel::testing {

namespace {

// The largest DNG of the sample set takes well under a second; this only catches a hang.
constexpr int kRunTimeoutMs = 120000;

}  // namespace

bool ZelconvRun::saidLine(const QString& line) const {
  return err.split(QLatin1Char('\n')).contains(line);
}

namespace {

ZelconvRun RunProgram(const QString& program, const QStringList& arguments) {
  QProcess process;
  // Rules or patterns of the caller's environment would hide or reshape the outcome lines.
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.remove(QStringLiteral("QT_LOGGING_RULES"));
  environment.remove(QStringLiteral("QT_MESSAGE_PATTERN"));
  environment.insert(QStringLiteral("ZELCONV"), QStringLiteral(ZELCONV_PATH));
  process.setProcessEnvironment(environment);
  process.start(program, arguments);
  ZelconvRun run;
  if (!process.waitForStarted() || !process.waitForFinished(kRunTimeoutMs)) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.finished = process.exitStatus() == QProcess::NormalExit;
  run.exitCode = process.exitCode();
  run.outBytes = process.readAllStandardOutput();
  run.out = QString::fromUtf8(run.outBytes);
  run.err = QString::fromUtf8(process.readAllStandardError());
  return run;
}

}  // namespace

ZelconvRun RunZelconv(const QStringList& arguments) {
  return RunProgram(QStringLiteral(ZELCONV_PATH), arguments);
}

ZelconvRun RunShell(const QString& script) {
  return RunProgram(QStringLiteral("sh"), {QStringLiteral("-c"), script});
}

QStringList FilesBelow(const QString& root) {
  QStringList files;
  QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) files << QDir(root).relativeFilePath(it.next());
  files.sort();
  return files;
}

bool WriteImage(const QString& path, const ur::SxImageBuf& buf) {
  return ur::CxImageFormatManager::instance()->saveImageToFile(path, buf);
}

ur::ScopedImageBuf ReadImage(const QString& path) {
  ur::SxImageBuf buf;
  if (!ur::CxImageFormatManager::instance()->loadImageFromFile(path, buf, nullptr)) return {};
  return ur::ScopedImageBuf(buf);
}

QByteArray FileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<int> SpreadLevels(int n, int top) {
  std::vector<int> levels(std::size_t(n), 0);
  for (int i = 1; i < n; ++i) levels[std::size_t(i)] = int(std::lround(double(i) * top / (n - 1)));
  return levels;
}

std::vector<int> ShuffledSamples(const std::vector<int>& levels, std::size_t count,
                                 std::uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<int> samples(count);
  for (std::size_t i = 0; i < count; ++i)
    samples[i] = i < levels.size() ? levels[i] : levels[random() % levels.size()];
  std::shuffle(samples.begin(), samples.end(), random);
  return samples;
}

int RankOf(const std::vector<int>& levels, int level) {
  const auto it = std::lower_bound(levels.begin(), levels.end(), level);
  return it != levels.end() && *it == level ? int(it - levels.begin()) : -1;
}

ur::ScopedImageBuf MakeGreyImage(int width, int height, int bitDepth,
                                 const std::vector<int>& samples) {
  if (bitDepth <= 8)
    return MakeImage<std::uint8_t>({width, height, 1, 0, 0, 8},
                                   std::vector<std::uint8_t>(samples.begin(), samples.end()));
  return MakeImage<std::uint16_t>({width, height, 1, 0, 0, bitDepth},
                                  std::vector<std::uint16_t>(samples.begin(), samples.end()));
}

int GreyAt(const ur::SxImageBuf& image, int x, int y) {
  return image.dataType == ur::eImageDataUInt8 ? SampleAt<std::uint8_t>(image, x, y)
                                               : SampleAt<std::uint16_t>(image, x, y);
}

ur::ScopedImageBuf RestoreThroughZelconv(const QString& zel, const QString& restoredFile) {
  const ZelconvRun back = RunZelconv(
      {QStringLiteral("-r"), QStringLiteral("-i"), zel, QStringLiteral("-o"), restoredFile});
  if (!back.finished || !back.saidLine(QStringLiteral("Success"))) {
    ADD_FAILURE() << "zelconv -r did not succeed: " << back.err.toStdString();
    return ur::ScopedImageBuf();
  }
  return ReadImage(restoredFile);
}

void ExpectSamples(const ur::SxImageBuf& image, const std::vector<int>& samples, const char* grid) {
  int wrong = 0;
  for (int y = 0; y < image.height && wrong < 10; ++y)
    for (int x = 0; x < image.width && wrong < 10; ++x) {
      const int original = samples[std::size_t(y) * image.width + x];
      const int got = GreyAt(image, x, y);
      if (got == original) continue;
      ++wrong;
      ADD_FAILURE() << "at " << x << "," << y
                    << (grid ? std::string(" (") + grid[(y % 2) * 2 + x % 2] + ")" : std::string())
                    << ": " << original << " came back as " << got;
    }
}

}  // namespace zel::testing
