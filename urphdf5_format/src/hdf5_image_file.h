#pragma once
// What the HDF5 image loader and saver share: the top-level names of an .h5i file, its
// version rule, opening files, catching the library's exceptions and reporting failures.

#include <ur/data_loader.h>
#include <ur/hdf5.h>

#include <H5Cpp.h>

#include <QString>

#include <memory>
#include <new>

namespace ur::h5i {

extern const QString kFormatName;  // "HDF5 Image Format", the root attribute "NAME"
extern const QString kNameAttr;
extern const QString kVersionMajorAttr;
extern const QString kVersionMinorAttr;
extern const QString kImageData;      // "image_data"
extern const QString kMetadataPath;   // "/image_data/metadata"
extern const QString kInfoPath;       // "/image_data/image/format"
extern const QString kHistogramPath;  // "/image_data/histogram"
extern const QString kThumbnail;      // "thumbnail"
constexpr int kVersionMajor = 1;
constexpr int kVersionMinor = 0;

// The one format both classes list: "HDF5 Image Format (*.h5i)".
FileFormatList Formats();

// Opens an existing file (read-only, or for writing); null with error set when the file is
// missing or not an HDF5 file. Throws the library's exceptions (see Catching).
std::unique_ptr<H5::H5File> OpenFile(const QString& path, bool writable, QString& error);

// True when the file carries the version attributes and its version is at most 1.0.
bool CheckVersion(H5::H5File& file, QString& error);

// Runs body (returning bool); every exception of the HDF5 library and a failed allocation
// become false with their text in error.
template <typename Body>
bool Catching(QString& error, Body&& body) {
  try {
    return body();
  } catch (const H5::Exception& e) {
    error = CxHDF5::exceptionText(e);
  } catch (const std::bad_alloc&) {
    error = QStringLiteral("Out of memory.");
  }
  return false;
}

// Logs "ERROR | <text> (<file>)" at critical level.
void LogFailure(const QString& text, const QString& path);

}  // namespace ur::h5i
