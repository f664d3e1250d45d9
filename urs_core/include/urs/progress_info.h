#pragma once
// Two-level progress of a job (total and current task, percent, each with a message) and an
// advisory cancel flag. Thread-safe; signals are emitted after unlocking.

#include <urs/urs_core_export.h>

#include <QMutex>
#include <QObject>
#include <QString>

namespace urs {

class URS_CORE_EXPORT CxProgressInfo : public QObject {
  Q_OBJECT
public:
  CxProgressInfo();
  ~CxProgressInfo() override;

  void setTotalProgress(double percent, const QString& msg);  // clamped to [0, 100]
  void setTaskProgress(double percent, const QString& msg);   // clamped to [0, 100]
  void setTotalMessage(const QString& msg);
  void setTaskMessage(const QString& msg);
  // The current task's share of the job; values outside (0, 1] are ignored. Emits nothing.
  void setTaskRatio(double ratio);
  // Blended total (total + ratio * task, or 100/100 once the total is 100), total message, task
  // progress and task message.
  void getInfo(double& totalProgress, QString& totalMessage, double& taskProgress,
               QString& taskMessage);
  // Clears progress, messages and the cancel flag; keeps the task ratio.
  void reset();
  bool isCanceled();

public slots:
  void cancel();

signals:
  void updated();
  void canceled();

private:
  QMutex m_lock{QMutex::Recursive};
  double m_taskRatio = 1.0;
  double m_totalProgress = 0.0;
  double m_taskProgress = 0.0;
  QString m_totalMessage;
  QString m_taskMessage;
  bool m_canceled = false;
};

}  // namespace urs
