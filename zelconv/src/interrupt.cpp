#include "interrupt.h"

#include "exit_status.h"

#include <csignal>
#include <ctime>
#include <unistd.h>

namespace urs::zel {

namespace {

// How often the watcher looks whether it should stop.
constexpr long kWatchNanoseconds = 100L * 1000L * 1000L;

sigset_t InterruptSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

}  // namespace

ur::CxCancellationToken& RunToken() {
  static ur::CxCancellationToken token;
  return token;
}

InterruptCancellation::InterruptCancellation() {
  const sigset_t set = InterruptSignals();
  // Threads started later (plug-ins, encoders) inherit the mask, so only the watcher takes them.
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  RunToken();
  m_watcher = std::thread([this] { watch(); });
}

InterruptCancellation::~InterruptCancellation() {
  m_stop.store(true);
  m_watcher.join();
}

void InterruptCancellation::watch() {
  const sigset_t set = InterruptSignals();
  const timespec wait{0, kWatchNanoseconds};
  while (!m_stop.load()) {
    if (sigtimedwait(&set, nullptr, &wait) < 0) continue;
    if (RunToken().isCancelled()) _exit(kExitCancelled);
    RunToken().cancel();
  }
}

}  // namespace urs::zel
