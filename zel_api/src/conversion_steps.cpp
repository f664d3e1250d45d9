#include "conversion_steps.h"

#include <zel/occupied_levels.h>

#include <QDebug>

#include <algorithm>
#include <utility>

namespace urs::zel::detail {

namespace {

namespace rc = ur::rc;

unsigned short MaximumOf(int count) {
  return count > 0 ? static_cast<unsigned short>(count - 1) : 0;
}

}  // namespace

void LogTiming(const char* format, qint64 milliseconds) {
  qDebug().noquote() << QString::fromLatin1(format).arg(milliseconds);
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
