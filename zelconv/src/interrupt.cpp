#include "interrupt.h"

#include "exit_status.h"

#include <csignal>
#include <unistd.h>

namespace urs::zel {

namespace {

// The signal that wakes the watcher when it is to stop, so that the program ends at once.
constexpr int kStopSignal = SIGUSR1;

sigset_t InterruptSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, kStopSignal);
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
  pthread_kill(m_watcher.native_handle(), kStopSignal);
  m_watcher.join();
}

void InterruptCancellation::watch() {
  const sigset_t set = InterruptSignals();
  while (!m_stop.load()) {
    int signal = 0;
    if (sigwait(&set, &signal) != 0 || signal == kStopSignal) continue;
    if (RunToken().isCancelled()) _exit(kExitCancelled);
    RunToken().cancel();
  }
}

}  // namespace urs::zel
