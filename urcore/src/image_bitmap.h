#pragma once
// Private helpers shared by the CxImage sources: ownership of FreeImage bitmaps.

#include <FreeImage.h>

#include <memory>

namespace ur::detail {

struct BitmapDeleter {
  void operator()(FIBITMAP* dib) const {
    if (dib) FreeImage_Unload(dib);
  }
};
// Owns one FreeImage bitmap; unloads it when it goes out of scope.
using BitmapPtr = std::unique_ptr<FIBITMAP, BitmapDeleter>;

// Copies every metadata tag of src, in every model, into dst (a tag of the same model and key
// is replaced, other tags of dst are kept), and src's resolution. False when a tag could not be
// stored. (FreeImage_CloneMetadata instead drops dst's models that src also has, and skips the
// animation model.)
bool CopyAllMetadata(FIBITMAP* dst, FIBITMAP* src);

}  // namespace ur::detail
