#include "raw_file.h"

#include "bit_depth.h"
#include "dir_runs.h"
#include "interrupt.h"

#include <urs/protocol.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>

namespace urs::zel {

namespace {

namespace rc = ur::rc;

void Report(Protocol* protocol, const QString& line) {
  if (protocol) protocol->addMessage(line);
}

}  // namespace

ur::Result ConvertFileRaw(const ZelParams& params, bool autoBits, const QString& input,
                          const QString& output) {
  const QFileInfo in(input);
  if (!in.isFile()) {
    Report(params.protocol, QStringLiteral("Cannot read %1.").arg(input));
    return rc::InvalidArg(1);
  }
  if (QFileInfo(output).suffix().compare(QLatin1String("png"), Qt::CaseInsensitive) != 0) {
    Report(params.protocol, QStringLiteral("A ZEL image is a PNG file: %1.").arg(output));
    return rc::Unsupported;
  }
  ZelParams one = params;
  one.pluginId = FirstPluginId();
  one.inputDir = QDir::toNativeSeparators(in.absolutePath() + QLatin1Char('/'));
  one.processSubfolders = false;
  if (autoBits) one.rawBitColorDepth = DetectBitDepth(one.inputDir, {in.fileName()});

  // Hidden, so that a directory run over the output's folder never lists it.
  QTemporaryDir work(QFileInfo(output).absolutePath() + QStringLiteral("/.zelconv-XXXXXX"));
  if (!work.isValid()) {
    Report(params.protocol, QStringLiteral("Cannot write into the folder of %1.").arg(output));
    return rc::Fail;
  }
  ZelRunSummary summary;
  one.summary = &summary;
  const QString workDir = QDir::toNativeSeparators(work.path() + QLatin1Char('/'));
  const ur::Result r = ConvertFlatDirToZelRaw(one, workDir, {in.fileName()}, &RunToken());
  if (ur::Failed(r)) return r;
  if (summary.converted != 1) return rc::Fail;

  // The conversion names its image after the input; it is the folder's only file.
  const QStringList made = QDir(work.path()).entryList(QDir::Files);
  if (made.size() != 1) return rc::Fail;
  const QString written = workDir + made.first();
  // rename() replaces an earlier output in one step.
  if (std::rename(QFile::encodeName(written).constData(), QFile::encodeName(output).constData()) !=
      0) {
    Report(params.protocol, QStringLiteral("Cannot write %1.").arg(output));
    return rc::Fail;
  }
  return rc::Ok;
}

}  // namespace urs::zel
