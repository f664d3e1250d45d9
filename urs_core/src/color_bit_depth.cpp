#include <urs/color_bit_depth.h>

#include <urs/progress_info.h>
#include <urs/protocol.h>

#include <ur/buffers.h>
#include <ur/format_manager.h>

#include <QDir>
#include <QObject>

namespace urs {

namespace {

constexpr int kCountReportEvery = 10;
constexpr double kFullPercent = 100.0;

// The directory path with exactly one separator at its end, in native form.
QString FilePrefix(const QString& dirPath) {
  QString prefix = dirPath;
  if (!prefix.isEmpty() && !prefix.endsWith(QLatin1Char('/')) &&
      !prefix.endsWith(QLatin1Char('\\')))
    prefix += QDir::separator();
  return QDir::toNativeSeparators(prefix);
}

void ReportChecked(Protocol* protocol, int checked, int count) {
  if (protocol)
    protocol->addMessage(QObject::tr("%1 of %2 files checked.").arg(checked).arg(count));
}

}  // namespace

ur::Result GetColorBitDepthFromDir(const QString& dirPath, const QStringList& nameFilters,
                                   int* bitDepth, ur::ExImageDataType* dataType,
                                   Protocol* protocol, CxProgressInfo* progress) {
  if (!bitDepth) return ur::rc::InvalidArg(3);
  if (!dataType) return ur::rc::InvalidArg(4);
  *bitDepth = 0;

  const QString prefix = FilePrefix(dirPath);
  const QStringList entries = QDir(dirPath).entryList(nameFilters, QDir::Files, QDir::NoSort);
  if (entries.isEmpty()) return ur::rc::Fail;

  const int count = entries.size();
  if (progress) {
    progress->reset();
    progress->setTaskRatio(1.0);
  }
  const double step = kFullPercent / count;
  double total = 0.0;
  int deepest = 0;
  ur::ExImageDataType deepestType = ur::eImageDataUnknown;
  bool cancelled = false;
  int checked = 0;
  ur::CxImageFormatManager* formats = ur::CxImageFormatManager::instance();
  for (; checked < count; ++checked) {
    if (progress && progress->isCanceled()) {
      cancelled = true;
      break;
    }
    if (checked % kCountReportEvery == 0) ReportChecked(protocol, checked, count);
    const QString& name = entries.at(checked);
    ur::ScopedImageBuf image;
    if (formats->loadImageFromFile(prefix + name, image.get(), nullptr)) {
      if (image->bitDepth > deepest) {
        deepest = image->bitDepth;
        deepestType = image->dataType;
      }
    } else if (protocol) {
      protocol->addMessage(QObject::tr("Failed to read %1.").arg(name));
    }
    total += step;
    if (progress) progress->setTotalProgress(total, QObject::tr("Detecting color depth..."));
  }
  ReportChecked(protocol, checked, count);
  if (protocol) protocol->addMessage(QObject::tr("Done."));

  *bitDepth = deepest;
  *dataType = deepestType;
  return deepest < 1 || cancelled ? ur::rc::Fail : ur::rc::Ok;
}

}  // namespace urs
