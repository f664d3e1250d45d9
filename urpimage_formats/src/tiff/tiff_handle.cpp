#include "tiff/tiff_handle.h"

#include <ur/units.h>

#include <QByteArray>
#include <QDebug>
#include <QFile>
#include <QtGlobal>

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace ur::tiff {

namespace {

// TIFF header: byte order "II" or "MM", then 42 (classic) or 43 (BigTIFF) in that order.
constexpr int kHeaderBytes = 4;

QString FormatTiffMessage(const char* module, const char* fmt, va_list args) {
  char text[1024];
  std::vsnprintf(text, sizeof text, fmt, args);
  const QString body = QString::fromLocal8Bit(text);
  return (module && *module)
             ? QStringLiteral("libtiff: %1: %2").arg(QString::fromLocal8Bit(module), body)
             : QStringLiteral("libtiff: %1").arg(body);
}

void TiffErrorToLog(const char* module, const char* fmt, va_list args) {
  qCritical().noquote() << FormatTiffMessage(module, fmt, args);
}

void TiffWarningToLog(const char* module, const char* fmt, va_list args) {
  qWarning().noquote() << FormatTiffMessage(module, fmt, args);
}

}  // namespace

void InstallTiffMessageHandlers() {
  // Process-wide: libtiff has one global error and one global warning handler for all handles,
  // including those FreeImage opens, so they are set exactly once and left in place.
  static std::once_flag once;
  std::call_once(once, [] {
    TIFFSetErrorHandler(&TiffErrorToLog);
    TIFFSetWarningHandler(&TiffWarningToLog);
  });
}

TiffPtr OpenTiff(const QString& path, const char* mode) {
  InstallTiffMessageHandlers();
  if (path.isEmpty()) return nullptr;
  const QByteArray name = FileSystemRepresentation(path);
  return TiffPtr(TIFFOpen(name.constData(), mode));
}

bool HasTiffSignature(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return false;
  const QByteArray head = file.read(kHeaderBytes);
  if (head.size() < kHeaderBytes) return false;
  const auto b = [&head](int i) { return static_cast<unsigned char>(head[i]); };
  if (b(0) == 'I' && b(1) == 'I') return b(3) == 0 && (b(2) == 42 || b(2) == 43);
  if (b(0) == 'M' && b(1) == 'M') return b(2) == 0 && (b(3) == 42 || b(3) == 43);
  return false;
}

}  // namespace ur::tiff
