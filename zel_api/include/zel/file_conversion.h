#pragma once
// Single-file conversion of an input frame into an 8-bit ZEL image file. Nothing is written on
// failure, and everything allocated is released on every path.
//
// Both forms refuse, before reading any pixels or writing anything, an output that is not a PNG
// file and inputs whose values could not be restored: ZEL images, colour images, images with an
// alpha channel, samples wider than 16 bits, linear (demosaiced), lossy or undecodable DNGs and
// suffixes no reader takes. Each refusal is a warning that names the file and the reason, with
// rc::Unsupported (rc::NotZelImage for a ".dng" that holds no DNG). 8- and 16-bit samples are
// compacted through the plug-in operation of their width.

#include <zel/types.h>
#include <zel/zel_api_export.h>

#include <ur/image_buf.h>

#include <QRect>
#include <QString>

namespace urs::zel {

// The full form: region, requested bit depth, thresholds, demosaicing, normalisation and plug-in.
// Logs every failing step and the step timings (debug, in milliseconds). Codes: InvalidArg(3)
// input deeper than bitDepth, InvalidArg(5) bad region or algorithm, the refusals above,
// rc::Fail for a failing step, 0 on success.
ZEL_API_EXPORT unsigned int ConvertFileToZel(unsigned long long pluginId, const QString& inputFile,
                                             const QString& outputFile, int bitDepth,
                                             const QRect& roi, bool useThreshold, int low0,
                                             int high0, int low1, int high1, int low2, int high2,
                                             ur::ExBayerGrid bayerGrid,
                                             DemosaicAlgorithm algorithm,
                                             ZelChannelNormalization normalization);

// The short form used by the console converter: bit depth detected from the samples, first
// plug-in, no thresholds, separated normalisation. Logs its refusals, the step timings (debug)
// and a warning when Simple demosaicing drops an odd last row or column; a failing step returns
// its code without a message. Codes: InvalidArg(1) missing input, InvalidArg(2) empty output,
// the refusals above, the failing step's code.
ZEL_API_EXPORT unsigned int ConvertFileToZel8(const QString& inputFile, const QString& outputFile,
                                              ur::ExBayerGrid bayerGrid,
                                              DemosaicAlgorithm algorithm);

}  // namespace urs::zel
