// One directory of grey (or per-file demosaiced) frames into ZEL images: every frame analysed
// first, then each compacted by the one mapping the whole directory shares.
#include <zel/dir_conversion.h>

#include "conversion_steps.h"
#include "dir_steps.h"

#include <zel/input_reading.h>
#include <zel/metadata.h>
#include <zel/occupied_levels.h>

#include <urs/image_repair.h>

#include <ur/bayer.h>
#include <ur/buffers.h>
#include <ur/result.h>

#include <QFileInfo>

#include <utility>

namespace urs::zel {

namespace {

namespace rc = ur::rc;
using detail::DirTr;
using detail::FrameStatus;

constexpr int kReservedInvalidPixels = 1000;
constexpr double kAnalysisShare = 10.0;

class FlatDirRun {
public:
  FlatDirRun(const ZelParams& params, const QString& outputDir, const QStringList& files,
             const ur::CxCancellationToken* token)
      : m_params(params), m_outputDir(outputDir), m_files(files), m_token(token),
        m_report(params, params.inputDir, files.size()) {
    m_pairs = {params.applyThreshold,
               {params.thresholdLowRed, params.thresholdLowGreen, params.thresholdLowBlue},
               {params.thresholdHighRed, params.thresholdHighGreen, params.thresholdHighBlue}};
  }

  ur::Result run() {
    ur::Result r = analyse();
    if (r == rc::Ok && !m_analysed.isEmpty()) r = buildMapping();
    if (r == rc::Ok && !m_analysed.isEmpty()) r = convert();
    m_report.finish(r);
    return r;
  }

private:
  QString pathOf(const QString& name) const { return m_params.inputDir + name; }

  // The frame's region, and its grid moved to the region's top-left cell.
  void takeRegion() {
    m_region = detail::RegionOf(m_params, m_frame.buf.width, m_frame.buf.height);
    m_frame.buf.bayerGrid =
        ur::ShiftBayerGrid(m_frame.buf.bayerGrid, m_region.left(), m_region.top());
  }

  // Reads and checks a frame as both passes do; false when the file is skipped.
  bool readFrame(const QString& path) {
    const FrameStatus status = detail::ReadFrame(m_params, path, m_frame, m_report);
    if (status == FrameStatus::TooDeep) {
      m_report.line(DirTr("Invalid color bit depth in file %1.").arg(path));
      m_report.countFailed();
    }
    return status == FrameStatus::Ok && m_sizes.accepts(path, m_frame.buf, m_report);
  }

  bool demosaic(const QString& path) {
    if (ur::Succeeded(Demosaic(m_frame.buf, m_region, m_working.get(), m_params.algorithm)))
      return true;
    m_report.fileFailed(path, DirTr("Debayering failed."));
    return false;
  }

  ur::Result analyseFile(const QString& name) {
    const QString path = pathOf(name);
    if (!readFrame(path)) return rc::Ok;
    takeRegion();
    const ur::Result r = detail::CheckRegion(m_region, m_frame.buf,
                                             detail::IsMosaic(m_params.bayerGrid), m_report);
    if (ur::Failed(r)) return r;
    if (!ur::HasPixels(m_working.get()) &&
        ur::Failed(detail::AllocWorkingBuffer(m_frame.buf, m_region.size(), m_params.algorithm,
                                              m_working)))
      return rc::Fail;
    if (!demosaic(path)) return rc::Ok;
    if (!m_record.occupied[0]) {
      m_record.levelsCount = detail::LevelsCountOf(m_params.rawBitColorDepth);
      for (int c = 0; c < (m_working->channels == 3 ? 3 : 1); ++c)
        if (!m_record.allocateChannel(c)) return rc::Fail;
    }
    unsigned short largest[3] = {0, 0, 0};
    const ur::Result marked = GetOccupiedLevels(
        m_working.get(), m_record.occupied[0], m_record.occupied[1], m_record.occupied[2],
        m_record.levelsCount, largest[0], largest[1], largest[2], m_pairs.use, m_pairs.low[0],
        m_pairs.high[0], m_pairs.low[1], m_pairs.high[1], m_pairs.low[2], m_pairs.high[2]);
    if (ur::Failed(marked)) {
      m_report.fileFailed(path, DirTr("Cannot get occupied levels."));
      return rc::Ok;
    }
    m_analysed << name;
    return rc::Ok;
  }

  ur::Result analyse() {
    if (m_files.isEmpty()) return rc::Ok;
    const double step = kAnalysisShare / m_files.size();
    const QString message = DirTr("Calculating occupied levels...");
    m_report.taskMessage(message);
    for (const QString& name : m_files) {
      if (detail::IsCancelled(m_token)) return rc::Cancelled;
      m_report.task(m_progress, message);
      const ur::Result r = analyseFile(name);
      if (ur::Failed(r)) return r;
      m_progress += step;
    }
    if (m_analysed.isEmpty()) m_report.line(DirTr("No file for processing."));
    return rc::Ok;
  }

