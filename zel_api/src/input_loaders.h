#pragma once
// The loaders behind ReadRawImage and ReadInputImage. On failure the target image is unchanged.

#include <ur/image.h>
#include <ur/image_buf.h>

#include <QString>

namespace urs::zel {

// Through the format manager. rc::Fail when it cannot load the file.
unsigned int LoadByFormatManager(const QString& path, ur::CxImage& image);

// A FITS frame through the format manager: 8-bit and unsigned 16-bit samples as they are,
// signed 16-bit samples as unsigned ones when none is negative. A refusal is logged as a warning
// that names the file and the reason.
// Codes: rc::Fail, rc::Unsupported (another sample type, negative samples).
unsigned int LoadFitsFrame(const QString& path, ur::CxImage& image);

// Through the shared image loader (MATLAB and text matrices): one channel of 8- or 16-bit
// unsigned samples. Doubles that are whole numbers within 0..65535 become 16-bit samples of the
// same values, with the bit depth of the largest; other doubles are spread over 16 bits by their
// minimum and maximum, with a warning naming that range. A refusal is logged as a warning that
// names the file and the reason.
// Codes: rc::Fail, rc::Unsupported (more than one channel, another sample type).
unsigned int LoadByImageLoader(const QString& path, ur::CxImage& image);

// The stored raw image of a DNG with its white-level bit depth, the Bayer grid of its top-left
// cell (none for a linear DNG), and the file's metadata. grid is set to none first.
// Codes: rc::NotZelImage not a DNG, rc::Unsupported samples other than 8/16-bit unsigned,
// rc::Fail undecodable data. Reads never overlap.
unsigned int ReadDngImage(const QString& path, ur::CxImage& image, ur::ExBayerGrid& grid);

}  // namespace urs::zel
