#include "quiet_tiff.h"

#include <QFile>

#include <cstdarg>

namespace urs::zel {

namespace {

int IgnoreMessage(TIFF*, void*, const char*, const char*, va_list) { return 1; }

}  // namespace

TiffHandle OpenQuietly(const QString& path) {
  std::unique_ptr<TIFFOpenOptions, decltype(&TIFFOpenOptionsFree)> options(TIFFOpenOptionsAlloc(),
                                                                         &TIFFOpenOptionsFree);
  if (!options) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), IgnoreMessage, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), IgnoreMessage, nullptr);
  return TiffHandle(TIFFOpenExt(QFile::encodeName(path).constData(), "r", options.get()));
}

}  // namespace urs::zel
