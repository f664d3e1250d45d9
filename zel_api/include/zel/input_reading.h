#pragma once
// Reading input frames: PNG, TIFF and integer FITS frames through the format manager, DNG raw
// images, MATLAB and text matrices through the shared image loader; and the demosaicing front
// of the converters.

#include <zel/types.h>
#include <zel/zel_api_export.h>

#include <ur/image.h>
#include <ur/image_buf.h>

#include <QRect>
#include <QString>
#include <QStringList>

namespace urs::zel {

using ur::ExBayerGrid;
using ur::SxImageBuf;

// Name filters of the accepted inputs: "*.png", "*.dng", "*.mat", "*.txt", "*.tif", "*.tiff",
// "*.fit", "*.fits", "*.fts". FITS frames are taken with 8-bit, unsigned 16-bit or non-negative
// signed 16-bit samples; others are refused with rc::Unsupported.
ZEL_API_EXPORT QStringList GetRawFilter();

// Reads an input frame for the directory converters. grid receives the file's Bayer grid (DNG) or
// none. Codes: rc::Unsupported for an unlisted suffix, the reader's code otherwise.
ZEL_API_EXPORT unsigned int ReadRawImage(const QString& path, ur::CxImage& image,
                                         ExBayerGrid& grid);

// Reads an input frame for the single-file converter. A DNG replaces grid with the file's grid, a
// MATLAB or text file sets it to none, other files leave it. An unlisted suffix reads nothing and
// returns rc::Ok. Codes: InvalidArg(1) missing file, rc::Unsupported, rc::Fail.
ZEL_API_EXPORT unsigned int ReadInputImage(const QString& path, ur::CxImage& image,
                                           ExBayerGrid& grid);

// Demosaics (or, for a source without a grid, copies) region of source into the caller-allocated
// destination: 3 channels, half the region's size for Simple. Codes: InvalidArg(5) for an
// unknown algorithm, rc::Fail when the pixel operation fails.
ZEL_API_EXPORT unsigned int Demosaic(const SxImageBuf& source, const QRect& region,
                                     SxImageBuf& destination, DemosaicAlgorithm algorithm);

}  // namespace urs::zel
