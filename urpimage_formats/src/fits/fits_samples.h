#pragma once
// FITS data arrays and image buffers: big-endian samples, the file's first row being the
// picture's bottom row, and colour planes in logical channel order (red, green, blue, alpha),
// whatever order the buffer keeps them in memory.

#include <ur/image_buf.h>

#include <QIODevice>
#include <QString>

#include "fits/fits_header.h"

namespace ur::fits {

// The data of an image unit (the device at its first data byte) into an allocated buffer:
// interleaved, top row first, of the format's type. The bit depth is |BITPIX| for stored
// integers, found from the pixels for unsigned 16-bit data, and the sample width otherwise.
// False with error set when the image exceeds the loader's ceiling, memory runs out or the
// device cannot be read.
bool ReadImageData(QIODevice& device, const SxUnitHeader& header, const SxSampleFormat& format,
                   SxImageBuf& image, QString& error);

// BITPIX of a data type; 0 when the type cannot be written.
int BitpixOf(ExImageDataType type);
// BZERO of the stored samples of a data type: the offset of the unsigned 16- and 32-bit and
// the signed 8-bit conventions, 0 otherwise.
double StorageZeroOf(ExImageDataType type);

// Writes the image's samples (interleaved or planar, top row first) as a FITS data array,
// padded with zero bytes to whole blocks. False when the type cannot be written or a write
// fails.
bool WriteImageData(QIODevice& device, const SxImageBuf& image);

}  // namespace ur::fits
