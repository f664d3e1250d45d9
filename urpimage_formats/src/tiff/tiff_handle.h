#pragma once
// Shared libtiff plumbing of the TIFF loader and saver: an owning handle for TIFF*, opening by
// QString path, and the routing of libtiff's messages into Qt's log.

#include <QString>

#include <tiffio.h>

#include <memory>

namespace ur::tiff {

struct TiffCloser {
  void operator()(TIFF* tif) const {
    if (tif) TIFFClose(tif);
  }
};
// Owns an open libtiff handle; TIFFClose on destruction.
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

// Routes libtiff's error handler to qCritical and its warning handler to qWarning, once per
// process. libtiff keeps these handlers in global state shared by every TIFF reader in the
// process (FreeImage's TIFF plug-in uses the same libtiff), so they are installed a single time
// and never restored; later calls do nothing.
void InstallTiffMessageHandlers();

// Opens path with a libtiff mode ("r", "w", "w8"); the path is handed over in the file system's
// byte representation. Installs the message handlers first. Null when libtiff cannot open it.
TiffPtr OpenTiff(const QString& path, const char* mode);

// True when the file exists and begins with a TIFF or BigTIFF header (either byte order).
// Checked before TIFFOpen so that a missing or foreign file fails quietly.
bool HasTiffSignature(const QString& path);

}  // namespace ur::tiff
