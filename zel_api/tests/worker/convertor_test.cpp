// The conversion worker: runs on its own thread with the parameters of the start that began the
// run, stops on cancel, and starts every run with a fresh token.
#include <zel/convertor.h>
#include <zel/version.h>

#include <urs/progress_info.h>
#include <urs/protocol.h>

#include <zel_testing/printers.h>

#include <QDir>
#include <QMetaMethod>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <mutex>

#include "../conversion/conversion_test_support.h"

namespace {

namespace rc = ur::rc;
using urs::zel::ZelConvertor;
using zel::testing::CpuPlugin;
using zel::testing::MakeGreyFrame;

constexpr unsigned long kRunTimeoutMs = 60000;
constexpr std::chrono::seconds kSignalTimeout{60};

// The log's lines without their time stamps.
QStringList Texts(urs::Protocol& log) {
  QStringList out;
  for (const QString& line : log.getProtocol()) out << line.section(QStringLiteral("]: "), 1);
  return out;
}

QString TotalMessage(urs::CxProgressInfo& progress) {
  double total = 0, task = 0;
  QString totalMessage, taskMessage;
  progress.getInfo(total, totalMessage, task, taskMessage);
  return totalMessage;
}

class WorkerTest : public zel::testing::ConversionTest {
protected:
  // A directory of three small 12-bit grey frames, with its forward parameters.
  urs::zel::ZelParams frames(const QString& name, urs::Protocol& log,
                             urs::CxProgressInfo& progress) {
    EXPECT_TRUE(QDir(path(QString())).mkpath(name));
    const std::uint16_t levels[4] = {3, 70, 1500, 4095};
    const ur::ScopedImageBuf frame = MakeGreyFrame<std::uint16_t>(6, 4, levels);
    for (int i = 0; i < 3; ++i)
      saveInput(QStringLiteral("%1/f%2.png").arg(name).arg(i), frame.get());
    urs::zel::ZelParams params;
    params.pluginId = CpuPlugin();
    params.inputDir = path(name) + QLatin1Char('/');
    params.rawBitColorDepth = 12;
    params.bayerGrid = ur::eBayerNone;
    params.progress = &progress;
    params.protocol = &log;
    return params;
  }
  QStringList outputs(const QString& dir, const char* pattern = "*.zel.png") const {
    return QDir(path(dir)).entryList({QLatin1String(pattern)}, QDir::Files, QDir::Name);
  }
  bool runToEnd(ZelConvertor& worker) { return worker.wait(kRunTimeoutMs); }
};

TEST(Worker, IdentityBeforeAnyRun) {
  ZelConvertor worker;
  EXPECT_EQ(worker.getResult(), rc::Ok);
  EXPECT_FALSE(worker.isRunning());

  const QMetaObject& meta = ZelConvertor::staticMetaObject;
  EXPECT_STREQ(meta.className(), "urs::zel::ZelConvertor");
  EXPECT_EQ(meta.superClass(), &QThread::staticMetaObject);
  ASSERT_EQ(meta.methodCount() - meta.methodOffset(), 3);
  struct Expected {
    const char* signature;
    QMetaMethod::Access access;
  };
  const Expected expected[3] = {{"start(Priority)", QMetaMethod::Protected},
                                {"start()", QMetaMethod::Protected},
                                {"onCancelled()", QMetaMethod::Private}};
  for (int i = 0; i < 3; ++i) {
    const QMetaMethod method = meta.method(meta.methodOffset() + i);
    EXPECT_EQ(method.methodSignature(), QByteArray(expected[i].signature)) << i;
    EXPECT_EQ(method.methodType(), QMetaMethod::Slot) << i;
    EXPECT_EQ(method.access(), expected[i].access) << i;
  }
  EXPECT_EQ(worker.qt_metacast("urs::zel::ZelConvertor"), static_cast<void*>(&worker));
  EXPECT_EQ(worker.qt_metacast("QThread"), static_cast<void*>(static_cast<QThread*>(&worker)));

  int major = -1, minor = -1, build = -1;
  QString text = QStringLiteral("the caller's");
  urs::zel::Version(major, minor, build, text);
  EXPECT_EQ(major, 2);
  EXPECT_EQ(minor, 0);
  EXPECT_EQ(build, 27);
  EXPECT_EQ(text, QStringLiteral("the caller's"));
  EXPECT_EQ(urs::zel::VersionString(), QStringLiteral("2.0.27 (64bit)"));
}

// A start while a run is in progress is ignored: the run keeps its parameters. The reverse
// kind then restores what the forward run wrote.
TEST_F(WorkerTest, SecondStartIsIgnoredAndBothKindsRun) {
  urs::Protocol firstLog, secondLog;
  urs::CxProgressInfo firstProgress, secondProgress;
  const urs::zel::ZelParams first = frames(QStringLiteral("a"), firstLog, firstProgress);
  const urs::zel::ZelParams second = frames(QStringLiteral("b"), secondLog, secondProgress);

  ZelConvertor worker;
  worker.start(first);
  worker.start(second);
  ASSERT_TRUE(runToEnd(worker));
  EXPECT_EQ(worker.getResult(), rc::Ok) << Texts(firstLog).join('\n').toStdString();
  EXPECT_EQ(outputs(QStringLiteral("a/ZEL")).size(), 3);
  EXPECT_FALSE(QDir(path(QStringLiteral("b/ZEL"))).exists());
  EXPECT_TRUE(secondLog.isEmpty());
  EXPECT_EQ(Texts(firstLog).last(), QStringLiteral("Processing done."));

  ASSERT_TRUE(QDir(path(QString())).mkdir(QStringLiteral("back")));
  urs::zel::BackZelParams back;
  back.pluginId = CpuPlugin();
  back.inputDir = path(QStringLiteral("a/ZEL/"));
  back.outputDir = path(QStringLiteral("back/"));
  back.protocol = &secondLog;
  worker.start(back);
  ASSERT_TRUE(runToEnd(worker));
  EXPECT_EQ(worker.getResult(), rc::Ok) << Texts(secondLog).join('\n').toStdString();
  EXPECT_EQ(outputs(QStringLiteral("back"), "*.dezel.*").size(), 3);
}

// The run is held at its first protocol line while the owner cancels, so the cancel always lands
// in the middle of the run. The next run starts with a fresh token.
TEST_F(WorkerTest, CancelEndsTheRunAndTheNextRunStartsAfresh) {
  urs::Protocol log;
  urs::CxProgressInfo progress;
  const urs::zel::ZelParams params = frames(QStringLiteral("a"), log, progress);

  std::promise<void> started, released;
  std::future<void> release = released.get_future();
  bool hold = true;  // touched only by the worker thread while connected
  // Orders the worker's calls of the slot before its disconnection for ThreadSanitizer, which
  // does not see the futex that QThread::wait() waits on.
  std::mutex slotMutex;
  const QMetaObject::Connection held = QObject::connect(
      &log, &urs::Protocol::updated, &log,
      [&](int) {
        const std::lock_guard<std::mutex> lock(slotMutex);
        if (!hold) return;
        hold = false;
        started.set_value();
        release.wait_for(kSignalTimeout);
      },
      Qt::DirectConnection);

  ZelConvertor worker;
  worker.start(params);
  ASSERT_EQ(started.get_future().wait_for(kSignalTimeout), std::future_status::ready);
  worker.cancel();
  EXPECT_EQ(TotalMessage(progress), QStringLiteral("Cancelling..."));
  released.set_value();
  ASSERT_TRUE(runToEnd(worker));
  { const std::lock_guard<std::mutex> lock(slotMutex); }
  QObject::disconnect(held);

  EXPECT_EQ(worker.getResult(), rc::Cancelled);
  EXPECT_EQ(Texts(log), (QStringList{QStringLiteral("Processing started."),
                                     QStringLiteral("Processing was cancelled by user.")}));
  EXPECT_EQ(TotalMessage(progress), QStringLiteral("Cancelled."));
  EXPECT_TRUE(outputs(QStringLiteral("a/ZEL")).isEmpty());

  log.reset();
  worker.start(params);
  ASSERT_TRUE(runToEnd(worker));
  EXPECT_EQ(worker.getResult(), rc::Ok) << Texts(log).join('\n').toStdString();
  EXPECT_EQ(Texts(log).last(), QStringLiteral("Processing done."));
  EXPECT_EQ(outputs(QStringLiteral("a/ZEL")).size(), 3);

  // Cancelling an idle worker only marks the token: the last run's progress record, which its
  // owner may have destroyed by now, is left alone.
  const QString finished = TotalMessage(progress);
  worker.cancel();
  EXPECT_EQ(TotalMessage(progress), finished);
}

}  // namespace
