#pragma once
// The directories a directory conversion takes, with their input files, for callers that run
// one conversion per directory (a scheduler, possibly over several machines) or look at the
// inputs first.

#include <zel/zel_api_export.h>

#include <QString>
#include <QStringList>
#include <QVector>

namespace urs::zel {

// One directory with input images: its path (trailing separator, native form) and the names of
// its input files, unsorted.
struct ConversionJob {
  QString dir;
  QStringList files;
};

// The directories of the tree below root (root itself included; subdirectories only with
// recursive) that hold input images, depth first: the directories, files and order that
// ConvertDirToZel converts. Empty when root is no directory.
ZEL_API_EXPORT QVector<ConversionJob> ListConversionJobs(const QString& root, bool recursive);

}  // namespace urs::zel
