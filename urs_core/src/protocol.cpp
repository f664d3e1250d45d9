#include <urs/protocol.h>

#include <QDateTime>
#include <QLocale>
#include <QSaveFile>
#include <QTextStream>

namespace urs {

Protocol::Protocol() : QObject(nullptr) {}

Protocol::~Protocol() = default;

void Protocol::addMessage(const QString& msg) {
  int index = 0;
  {
    const std::lock_guard<std::mutex> locker(m_lock);
    // Stamped under the lock so that the lines of one log never go back in time.
    const QString stamp = QDateTime::currentDateTime().toString(Qt::TextDate);
    m_messages.append(QStringLiteral("[%1]: %2").arg(stamp, msg));
    index = m_messages.size() - 1;
    m_empty.store(false, std::memory_order_release);
  }
  // After unlocking: a directly connected receiver may read the log back.
  emit updated(index);
}

QString Protocol::getLastMessage() {
  const std::lock_guard<std::mutex> locker(m_lock);
  return m_messages.isEmpty() ? QString() : m_messages.last();
}

QString Protocol::getMessage(int i) {
  const std::lock_guard<std::mutex> locker(m_lock);
  return i >= 0 && i < m_messages.size() ? m_messages.at(i) : QString();
}

QStringList Protocol::getProtocol() {
  const std::lock_guard<std::mutex> locker(m_lock);
  return m_messages;
}

bool Protocol::isEmpty() const { return m_empty.load(std::memory_order_acquire); }

void Protocol::reset() {
  {
    const std::lock_guard<std::mutex> locker(m_lock);
    m_messages = QStringList();
    m_empty.store(true, std::memory_order_release);
  }
  emit updated(-1);
}

bool Protocol::save(const QString& fileName) {
  // Held for the whole write, so the file shows the log at one moment.
  const std::lock_guard<std::mutex> locker(m_lock);
  // Written aside and renamed when complete: a failed write neither reports success nor
  // destroys an earlier copy of the file.
  QSaveFile file(fileName);
  // A file that can be written in a folder that cannot is still saved, in place.
  file.setDirectWriteFallback(true);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
  QTextStream stream(&file);
  stream.setLocale(QLocale::system());
  for (const QString& line : qAsConst(m_messages)) stream << line << "\n";
  stream.flush();
  if (stream.status() != QTextStream::Ok) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}

}  // namespace urs
