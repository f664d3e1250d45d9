// Checks, frame reading and reporting shared by the directory conversions.
#include "dir_steps.h"

#include "conversion_steps.h"

#include <zel/input_reading.h>
#include <zel/plugin.h>
#include <zel/zel_file.h>

#include <urs/progress_info.h>
#include <urs/protocol.h>

#include <ur/bit_depth.h>

#include <QCoreApplication>
#include <QDir>

#include <algorithm>

namespace urs::zel::detail {

namespace rc = ur::rc;

QString DirTr(const char* text) { return QCoreApplication::translate("DirConversion", text); }

ur::Result CheckFlatCall(const ZelParams& params, const QString& outputDir) {
  if (!PluginById(params.pluginId)) return rc::InvalidArg(1);
  if (!QDir(params.inputDir).exists()) return rc::InvalidArg(1);
  if (!QDir(outputDir).exists()) return rc::InvalidArg(2);
  if (params.rawBitColorDepth < 1 || params.rawBitColorDepth > kMaxBitDepth)
    return rc::InvalidArg(1);
  return rc::Ok;
}

bool PrepareFlatCall(const ZelParams& params, const QString& outputDir, const QStringList& files,
                     FlatCall& call, ur::Result& result) {
  result = CheckFlatCall(params, outputDir);
  if (ur::Failed(result)) return false;
  call.params = params;
  call.params.inputDir = WithTrailingSeparator(params.inputDir);
  call.outputDir = WithTrailingSeparator(outputDir);
  call.files = files.isEmpty() ? ListInputFiles(call.params.inputDir) : files;
  if (!call.files.isEmpty()) return true;
  if (params.progress)
    params.progress->setTaskProgress(
        100.0, DirTr("Directory %1 proccesed.").arg(call.params.inputDir));
  DirReport(call.params, call.params.inputDir, 0).finish(rc::Ok);
  return false;
}

QRect RegionOf(const ZelParams& params, int width, int height) {
  if (!params.applyRoi) return QRect(0, 0, width, height);
  return QRect(params.rawRoiLeft, params.rawRoiTop,
               width - params.rawRoiRight - params.rawRoiLeft,
               height - params.rawRoiBottom - params.rawRoiTop);
}

bool RegionInside(const QRect& region, int width, int height) {
  return !region.isEmpty() && region.left() >= 0 && region.top() >= 0 &&
         region.right() < width && region.bottom() < height;
}

void ValidRanges(const ZelParams& params, int levelsCount, unsigned short ranges[4][2]) {
  const int low[4] = {params.thresholdLowRed, params.thresholdLowGreen, params.thresholdLowBlue,
                      params.thresholdLowGreen};
  const int high[4] = {params.thresholdHighRed, params.thresholdHighGreen,
                       params.thresholdHighBlue, params.thresholdHighGreen};
  const int top = levelsCount - 1;
  for (int c = 0; c < 4; ++c) {
    const int lowest = low[c] >= 0 ? low[c] + 1 : 0;
    const int highest = high[c] >= 0 ? high[c] - 1 : top;
    ranges[c][0] = static_cast<unsigned short>(std::clamp(lowest, 0, top));
    ranges[c][1] = static_cast<unsigned short>(std::clamp(highest, 0, top));
  }
}

int LargestOf(const int counts[4]) { return *std::max_element(counts, counts + 4); }

DirReport::DirReport(const ZelParams& params, const QString& inputDir, int files)
    : m_params(params), m_dir(inputDir), m_files(files) {}

void DirReport::line(const QString& text) const {
  if (m_params.protocol) m_params.protocol->addMessage(text);
}

void DirReport::fileFailed(const QString& path, const QString& reason) {
  line(DirTr("Conversion %1 failed.").arg(path) + reason);
  ++m_failed;
}

void DirReport::task(double percent, const QString& message) const {
  if (m_params.progress) m_params.progress->setTaskProgress(percent, message);
}

void DirReport::taskMessage(const QString& message) const {
  if (m_params.progress) m_params.progress->setTaskMessage(message);
}

void DirReport::levels(const int counts[], int channels, int exactLimit,
                       bool greensAveraged) const {
  static const char* const kColour[4] = {"red", "green", "blue", "green"};
  QStringList parts;
  bool exact = true;
  for (int c = 0; c < channels; ++c) {
    const QString name = channels == 1 ? DirTr("grey") : DirTr(kColour[c]);
    parts << QStringLiteral("%1 %2").arg(name).arg(counts[c]);
    exact = exact && counts[c] <= exactLimit;
  }
  QString verdict = DirTr("the way back will give every sample exactly.");
  if (!exact)
    verdict = DirTr("the way back will not be exact: a channel holds more than %1 levels, so "
                    "its samples come back as the nearest stored level.")
                  .arg(exactLimit);
  else if (greensAveraged)
    verdict = DirTr("the way back will not be exact: Simple demosaicing averages the two greens "
                    "of each 2x2 cell.");
  line(DirTr("Occupied levels in %1: %2; %3").arg(m_dir, parts.join(QStringLiteral(", ")),
                                                   verdict));
}

void DirReport::converted(const QString& path, const QString& output) {
  ++m_converted;
  if (m_params.summary) m_params.summary->outputs.append({path, output, true});
}

void DirReport::skippedConverted(const QString& path, const QString& output) {
  ++m_skipped;
  if (m_params.summary) m_params.summary->outputs.append({path, output, false});
}

void DirReport::finish(ur::Result result) {
  if (ur::Failed(result)) m_failed = std::max(m_failed, m_files - m_converted - m_skipped);
  ZelRunSummary* summary = m_params.summary;
  if (!summary) return;
  summary->directories.append({m_dir, m_converted, m_skipped, m_failed});
  summary->converted += m_converted;
  summary->skippedConverted += m_skipped;
  summary->failed += m_failed;
}

bool SizeReference::accepts(const QString& path, const ur::SxImageBuf& frame,
                            DirReport& report) {
  const QSize size(frame.width, frame.height);
  if (m_size.isEmpty()) m_size = size;
  if (size == m_size) return true;
  report.line(
      DirTr("Conversion %1 failed. Its size differs from the first image's size.").arg(path));
  report.countFailed();
  return false;
}

ur::Result CheckRegion(const QRect& region, const ur::SxImageBuf& frame, bool even,
                       const DirReport& report) {
  if (!RegionInside(region, frame.width, frame.height)) {
    report.line(DirTr("The ROI is not inside the RAW image."));
    return rc::InvalidRoi;
  }
  if (even && (region.width() % 2 != 0 || region.height() % 2 != 0)) {
    report.line(DirTr("The ROI width and height must be even."));
    return rc::InvalidRoi;
  }
  return rc::Ok;
}

FrameStatus ReadFrame(const ZelParams& params, const QString& path, Frame& frame,
                      DirReport& report) {
  ur::ExBayerGrid fileGrid = ur::eBayerNone;
  frame.image = ur::CxImage();
  if (ur::Failed(ReadRawImage(path, frame.image, fileGrid))) {
    report.fileFailed(path, DirTr("Cannot read image."));
    return FrameStatus::Failed;
  }
  ur::SxImageBuf& buf = frame.buf;
  // Images the levels cannot describe (colour, alpha, ZEL images, wide samples) are refused
  // with their reason in the log.
  if (ur::Failed(frame.image.getImageBuf(buf)) ||
      ur::Failed(CheckInputImage(path, frame.image, buf))) {
    report.fileFailed(path, DirTr("The image is invalid."));
    return FrameStatus::Failed;
  }
  buf.bayerGrid = fileGrid != ur::eBayerNone ? fileGrid : params.bayerGrid;
  ur::SxImageBuf needed = buf;
  if (ur::Succeeded(ur::DetectColorBitDepth(needed, 8 * ur::BytesPerSample(buf.dataType))) &&
      needed.bitDepth > buf.bitDepth)
    buf.bitDepth = needed.bitDepth;
  frame.foundDepth = buf.bitDepth;
  if (buf.bitDepth > params.rawBitColorDepth) return FrameStatus::TooDeep;
  buf.bitDepth = params.rawBitColorDepth;
  return FrameStatus::Ok;
}

ur::Result WriteDirOutput(const Frame& frame, ur::SxImageBuf& zel, const DirOutput& out,
                          const QString& path, const QString& output, double progress,
                          double step, const ur::CxCancellationToken* token, DirReport& report) {
  ur::CxImage outputImage;
  if (ur::Failed(CreateZelImageForSave8(frame.image, out.region, zel, outputImage, out.record,
                                        out.bitDepth, out.demosaiced))) {
    report.fileFailed(path, out.createFailure);
    return ur::rc::Ok;
  }
  if (IsCancelled(token)) return ur::rc::Cancelled;
  // Half of the file's share before saving; the pass adds the whole share after it.
  report.task(progress + step * 0.5, DirTr("Saving %1").arg(output));
  QString error;
  if (ur::Failed(WriteZelImage(outputImage, output, &error))) {
    report.fileFailed(path, out.writeFailure.arg(error));
    return ur::rc::Ok;
  }
  report.converted(path, output);
  return ur::rc::Ok;
}

}  // namespace urs::zel::detail
