#include <urs/progress_info.h>

#include <QMutexLocker>

#include <algorithm>

namespace urs {

namespace {

constexpr double kMinPercent = 0.0;
constexpr double kMaxPercent = 100.0;

double ClampPercent(double p) { return std::max(std::min(p, kMaxPercent), kMinPercent); }

}  // namespace

CxProgressInfo::CxProgressInfo() : QObject(nullptr) {}

CxProgressInfo::~CxProgressInfo() = default;

// Every setter emits only after the lock is released, so a directly connected receiver may call
// getInfo() from its slot.

void CxProgressInfo::setTotalProgress(double percent, const QString& msg) {
  {
    QMutexLocker locker(&m_lock);
    m_totalProgress = ClampPercent(percent);
    m_totalMessage = msg;
  }
  emit updated();
}

void CxProgressInfo::setTaskProgress(double percent, const QString& msg) {
  {
    QMutexLocker locker(&m_lock);
    m_taskProgress = ClampPercent(percent);
    m_taskMessage = msg;
  }
  emit updated();
}

void CxProgressInfo::setTotalMessage(const QString& msg) {
  {
    QMutexLocker locker(&m_lock);
    m_totalMessage = msg;
  }
  emit updated();
}

void CxProgressInfo::setTaskMessage(const QString& msg) {
  {
    QMutexLocker locker(&m_lock);
    m_taskMessage = msg;
  }
  emit updated();
}

void CxProgressInfo::setTaskRatio(double ratio) {
  // NaN fails both comparisons and is ignored too.
  if (!(ratio > 0.0 && ratio <= 1.0)) return;
  QMutexLocker locker(&m_lock);
  m_taskRatio = ratio;
}

void CxProgressInfo::getInfo(double& totalProgress, QString& totalMessage, double& taskProgress,
                             QString& taskMessage) {
  QMutexLocker locker(&m_lock);
  // A finished job reads as finished whatever its last task reported.
  if (m_totalProgress == kMaxPercent) {
    totalProgress = kMaxPercent;
    taskProgress = kMaxPercent;
  } else {
    totalProgress = m_totalProgress + m_taskRatio * m_taskProgress;
    taskProgress = m_taskProgress;
  }
  totalMessage = m_totalMessage;
  taskMessage = m_taskMessage;
}

void CxProgressInfo::reset() {
  {
    QMutexLocker locker(&m_lock);
    m_totalProgress = 0.0;
    m_taskProgress = 0.0;
    m_totalMessage = QString();
    m_taskMessage = QString();
    m_canceled = false;
  }
  emit updated();
}

bool CxProgressInfo::isCanceled() {
  QMutexLocker locker(&m_lock);
  return m_canceled;
}

void CxProgressInfo::cancel() {
  {
    QMutexLocker locker(&m_lock);
    m_canceled = true;
  }
  emit canceled();
}

}  // namespace urs
