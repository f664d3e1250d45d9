// The tree of a directory conversion: each directory with input files converted into its "ZEL"
// subdirectory by the flat conversion of its kind.
#include <zel/dir_conversion.h>

#include "dir_steps.h"

#include <zel/plugin.h>

#include <urs/progress_info.h>
#include <urs/protocol.h>

#include <ur/result.h>

#include <QDir>
#include <QFileInfo>

namespace urs::zel {

namespace {

namespace rc = ur::rc;
using detail::DirTr;

const QLatin1String kOutputFolder("ZEL");

void Report(const ZelParams& params, const QString& line) {
  if (params.protocol) params.protocol->addMessage(line);
}

QString FailureLine(const QString& dir, ur::Result code) {
  return DirTr("Processing %1 failed with error 0x%2").arg(dir, ur::ResultToHex(code));
}

// dir + "ZEL" + separator, made when missing; dir itself when it cannot be made.
QString OutputDirOf(const QString& dir) {
  QDir parent(dir);
  if (!QFileInfo(parent.filePath(kOutputFolder)).isDir() && !parent.mkdir(kOutputFolder))
    return dir;
  return detail::WithTrailingSeparator(dir + kOutputFolder);
}

ur::Result ConvertJobs(ZelParams& params, const QVector<detail::DirJob>& jobs,
                       ur::CxCancellationToken* token) {
  int total = 0;
  for (const detail::DirJob& job : jobs) total += job.files.size();
  double done = 0.0;
  for (const detail::DirJob& job : jobs) {
    if (detail::IsCancelled(token)) return rc::Cancelled;
    const double share = double(job.files.size()) / total;
    if (params.progress) {
      params.progress->setTaskRatio(share);
      params.progress->setTaskProgress(0.0, QString());
      params.progress->setTotalProgress(done, DirTr("Processing %1").arg(job.dir));
    }
    ZelParams flat = params;
    flat.inputDir = job.dir;
    const QString outputDir = OutputDirOf(job.dir);
    const ur::Result r = params.bayerGrid == ur::eBayerNone
                             ? ConvertFlatDirToZel(flat, outputDir, job.files, token)
                             : ConvertFlatDirToZelRaw(flat, outputDir, job.files, token);
    // A failed directory is reported and the next one converted; the run's result stays.
    if (ur::Failed(r))
      Report(params, FailureLine(job.dir, r));
    else if (detail::IsCancelled(token))
      return rc::Cancelled;
    done += share * 100.0;
  }
  return rc::Ok;
}

}  // namespace

unsigned int ConvertDirToZel(ZelParams& params, ur::CxCancellationToken* token) {
  Report(params, DirTr("Processing started."));
  if (params.summary) *params.summary = ZelRunSummary();
  ur::Result result = rc::Ok;
  if (!PluginById(params.pluginId) || !QFileInfo(params.inputDir).isDir()) {
    result = rc::InvalidParams;
  } else {
    const QVector<detail::DirJob> jobs =
        detail::WalkInputTree(detail::WithTrailingSeparator(params.inputDir),
                              params.processSubfolders);
    result = ConvertJobs(params, jobs, token);
    if (!detail::IsCancelled(token) && params.progress) {
      params.progress->setTaskProgress(100.0, DirTr("Finished."));
      params.progress->setTotalProgress(100.0, DirTr("Finished."));
    }
  }

  if (ur::Failed(result)) {
    Report(params, FailureLine(params.inputDir, result));
  } else if (result == rc::Cancelled) {
    Report(params, DirTr("Processing was cancelled by user."));
    if (params.progress) {
      params.progress->setTotalMessage(DirTr("Cancelled."));
      params.progress->setTaskMessage(DirTr("Cancelled."));
    }
  } else {
    Report(params, DirTr("Processing done."));
  }
  return result;
}

}  // namespace urs::zel
