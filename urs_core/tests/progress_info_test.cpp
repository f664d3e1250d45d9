#include <urs/progress_info.h>

#include <zel_testing/printers.h>

#include <QMetaObject>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

namespace {

struct Info {
  double total = -1.0;
  QString totalMessage;
  double task = -1.0;
  QString taskMessage;
};

Info Read(urs::CxProgressInfo& p) {
  Info i;
  p.getInfo(i.total, i.totalMessage, i.task, i.taskMessage);
  return i;
}

TEST(CxProgressInfo, ClampsProgressAndIgnoresRatiosOutsideZeroToOne) {
  urs::CxProgressInfo p;
  int updates = 0;
  QObject::connect(&p, &urs::CxProgressInfo::updated, [&] { ++updates; });

  p.setTaskRatio(0.5);
  for (const double ignored : {0.0, -1.0, 1.5}) p.setTaskRatio(ignored);
  p.setTotalProgress(-5.0, QStringLiteral("job"));
  p.setTaskProgress(150.0, QStringLiteral("step"));
  Info i = Read(p);
  EXPECT_DOUBLE_EQ(i.total, 0.0 + 0.5 * 100.0);  // ratio 0.5 kept, both values clamped
  EXPECT_DOUBLE_EQ(i.task, 100.0);
  EXPECT_EQ(i.totalMessage, QStringLiteral("job"));
  EXPECT_EQ(i.taskMessage, QStringLiteral("step"));
  EXPECT_EQ(updates, 2);  // the ratio setter emits nothing

  p.setTaskRatio(1.0);
  p.setTaskProgress(30.0, QString());
  EXPECT_DOUBLE_EQ(Read(p).total, 30.0);
}

TEST(CxProgressInfo, BlendsTheTaskIntoTheTotalUntilTheJobIsDone) {
  urs::CxProgressInfo p;
  p.setTaskRatio(0.25);
  p.setTotalProgress(50.0, QString());
  p.setTaskProgress(40.0, QString());
  Info i = Read(p);
  EXPECT_DOUBLE_EQ(i.total, 60.0);
  EXPECT_DOUBLE_EQ(i.task, 40.0);

  p.setTotalProgress(100.0, QStringLiteral("done"));
  i = Read(p);
  EXPECT_DOUBLE_EQ(i.total, 100.0);
  EXPECT_DOUBLE_EQ(i.task, 100.0);
}

// cancel() is a slot reachable through the meta-object, as a button's clicked() reaches it.
TEST(CxProgressInfo, CancelIsASlotAndResetClearsAllButTheRatio) {
  urs::CxProgressInfo p;
  p.setTaskRatio(0.5);
  p.setTotalProgress(20.0, QStringLiteral("a"));
  p.setTaskProgress(60.0, QStringLiteral("b"));
  int canceled = 0, updates = 0;
  QObject::connect(&p, &urs::CxProgressInfo::canceled, [&] { ++canceled; });
  QObject::connect(&p, &urs::CxProgressInfo::updated, [&] { ++updates; });
  ASSERT_TRUE(QMetaObject::invokeMethod(&p, "cancel", Qt::DirectConnection));
  EXPECT_TRUE(p.isCanceled());
  EXPECT_EQ(canceled, 1);

  p.reset();
  EXPECT_EQ(updates, 1);
  EXPECT_FALSE(p.isCanceled());
  Info i = Read(p);
  EXPECT_DOUBLE_EQ(i.total, 0.0);
  EXPECT_TRUE(i.totalMessage.isEmpty());
  EXPECT_TRUE(i.taskMessage.isEmpty());
  p.setTaskProgress(60.0, QString());
  EXPECT_DOUBLE_EQ(Read(p).total, 30.0);  // the ratio 0.5 stayed
}

// The lock is recursive, so a same-thread call would pass even under the lock: the receiver
// reads from another thread, which would wait until the signal returned.
TEST(CxProgressInfo, SignalsAfterUnlocking) {
  urs::CxProgressInfo p;
  std::thread helper;
  std::promise<QString> message;
  bool readBack = false;
  QObject::connect(&p, &urs::CxProgressInfo::updated, [&] {
    std::future<QString> got = message.get_future();
    helper = std::thread([&p, &message] { message.set_value(Read(p).taskMessage); });
    readBack = got.wait_for(std::chrono::seconds(5)) == std::future_status::ready &&
               got.get() == QStringLiteral("step");
  });
  p.setTaskProgress(10.0, QStringLiteral("step"));
  helper.join();
  EXPECT_TRUE(readBack);
}

}  // namespace
