#pragma once
// A libtiff handle for reading raw camera files, which carry many tags libtiff does not know:
// its complaints about them help nobody, so this handle's messages are dropped. The process-wide
// handlers stay as they are.

#include <QString>

#include <tiffio.h>

#include <memory>

namespace urs::zel {

struct TiffCloser {
  void operator()(TIFF* tif) const { TIFFClose(tif); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// Opens path for reading; null when it is no TIFF structure libtiff can open.
TiffHandle OpenQuietly(const QString& path);

}  // namespace urs::zel
