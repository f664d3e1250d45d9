#include "conversion_steps.h"

#include "dng_raw.h"

#include <zel/compaction.h>
#include <zel/occupied_levels.h>
#include <zel/zel_file.h>

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>

#include <algorithm>
#include <cstdint>
#include <utility>

namespace urs::zel::detail {

namespace {

namespace rc = ur::rc;

unsigned short MaximumOf(int count) {
  return count > 0 ? static_cast<unsigned short>(count - 1) : 0;
}

QString Tr(const char* text) { return QCoreApplication::translate("ZelConversion", text); }

// Logs "Cannot convert <file>: <reason>." and gives code.
ur::Result Refuse(const QString& inputFile, const QString& reason,
                  ur::Result code = rc::Unsupported) {
  qWarning().noquote() << Tr("Cannot convert %1: %2.").arg(inputFile, reason);
  return code;
}

QString LowerSuffix(const QString& path) { return QFileInfo(path).suffix().toLower(); }

bool HasZelName(const QString& path) {
  return QFileInfo(path).fileName().endsWith(QLatin1String(".zel.png"), Qt::CaseInsensitive);
}

// The tag is looked up in the file's metadata alone: the format manager's loaders keep none.
bool CarriesZelRecord(const QString& path) {
  ur::CxImage tags;
  bool isZel = false;
  return ur::Succeeded(tags.loadMetadata(path)) && ur::Succeeded(IsZelImage(tags, isZel)) &&
         isZel;
}

QString ZelImageReason() {
  return Tr("it is already a ZEL image; restore it with the reverse conversion (zelconv -r)");
}

QString ColourImageReason() {
  return Tr("colour images are not supported; convert the raw mosaic (one channel) instead");
}

ur::Result CheckDngFile(const QString& inputFile) {
  const DngRawFacts facts = InspectDngRaw(inputFile);
  if (!facts.isDng)
    return Refuse(inputFile, Tr("it is not a DNG file the converter can read"), rc::NotZelImage);
  if (!facts.decodable)
    return Refuse(inputFile, Tr("its raw data is stored in a form the DNG reader cannot decode "
                                "(an unsupported compression or sample format)"));
  if (!facts.complete)
    return Refuse(inputFile, Tr("its raw image data is missing or cut short"), rc::Fail);
  // A lossy file's samples are not the sensor's values, whatever its layout.
  if (facts.lossy)
    return Refuse(inputFile, Tr("lossy DNG files are not supported, as their samples are not "
                                "the sensor's values"));
  if (facts.linear)
    return Refuse(inputFile, Tr("linear (demosaiced) DNG files are not supported; convert a DNG "
                                "that holds the raw mosaic"));
  return rc::Ok;
}

}  // namespace

void LogTiming(const char* format, qint64 milliseconds) {
  qDebug().noquote() << QString::fromLatin1(format).arg(
                            QStringLiteral("%1 ms").arg(milliseconds));
}

ur::Result CheckZelOutputName(const QString& outputFile) {
  if (LowerSuffix(outputFile) == QLatin1String("png")) return rc::Ok;
  qWarning().noquote()
      << Tr("The output file %1 must be a PNG image (.zel.png): ZEL images are PNG files.")
             .arg(outputFile);
  return rc::Unsupported;
}

ur::Result CheckInputFile(const QString& inputFile) {
  if (!QFileInfo(inputFile).isFile()) return rc::Ok;
  const QString suffix = LowerSuffix(inputFile);
  if (suffix == QLatin1String("dng")) return CheckDngFile(inputFile);
  if (suffix == QLatin1String("png")) {
    if (HasZelName(inputFile) || CarriesZelRecord(inputFile))
      return Refuse(inputFile, ZelImageReason());
    return rc::Ok;
  }
  for (const char* accepted : {"tif", "tiff", "mat", "txt", "fit", "fits", "fts"})
    if (suffix == QLatin1String(accepted)) return rc::Ok;
  return Refuse(inputFile, Tr("files with the suffix \"%1\" are not an input format; the "
                              "converter reads PNG, TIFF, DNG, FITS, MATLAB and text images")
                               .arg(suffix));
}

// True when a four-channel image's alpha (its last channel, in 8- and 16-bit order alike) is
// opaque everywhere: a colour palette is loaded that way, and it is colour, not transparency.
bool AlphaIsOpaque(const ur::SxImageBuf& input) {
  if (input.channels != 4 || input.planar) return false;
  const int bytes = ur::BytesPerSample(input.dataType);
  for (int y = 0; y < input.height; ++y) {
    const unsigned char* row = ur::RowPtr(input, y);
    for (int x = 0; x < input.width; ++x) {
      if (bytes == 1 && row[4 * x + 3] != 0xFF) return false;
      if (bytes == 2 && reinterpret_cast<const std::uint16_t*>(row)[4 * x + 3] != 0xFFFF)
        return false;
      if (bytes != 1 && bytes != 2) return false;
    }
  }
  return true;
}

ur::Result CheckInputImage(const QString& inputFile, const ur::CxImage& image,
                           const ur::SxImageBuf& input) {
  bool isZel = false;
  if (ur::Succeeded(IsZelImage(image, isZel)) && isZel)
    return Refuse(inputFile, ZelImageReason());
  switch (input.channels) {
    case 1:
      break;
    case 3:
      return Refuse(inputFile, ColourImageReason());
    case 4:
      if (AlphaIsOpaque(input))
        return Refuse(inputFile, ColourImageReason());
      [[fallthrough]];
    case 2:
      return Refuse(inputFile, Tr("images with an alpha channel are not supported"));
    default:
      return Refuse(inputFile, Tr("images of %1 channels are not supported").arg(input.channels));
  }
  const int bytes = ur::BytesPerSample(input.dataType);
  if (bytes != 1 && bytes != 2)
    return Refuse(inputFile, Tr("only 8- and 16-bit integer samples are supported"));
  return rc::Ok;
}

void WarnDroppedEdges(const QString& inputFile, const ur::SxImageBuf& input,
                      DemosaicAlgorithm algorithm) {
  if (!IsMosaic(input.bayerGrid) || algorithm != Simple) return;
  const bool oddWidth = input.width % 2 != 0;
  const bool oddHeight = input.height % 2 != 0;
  if (!oddWidth && !oddHeight) return;
  const QString dropped = oddWidth && oddHeight ? Tr("last row and column")
                          : oddWidth           ? Tr("last column")
                                               : Tr("last row");
  qWarning().noquote() << Tr("%1: Simple demosaicing takes whole 2x2 cells, so the %2 of the "
                             "%3x%4 frame is dropped; the ZEL image is %5x%6.")
                              .arg(inputFile, dropped)
                              .arg(input.width)
                              .arg(input.height)
                              .arg(input.width / 2)
                              .arg(input.height / 2);
}

void WarnInexactRoundTrip(const QString& inputFile, const ur::SxImageBuf& working,
                          const unsigned short maxima[3], ur::ExBayerGrid grid,
                          DemosaicAlgorithm algorithm) {
  const QString channelNames[3] = {Tr("red"), Tr("green"), Tr("blue")};
  for (int c = 0; c < working.channels && c < 3; ++c) {
    const int levels = maxima[c] + 1;
    if (levels <= kExactLevels) continue;
    const QString where = working.channels == 1
                              ? Tr("the image holds")
                              : Tr("the %1 channel holds").arg(channelNames[c]);
    qWarning().noquote() << Tr("%1: %2 %3 levels, more than the %4 a ZEL image keeps exactly; "
                               "the way back gives each sample the nearest stored level.")
                                .arg(inputFile, where)
                                .arg(levels)
                                .arg(kExactLevels);
  }
  if (IsMosaic(grid) && algorithm == Simple)
    qWarning().noquote() << Tr("%1: Simple demosaicing averages the two greens of each 2x2 cell, "
                               "so the way back cannot give the mosaic exactly; interpolating "
                               "demosaicing keeps every site's value.")
                                .arg(inputFile);
}

ur::Result AllocWorkingBuffer(const ur::SxImageBuf& input, const QSize& region,
                              DemosaicAlgorithm algorithm, ur::ScopedImageBuf& working) {
  const bool mosaic = IsMosaic(input.bayerGrid);
  const bool halfSize = mosaic && algorithm == Simple;
  const int width = halfSize ? region.width() / 2 : region.width();
  const int height = halfSize ? region.height() / 2 : region.height();
  ur::ScopedImageBuf allocated;
  const ur::Result r = ur::AllocBuffer(allocated.get(), width, height, mosaic ? 3 : 1,
                                       input.bitDepth, input.dataType);
  if (ur::Succeeded(r)) working = std::move(allocated);
  return r;
}

ur::Result AllocZelBuffer(const ur::SxImageBuf& working, ur::ScopedImageBuf& zel) {
  ur::ScopedImageBuf allocated;
  const ur::Result r = ur::AllocBuffer(allocated.get(), working.width, working.height,
                                       working.channels, 8, ur::eImageDataUInt8);
  if (ur::Succeeded(r)) zel = std::move(allocated);
  return r;
}

QString LevelStepName(LevelStep step) {
  switch (step) {
    case LevelStep::Mark: return QStringLiteral("zel::GetOccupiedLevels()");
    case LevelStep::Count: return QStringLiteral("zel::GetLevelsCount()");
    case LevelStep::Map: break;
  }
  return QStringLiteral("zel::GetZelChannelMapping()");
}

ur::Result AnalyseLevels(const ur::SxImageBuf& working, const ThresholdPairs& pairs,
                         ZelMetadata& record, unsigned short maxima[3], LevelStep& failed) {
  std::fill(maxima, maxima + 3, static_cast<unsigned short>(0));
  failed = LevelStep::Mark;
  if (working.bitDepth < 1 || working.bitDepth > kMaxBitDepth) return rc::Fail;
  record.levelsCount = LevelsCountOf(working.bitDepth);
  const int channels = working.channels == 3 ? 3 : 1;
  for (int c = 0; c < channels; ++c)
    if (!record.allocateChannel(c)) return rc::Fail;

  unsigned short seen[3] = {0, 0, 0};
  ur::Result r = GetOccupiedLevels(working, record.occupied[0], record.occupied[1],
                                   record.occupied[2], record.levelsCount, seen[0], seen[1],
                                   seen[2], pairs.use, pairs.low[0], pairs.high[0], pairs.low[1],
                                   pairs.high[1], pairs.low[2], pairs.high[2]);
  if (ur::Failed(r)) return r;

  failed = LevelStep::Count;
  int counts[3] = {0, 0, 0};
  r = GetLevelsCount(record.occupied[0], record.occupied[1], record.occupied[2],
                     record.levelsCount, counts[0], counts[1], counts[2]);
  if (ur::Failed(r)) return r;

  failed = LevelStep::Map;
  r = GetZelChannelMapping(record.occupied[0], record.occupied[1], record.occupied[2],
                           record.mapping[0], record.mapping[1], record.mapping[2],
                           record.levelsCount);
  if (ur::Failed(r)) return r;
  for (int c = 0; c < 3; ++c) maxima[c] = MaximumOf(counts[c]);
  return rc::Ok;
}

ur::Result CompactBySampleWidth(unsigned long long pluginId, const ur::SxImageBuf& working,
                                ur::SxImageBuf& zel, const ZelMetadata& record,
                                const unsigned short maxima[3],
                                ZelChannelNormalization normalization) {
  const int bytes = ur::BytesPerSample(working.dataType);
  ur::SxImageBuf samples = working;
  samples.bitDepth = std::min(working.bitDepth, 8 * bytes);
  switch (bytes) {
    case 1:
      // One-byte samples have at most 256 levels, so every maximum fits a byte.
      return Convert8ToZel8(pluginId, samples, zel, record.mapping[0], record.mapping[1],
                            record.mapping[2], static_cast<unsigned char>(maxima[0]),
                            static_cast<unsigned char>(maxima[1]),
                            static_cast<unsigned char>(maxima[2]), normalization);
    case 2:
      return Convert16ToZel8(pluginId, samples, zel, record.mapping[0], record.mapping[1],
                             record.mapping[2], maxima[0], maxima[1], maxima[2], normalization);
    default:
      return rc::Unsupported;
  }
}

void FillRecord(ZelMetadata& record, const unsigned short maxima[3],
                ZelChannelNormalization normalization, const ThresholdPairs& pairs,
                ur::ExBayerGrid grid, DemosaicAlgorithm algorithm,
                QVector<InvalidPixel> invalidPixels) {
  record.verMajor = 2;
  record.verMinor = 0;
  const unsigned short largest = *std::max_element(maxima, maxima + 3);
  for (int c = 0; c < 3; ++c) {
    record.normalization[c] = normalization == Together ? largest : maxima[c];
    // A negative threshold is kept as its 16-bit two's complement (-1 -> 65535).
    record.thresholds[c][0] = static_cast<unsigned short>(pairs.low[c]);
    record.thresholds[c][1] = static_cast<unsigned short>(pairs.high[c]);
  }
  record.normalization[3] = 0;
  record.applyThreshold = pairs.use;
  record.bayerGrid = grid;
  record.debayer = algorithm;
  record.zelType = 0;
  record.invalidPixels = std::move(invalidPixels);
}

}  // namespace urs::zel::detail
