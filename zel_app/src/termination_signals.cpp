#include "termination_signals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace urs::zel {

namespace {

int g_fds[2] = {-1, -1};  // [0] written by the handler, [1] read in the GUI thread

extern "C" void OnTerminationSignal(int) {
  const char byte = 1;
  // Only async-signal-safe calls here; a full pipe already holds a pending request.
  [[maybe_unused]] const ssize_t n = ::write(g_fds[0], &byte, 1);
}

void SetAction(void (*handler)(int)) {
  struct sigaction action = {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGINT, &action, nullptr);
}

}  // namespace

TerminationSignals::TerminationSignals() {
  if (g_fds[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_fds) != 0) return;
  m_notifier = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, this);
  connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::onSignal);
  SetAction(OnTerminationSignal);
}

TerminationSignals::~TerminationSignals() {
  if (!m_notifier) return;
  SetAction(SIG_DFL);
  delete m_notifier;
  ::close(g_fds[0]);
  ::close(g_fds[1]);
  g_fds[0] = g_fds[1] = -1;
}

void TerminationSignals::setHandler(std::function<void()> handler) {
  m_handler = std::move(handler);
}

void TerminationSignals::onSignal() {
  char bytes[16];
  [[maybe_unused]] const ssize_t n = ::read(g_fds[1], bytes, sizeof bytes);
  if (m_handler)
    m_handler();
  else
    QCoreApplication::quit();
}

}  // namespace urs::zel
