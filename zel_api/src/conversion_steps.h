#pragma once
// The steps both single-file converters take between reading the input and writing the ZEL
// image: sizing the working buffer, analysing its levels into the record, filling the record and
// sizing the 8-bit buffer. Each step returns a code; the converters decide what to log and what
// to return, since the full form reports every step and the short form reports nothing.

#include <zel/metadata.h>
#include <zel/types.h>

#include <ur/buffers.h>
#include <ur/image_buf.h>
#include <ur/result.h>

#include <QElapsedTimer>
#include <QRect>
#include <QString>
#include <QVector>

namespace urs::zel::detail {

// Any grid but none asks for demosaicing; one that names no 2x2 cell fails there.
inline bool IsMosaic(ur::ExBayerGrid grid) { return grid != ur::eBayerNone; }

// The deepest samples the converters handle: 2-byte samples, 65536 levels per channel.
constexpr int kMaxBitDepth = 16;

// 2^bitDepth, the entries of every occupancy array and mapping table; bitDepth in
// 1..kMaxBitDepth.
inline int LevelsCountOf(int bitDepth) { return 1 << bitDepth; }

// Milliseconds since the start of a conversion and since the previous lap.
class StepClock {
public:
  StepClock() {
    m_total.start();
    m_lap.start();
  }
  qint64 lap() { return m_lap.restart(); }
  qint64 total() const { return m_total.elapsed(); }

private:
  QElapsedTimer m_total;
  QElapsedTimer m_lap;
};

// Logs a step timing such as "Demosaic() took %1" at debug level.
void LogTiming(const char* format, qint64 milliseconds);

// Allocates the buffer that receives `region` of `input` (whose grid and bit depth are already
// the conversion's): three channels, half the region's width and height for Simple, when the
// grid is a mosaic; one channel of the region's size when it is none. Data type and bit depth
// are the input's. The allocation's code.
ur::Result AllocWorkingBuffer(const ur::SxImageBuf& input, const QSize& region,
                              DemosaicAlgorithm algorithm, ur::ScopedImageBuf& working);

// Allocates the 8-bit buffer of the working buffer's size and channels. The allocation's code.
ur::Result AllocZelBuffer(const ur::SxImageBuf& working, ur::ScopedImageBuf& zel);

// Threshold pairs of channels 0..2; without use they are only recorded.
struct ThresholdPairs {
  bool use = false;
  int low[3] = {0, 0, 0};
  int high[3] = {0, 0, 0};
};

// The parts of the level analysis, in order, to name the one that failed.
enum class LevelStep { Mark, Count, Map };

// The name a failing part is logged under ("zel::GetOccupiedLevels()", ...).
QString LevelStepName(LevelStep step);

// Analyses the levels of `working` (1 or 3 channels, its bit depth 1..kMaxBitDepth) into
// `record`: sets its levelsCount to 2^bitDepth and allocates the occupancy array and mapping
// table of each channel the buffer has (the record owns them; a grey buffer leaves channels 1
// and 2 null, so that the record describes only channels that exist), marks the occupied levels
// with the pairs, counts them and builds the rank mapping. maxima receive each channel's count
// minus 1 (0 for no level or an absent channel). On failure `failed` names the part and the
// part's code is returned; table allocation counts as marking (rc::Fail).
ur::Result AnalyseLevels(const ur::SxImageBuf& working, const ThresholdPairs& pairs,
                         ZelMetadata& record, unsigned short maxima[3], LevelStep& failed);

// Fills the rest of the record made by AnalyseLevels: version 2.0, zelType 0, the maxima as
// normalisation (under Together the largest for all three channels), the pairs as 16-bit values
// with their flag, the grid, the algorithm and the replaced pixels.
void FillRecord(ZelMetadata& record, const unsigned short maxima[3],
                ZelChannelNormalization normalization, const ThresholdPairs& pairs,
                ur::ExBayerGrid grid, DemosaicAlgorithm algorithm,
                QVector<InvalidPixel> invalidPixels);

}  // namespace urs::zel::detail
