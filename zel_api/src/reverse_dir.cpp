// Every ZEL image of one directory back into raw images, with protocol and progress.
#include <zel/reverse_conversion.h>

#include <zel/plugin.h>

#include <urs/progress_info.h>
#include <urs/protocol.h>

#include <ur/result.h>

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QStringList>

#include <filesystem>
#include <system_error>

namespace urs::zel {

namespace {

namespace rc = ur::rc;

void Report(Protocol* protocol, const QString& line) {
  if (protocol) protocol->addMessage(line);
}

void SetProgress(CxProgressInfo* progress, double total, const QString& message) {
  if (!progress) return;
  progress->setTaskProgress(0.0, QString());
  progress->setTotalProgress(total, message);
}

bool SameFile(const QString& a, const QString& b) {
  std::error_code error;
  return std::filesystem::equivalent(QFile::encodeName(a).toStdString(),
                                     QFile::encodeName(b).toStdString(), error);
}

// The outputs this run has written. A name that differs from a written one only in case may
// still be that file on a file system that ignores case, so such names are compared as files.
class WrittenOutputs {
public:
  bool contains(const QString& path) const {
    for (const QString& written : m_byFoldedName.value(path.toCaseFolded()))
      if (written == path || SameFile(written, path)) return true;
    return false;
  }
  void add(const QString& path) { m_byFoldedName[path.toCaseFolded()].append(path); }

private:
  QHash<QString, QStringList> m_byFoldedName;
};

QStringList ListZelImages(const QString& inputDir) {
  // Name filters match without regard to case unless told otherwise.
  return QDir(inputDir).entryList({QStringLiteral("*.zel.png")}, QDir::Files | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

}  // namespace

unsigned int ConvertDirToRaw(BackZelParams& params, ur::CxCancellationToken* token) {
  if (!PluginById(params.pluginId) || !QDir(params.inputDir).exists() ||
      !QDir(params.outputDir).exists())
    return rc::InvalidParams;

  const QStringList names = ListZelImages(params.inputDir);
  if (names.isEmpty()) {
    Report(params.protocol,
           QCoreApplication::translate("ReverseConversion", "No input images in %1")
               .arg(params.inputDir));
    return rc::Ok;
  }

  // Files are restored one at a time; any parallelism lies inside the plug-in.
  params.numCores = 1;
  const double step = 100.0 / names.size();
  double total = 0.0;
  ur::Result result = rc::Ok;
  WrittenOutputs written;
  ZelRunSummary::Directory counts;
  counts.path = params.inputDir;
  for (const QString& name : names) {
    // Polled once per file: a cancellation takes effect after the file in progress.
    if (token && token->isCancelled()) {
      result = rc::Cancelled;
      break;
    }
    const QString processing =
        QCoreApplication::translate("ReverseConversion", "Processing %1").arg(name);
    SetProgress(params.progress, total, processing);
    const QString output = DezelOutputFileName(params.outputDir, name);
    if (written.contains(output)) {
      // Restoring it would replace the image another file of this run has just restored.
      qWarning().noquote() << QStringLiteral("Cannot restore %1: its output %2 was already "
                                             "written from another file of this run.")
                                  .arg(params.inputDir + name, output);
      result = rc::Fail;
    } else {
      result = ConvertZelFileToRAW(params.pluginId, params.inputDir + name, output, nullptr);
      if (ur::Succeeded(result)) written.add(output);
    }
    ++(ur::Failed(result) ? counts.failed : counts.converted);
    if (ur::Failed(result)) {
      Report(
          params.protocol,
          QCoreApplication::translate("ReverseConversion", "Processing of %1 failed.").arg(name));
    }
    total += step;
    SetProgress(params.progress, total, processing);
    Report(params.protocol,
           QCoreApplication::translate("ReverseConversion", "File %1 processed.").arg(name));
  }

  if (params.summary) {
    params.summary->directories.append(counts);
    params.summary->converted += counts.converted;
    params.summary->failed += counts.failed;
  }
  SetProgress(params.progress, 100.0, QCoreApplication::translate("ReverseConversion", "Finished"));
  Report(params.protocol, QCoreApplication::translate("ReverseConversion", "Finished."));
  return result;
}

}  // namespace urs::zel
