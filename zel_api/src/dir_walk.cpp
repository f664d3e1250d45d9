// The directory listing and the tree walk of the directory conversion.
#include "dir_steps.h"

#include <zel/dir_jobs.h>
#include <zel/input_reading.h>

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace urs::zel::detail {

namespace {

const QLatin1String kZelSuffix(".zel.png");

// Symbolic links to directories are not followed, so that a link loop cannot make the walk
// endless.
QStringList ListSubdirectories(const QString& dir) {
  QStringList paths;
  const QStringList names =
      QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Unsorted);
  for (const QString& name : names) paths << WithTrailingSeparator(dir + name);
  return paths;
}

void Walk(const QString& dir, bool recursive, QVector<DirJob>& jobs) {
  const QStringList files = ListInputFiles(dir);
  if (!files.isEmpty()) jobs.append({dir, files});
  if (!recursive) return;
  for (const QString& sub : ListSubdirectories(dir)) Walk(sub, recursive, jobs);
}

}  // namespace

QString WithTrailingSeparator(const QString& dir) {
  QString normalised = dir;
  if (!normalised.endsWith(QLatin1Char('/')) && !normalised.endsWith(QLatin1Char('\\')))
    normalised += QDir::separator();
  return QDir::toNativeSeparators(normalised);
}

QStringList ListInputFiles(const QString& dir) {
  const QDir listed(dir);
  if (!listed.exists()) return {};
  // Name filters match without regard to case; the ZEL outputs are excluded by their exact
  // suffix. Hidden names, such as the writers' temporary files, are never listed.
  QStringList files =
      listed.entryList(GetRawFilter(), QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
  files.erase(std::remove_if(files.begin(), files.end(),
                             [](const QString& name) { return name.endsWith(kZelSuffix); }),
              files.end());
  return files;
}

QVector<DirJob> WalkInputTree(const QString& root, bool recursive) {
  QVector<DirJob> jobs;
  if (QFileInfo(root).isDir()) Walk(WithTrailingSeparator(root), recursive, jobs);
  return jobs;
}

QString DirOutputPath(const QString& outputDir, const QString& name) {
  return QStringLiteral("%1%2").arg(outputDir, QFileInfo(name).completeBaseName() + kZelSuffix);
}

}  // namespace urs::zel::detail

namespace urs::zel {

QVector<ConversionJob> ListConversionJobs(const QString& root, bool recursive) {
  return detail::WalkInputTree(root, recursive);
}

}  // namespace urs::zel