  ur::Result buildMapping() {
    int counts[3] = {0, 0, 0};
    if (ur::Failed(GetLevelsCount(m_record.occupied[0], m_record.occupied[1],
                                  m_record.occupied[2], m_record.levelsCount, counts[0],
                                  counts[1], counts[2])))
      return rc::Ok;
    if (ur::Failed(GetZelChannelMapping(m_record.occupied[0], m_record.occupied[1],
                                        m_record.occupied[2], m_record.mapping[0],
                                        m_record.mapping[1], m_record.mapping[2],
                                        m_record.levelsCount)))
      return rc::Fail;
    for (int c = 0; c < 3; ++c)
      m_maxima[c] = static_cast<unsigned short>(counts[c] > 0 ? counts[c] - 1 : 0);
    m_report.levels(counts, m_working->channels == 3 ? 3 : 1, kExactLevels,
                    m_working->channels == 3 && m_params.algorithm == Simple);
    if (detail::IsCancelled(m_token)) return rc::Cancelled;
    return rc::Ok;
  }

  bool repair(const QString& path) {
    if (!m_params.applyThreshold) return true;
    unsigned short ranges[4][2];
    detail::ValidRanges(m_params, m_record.levelsCount, ranges);
    const unsigned short* rows[4] = {ranges[0], ranges[1], ranges[2], ranges[3]};
    if (RepairImage(m_working.get(), rows, m_record.invalidPixels)) return true;
    m_report.line(DirTr("Conversion %1 failed. Cannot repair the image.").arg(path));
    m_report.countFailed();
    return false;
  }

  // One file of the conversion pass. rc::Ok when the pass goes on, whatever became of the
  // file; a cancellation or a failure that ends the directory otherwise.
  ur::Result convertFile(const QString& name, double step) {
    const QString path = pathOf(name);
    const QString output = detail::DirOutputPath(m_outputDir, name);
    if (m_params.doNotProcessConverted && QFileInfo::exists(output)) {
      m_report.skippedConverted(path, output);
      return rc::Ok;
    }
    // A file changed since the analysis is not compacted by a mapping made without it.
    if (!readFrame(path)) return rc::Ok;
    takeRegion();
    if (!demosaic(path)) return rc::Ok;
    m_record.invalidPixels.clear();  // keeps its room
    if (!repair(path)) return rc::Ok;
    if (detail::IsCancelled(m_token)) return rc::Cancelled;
    if (!ur::HasPixels(m_zel.get())) {
      const ur::Result r = detail::AllocZelBuffer(m_working.get(), m_zel);
      if (ur::Failed(r)) {
        ur::LogFunctionFailed(QStringLiteral("ur::AllocBuffer()"), r, true);
        return rc::Fail;
      }
    }
    const bool wide = ur::BytesPerSample(m_working->dataType) == 2;
    if (ur::Failed(detail::CompactBySampleWidth(m_params.pluginId, m_working.get(), m_zel.get(),
                                                m_record, m_maxima,
                                                m_params.channelNormalization))) {
      m_report.fileFailed(path, wide ? DirTr("ZEL from 16bit to 8bit failed.")
                                     : DirTr("ZEL from 8bit to 8bit failed."));
      return rc::Ok;
    }
    detail::FillRecord(m_record, m_maxima, m_params.channelNormalization, m_pairs,
                       m_frame.buf.bayerGrid, m_params.algorithm,
                       std::move(m_record.invalidPixels));
    const detail::DirOutput out{m_record,
                                m_region,
                                m_params.rawBitColorDepth,
                                detail::IsMosaic(m_frame.buf.bayerGrid),
                                DirTr("Cannot create image for saving."),
                                DirTr("Cannot write ZEL image: %1")};
    return detail::WriteDirOutput(m_frame, m_zel.get(), out, path, output, m_progress, step,
                                  m_token, m_report);
  }

  ur::Result convert() {
    const double step = (100.0 - m_progress) / m_analysed.size();
    m_record.invalidPixels.reserve(kReservedInvalidPixels);
    for (const QString& name : m_analysed) {
      if (detail::IsCancelled(m_token)) return rc::Cancelled;
      m_report.task(m_progress, DirTr("Processing %1").arg(name));
      const ur::Result r = convertFile(name, step);
      if (r != rc::Ok) return r;
      m_progress += step;
    }
    return rc::Ok;
  }

  const ZelParams& m_params;
  const QString m_outputDir;
  const QStringList m_files;
  const ur::CxCancellationToken* m_token;
  detail::DirReport m_report;
  detail::ThresholdPairs m_pairs;
  detail::Frame m_frame;
  detail::SizeReference m_sizes;
  QRect m_region;
  ur::ScopedImageBuf m_working;  // allocated at the first analysed frame, reused for all
  ur::ScopedImageBuf m_zel;
  ZelMetadata m_record;  // owns the directory's occupancy arrays and mapping tables
  unsigned short m_maxima[3] = {0, 0, 0};
  QStringList m_analysed;
  double m_progress = 0.0;
};

}  // namespace

unsigned int ConvertFlatDirToZel(ZelParams& params, const QString& outputDir,
                                 const QStringList& files, ur::CxCancellationToken* token) {
  detail::FlatCall call;
  ur::Result result = rc::Ok;
  if (!detail::PrepareFlatCall(params, outputDir, files, call, result)) return result;
  return FlatDirRun(call.params, call.outputDir, call.files, token).run();
}

}  // namespace urs::zel
