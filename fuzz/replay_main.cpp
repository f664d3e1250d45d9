// Replays saved inputs through a target without libFuzzer, in the ordinary test builds: every
// file below the folders given must end in a refusal or a read (never a crash or a sanitizer
// report) within the time a damaged file may take.
#include "fuzz_support.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>

#include <cstdio>

namespace {

constexpr qint64 kLongestMs = 2000;

}  // namespace

int main(int argc, char** argv) {
  zel::fuzz::InitRuntime(&argc, &argv);
  int files = 0;
  int slow = 0;
  for (int i = 1; i < argc; ++i) {
    QDirIterator it(QString::fromLocal8Bit(argv[i]), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString path = it.next();
      QFile file(path);
      if (!file.open(QIODevice::ReadOnly)) continue;
      const QByteArray bytes = file.readAll();
      QElapsedTimer clock;
      clock.start();
      const int taken = ZelFuzzOne(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                   std::size_t(bytes.size()));
      const qint64 ms = clock.elapsed();
      ++files;
      std::printf("%s %s (%lld ms)\n", taken ? "read   " : "refused", qUtf8Printable(path),
                  static_cast<long long>(ms));
      if (ms > kLongestMs) {
        ++slow;
        std::printf("  too slow: more than %lld ms\n", static_cast<long long>(kLongestMs));
      }
    }
  }
  std::printf("%d inputs, %d too slow\n", files, slow);
  return slow == 0 ? 0 : 1;
}
