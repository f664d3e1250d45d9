#pragma once
// SIGTERM and SIGINT (a logout, kill, Ctrl-C in the starting terminal) as a request to close:
// the signal handler only writes a byte to a socket pair, and the GUI thread reads it through a
// socket notifier and runs the ordinary shut-down.

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace urs::zel {

class TerminationSignals : public QObject {
  Q_OBJECT
public:
  // Installs the handlers. A signal that arrives before the event loop runs is kept until it
  // does. Only one instance may exist at a time.
  TerminationSignals();
  // Restores the default actions.
  ~TerminationSignals() override;

  // What a signal does; without a handler it quits the application.
  void setHandler(std::function<void()> handler);
  bool isInstalled() const { return m_notifier != nullptr; }

private:
  void onSignal();

  QSocketNotifier* m_notifier = nullptr;
  std::function<void()> m_handler;
};

}  // namespace urs::zel
