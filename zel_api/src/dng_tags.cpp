#include "dng_tags.h"

#include "quiet_tiff.h"

#include <cstdint>
#include <cstring>
#include <iterator>

namespace urs::zel {

namespace {

struct TextTag {
  std::uint32_t tag;
  const char* key;
};

constexpr TextTag kMainTags[] = {
    {TIFFTAG_IMAGEDESCRIPTION, "ImageDescription"}, {TIFFTAG_MAKE, "Make"},
    {TIFFTAG_MODEL, "Model"},                       {TIFFTAG_SOFTWARE, "Software"},
    {TIFFTAG_DATETIME, "DateTime"},                 {TIFFTAG_ARTIST, "Artist"},
    {TIFFTAG_COPYRIGHT, "Copyright"},
};

constexpr TextTag kExifTags[] = {
    {EXIFTAG_DATETIMEORIGINAL, "DateTimeOriginal"},
    {EXIFTAG_DATETIMEDIGITIZED, "DateTimeDigitized"},
    {EXIFTAG_SUBSECTIMEORIGINAL, "SubSecTimeOriginal"},
};

// Longer texts are no camera's description; they are left out rather than copied.
constexpr std::size_t kLongestText = 65536;

void CopyTextTags(TIFF* tif, const TextTag* tags, std::size_t count, FREE_IMAGE_MDMODEL model,
                  ur::CxImage& image) {
  for (std::size_t i = 0; i < count; ++i) {
    const char* text = nullptr;
    if (!TIFFGetField(tif, tags[i].tag, &text) || !text) continue;
    const std::size_t length = strnlen(text, kLongestText);
    if (length == 0 || length == kLongestText) continue;
    fipTag tag;
    if (tag.setKeyValue(tags[i].key, text)) image.setMetadata(model, tags[i].key, tag);
  }
}

}  // namespace

void CopyDngTags(const QString& path, ur::CxImage& image) {
  const TiffHandle tif = OpenQuietly(path);
  if (!tif) return;
  CopyTextTags(tif.get(), kMainTags, std::size(kMainTags), FIMD_EXIF_MAIN, image);
  toff_t exifOffset = 0;
  if (TIFFGetField(tif.get(), TIFFTAG_EXIFIFD, &exifOffset) && exifOffset != 0 &&
      TIFFReadEXIFDirectory(tif.get(), exifOffset))
    CopyTextTags(tif.get(), kExifTags, std::size(kExifTags), FIMD_EXIF_EXIF, image);
}

}  // namespace urs::zel
