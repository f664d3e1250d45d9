#pragma once
// Writes the framework's metadata XML into the ImageDescription tag (270) of a TIFF that
// FreeImage has written.
//
// Debian's FreeImage is built against the system libtiff and its TIFF writer stores no tags of
// the EXIF main model, so the tag that the saver hands to FreeImage never reaches the file.
// These helpers set it afterwards with libtiff. They live in their own file because
// FreeImage.h and tiffio.h declare clashing basic types.

#include <QByteArray>
#include <QString>

namespace ur::freeimage {

// Sets ImageDescription of the first directory of the TIFF file at path to text, rewriting
// that directory in place. False when the file cannot be opened or rewritten.
bool SetTiffDescription(const QString& path, const QByteArray& text);

// The same for TIFF bytes held in memory; tiff grows by the rewritten directory.
bool SetTiffDescription(QByteArray& tiff, const QByteArray& text);

}  // namespace ur::freeimage
