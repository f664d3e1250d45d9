#include <ur/atomic_file.h>

#include <zel_testing/printers.h>

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

using ur::CxAtomicFile;

QByteArray ReadBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QStringList FilesIn(const QString& dir) {
  return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

TEST(CxAtomicFile, TemporaryFileIsHiddenBesideTheTargetAndKeepsItsSuffix) {
  QTemporaryDir dir;
  const QString target = dir.filePath(QStringLiteral("frame.0001.zel.png"));
  CxAtomicFile a(target);
  CxAtomicFile b(target);
  EXPECT_EQ(a.targetPath(), target);
  const QFileInfo temp(a.tempPath());
  EXPECT_EQ(temp.absolutePath(), QFileInfo(target).absolutePath());
  EXPECT_TRUE(temp.fileName().startsWith(QStringLiteral(".frame.0001.zel.tmp-")))
      << temp.fileName().toStdString();
  EXPECT_EQ(temp.suffix(), QStringLiteral("png"));
  EXPECT_NE(a.tempPath(), b.tempPath());
  EXPECT_FALSE(temp.exists());  // only a name until the writer creates it

  const QFileInfo bare(CxAtomicFile(dir.filePath(QStringLiteral("README"))).tempPath());
  EXPECT_TRUE(bare.fileName().startsWith(QStringLiteral(".README.tmp-")))
      << bare.fileName().toStdString();
  EXPECT_FALSE(bare.fileName().contains(QStringLiteral(".README.tmp-") + QStringLiteral(".")));

  // A path without folder stays in the current folder.
  EXPECT_EQ(QFileInfo(CxAtomicFile(QStringLiteral("x.tif")).tempPath()).absolutePath(),
            QDir::currentPath());
}

TEST(CxAtomicFile, CommitReplacesTheTargetAndKeepsItsPermissions) {
  QTemporaryDir dir;
  const QString target = dir.filePath(QStringLiteral("out.png"));
  ASSERT_TRUE(WriteBytes(target, "old"));
  const QFile::Permissions permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
  ASSERT_TRUE(QFile::setPermissions(target, permissions));
  {
    CxAtomicFile file(target);
    ASSERT_TRUE(WriteBytes(file.tempPath(), "new"));
    EXPECT_EQ(ReadBytes(target), QByteArray("old"));  // untouched until commit
    EXPECT_TRUE(file.commit());
    EXPECT_TRUE(file.commit());  // a second commit changes nothing
  }
  EXPECT_EQ(ReadBytes(target), QByteArray("new"));
  const QFile::Permissions ownerGroupOther(0x7077);  // leave out the "current user" flags
  EXPECT_EQ(QFile::permissions(target) & ownerGroupOther, permissions);
  EXPECT_EQ(FilesIn(dir.path()), QStringList{"out.png"});
}

TEST(CxAtomicFile, CommitCreatesAMissingTarget) {
  QTemporaryDir dir;
  const QString target = dir.filePath(QStringLiteral("new.tif"));
  {
    CxAtomicFile file(target);
    ASSERT_TRUE(WriteBytes(file.tempPath(), "data"));
    EXPECT_TRUE(file.commit());
  }
  EXPECT_EQ(ReadBytes(target), QByteArray("data"));
  EXPECT_EQ(FilesIn(dir.path()), QStringList{"new.tif"});
}

TEST(CxAtomicFile, WithoutCommitTheTargetStaysAndTheTemporaryFileGoes) {
  QTemporaryDir dir;
  const QString target = dir.filePath(QStringLiteral("out.png"));
  ASSERT_TRUE(WriteBytes(target, "old"));
  {
    CxAtomicFile file(target);
    ASSERT_TRUE(WriteBytes(file.tempPath(), "half written"));
  }
  EXPECT_EQ(ReadBytes(target), QByteArray("old"));
  EXPECT_EQ(FilesIn(dir.path()), QStringList{"out.png"});
}

TEST(CxAtomicFile, CommitFailsWithoutATemporaryFileOrOverAFolder) {
  QTemporaryDir dir;
  const QString target = dir.filePath(QStringLiteral("out.png"));
  ASSERT_TRUE(WriteBytes(target, "old"));
  {
    CxAtomicFile file(target);
    EXPECT_FALSE(file.commit());
  }
  EXPECT_EQ(ReadBytes(target), QByteArray("old"));

  const QString folder = dir.filePath(QStringLiteral("folder.png"));
  ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.png")));
  {
    CxAtomicFile file(folder);
    ASSERT_TRUE(WriteBytes(file.tempPath(), "data"));
    EXPECT_FALSE(file.commit());
  }
  EXPECT_TRUE(QFileInfo(folder).isDir());
  EXPECT_EQ(FilesIn(dir.path()), QStringList{"out.png"});
}

}  // namespace
