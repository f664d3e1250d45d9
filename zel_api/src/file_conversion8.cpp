// The short single-file conversion of the console converter: the whole image, its bit depth
// detected from the samples, the first plug-in, no thresholds. Logs nothing of its own.
#include <zel/file_conversion.h>

#include "conversion_steps.h"

#include <zel/compaction.h>
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

// Step 2: the first loaded plug-in's id, 0 when none is loaded.
unsigned long long FirstPluginId() {
  QVector<ZelPluginInfo> plugins;
  if (ur::Failed(GetPlugins(plugins)) || plugins.isEmpty()) return 0;
  return plugins.first().id;
}

// Steps 3 and 4: the input's pixels with the grid after reading and the bit depth its samples
// need.
ur::Result ReadInput(const QString& path, ExBayerGrid& grid, ur::CxImage& image,
                     SxImageBuf& input) {
  const ur::Result r = ReadInputImage(path, image, grid);
  if (ur::Failed(r)) return r;
  if (ur::Failed(image.getImageBuf(input))) return rc::Fail;
  input.bayerGrid = grid;
  // Capped by the sample size only: a declared depth below the data (a DNG white level under
  // its samples) must not cut levels off the tables.
  if (ur::Failed(ur::DetectColorBitDepth(input, 8 * ur::BytesPerSample(input.dataType))))
    return rc::Fail;
  // Only 1- and 2-byte samples can be compacted; refusing deeper ones here keeps the level
  // tables (2^bitDepth entries) from being sized for them.
  const int bytes = ur::BytesPerSample(input.dataType);
  if (bytes != 1 && bytes != 2) return rc::Unsupported;
  return rc::Ok;
}

// Step 5 for a mosaic: the whole image demosaiced into a buffer of its own.
ur::Result DemosaicWhole(const SxImageBuf& input, DemosaicAlgorithm algorithm,
                         ur::ScopedImageBuf& demosaiced) {
  const QRect whole(0, 0, input.width, input.height);
  if (ur::Failed(detail::AllocWorkingBuffer(input, whole.size(), algorithm, demosaiced)))
    return rc::Fail;
  if (ur::Failed(Demosaic(input, whole, demosaiced.get(), algorithm))) return rc::Fail;
  return rc::Ok;
}

// Step 11: the operation that matches the sample width, maxima and Separated normalisation.
ur::Result Compact(unsigned long long pluginId, const SxImageBuf& working, SxImageBuf& zel,
                   const ZelMetadata& record, const unsigned short maxima[3]) {
  switch (ur::BytesPerSample(working.dataType)) {
    case 1:
      // One-byte samples have at most 256 levels, so every maximum fits a byte.
      return Convert8ToZel8(pluginId, working, zel, record.mapping[0], record.mapping[1],
                            record.mapping[2], static_cast<unsigned char>(maxima[0]),
                            static_cast<unsigned char>(maxima[1]),
                            static_cast<unsigned char>(maxima[2]), Separated);
    case 2:
      return Convert16ToZel8(pluginId, working, zel, record.mapping[0], record.mapping[1],
                             record.mapping[2], maxima[0], maxima[1], maxima[2], Separated);
    default:
      return rc::Unsupported;
  }
}

}  // namespace

unsigned int ConvertFileToZel8(const QString& inputFile, const QString& outputFile,
                               ExBayerGrid bayerGrid, DemosaicAlgorithm algorithm) {
  if (!QFileInfo::exists(inputFile)) return rc::InvalidArg(1);
  if (outputFile.isEmpty()) return rc::InvalidArg(2);
  const unsigned long long pluginId = FirstPluginId();
  if (pluginId == 0) return rc::Fail;

  ur::CxImage image;
  ExBayerGrid grid = bayerGrid;
  SxImageBuf input;
  ur::Result r = ReadInput(inputFile, grid, image, input);
  if (ur::Failed(r)) return r;
  // Without a grid the input's own pixels are analysed and compacted.
  const bool mosaic = detail::IsMosaic(grid);
  ur::ScopedImageBuf demosaiced;
  if (mosaic && ur::Failed(DemosaicWhole(input, algorithm, demosaiced))) return rc::Fail;
  const SxImageBuf& working = mosaic ? demosaiced.get() : input;

  ZelMetadata record;  // owns the occupancy arrays and mapping tables
  unsigned short maxima[3] = {0, 0, 0};
  detail::LevelStep failedStep = detail::LevelStep::Mark;
  r = detail::AnalyseLevels(working, detail::ThresholdPairs{}, record, maxima, failedStep);
  if (ur::Failed(r)) return failedStep == detail::LevelStep::Mark ? r : rc::Fail;

  ur::ScopedImageBuf zel;
  if (ur::Failed(detail::AllocZelBuffer(working, zel))) return rc::Fail;
  r = Compact(pluginId, working, zel.get(), record, maxima);
  if (ur::Failed(r)) return r;

  detail::FillRecord(record, maxima, Separated, detail::ThresholdPairs{}, grid, algorithm, {});
  ur::CxImage output;
  const QRect whole(0, 0, input.width, input.height);
  if (ur::Failed(CreateZelImageForSave8(image, whole, zel.get(), output, record, input.bitDepth,
                                        mosaic)))
    return rc::Fail;
  r = WriteZelImage(output, outputFile, nullptr);
  return ur::Failed(r) ? rc::Fail : r;
}

}  // namespace urs::zel
