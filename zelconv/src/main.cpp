// zelconv: converts one image into a ZEL image, or (-r) a ZEL image back into its raw image.

#include <QString>
#include <QStringList>

#include "zel_convertor_app.h"

int main(int argc, char** argv) {
  urs::zel::ZelConvertorApp app(argc, argv);
  // Arguments are read as UTF-8 whatever the locale, so that non-ASCII file names survive.
  QStringList arguments;
  arguments.reserve(argc);
  for (int i = 0; i < argc; ++i) arguments.append(argv[i] ? QString::fromUtf8(argv[i]) : QString());
  return app.run(arguments);
}
