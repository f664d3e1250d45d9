// FreeImage reports problems (a corrupt file, a refused tag) through one output-message
// callback. This file sends them into the Qt log, so they reach the same handlers as every other
// message of the program instead of being lost. (libtiff, which FreeImage uses, also prints some
// messages to stderr through handlers of its own; those are not routed here.)

#include <ur/image.h>

#include <FreeImage.h>

#include <QString>
#include <QtGlobal>

#include <mutex>

namespace ur {
namespace {

// Called by FreeImage on whatever thread hit the problem; qWarning is thread-safe. Nothing may
// escape into FreeImage's C code, hence the catch-all.
void RouteFreeImageMessage(FREE_IMAGE_FORMAT fif, const char* message) {
  try {
    const char* format = fif == FIF_UNKNOWN ? nullptr : FreeImage_GetFormatFromFIF(fif);
    const QString text = QStringLiteral("FreeImage: %1: %2")
                             .arg(format ? QString::fromLatin1(format) : QStringLiteral("unknown"),
                                  QString::fromLocal8Bit(message ? message : "").trimmed());
    qWarning("%s", qUtf8Printable(text));
  } catch (...) {
  }
}

}  // namespace

void InstallFreeImageMessageHandler() {
  // The callback is process-wide: FreeImage keeps a single handler for all its users, so
  // install it once, and never from two places.
  static std::once_flag once;
  std::call_once(once, [] { FreeImage_SetOutputMessage(&RouteFreeImageMessage); });
}

}  // namespace ur
