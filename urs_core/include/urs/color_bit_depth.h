#pragma once
// The colour bit depth of the raw frames in one directory: the deepest of its readable images.

#include <urs/urs_core_export.h>

#include <ur/image_buf.h>
#include <ur/result.h>

#include <QString>
#include <QStringList>

namespace urs {

class CxProgressInfo;
class Protocol;

// Loads every plain file of dirPath (not its subdirectories) that matches nameFilters through
// the format manager and reports the largest bits per sample found, with the data type of the
// first file of that depth. Unreadable files are reported to the protocol and skipped; the
// progress record's cancel flag is polled before each file. protocol and progress may be null.
// Returns rc::Ok; rc::InvalidArg(3) / rc::InvalidArg(4) when bitDepth / dataType is null;
// rc::Fail when nothing matches, nothing could be read or the run was cancelled (the out-
// parameters then hold what was found so far, except when nothing matched: *dataType untouched).
URS_CORE_EXPORT ur::Result GetColorBitDepthFromDir(const QString& dirPath,
                                                   const QStringList& nameFilters, int* bitDepth,
                                                   ur::ExImageDataType* dataType,
                                                   Protocol* protocol, CxProgressInfo* progress);

}  // namespace urs
