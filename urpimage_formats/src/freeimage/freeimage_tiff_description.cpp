#include "freeimage/freeimage_tiff_description.h"

#include <ur/units.h>

#include <tiffio.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace ur::freeimage {

namespace {

struct TiffCloser {
  void operator()(TIFF* tif) const {
    if (tif) TIFFClose(tif);
  }
};
using TiffPtr = std::unique_ptr<TIFF, TiffCloser>;

// Sets the tag and writes the first directory again (at the end of the file; the pixels stay).
bool RewriteDescription(TIFF* tif, const QByteArray& text) {
  return tif && TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, text.constData()) == 1 &&
         TIFFRewriteDirectory(tif) == 1;
}

// A TIFF "file" in a QByteArray, for libtiff's client procedures.
struct MemoryFile {
  QByteArray* bytes;
  toff_t position;
};

tmsize_t ReadMemory(thandle_t handle, void* buffer, tmsize_t size) {
  auto* file = static_cast<MemoryFile*>(handle);
  const toff_t available = file->position < toff_t(file->bytes->size())
                               ? toff_t(file->bytes->size()) - file->position
                               : 0;
  const toff_t count = std::min<toff_t>(toff_t(size), available);
  if (count > 0) std::memcpy(buffer, file->bytes->constData() + file->position, count);
  file->position += count;
  return tmsize_t(count);
}

tmsize_t WriteMemory(thandle_t handle, void* buffer, tmsize_t size) {
  auto* file = static_cast<MemoryFile*>(handle);
  const toff_t end = file->position + toff_t(size);
  if (end > toff_t(file->bytes->size())) file->bytes->resize(int(end));
  std::memcpy(file->bytes->data() + file->position, buffer, std::size_t(size));
  file->position = end;
  return size;
}

toff_t SeekMemory(thandle_t handle, toff_t offset, int whence) {
  auto* file = static_cast<MemoryFile*>(handle);
  switch (whence) {
    case SEEK_SET:
      file->position = offset;
      break;
    case SEEK_CUR:
      file->position += offset;
      break;
    case SEEK_END:
      file->position = toff_t(file->bytes->size()) + offset;
      break;
    default:
      return toff_t(-1);
  }
  return file->position;
}

int CloseMemory(thandle_t) { return 0; }

toff_t SizeOfMemory(thandle_t handle) {
  return toff_t(static_cast<MemoryFile*>(handle)->bytes->size());
}

int MapMemory(thandle_t, void**, toff_t*) { return 0; }

void UnmapMemory(thandle_t, void*, toff_t) {}

}  // namespace

bool SetTiffDescription(const QString& path, const QByteArray& text) {
  const TiffPtr tif(TIFFOpen(FileSystemRepresentation(path).constData(), "r+"));
  return RewriteDescription(tif.get(), text);
}

bool SetTiffDescription(QByteArray& tiff, const QByteArray& text) {
  MemoryFile file{&tiff, 0};
  // "m": no memory mapping; the client procedures are the only access.
  const TiffPtr tif(TIFFClientOpen("memory", "r+m", &file, ReadMemory, WriteMemory, SeekMemory,
                                   CloseMemory, SizeOfMemory, MapMemory, UnmapMemory));
  return RewriteDescription(tif.get(), text);
}

}  // namespace ur::freeimage
