// One directory of raw Bayer frames into ZEL images of type 1: each frame split into its four
// planes, all frames analysed first, then each compacted by the directory's 8-bit spread
// mapping, joined into a mosaic again and, on request, demosaiced.
#include <zel/dir_conversion.h>

#include "conversion_steps.h"
#include "dir_steps.h"

#include <zel/compaction.h>
#include <zel/input_reading.h>
#include <zel/metadata.h>
#include <zel/occupied_levels.h>

#include <urs/image_repair.h>

#include <ur/bayer.h>
#include <ur/buffers.h>
#include <ur/raw_planar.h>
#include <ur/result.h>

#include <QFileInfo>

#include <algorithm>
#include <utility>

namespace urs::zel {

namespace {

namespace rc = ur::rc;
using detail::DirTr;
using detail::FrameStatus;

constexpr int kPlanes = 4;
constexpr int kReservedInvalidPixels = 1000;
constexpr double kAnalysisShare = 10.0;

class RawDirRun {
public:
  RawDirRun(const ZelParams& params, const QString& outputDir, const QStringList& files,
            const ur::CxCancellationToken* token)
      : m_params(params), m_outputDir(outputDir), m_files(files), m_token(token),
        m_report(params, params.inputDir, files.size()) {}

  ur::Result run() {
    ur::Result r = analyse();
    if (r == rc::Ok && !m_analysed.isEmpty()) r = buildMapping();
    if (r == rc::Ok && !m_analysed.isEmpty()) r = convert();
    m_report.finish(r);
    return r;
  }

private:
  QString pathOf(const QString& name) const { return m_params.inputDir + name; }

  // The frame's region, with its grid moved to the region's top-left cell: the planes, the
  // joined mosaic and the record all describe the region.
  void takeRegion() {
    m_region = detail::RegionOf(m_params, m_frame.buf.width, m_frame.buf.height);
    m_grid = ur::ShiftBayerGrid(m_frame.buf.bayerGrid, m_region.left(), m_region.top());
  }

  bool split(const QString& path) {
    if (ur::Succeeded(ur::ConvertRawToPlanarRaw(m_frame.buf, m_region, m_grid, m_planar.get())))
      return true;
    m_report.fileFailed(path, DirTr("Cannot convert from RAW to planar RAW."));
    return false;
  }

  ur::Result analyseFile(const QString& name) {
    const QString path = pathOf(name);
    const FrameStatus status = detail::ReadFrame(m_params, path, m_frame, m_report);
    if (status == FrameStatus::Failed) return rc::Ok;
    if (status == FrameStatus::TooDeep) {
      m_report.line(DirTr("File %1 has not the correct color bit depth. Expected: %2, read: %3")
                        .arg(path)
                        .arg(m_params.rawBitColorDepth)
                        .arg(m_frame.foundDepth));
      return rc::InvalidArg(1);
    }
    if (!m_sizes.accepts(path, m_frame.buf, m_report)) return rc::Ok;
    takeRegion();
    const ur::Result r = detail::CheckRegion(m_region, m_frame.buf, true, m_report);
    if (ur::Failed(r)) return r;
    if (!ur::HasPixels(m_planar.get()) &&
        ur::Failed(ur::AllocBuffer(m_planar.get(), m_region.width() / 2, m_region.height() / 2,
                                   kPlanes, m_frame.buf.bitDepth, m_frame.buf.dataType, 1)))
      return rc::Fail;
    if (!split(path)) return rc::Ok;
    if (!m_record.occupied[0]) {
      m_record.levelsCount = detail::LevelsCountOf(m_params.rawBitColorDepth);
      for (int p = 0; p < kPlanes; ++p)
        if (!m_record.allocateChannel(p)) return rc::Fail;
    }
    const ZelParams& q = m_params;
    unsigned short largest[kPlanes] = {0, 0, 0, 0};
    const ur::Result marked = GetOccupiedLevelsRaw(
        m_planar.get(), m_record.occupied[0], m_record.occupied[1], m_record.occupied[2],
        m_record.occupied[3], m_record.levelsCount, largest[0], largest[1], largest[2],
        largest[3], q.applyThreshold, q.thresholdLowRed, q.thresholdHighRed, q.thresholdLowGreen,
        q.thresholdHighGreen, q.thresholdLowBlue, q.thresholdHighBlue, q.thresholdLowGreen,
        q.thresholdHighGreen);
    if (ur::Failed(marked)) {
      m_report.fileFailed(path, DirTr("Cannot get occupied levels from RAW image."));
      return rc::Ok;
    }
    m_analysed << name;
    return rc::Ok;
  }

