#pragma once
// Single-file conversion of an input frame into an 8-bit ZEL image file. Nothing is written on
// failure, and everything allocated is released on every path.

#include <zel/types.h>
#include <zel/zel_api_export.h>

#include <ur/image_buf.h>

#include <QRect>
#include <QString>

namespace urs::zel {

// The full form: region, requested bit depth, thresholds, demosaicing, normalisation and plug-in.
// Logs every failing step and the step timings. Codes: InvalidArg(3) input deeper than bitDepth,
// InvalidArg(5) bad region or algorithm, rc::Fail for a failing step, 0 on success.
ZEL_API_EXPORT unsigned int ConvertFileToZel(unsigned long long pluginId, const QString& inputFile,
                                             const QString& outputFile, int bitDepth,
                                             const QRect& roi, bool useThreshold, int low0,
                                             int high0, int low1, int high1, int low2, int high2,
                                             ur::ExBayerGrid bayerGrid,
                                             DemosaicAlgorithm algorithm,
                                             ZelChannelNormalization normalization);

// The short form used by the console converter: bit depth detected from the samples, first
// plug-in, no thresholds, separated normalisation. Logs nothing; returns the failing step's code.
ZEL_API_EXPORT unsigned int ConvertFileToZel8(const QString& inputFile, const QString& outputFile,
                                              ur::ExBayerGrid bayerGrid,
                                              DemosaicAlgorithm algorithm);

}  // namespace urs::zel
