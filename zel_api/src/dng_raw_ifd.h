#pragma once
// Facts about a DNG's raw image directory that LibRaw does not tell: whether the file declares a
// white level, and whether the directory's strips or tiles can hold the image at all. LibRaw
// fills in a guessed white level and decodes missing data as zeros without an error.

#include <QString>

namespace urs::zel {

struct DngRawIfd {
  bool found = false;          // a full-resolution directory of the given size exists
  bool dataComplete = false;   // all strips or tiles lie inside the file and can hold the image
  bool hasWhiteLevel = false;  // the directory carries a WhiteLevel tag
  unsigned whiteLevel = 0;     // its first value
};

// Looks in IFD0 and its SubIFDs for the full-resolution (NewSubfileType 0) directory of width x
// height pixels, the stored raw image. found is false when there is none or the file is no
// readable TIFF structure.
DngRawIfd InspectDngRawIfd(const QString& path, int width, int height);

}  // namespace urs::zel
