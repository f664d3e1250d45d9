#pragma once
// Ctrl-C and SIGTERM as a cancellation: the run stops at its next check point, so the file in
// progress is finished or dropped whole (outputs are written under a temporary name and
// renamed), and the protocol says the run was cancelled.

#include <ur/cancellation_token.h>

#include <atomic>
#include <thread>

namespace urs::zel {

// The token every run of this process polls.
ur::CxCancellationToken& RunToken();

// While alive, SIGINT and SIGTERM cancel RunToken() instead of ending the process; a second
// signal ends it at once with status 130 (an output being written is then left as a temporary
// file, never under its final name). Create it first thing in main(), before any other thread
// starts, because the signals are blocked in every thread and taken by a watcher thread.
class InterruptCancellation {
public:
  InterruptCancellation();
  ~InterruptCancellation();
  InterruptCancellation(const InterruptCancellation&) = delete;
  InterruptCancellation& operator=(const InterruptCancellation&) = delete;

private:
  void watch();

  std::atomic<bool> m_stop{false};
  std::thread m_watcher;
};

}  // namespace urs::zel
