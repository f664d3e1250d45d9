// The short single-file conversion of the console converter: the whole image, its bit depth
// detected from the samples, the first plug-in, no thresholds. Logs its refusals and timings
// only; a failing step returns its code without a message.
#include <zel/file_conversion.h>

#include "conversion_steps.h"

#include <zel/input_reading.h>
#include <zel/plugin.h>
#include <zel/zel_file.h>

#include <ur/bit_depth.h>
#include <ur/result.h>

#include <QFileInfo>
#include <QVector>

namespace urs::zel {

namespace {

namespace rc = ur::rc;
using detail::LogTiming;

// The first loaded plug-in's id, 0 when none is loaded.
unsigned long long FirstPluginId() {
  QVector<ZelPluginInfo> plugins;
  if (ur::Failed(GetPlugins(plugins)) || plugins.isEmpty()) return 0;
  return plugins.first().id;
}

// The input's pixels with the grid after reading and the bit depth its samples
// need; an input that cannot be restored is refused before its levels are looked at.
ur::Result ReadInput(const QString& path, ExBayerGrid& grid, ur::CxImage& image,
                     SxImageBuf& input) {
  ur::Result r = ReadInputImage(path, image, grid);
  if (ur::Failed(r)) return r;
  if (ur::Failed(image.getImageBuf(input))) return rc::Fail;
  input.bayerGrid = grid;
  // Only 1- and 2-byte samples pass: deeper ones would size the level tables (2^bitDepth
  // entries) beyond what any table holds.
  r = detail::CheckInputImage(path, image, input);
  if (ur::Failed(r)) return r;
  // Capped by the sample size only: a declared depth below the data (a DNG white level under
  // its samples) must not cut levels off the tables.
  if (ur::Failed(ur::DetectColorBitDepth(input, 8 * ur::BytesPerSample(input.dataType))))
    return rc::Fail;
  return rc::Ok;
}

// A mosaic: the whole image demosaiced into a buffer of its own.
ur::Result DemosaicWhole(const QString& path, const SxImageBuf& input,
                         DemosaicAlgorithm algorithm, ur::ScopedImageBuf& demosaiced) {
  const QRect whole(0, 0, input.width, input.height);
  if (ur::Failed(detail::AllocWorkingBuffer(input, whole.size(), algorithm, demosaiced)))
    return rc::Fail;
  if (ur::Failed(Demosaic(input, whole, demosaiced.get(), algorithm))) return rc::Fail;
  detail::WarnDroppedEdges(path, input, algorithm);
  return rc::Ok;
}

}  // namespace

unsigned int ConvertFileToZel8(const QString& inputFile, const QString& outputFile,
                               ExBayerGrid bayerGrid, DemosaicAlgorithm algorithm) {
  if (!QFileInfo::exists(inputFile)) return rc::InvalidArg(1);
  if (outputFile.isEmpty()) return rc::InvalidArg(2);
  ur::Result r = detail::CheckZelOutputName(outputFile);
  if (ur::Failed(r)) return r;
  r = detail::CheckInputFile(inputFile);
  if (ur::Failed(r)) return r;
  const unsigned long long pluginId = FirstPluginId();
  if (pluginId == 0) return rc::Fail;

  detail::StepClock clock;
  ur::CxImage image;
  ExBayerGrid grid = bayerGrid;
  SxImageBuf input;
  r = ReadInput(inputFile, grid, image, input);
  if (ur::Failed(r)) return r;
  LogTiming("ReadInputImage() took %1", clock.lap());
  // Without a grid the input's own pixels are analysed and compacted.
  const bool mosaic = detail::IsMosaic(grid);
  ur::ScopedImageBuf demosaiced;
  if (mosaic) {
    if (ur::Failed(DemosaicWhole(inputFile, input, algorithm, demosaiced))) return rc::Fail;
    LogTiming("Demosaic() took %1", clock.lap());
  }
  const SxImageBuf& working = mosaic ? demosaiced.get() : input;

  ZelMetadata record;  // owns the occupancy arrays and mapping tables
  unsigned short maxima[3] = {0, 0, 0};
  detail::LevelStep failedStep = detail::LevelStep::Mark;
  r = detail::AnalyseLevels(working, detail::ThresholdPairs{}, record, maxima, failedStep);
  if (ur::Failed(r)) return failedStep == detail::LevelStep::Mark ? r : rc::Fail;
  detail::WarnInexactRoundTrip(inputFile, working, maxima, grid, algorithm);

  ur::ScopedImageBuf zel;
  if (ur::Failed(detail::AllocZelBuffer(working, zel))) return rc::Fail;
  r = detail::CompactBySampleWidth(pluginId, working, zel.get(), record, maxima, Separated);
  if (ur::Failed(r)) return r;
  LogTiming("ConvertToZel8() took %1", clock.lap());

  detail::FillRecord(record, maxima, Separated, detail::ThresholdPairs{}, grid, algorithm, {});
  ur::CxImage output;
  const QRect whole(0, 0, input.width, input.height);
  if (ur::Failed(CreateZelImageForSave8(image, whole, zel.get(), output, record, input.bitDepth,
                                        mosaic)))
    return rc::Fail;
  r = WriteZelImage(output, outputFile, nullptr);
  if (ur::Failed(r)) return rc::Fail;
  LogTiming("WriteImage() took %1", clock.lap());
  LogTiming("Total time %1", clock.total());
  return r;
}

}  // namespace urs::zel
