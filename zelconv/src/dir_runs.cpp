#include "dir_runs.h"
#include "interrupt.h"

#include "bit_depth.h"

#include <zel/dir_jobs.h>
#include <zel/plugin.h>
#include <zel/reverse_conversion.h>
#include <zel/verification.h>

#include <urs/protocol.h>

#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <QVector>

namespace urs::zel {

namespace {

namespace rc = ur::rc;

void Report(Protocol* protocol, const QString& line) {
  if (protocol) protocol->addMessage(line);
}

QString WithSeparator(const QString& dir) {
  return QDir::toNativeSeparators(dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/'));
}

void Add(ZelRunSummary& total, const ZelRunSummary& part) {
  total.directories += part.directories;
  total.outputs += part.outputs;
  total.converted += part.converted;
  total.skippedConverted += part.skippedConverted;
  total.failed += part.failed;
}

}  // namespace

unsigned long long FirstPluginId() {
  QVector<ZelPluginInfo> plugins;
  if (ur::Failed(GetPlugins(plugins)) || plugins.isEmpty()) return 0;
  return plugins.first().id;
}

void VerifyOutputs(unsigned long long pluginId, const ZelParams& params, Protocol* protocol,
                   ZelRunSummary& part) {
  for (const ZelRunSummary::Output& output : part.outputs) {
    if (RunToken().isCancelled()) return;
    const ZelVerification check = VerifyZelImage(pluginId, output.zel, output.source, params);
    Report(protocol, DescribeVerification(output.zel, check));
    if (!check.failed()) continue;
    // The file moves from what the run counted it as to the failures.
    ZelRunSummary::Directory* dir =
        part.directories.size() == 1 ? &part.directories.first() : nullptr;
    if (output.written) {
      --part.converted;
      if (dir) --dir->converted;
    } else {
      --part.skippedConverted;
      if (dir) --dir->skippedConverted;
    }
    ++part.failed;
    if (dir) ++dir->failed;
  }
}

ur::Result ConvertDirectories(const ZelParams& params, bool autoBits, bool verify,
                              ZelRunSummary& summary) {
  summary = ZelRunSummary();
  const unsigned long long pluginId = FirstPluginId();
  if (pluginId == 0 || !QFileInfo(params.inputDir).isDir()) {
    Report(params.protocol,
           QStringLiteral("%1 is no directory, or no plug-in is loaded.").arg(params.inputDir));
    return rc::InvalidParams;
  }
  for (const ConversionJob& job : ListConversionJobs(params.inputDir, params.processSubfolders)) {
    const QString& dir = job.dir;
    ZelParams one = params;
    one.pluginId = pluginId;
    one.inputDir = dir;
    one.processSubfolders = false;  // the walk above has already found the subdirectories
    one.numCores = QThread::idealThreadCount();
    if (autoBits) one.rawBitColorDepth = DetectBitDepth(dir, job.files);
    ZelRunSummary part;
    one.summary = &part;
    const ur::Result r = ConvertDirToZel(one, &RunToken());
    if (verify && r != rc::Cancelled) VerifyOutputs(pluginId, one, params.protocol, part);
    // A directory whose conversion did not get as far as its files leaves no entry.
    if (part.directories.isEmpty()) {
      part.directories.append({dir, 0, 0, 1});
      ++part.failed;
    }
    Add(summary, part);
    if (r == rc::Cancelled) return r;
  }
  return rc::Ok;
}

ur::Result RestoreDirectory(const QString& inputDir, const QString& outputDir, Protocol* protocol,
                            CxProgressInfo* progress, ZelRunSummary& summary) {
  summary = ZelRunSummary();
  BackZelParams params;
  params.progress = progress;
  params.summary = &summary;
  params.pluginId = FirstPluginId();
  params.inputDir = WithSeparator(inputDir);
  params.outputDir = WithSeparator(outputDir);
  params.numCores = QThread::idealThreadCount();
  params.protocol = protocol;
  if (!QDir().mkpath(outputDir)) {
    Report(protocol, QStringLiteral("Cannot make the output folder %1.").arg(outputDir));
    return rc::Fail;
  }
  return ConvertDirToRaw(params, &RunToken());
}

}  // namespace urs::zel
