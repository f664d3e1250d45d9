#pragma once
// The steps both single-file converters take around reading the input and writing the ZEL
// image: refusing what cannot be restored, sizing the working buffer, analysing its levels into
// the record, compacting, filling the record and sizing the 8-bit buffer. Each step returns a
// code; the converters decide what to log and what to return, since the full form reports every
// failing step and the short form only its refusals.

#include <zel/metadata.h>
#include <zel/types.h>

#include <ur/buffers.h>
#include <ur/image.h>
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

// Logs a step timing such as "Demosaic() took %1" at debug level, %1 being the milliseconds
// with their unit ("Demosaic() took 104 ms").
void LogTiming(const char* format, qint64 milliseconds);

// The checks below refuse, before any output is made, what the forward conversion could not
// restore. Each refusal is a warning naming the file and the reason.

// Refuses an output that is not a PNG file: only a PNG keeps the ZEL record. rc::Unsupported.
ur::Result CheckZelOutputName(const QString& outputFile);

// Refuses, before the pixels are read, a ZEL image (by its name or its "ZEL_MD" tag), a suffix
// no reader takes, and a DNG whose raw image is no lossless mosaic or cannot be decoded.
// rc::Unsupported, or rc::NotZelImage for a ".dng" that holds no DNG. A missing file passes: the
// reader reports it.
ur::Result CheckInputFile(const QString& inputFile);

// Refuses, after reading and before any analysis, an image the levels cannot describe: a ZEL
// image, colour or alpha channels, samples that are not 1 or 2 bytes. rc::Unsupported.
ur::Result CheckInputImage(const QString& inputFile, const ur::CxImage& image,
                           const ur::SxImageBuf& input);

// Simple demosaicing takes whole 2x2 cells: an odd last row or column of input is dropped, and
// the log says so.
void WarnDroppedEdges(const QString& inputFile, const ur::SxImageBuf& input,
                      DemosaicAlgorithm algorithm);

// Says, before anything is written, when the way back cannot give every source value: a channel
// of the working buffer with more than 256 occupied levels (maxima hold count - 1) comes back as
// the nearest stored level, and a mosaic demosaiced by Simple comes back with its two greens of
// each cell averaged.
void WarnInexactRoundTrip(const QString& inputFile, const ur::SxImageBuf& working,
                          const unsigned short maxima[3], ur::ExBayerGrid grid,
                          DemosaicAlgorithm algorithm);

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

// Compacts working (1- or 2-byte samples) into zel through the plug-in operation of its sample
// width, with the record's mapping tables and maxima. A bit depth raised above the samples'
// width (an 8-bit input converted as 16-bit data) is handed to the plug-in as that width.
// The operation's code; rc::Unsupported for other sample widths.
ur::Result CompactBySampleWidth(unsigned long long pluginId, const ur::SxImageBuf& working,
                                ur::SxImageBuf& zel, const ZelMetadata& record,
                                const unsigned short maxima[3],
                                ZelChannelNormalization normalization);

// Fills the rest of the record made by AnalyseLevels: version 2.0, zelType 0, the maxima as
// normalisation (under Together the largest for all three channels), the pairs as 16-bit values
// with their flag, the grid, the algorithm and the replaced pixels.
void FillRecord(ZelMetadata& record, const unsigned short maxima[3],
                ZelChannelNormalization normalization, const ThresholdPairs& pairs,
                ur::ExBayerGrid grid, DemosaicAlgorithm algorithm,
                QVector<InvalidPixel> invalidPixels);

}  // namespace urs::zel::detail
