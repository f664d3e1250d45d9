#pragma once
// Format dispatch: picks a registered loader or saver class by file suffix.

#include <ur/data_loader.h>
#include <ur/data_saver.h>
#include <ur/image_buf.h>
#include <ur/metadata.h>
#include <ur/urcore_export.h>

#include <QHash>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace ur {

class URCORE_EXPORT IxDataFormatManager : public QObject {
  Q_OBJECT
public:
  explicit IxDataFormatManager(QObject* parent = nullptr);

  // Makes className the handler of files with this suffix (case-insensitive, without the dot),
  // ahead of other registered classes that also list the suffix.
  void setPreferredLoader(const QString& suffix, const QString& className);
  void setPreferredSaver(const QString& suffix, const QString& className);
  QString preferredLoader(const QString& suffix) const;
  QString preferredSaver(const QString& suffix) const;

private:
  mutable QMutex m_mutex;
  QHash<QString, QString> m_preferredLoaders;
  QHash<QString, QString> m_preferredSavers;
};

class URCORE_EXPORT CxImageFormatManager : public IxDataFormatManager {
  Q_OBJECT
public:
  static CxImageFormatManager* instance();

  // A loader for the file by its suffix: the preferred class, else the first registered
  // "IxImageDataLoader" whose formats list the suffix. Loads the format plug-ins first if that
  // has not happened. Null when no class handles the suffix. The file name is already set.
  std::unique_ptr<IxImageDataLoader> createLoader(const QString& path);
  std::unique_ptr<IxImageDataSaver> createSaver(const QString& path);

  // Loads frame 0 of the file into buffer (allocated here, top row first; the caller frees it
  // with FreeBuffer) and, when metadata is not null, its metadata. False when no loader handles
  // the suffix or the loader fails; buffer is then left empty.
  bool loadImageFromFile(const QString& path, SxImageBuf& buffer, CxMetadata* metadata);

  // Saves buffer (top row first) with its metadata through the saver of the suffix. The file is
  // written under a temporary name in the same folder and renamed over path only when complete,
  // so a failed save never leaves a damaged file where a good one was.
  bool saveImageToFile(const QString& path, const SxImageBuf& buffer,
                       const CxMetadata* metadata = nullptr, const SaveOptions& options = {});

  // Suffixes that registered loaders / savers handle, lower case, sorted.
  QStringList loaderSuffixes();
  QStringList saverSuffixes();

private:
  CxImageFormatManager();
};

// Loads the framework's format plug-ins (modules named urp*.so) from dir, or from the
// executable's folder when dir is empty, and lets each register its classes. A plug-in is
// loaded once per process; later calls load only new ones. Returns the number loaded now.
URCORE_EXPORT int LoadFormatPlugins(const QString& dir = QString());

}  // namespace ur
