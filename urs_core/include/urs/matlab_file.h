#pragma once
// MATLAB level-5 files (".mat"): opening and closing them, writing numeric and text variables,
// writing an image as one matrix per plane and reading such an image back with its metadata.
//
// Layout of an image named <name> (by default "ur_image"): one rows x columns matrix per plane,
// rows = image height and columns = image width, element (r, c) holding pixel (x = c, y = r).
// Planes are named <name>_channel_1, _channel_2, ...; a one-channel 2x2 mosaic written as it is
// takes the grid as suffix (<name>_BGGR, _RGGB, _GBRG, _GRBG); the four planes of a raw planar
// image written with bayerPlanes are <name>_channel_R, _channel_G1, _channel_B, _channel_G2.
// "ur_image_metadata" holds the image's metadata collection as XML text.
//
// Entropy images are sets of double matrices named <prefix>_channel_R, _G1, _B, _G2 or
// <prefix>_channel_1 to _3; the prefixes read are "PIG" and "PDG".
//
// A file handle is the matio file pointer, passed as void*.

#include <urs/urs_core_export.h>

#include <ur/image_buf.h>
#include <ur/metadata.h>

#include <QString>

namespace urs::matlab {

// Opens an existing file read-only; null when it cannot be opened, or when one of its variables
// claims more than the file holds (checked before matio reads it).
URS_CORE_EXPORT void* MatOpenRead(const QString& path);
// Creates (or truncates) a MATLAB 5 file; null when it cannot be created.
URS_CORE_EXPORT void* MatOpenWrite(const QString& path);
// Closes the file; true when everything was flushed and closed.
URS_CORE_EXPORT bool MatClose(void* mat);

// Writes value as a 1 x n character matrix of its UTF-8 bytes. False for a null file, an
// empty name, or when the variable cannot be created or written.
URS_CORE_EXPORT bool AddVar(void* mat, const QString& value, const QString& name);
// Writes a rows x cols double matrix from data, given in MATLAB's column-major order.
// False as above, and for null data.
URS_CORE_EXPORT bool AddVar(void* mat, double* data, int rows, int cols, const QString& name);

// Writes the image (top row first) as one matrix per plane: a mosaic is split into its planes,
// an interleaved colour image into one plane per channel; with reverseRows the bottom row
// becomes the first matrix row. With bayerPlanes a one-channel mosaic is written as one matrix
// named by its grid and a four-channel planar image as its four Bayer planes. savedInfo receives
// the description of what was written (transposed: width = rows of the matrices). False for a
// null file, an image without pixels, a data type MATLAB files do not hold (complex, unknown),
// or when a conversion, allocation or write fails.
URS_CORE_EXPORT bool AddImage(void* mat, const ur::SxImageBuf& image, const QString& name,
                              bool reverseRows, ur::SxImageInfo& savedInfo, bool bayerPlanes);

// Creates the file at path and writes the image under name as AddImage does (without
// bayerPlanes). False when the file cannot be created, written or closed.
URS_CORE_EXPORT bool SaveEntropyImageToMat(const ur::SxImageBuf& image, const QString& name,
                                           const QString& path, bool reverseRows);

// Reads an image: an entropy image when the file holds one (isEntropy then true); otherwise the
// channels the stored metadata names, under the default name or the name the saver was given,
// or else the first variable of the file that holds a matrix of a readable class.
// Classes read: double, single, int8, uint8, int16, uint16, int32, uint32. Rows reversed and a
// mosaic split for writing are restored from the metadata. image is allocated here (the
// caller frees it with FreeBuffer); metadata (may be null) receives the stored collection.
// False for a missing, unreadable or damaged file, an unsupported class, a variable that is
// not two-dimensional, channels that differ in class or size, and a file with no image; image
// then holds no pixels, and reason (may be null) says why, naming the variable
// ("MATLAB variable 'x' is a sparse matrix: not supported").
URS_CORE_EXPORT bool LoadImageFromMat(const QString& path, ur::SxImageBuf& image, bool& isEntropy,
                                      ur::CxMetadata* metadata, QString* reason = nullptr);

// Reads the entropy image of the prefix: up to four Bayer planes or up to three channels of
// doubles, all of one size; planar when more than one. image is allocated here and is left
// untouched on failure.
URS_CORE_EXPORT bool LoadEntropyImageFromMat(const QString& prefix, const QString& path,
                                             ur::SxImageBuf& image);

}  // namespace urs::matlab
