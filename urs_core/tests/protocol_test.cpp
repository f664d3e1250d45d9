#include <urs/protocol.h>

#include <zel_testing/printers.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>
#include <vector>

namespace {

TEST(Protocol, EmptyLogIndicesOutsideTheLogAndReset) {
  urs::Protocol log;
  std::vector<int> indices;
  QObject::connect(&log, &urs::Protocol::updated, [&](int i) { indices.push_back(i); });
  log.reset();  // signals even when already empty
  EXPECT_TRUE(log.isEmpty());
  EXPECT_TRUE(log.getLastMessage().isEmpty());
  EXPECT_TRUE(log.getMessage(0).isEmpty());
  EXPECT_TRUE(log.getProtocol().isEmpty());

  log.addMessage(QStringLiteral("one"));
  EXPECT_FALSE(log.isEmpty());
  EXPECT_TRUE(log.getMessage(-1).isEmpty());
  EXPECT_TRUE(log.getMessage(1).isEmpty());
  EXPECT_EQ(log.getProtocol().size(), 1);

  log.reset();
  EXPECT_TRUE(log.isEmpty());
  EXPECT_TRUE(log.getProtocol().isEmpty());
  EXPECT_EQ(indices, (std::vector<int>{-1, 0, -1}));
}

// The line is "[<local time, Qt::TextDate>]: <text>", and updated() carries its index.
TEST(Protocol, AddMessageStampsTheLineAndSignalsItsIndex) {
  urs::Protocol log;
  std::vector<int> indices;
  QObject::connect(&log, &urs::Protocol::updated, [&](int i) { indices.push_back(i); });
  const QDateTime before = QDateTime::currentDateTime().addSecs(-2);
  log.addMessage(QStringLiteral("x"));
  log.addMessage(QStringLiteral("y: %1"));
  const QDateTime after = QDateTime::currentDateTime().addSecs(1);

  EXPECT_EQ(indices, (std::vector<int>{0, 1}));
  const QString line = log.getMessage(0);
  ASSERT_TRUE(line.startsWith('[') && line.endsWith(QStringLiteral("]: x"))) << line.toStdString();
  const QDateTime stamp = QDateTime::fromString(line.mid(1, line.size() - 5), Qt::TextDate);
  ASSERT_TRUE(stamp.isValid()) << line.toStdString();
  EXPECT_GE(stamp, before);
  EXPECT_LE(stamp, after);
  // Placeholders in the text are kept as they stand.
  EXPECT_TRUE(log.getLastMessage().endsWith(QStringLiteral("]: y: %1")));
}

// A directly connected receiver reads the log back, here from another thread so that a lock
// still held while emitting shows as a timeout rather than a hang.
TEST(Protocol, SignalsAfterUnlocking) {
  urs::Protocol log;
  std::thread helper;
  std::promise<QString> line;
  bool readBack = false;
  QObject::connect(&log, &urs::Protocol::updated, [&](int i) {
    std::future<QString> got = line.get_future();
    helper = std::thread([&log, &line, i] { line.set_value(log.getMessage(i)); });
    readBack = got.wait_for(std::chrono::seconds(5)) == std::future_status::ready &&
               got.get().endsWith(QStringLiteral("]: m"));
  });
  log.addMessage(QStringLiteral("m"));
  helper.join();
  EXPECT_TRUE(readBack);
}

// A queued receiver and a polling reader each see every line once, in order, while a writer
// thread appends.
TEST(Protocol, ReadersSeeEveryLineOnceWhileAWriterAppends) {
  constexpr int kLines = 2000;
  urs::Protocol log;
  QObject receiver;
  std::vector<int> queued;
  QObject::connect(
      &log, &urs::Protocol::updated, &receiver, [&](int i) { queued.push_back(i); },
      Qt::QueuedConnection);

  std::thread writer([&] {
    for (int k = 0; k < kLines; ++k) log.addMessage(QString::number(k));
  });
  int polled = 0;
  bool inOrder = true;
  std::thread reader([&] {
    while (polled < kLines) {
      const QString line = log.getMessage(polled);
      if (line.isEmpty()) continue;
      inOrder = inOrder && line.endsWith(QStringLiteral("]: %1").arg(polled));
      ++polled;
    }
  });
  writer.join();
  reader.join();
  QCoreApplication::processEvents();

  EXPECT_EQ(polled, kLines);
  EXPECT_TRUE(inOrder);
  ASSERT_EQ(int(queued.size()), kLines);
  for (int k = 0; k < kLines; ++k) ASSERT_EQ(queued[std::size_t(k)], k);
  EXPECT_EQ(log.getProtocol().size(), kLines);
}

TEST(Protocol, SaveWritesEveryLineWithANewlineAndFailsForAMissingFolder) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  urs::Protocol log;
  log.addMessage(QStringLiteral("first"));
  log.addMessage(QString::fromUtf8("zweite \xC3\xA4"));
  const QString path = dir.filePath(QStringLiteral("log.txt"));
  ASSERT_TRUE(log.save(path));

  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray expected = (log.getMessage(0) + "\n" + log.getMessage(1) + "\n").toLocal8Bit();
  EXPECT_EQ(file.readAll(), expected);

  EXPECT_FALSE(log.save(dir.filePath(QStringLiteral("missing/log.txt"))));
  EXPECT_FALSE(QDir(dir.filePath(QStringLiteral("missing"))).exists());
  EXPECT_EQ(log.getProtocol().size(), 2);
}

}  // namespace
