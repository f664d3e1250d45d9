#include <ur/atomic_file.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace ur {
namespace {

// The base name is only there for people who find a stray temporary file; keep it short so
// that the temporary name stays within the file system's name limit.
constexpr int kMaxBaseChars = 48;
constexpr int kMaxNameAttempts = 16;

QString RandomTag() { return QString::number(QRandomGenerator::global()->generate64(), 36); }

// A name in dir that no file has yet, built by make(tag).
template <typename MakeName>
QString UnusedPath(const QDir& dir, MakeName make) {
  QString path;
  for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
    path = dir.filePath(make(RandomTag()));
    if (!QFileInfo::exists(path)) break;
  }
  return path;
}

bool RenameOver(const QString& from, const QString& to) {
  // POSIX rename replaces the target in one step, so readers never see it missing.
  return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

}  // namespace

CxAtomicFile::CxAtomicFile(const QString& targetPath) : m_targetPath(targetPath) {
  const QFileInfo target(targetPath);
  const QString base = target.completeBaseName().left(kMaxBaseChars);
  const QString suffix = target.suffix();
  // ".<base>.tmp-<random>.<suffix>": hidden, beside the target (so the rename stays on one
  // file system) and with the target's suffix (writers choose the format by suffix).
  m_tempPath = UnusedPath(target.dir(), [&](const QString& tag) {
    QString name = QStringLiteral(".%1.tmp-%2").arg(base, tag);
    if (!suffix.isEmpty()) name += QLatin1Char('.') + suffix;
    return name;
  });
}

CxAtomicFile::~CxAtomicFile() {
  if (!m_committed) QFile::remove(m_tempPath);
}

bool CxAtomicFile::commit(QString* reason) {
  if (m_committed) return true;
  const auto fail = [reason](const QString& why) {
    if (reason) *reason = why;
    return false;
  };
  const QFileInfo temp(m_tempPath);
  if (!temp.exists() || temp.isDir()) return fail(QStringLiteral("the written file is missing"));
  const QFileInfo target(m_targetPath);
  if (target.isDir()) return fail(QStringLiteral("the name is taken by a folder"));
  // A replaced file keeps its permissions, as if it had been rewritten in place.
  if (target.exists()) QFile::setPermissions(m_tempPath, QFile::permissions(m_targetPath));

  if (RenameOver(m_tempPath, m_targetPath)) {
    m_committed = true;
    return true;
  }
  const QString renameError = QString::fromLocal8Bit(std::strerror(errno));
  if (!target.exists()) return fail(renameError);

  // The rename could not replace the target (some systems refuse to): move the target aside,
  // put the new file in its place, and bring the old one back if that fails too.
  const QString aside = UnusedPath(target.dir(), [&](const QString& tag) {
    return QStringLiteral(".%1.old-%2").arg(target.completeBaseName().left(kMaxBaseChars), tag);
  });
  if (!RenameOver(m_targetPath, aside)) return fail(renameError);
  if (!RenameOver(m_tempPath, m_targetPath)) {
    RenameOver(aside, m_targetPath);
    return fail(renameError);
  }
  QFile::remove(aside);
  m_committed = true;
  return true;
}

}  // namespace ur
