#pragma once
// The message log of one conversion run: time-stamped lines that workers append and the user
// interface reads back, shows and saves. Thread-safe; signals are emitted after unlocking so that
// a directly connected receiver may call back into the log.

#include <urs/urs_core_export.h>

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <mutex>

namespace urs {

class URS_CORE_EXPORT Protocol : public QObject {
  Q_OBJECT
public:
  Protocol();
  ~Protocol() override;

  // Appends "[<local date-time, Qt::TextDate>]: <msg>" and emits updated(index of the new line).
  void addMessage(const QString& msg);
  QString getLastMessage();            // empty when the log is empty
  QString getMessage(int i);           // empty outside 0..size-1
  QStringList getProtocol();           // a copy of all lines
  bool isEmpty() const;                // unsynchronised hint
  void reset();                        // empties the log, emits updated(-1)
  // Writes every line followed by "\n" in the system's encoding; false when the file cannot be
  // opened for writing.
  bool save(const QString& fileName);

signals:
  void updated(int msgIndex);

private:
  // A standard mutex, which ThreadSanitizer sees (Qt 5's own is locked inside its uninstrumented
  // library).
  std::mutex m_lock;
  QStringList m_messages;
  // Mirrors m_messages.isEmpty() so that isEmpty() may be asked from any thread without the lock.
  std::atomic<bool> m_empty{true};
};

}  // namespace urs
