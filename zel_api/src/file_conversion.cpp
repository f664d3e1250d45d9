// The full single-file conversion: region, requested bit depth, thresholds and normalisation,
// every failing step logged under its name.
#include <zel/file_conversion.h>

#include "conversion_steps.h"

#include <zel/input_reading.h>
#include <zel/thresholding.h>
#include <zel/zel_file.h>

#include <ur/bit_depth.h>
#include <ur/result.h>

#include <utility>

namespace urs::zel {

namespace {

namespace rc = ur::rc;
using detail::LogTiming;
using detail::ThresholdPairs;

// The search window the converter hands to thresholding: every ring the search has.
constexpr int kThresholdWindow = kThresholdMaxWindow;

ur::Result StepFailed(const QString& step, ur::Result code) {
  ur::LogFunctionFailed(step, code);
  return rc::Fail;
}

// The input and its pixels, with the file's grid or, when it has none, the caller's. An input
// that cannot be restored is refused before anything else is done with it.
ur::Result ReadInput(const QString& path, ExBayerGrid bayerGrid, ur::CxImage& image,
                     SxImageBuf& input) {
  ExBayerGrid fileGrid = ur::eBayerNone;
  ur::Result r = ReadRawImage(path, image, fileGrid);
  if (ur::Failed(r)) return StepFailed(QStringLiteral("ReadRawImage()"), r);
  r = image.getImageBuf(input);
  if (ur::Failed(r)) return StepFailed(QStringLiteral("CxImage::getImageBuf()"), r);
  r = detail::CheckInputImage(path, image, input);
  if (ur::Failed(r)) return r;
  input.bayerGrid = fileGrid != ur::eBayerNone ? fileGrid : bayerGrid;
  return rc::Ok;
}

// Reported without a message: the input may be raised to bitDepth but not
// reduced, and the region must have even sides and lie wholly inside the image.
ur::Result CheckDepthAndRegion(SxImageBuf& input, int bitDepth, const QRect& roi) {
  // Deeper levels than 2-byte samples hold cannot be tabled (2^bitDepth entries per channel).
  if (bitDepth < 1 || bitDepth > detail::kMaxBitDepth) return rc::InvalidArg(3);
  // A file may declare fewer bits than its samples use (a DNG white level below the data);
  // such samples would index past the level tables, so they count as deeper input. The whole
  // image counts, as the ZEL writer checks the whole source.
  SxImageBuf needed = input;
  if (ur::Succeeded(ur::DetectColorBitDepth(needed, 8 * ur::BytesPerSample(input.dataType))) &&
      needed.bitDepth > input.bitDepth)
    input.bitDepth = needed.bitDepth;
  if (input.bitDepth > bitDepth) return rc::InvalidArg(3);
  input.bitDepth = bitDepth;
  if (roi.width() % 2 != 0 || roi.height() % 2 != 0) return rc::InvalidArg(5);
  const QRect image(0, 0, input.width, input.height);
  if (roi.isEmpty() || roi.intersected(image).size() != roi.size()) return rc::InvalidArg(5);
  return rc::Ok;
}

// The region demosaiced (a mosaic) or copied (no grid) into a buffer of its own.
ur::Result MakeWorkingBuffer(const SxImageBuf& input, const QRect& roi,
                             DemosaicAlgorithm algorithm, ur::ScopedImageBuf& working) {
  ur::Result r = detail::AllocWorkingBuffer(input, roi.size(), algorithm, working);
  if (ur::Failed(r)) return StepFailed(QStringLiteral("ur::AllocBuffer()"), r);
  r = Demosaic(input, roi, working.get(), algorithm);
  if (ur::Failed(r)) {
    ur::LogFunctionFailed(QStringLiteral("zel::Demosaic()"), r);
    // An unknown algorithm is the caller's mistake and keeps its own code.
    return r == rc::InvalidArg(5) ? r : rc::Fail;
  }
  return rc::Ok;
}

// Over- and under-exposed samples replaced in place, neighbours drawn from a mirrored
// copy framed by the search window.
ur::Result ReplaceExposedSamples(SxImageBuf& working, const ThresholdPairs& pairs,
                                 QVector<InvalidPixel>& invalidPixels) {
  ur::ScopedImageBuf border;
  ur::Result r = ur::AllocBuffer(border.get(), working.width + 2 * kThresholdWindow,
                                 working.height + 2 * kThresholdWindow, working.channels,
                                 working.bitDepth, working.dataType);
  if (ur::Failed(r)) {
    ur::LogFunctionFailed(QStringLiteral("imageapi:AllocBuffer()"), r, true);
    return rc::Fail;
  }
  r = ApplyThreshold(working, pairs.low[0], pairs.high[0], pairs.low[1], pairs.high[1],
                     pairs.low[2], pairs.high[2], border.get(), kThresholdWindow, invalidPixels);
  if (ur::Failed(r)) return StepFailed(QStringLiteral("zel::ApplyThreshold()"), r);
  return rc::Ok;
}

// The 8-bit samples, through the operation of the working buffer's sample width.
ur::Result CompactToZel8(unsigned long long pluginId, const SxImageBuf& working,
                         const ZelMetadata& record, const unsigned short maxima[3],
                         ZelChannelNormalization normalization, ur::ScopedImageBuf& zel) {
  ur::Result r = detail::AllocZelBuffer(working, zel);
  if (ur::Failed(r)) return StepFailed(QStringLiteral("ur::AllocBuffer()"), r);
  r = detail::CompactBySampleWidth(pluginId, working, zel.get(), record, maxima, normalization);
  if (ur::Failed(r)) return StepFailed(QStringLiteral("zel::ConvertToZel8()"), r);
  return rc::Ok;
}

// The output image and its file, which is written only here.
ur::Result SaveZelFile(const ur::CxImage& image, const QRect& roi, SxImageBuf& zel,
                       const ZelMetadata& record, int bitDepth, bool demosaiced,
                       const QString& outputFile) {
  ur::CxImage output;
  ur::Result r = CreateZelImageForSave8(image, roi, zel, output, record, bitDepth, demosaiced);
  if (ur::Failed(r)) return StepFailed(QStringLiteral("CreateZelImageForSave8()"), r);
  r = WriteZelImage(output, outputFile, nullptr);
  if (ur::Failed(r)) return StepFailed(QStringLiteral("WriteZelImage()"), r);
  return r;
}

}  // namespace

unsigned int ConvertFileToZel(unsigned long long pluginId, const QString& inputFile,
                              const QString& outputFile, int bitDepth, const QRect& roi,
                              bool useThreshold, int low0, int high0, int low1, int high1,
                              int low2, int high2, ExBayerGrid bayerGrid,
                              DemosaicAlgorithm algorithm, ZelChannelNormalization normalization) {
  ur::Result r = detail::CheckZelOutputName(outputFile);
  if (ur::Failed(r)) return r;
  r = detail::CheckInputFile(inputFile);
  if (ur::Failed(r)) return r;
  detail::StepClock clock;
  ur::CxImage image;
  SxImageBuf input;
  r = ReadInput(inputFile, bayerGrid, image, input);
  if (ur::Failed(r)) return r;
  LogTiming("ReadRawImage() took %1", clock.lap());

  r = CheckDepthAndRegion(input, bitDepth, roi);
  if (ur::Failed(r)) return r;
  ur::ScopedImageBuf working;
  r = MakeWorkingBuffer(input, roi, algorithm, working);
  if (ur::Failed(r)) return r;
  LogTiming("Demosaic() took %1", clock.lap());

  const ThresholdPairs pairs{useThreshold, {low0, low1, low2}, {high0, high1, high2}};
  ZelMetadata record;  // owns the occupancy arrays and mapping tables
  unsigned short maxima[3] = {0, 0, 0};
  detail::LevelStep failedStep = detail::LevelStep::Mark;
  r = detail::AnalyseLevels(working.get(), pairs, record, maxima, failedStep);
  if (ur::Failed(r)) return StepFailed(detail::LevelStepName(failedStep), r);
  detail::WarnInexactRoundTrip(inputFile, working.get(), maxima, input.bayerGrid, algorithm);
  // After the analysis, which has already folded the thresholded levels.
  QVector<InvalidPixel> invalidPixels;
  if (useThreshold) {
    r = ReplaceExposedSamples(working.get(), pairs, invalidPixels);
    if (ur::Failed(r)) return r;
  }
  ur::ScopedImageBuf zel;
  r = CompactToZel8(pluginId, working.get(), record, maxima, normalization, zel);
  if (ur::Failed(r)) return r;
  LogTiming("ConvertToZel8() took %1", clock.lap());

  detail::FillRecord(record, maxima, normalization, pairs, input.bayerGrid, algorithm,
                     std::move(invalidPixels));
  r = SaveZelFile(image, roi, zel.get(), record, bitDepth, detail::IsMosaic(input.bayerGrid),
                  outputFile);
  if (ur::Failed(r)) return r;
  LogTiming("WriteImage() took %1", clock.lap());
  LogTiming("Total time %1", clock.total());
  return r;
}

}  // namespace urs::zel
