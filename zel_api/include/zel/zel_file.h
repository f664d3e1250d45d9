#pragma once
// ZEL image files: ordinary 8-bit PNGs whose comment metadata holds the ZEL record as XML under
// the key "ZEL_MD" (an ASCII tag of Latin-1 text).

#include <zel/metadata.h>
#include <zel/zel_api_export.h>

#include <ur/image.h>

#include <QRect>
#include <QString>

namespace urs::zel {

// The key of the record's tag in the comment metadata.
ZEL_API_EXPORT extern const char* const kZelMetadataKey;  // "ZEL_MD"

// Makes the compacted 8-bit buffer (rows reversed here, in place) the pixels of output, copies the
// source's metadata and adds the "ZEL_MD" tag, which also names the source's sample width (8 or
// 16 bits, whatever the record's sampleBits). Codes: rc::Fail, InvalidArg(1) source,
// InvalidArg(3) zelBuffer, InvalidArg(5) mapping or normalisation, rc::OkWithoutRecord when the
// tag could not be made.
ZEL_API_EXPORT unsigned int CreateZelImageForSave8(const ur::CxImage& source, const QRect& roi,
                                                   SxImageBuf& zelBuffer, ur::CxImage& output,
                                                   const ZelMetadata& metadata, int bitDepth,
                                                   bool demosaiced);

// Writes a ZEL image that carries a non-empty record. errorText (may be null) receives the
// user message on failure. Codes: rc::Fail, rc::EmptyRecord, or the save's own code.
ZEL_API_EXPORT unsigned int WriteZelImage(ur::CxImage& image, const QString& path,
                                          QString* errorText);

// isZel: the image carries a non-empty "ZEL_MD" tag. Returns the tag lookup's code.
ZEL_API_EXPORT unsigned int IsZelImage(const ur::CxImage& image, bool& isZel);

// Loads a ZEL image and its record. Codes: rc::Fail, rc::NotZelImage.
ZEL_API_EXPORT unsigned int ReadZelImage(const QString& path, ur::CxImage& image,
                                         ZelMetadata& metadata);

// Parses the record of a loaded image, legacy or XML form.
ZEL_API_EXPORT unsigned int GetZelMetadata(const ur::CxImage& image, ZelMetadata& metadata);

// The output file name of an input: its complete base name followed by ".zel.png"
// ("frame.0001.tif" -> "frame.0001.zel.png"), without a folder.
ZEL_API_EXPORT QString ZelOutputFileName(const QString& inputPath);

}  // namespace urs::zel
