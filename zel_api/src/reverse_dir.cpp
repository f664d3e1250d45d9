// Every ZEL image of one directory back into raw images, with protocol and progress.
#include <zel/reverse_conversion.h>

#include <zel/plugin.h>

#include <urs/progress_info.h>
#include <urs/protocol.h>

#include <ur/result.h>

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

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
  for (const QString& name : names) {
    // Polled once per file: a cancellation takes effect after the file in progress.
    if (token && token->isCancelled()) {
      result = rc::Cancelled;
      break;
    }
    const QString processing =
        QCoreApplication::translate("ReverseConversion", "Processing %1").arg(name);
    SetProgress(params.progress, total, processing);
    result = ConvertZelFileToRAW(params.pluginId, params.inputDir + name,
                                 DezelOutputFileName(params.outputDir, name), nullptr);
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

  SetProgress(params.progress, 100.0, QCoreApplication::translate("ReverseConversion", "Finished"));
  Report(params.protocol, QCoreApplication::translate("ReverseConversion", "Finished."));
  return result;
}

}  // namespace urs::zel
