#include "fuzz_support.h"

#include <ur/format_manager.h>
#include <zel_testing/lsan_suppressions.h>
#include <zel/plugin.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QHash>

#include <cstdio>
#include <cstdlib>

namespace zel::fuzz {

namespace {

// Every message of the readers would otherwise flood the fuzzer's output.
void DropMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

QString ScratchDirectory() {
  static const QString dir = [] {
    const QString path = QDir::tempPath() + QStringLiteral("/zel-fuzz-%1")
                                                .arg(QCoreApplication::applicationPid());
    QDir().mkpath(path);
    return path;
  }();
  return dir;
}

}  // namespace

void InitRuntime(int* argc, char*** argv) {
  // Kept to the end of the process: destroying it among the static objects at exit would
  // outlive the plug-ins it loaded.
  static QCoreApplication* app = nullptr;
  if (app) return;
  app = new QCoreApplication(*argc, *argv);
  if (qEnvironmentVariableIsEmpty("ZEL_FUZZ_MESSAGES")) qInstallMessageHandler(DropMessages);
  // Without the format plug-ins most targets would refuse every input and test nothing.
  if (ur::LoadFormatPlugins(QCoreApplication::applicationDirPath()) == 0) {
    std::fprintf(stderr, "no format plug-in found beside %s\n",
                 qUtf8Printable(QCoreApplication::applicationFilePath()));
    std::exit(1);
  }
  urs::zel::InitPlugins(QCoreApplication::applicationDirPath() + QLatin1Char('/'));
}

QString WriteScratchFile(const std::uint8_t* data, std::size_t size, const char* suffix) {
  const QString path = ScratchDirectory() + QStringLiteral("/input") + QLatin1String(suffix);
  QFile file(path);
  if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
    file.write(reinterpret_cast<const char*>(data), qint64(size));
  return path;
}

}  // namespace zel::fuzz