  ur::Result analyse() {
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
    return rc::Ok;
  }

  ur::Result buildMapping() {
    bool* const* occ = m_record.occupied;
    unsigned short* const* map = m_record.mapping;
    if (ur::Failed(GetLevelsCount(occ[0], occ[1], occ[2], occ[3], m_record.levelsCount,
                                  m_counts[0], m_counts[1], m_counts[2], m_counts[3])))
      return rc::Ok;
    if (ur::Failed(GetZel8ChannelMapping(occ[0], occ[1], occ[2], occ[3], map[0], map[1], map[2],
                                         map[3], m_record.levelsCount,
                                         m_params.channelNormalization)))
      return rc::Fail;
    m_report.levels(m_counts, kPlanes, kExactPlaneLevels,
                    m_params.debayerizeOutput && m_params.algorithm == Simple);
    if (detail::IsCancelled(m_token)) return rc::Cancelled;
    return rc::Ok;
  }

  bool repair(const QString& path) {
    if (!m_params.applyThreshold) return true;
    unsigned short ranges[kPlanes][2];
    detail::ValidRanges(m_params, m_record.levelsCount, ranges);
    const unsigned short* rows[kPlanes] = {ranges[0], ranges[1], ranges[2], ranges[3]};
    if (RepairImage(m_planar.get(), rows, m_record.invalidPixels)) return true;
    // An unrepaired frame would hold levels outside the mapping: it is not converted.
    m_report.line(DirTr("Conversion %1 failed. Cannot repair the image.").arg(path));
    m_report.countFailed();
    return false;
  }

  // The planes compacted into 8-bit planes. A bit depth raised above the samples' width is
  // handed to the plug-in as that width.
  bool compact(const QString& path) {
    if (!ur::HasPixels(m_planar8.get()) &&
        ur::Failed(ur::AllocBuffer(m_planar8.get(), m_planar->width, m_planar->height, kPlanes, 8,
                                   ur::eImageDataUInt8, 1))) {
      m_report.fileFailed(path, DirTr("Allocation failed."));
      return false;
    }
    ur::SxImageBuf samples = m_planar.get();
    const int bytes = ur::BytesPerSample(samples.dataType);
    samples.bitDepth = std::min(samples.bitDepth, 8 * bytes);
    unsigned short* const* map = m_record.mapping;
    const ur::Result r =
        bytes == 1 ? ConvertRawPlanar8ToRawPlanar8Zel(m_params.pluginId, samples, m_planar8.get(),
                                                      map[0], map[1], map[2], map[3])
                   : ConvertRawPlanar16ToRawPlanar8Zel(m_params.pluginId, samples,
                                                       m_planar8.get(), map[0], map[1], map[2],
                                                       map[3]);
    if (ur::Succeeded(r)) return true;
    m_report.fileFailed(path, DirTr("Planar ZEL failed."));
    return false;
  }

  bool join(const QString& path) {
    if (!ur::HasPixels(m_mosaic.get()) &&
        ur::Failed(ur::AllocBuffer(m_mosaic.get(), 2 * m_planar8->width, 2 * m_planar8->height, 1,
                                   m_planar8->bitDepth, m_planar8->dataType, 0, m_grid))) {
      m_report.fileFailed(path, DirTr("Allocation failed."));
      return false;
    }
    if (ur::Succeeded(ur::ConvertPlanarRawToRaw(m_planar8.get(), m_mosaic.get(), m_grid)))
      return true;
    m_report.fileFailed(path, DirTr("Cannot convert from planar RAW to RAW."));
    return false;
  }

  // The image to save: the mosaic, or its demosaiced colour image. rc::Fail ends the directory
  // (the colour buffer cannot be had); ok is false when only the file fails.
  ur::Result imageToSave(const QString& path, ur::SxImageBuf*& image) {
    image = &m_mosaic.get();
    if (!m_params.debayerizeOutput) return rc::Ok;
    image = nullptr;
    if (!ur::HasPixels(m_rgb.get())) {
      const ur::Result r = detail::AllocWorkingBuffer(
          m_mosaic.get(), QSize(m_mosaic->width, m_mosaic->height), m_params.algorithm, m_rgb);
      if (ur::Failed(r)) {
        ur::LogFunctionFailed(QStringLiteral("ur::AllocBuffer()"), r, true);
        return rc::Fail;
      }
    }
    const QRect whole(0, 0, m_mosaic->width, m_mosaic->height);
    if (ur::Failed(Demosaic(m_mosaic.get(), whole, m_rgb.get(), m_params.algorithm))) {
      m_report.fileFailed(path, DirTr("Debayering failed."));
      return rc::Ok;
    }
    image = &m_rgb.get();
    return rc::Ok;
  }

