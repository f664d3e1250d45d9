#pragma once
// A flag that long operations poll to stop early. Thread-safe: one thread cancels, another polls.

#include <ur/urcore_export.h>

#include <QObject>

#include <atomic>

namespace ur {

class URCORE_EXPORT CxCancellationToken : public QObject {
  Q_OBJECT
public:
  explicit CxCancellationToken(QObject* parent = nullptr);

  // True once cancel() was called and until reset().
  bool isCancelled() const { return m_cancelled.load(std::memory_order_acquire); }

public slots:
  // Marks the token and emits cancelled() the first time.
  void cancel();
  // Clears the mark so the token can serve the next run.
  void reset();

signals:
  void cancelled();

private:
  std::atomic<bool> m_cancelled{false};
};

}  // namespace ur
