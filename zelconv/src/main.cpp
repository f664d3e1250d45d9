// zelconv: converts images or whole directories into ZEL images, or (-r) back.

#include <QString>
#include <QStringList>

#include "exit_status.h"
#include "interrupt.h"
#include "zel_convertor_app.h"

int main(int argc, char** argv) {
  const urs::zel::InterruptCancellation interrupts;
  urs::zel::ZelConvertorApp app(argc, argv);
  // Arguments are read as UTF-8 whatever the locale, so that non-ASCII file names survive.
  QStringList arguments;
  arguments.reserve(argc);
  for (int i = 0; i < argc; ++i) arguments.append(argv[i] ? QString::fromUtf8(argv[i]) : QString());
  const int status = app.run(arguments);
  // A single-file conversion cannot stop half-way; an interrupt still ends it as interrupted.
  return urs::zel::RunToken().isCancelled() ? urs::zel::kExitCancelled : status;
}
