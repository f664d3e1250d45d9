#pragma once
// Writing a file so that readers see either the old file or the complete new one.

#include <ur/urcore_export.h>

#include <QString>

namespace ur {

// Hands out a temporary path in the folder of the target (same suffix, so writers that choose
// the format by suffix still work). commit() renames it over the target; if commit() is not
// called, or fails, the destructor removes the temporary file and the target stays as it was.
class URCORE_EXPORT CxAtomicFile {
public:
  explicit CxAtomicFile(const QString& targetPath);
  ~CxAtomicFile();
  CxAtomicFile(const CxAtomicFile&) = delete;
  CxAtomicFile& operator=(const CxAtomicFile&) = delete;

  const QString& tempPath() const { return m_tempPath; }
  const QString& targetPath() const { return m_targetPath; }
  // Renames the temporary file over the target. False when the temporary file is missing, the
  // target is a folder or the rename fails (the target is then unchanged); reason, when given,
  // then says which.
  bool commit(QString* reason = nullptr);

private:
  QString m_targetPath;
  QString m_tempPath;
  bool m_committed = false;
};

}  // namespace ur
