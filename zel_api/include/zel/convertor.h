#pragma once
// The conversion worker: one directory conversion, forward or reverse, on a thread of its own,
// so that a front end stays responsive and can stop the run.

#include <zel/dir_conversion.h>
#include <zel/reverse_conversion.h>
#include <zel/zel_api_export.h>

#include <ur/cancellation_token.h>

#include <QThread>

#include <atomic>

namespace urs::zel {

// Owned by a front end for its whole life and reused for every run. The end of a run is
// announced by QThread::finished(); getResult() then holds its code. The parameter copies are
// written only while the thread is idle and read only by the worker, so they need no lock.
class ZEL_API_EXPORT ZelConvertor : public QThread {
  Q_OBJECT
public:
  ZelConvertor();
  // Stops a run still in progress and waits for it, so the thread never outlives its object.
  ~ZelConvertor() override;

  // Copy the parameters and start the run; ignored while a run is in progress, so a run's
  // parameters never change under it. The caller keeps the records' progress and protocol
  // objects alive until finished().
  void start(const ZelParams& params);
  void start(const BackZelParams& params);
  // Asks the running conversion to stop at its next check point.
  void cancel();
  // The code of the last run: rc::Ok, rc::Cancelled or a failure; 0 before any run.
  unsigned int getResult() const;

protected:
  void run() override;

protected slots:
  void start(Priority priority = InheritPriority);

private slots:
  void onCancelled();

private:
  void convertToZel();
  void convertToRaw();

  ur::CxCancellationToken m_token;
  ZelParams m_params;
  // Unlike the record's own defaults, an idle worker names no plug-in and no cores.
  BackZelParams m_backParams{0, QString(), QString(), 0, nullptr, nullptr};
  // Stored with release as the last act of every run and loaded with acquire by getResult() and
  // by the next start(): all a run did happens before what the owner does after its end.
  // QThread::wait() orders this too, but through a futex that ThreadSanitizer does not see.
  std::atomic<unsigned int> m_result{0};
  bool m_reverse = false;
};

}  // namespace urs::zel
