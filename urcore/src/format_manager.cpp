#include "framework_plugins.h"
#include "framework_suffix_table.h"

#include <ur/atomic_file.h>
#include <ur/buffers.h>
#include <ur/format_manager.h>
#include <ur/image_data.h>
#include <ur/rtti.h>

#include <QDateTime>
#include <QDebug>
#include <QFileInfo>

#include <exception>

namespace ur {

namespace {
const QString kLoaderInterface = QStringLiteral("IxImageDataLoader");
const QString kSaverInterface = QStringLiteral("IxImageDataSaver");

// "TIF", ".tif" and "*.tif" all name the suffix "tif".
QString NormalizedSuffix(const QString& suffix) {
  QString s = suffix.trimmed().toLower();
  while (s.startsWith(QLatin1Char('*')) || s.startsWith(QLatin1Char('.'))) s.remove(0, 1);
  return s;
}

QString SuffixOfPath(const QString& path) { return QFileInfo(path).suffix().toLower(); }

// The preferred class if it can be created, else the first candidate that can.
template <typename Handler>
std::unique_ptr<Handler> CreateHandler(const QString& preferred, const QStringList& candidates) {
  CxRtti* rtti = CxRtti::instance();
  if (!preferred.isEmpty()) {
    if (Handler* handler = rtti->create<Handler>(preferred)) return std::unique_ptr<Handler>(handler);
    qWarning().noquote() << QStringLiteral("The preferred format class %1 cannot be created.")
                                .arg(preferred);
  }
  for (const QString& className : candidates)
    if (Handler* handler = rtti->create<Handler>(className)) return std::unique_ptr<Handler>(handler);
  return nullptr;
}

// Lends the caller's pixels to a data object for the length of a save: the object must never
// free them, on any path.
class LentPixels {
public:
  LentPixels(CxImageData& data, const SxImageBuf& pixels) : m_data(data) {
    m_data.setImageShallow(pixels, 0, 0, QDateTime::currentDateTime());
  }
  ~LentPixels() { m_data.takeImage(); }
  LentPixels(const LentPixels&) = delete;
  LentPixels& operator=(const LentPixels&) = delete;

private:
  CxImageData& m_data;
};

// Writes frame 0 through the saver into the file it was given; the saver is closed either way.
bool WriteFrame(IxImageDataSaver& saver, const SxImageBuf& buffer, const CxMetadata* metadata) {
  CxImageData data;
  if (metadata) data.setMetadata(*metadata);
  const LentPixels lent(data, buffer);
  const bool written = saver.open() && saver.save(&data, 0);
  const bool closed = saver.close();
  return written && closed;
}

void LogFileFailure(const char* what, const QString& path, const QString& reason) {
  qWarning().noquote() << QStringLiteral("Cannot %1 %2: %3").arg(QLatin1String(what), path, reason);
}
}  // namespace

// IxDataFormatManager -----------------------------------------------------------------------

IxDataFormatManager::IxDataFormatManager(QObject* parent) : QObject(parent) {}

void IxDataFormatManager::setPreferredLoader(const QString& suffix, const QString& className) {
  QMutexLocker lock(&m_mutex);
  m_preferredLoaders.insert(NormalizedSuffix(suffix), className);
}

void IxDataFormatManager::setPreferredSaver(const QString& suffix, const QString& className) {
  QMutexLocker lock(&m_mutex);
  m_preferredSavers.insert(NormalizedSuffix(suffix), className);
}

QString IxDataFormatManager::preferredLoader(const QString& suffix) const {
  QMutexLocker lock(&m_mutex);
  return m_preferredLoaders.value(NormalizedSuffix(suffix));
}

QString IxDataFormatManager::preferredSaver(const QString& suffix) const {
  QMutexLocker lock(&m_mutex);
  return m_preferredSavers.value(NormalizedSuffix(suffix));
}

// CxImageFormatManager ----------------------------------------------------------------------

CxImageFormatManager::CxImageFormatManager() = default;

CxImageFormatManager* CxImageFormatManager::instance() {
  // Kept for the life of the process, like the class registry it works with.
  static CxImageFormatManager* const manager = new CxImageFormatManager();
  return manager;
}

std::unique_ptr<IxImageDataLoader> CxImageFormatManager::createLoader(const QString& path) {
  detail::EnsureFormatPluginsLoaded();
  const QString suffix = SuffixOfPath(path);
  if (suffix.isEmpty()) return nullptr;
  auto loader = CreateHandler<IxImageDataLoader>(
      preferredLoader(suffix), detail::HandlerClasses(kLoaderInterface, suffix));
  if (loader) loader->setFilename(path);
  return loader;
}

std::unique_ptr<IxImageDataSaver> CxImageFormatManager::createSaver(const QString& path) {
  detail::EnsureFormatPluginsLoaded();
  const QString suffix = SuffixOfPath(path);
  if (suffix.isEmpty()) return nullptr;
  auto saver = CreateHandler<IxImageDataSaver>(preferredSaver(suffix),
                                               detail::HandlerClasses(kSaverInterface, suffix));
  if (saver) saver->setFilename(path);
  return saver;
}

bool CxImageFormatManager::loadImageFromFile(const QString& path, SxImageBuf& buffer,
                                             CxMetadata* metadata) {
  buffer = SxImageBuf{};
  try {
    const auto loader = createLoader(path);
    if (!loader) {
      LogFileFailure("load", path, QStringLiteral("no loader handles this suffix"));
      return false;
    }
    if (!loader->open()) {
      LogFileFailure("load", path, QStringLiteral("the loader failed"));
      return false;
    }
    // The loader is closed right away: take its frame rather than a copy.
    const std::unique_ptr<CxImageData> data(loader->takeImageData(0));
    loader->close();
    if (!data || !data->hasPixels()) {
      LogFileFailure("load", path, QStringLiteral("the loader gave no pixels"));
      return false;
    }
    if (metadata) *metadata = data->metadata();
    buffer = data->takeImage();
    return true;
  } catch (const std::exception& e) {
    LogFileFailure("load", path, QString::fromLocal8Bit(e.what()));
  } catch (...) {
    LogFileFailure("load", path, QStringLiteral("unknown exception"));
  }
  return false;
}

bool CxImageFormatManager::saveImageToFile(const QString& path, const SxImageBuf& buffer,
                                           const CxMetadata* metadata, const SaveOptions& options) {
  if (!HasPixels(buffer)) {
    LogFileFailure("save", path, QStringLiteral("the image has no pixels"));
    return false;
  }
  try {
    auto saver = createSaver(path);
    if (!saver) {
      LogFileFailure("save", path, QStringLiteral("no saver handles this suffix"));
      return false;
    }
    // Until commit() the target is untouched; the temporary file goes away on failure.
    CxAtomicFile file(path);
    saver->setFilename(file.tempPath());
    saver->setOptions(options);
    if (metadata) saver->setGlobalMetadata(*metadata);
    const bool written = WriteFrame(*saver, buffer, metadata);
    saver.reset();  // releases anything the saver still holds on the temporary file
    if (!written) {
      LogFileFailure("save", path, QStringLiteral("the saver failed"));
      return false;
    }
    QString reason;
    if (!file.commit(&reason)) {
      LogFileFailure("save", path,
                     QStringLiteral("the finished file cannot replace the target: %1").arg(reason));
      return false;
    }
    return true;
  } catch (const std::exception& e) {
    LogFileFailure("save", path, QString::fromLocal8Bit(e.what()));
  } catch (...) {
    LogFileFailure("save", path, QStringLiteral("unknown exception"));
  }
  return false;
}

QStringList CxImageFormatManager::loaderSuffixes() {
  detail::EnsureFormatPluginsLoaded();
  return detail::HandledSuffixes(kLoaderInterface);
}

QStringList CxImageFormatManager::saverSuffixes() {
  detail::EnsureFormatPluginsLoaded();
  return detail::HandledSuffixes(kSaverInterface);
}

}  // namespace ur
