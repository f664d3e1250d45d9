#pragma once
// The framework's metadata inside FreeImage bitmaps: the XML text in each format's comment or
// description field (see MetadataFieldOf), and a common image record built from EXIF tags when
// a file carries no XML.

#include "freeimage/freeimage_formats.h"

#include <ur/image_buf.h>
#include <ur/metadata.h>

namespace ur::freeimage {

// The metadata of a loaded bitmap, for formats with a metadata field (JPEG, PNG, TIFF, GIF,
// raw); other formats leave metadata empty. The XML of the field replaces metadata; an
// unparsable text logs "Failed to load the metadata.". From a common image record in it, buf
// takes the data type (when the bitmap was not a standard bitmap or had one channel, and only
// a type of the same sample size) and a larger bit depth that fits the data type. Without such
// a record one is built from the EXIF tags and added when any of them was present.
void ReadMetadata(FIBITMAP* bitmap, FREE_IMAGE_FORMAT format, bool standardBitmap,
                  CxMetadata& metadata, SxImageBuf& buf);

// The XML text (UTF-8) that the saver stores for metadata written as writtenType: the common
// image record's data type is set to writtenType first. Empty when metadata is empty or the
// format (JPEG, PNG, TIFF, GIF) carries none.
QByteArray MetadataXml(FREE_IMAGE_FORMAT format, const CxMetadata& metadata,
                       ExImageDataType writtenType);

// Stores xml (not empty) as a text tag in the format's field of a bitmap about to be saved.
// Returns false (after logging) when the tag cannot be made; true also when xml is empty.
bool WriteMetadata(FIBITMAP* bitmap, FREE_IMAGE_FORMAT format, const QByteArray& xml);

// A text tag of the model, or an empty string when absent or not text.
QString TagText(FIBITMAP* bitmap, FREE_IMAGE_MDMODEL model, const char* key);

}  // namespace ur::freeimage