  // Four planes: their maxima (count - 1; the largest for all under Together), the eight
  // thresholds, ZEL type 1.
  void fillRecord() {
    unsigned short maxima[kPlanes];
    const bool together = m_params.channelNormalization == Together;
    for (int p = 0; p < kPlanes; ++p) {
      const int count = together ? detail::LargestOf(m_counts) : m_counts[p];
      maxima[p] = static_cast<unsigned short>(count > 0 ? count - 1 : 0);
    }
    const detail::ThresholdPairs pairs{
        m_params.applyThreshold,
        {m_params.thresholdLowRed, m_params.thresholdLowGreen, m_params.thresholdLowBlue},
        {m_params.thresholdHighRed, m_params.thresholdHighGreen, m_params.thresholdHighBlue}};
    detail::FillRecord(m_record, maxima, Separated, pairs, m_grid, m_params.algorithm,
                       std::move(m_record.invalidPixels));
    m_record.normalization[3] = maxima[3];
    m_record.thresholds[3][0] = m_record.thresholds[1][0];
    m_record.thresholds[3][1] = m_record.thresholds[1][1];
    m_record.zelType = 1;
  }

  ur::Result convertFile(const QString& name, double step) {
    const QString path = pathOf(name);
    const QString output = detail::DirOutputPath(m_outputDir, name);
    if (m_params.doNotProcessConverted && QFileInfo::exists(output)) {
      m_report.skippedConverted(path, output);
      return rc::Ok;
    }
    const FrameStatus status = detail::ReadFrame(m_params, path, m_frame, m_report);
    if (status == FrameStatus::TooDeep) {
      m_report.line(DirTr("Invalid color bit depth in image %1").arg(path));
      m_report.countFailed();
    }
    // A file changed since the analysis is not compacted by a mapping made without it.
    if (status != FrameStatus::Ok || !m_sizes.accepts(path, m_frame.buf, m_report))
      return rc::Ok;
    takeRegion();
    if (!split(path)) return rc::Ok;
    m_record.invalidPixels.clear();  // keeps its room
    if (!repair(path)) return rc::Ok;
    if (detail::IsCancelled(m_token)) return rc::Cancelled;
    if (!compact(path) || !join(path)) return rc::Ok;
    if (detail::IsCancelled(m_token)) return rc::Cancelled;
    ur::SxImageBuf* image = nullptr;
    const ur::Result made = imageToSave(path, image);
    if (made != rc::Ok || !image) return made;

    fillRecord();
    const detail::DirOutput out{m_record,
                                m_region,
                                m_params.rawBitColorDepth,
                                m_params.debayerizeOutput,
                                DirTr("Cannot create the image for saving."),
                                DirTr("Cannot write image: %1")};
    return detail::WriteDirOutput(m_frame, *image, out, path, output, m_progress, step, m_token,
                                  m_report);
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
  detail::Frame m_frame;
  detail::SizeReference m_sizes;
  QRect m_region;
  ur::ExBayerGrid m_grid = ur::eBayerNone;
  // Allocated at the first frame that needs them and reused for every frame of the directory.
  ur::ScopedImageBuf m_planar;
  ur::ScopedImageBuf m_planar8;
  ur::ScopedImageBuf m_mosaic;
  ur::ScopedImageBuf m_rgb;
  ZelMetadata m_record;  // owns the directory's occupancy arrays and mapping tables
  int m_counts[kPlanes] = {0, 0, 0, 0};
  QStringList m_analysed;
  double m_progress = 0.0;
};

}  // namespace

unsigned int ConvertFlatDirToZelRaw(ZelParams& params, const QString& outputDir,
                                    const QStringList& files, ur::CxCancellationToken* token) {
  detail::FlatCall call;
  ur::Result result = rc::Ok;
  if (!detail::PrepareFlatCall(params, outputDir, files, call, result)) return result;
  return RawDirRun(call.params, call.outputDir, call.files, token).run();
}

}  // namespace urs::zel
