#pragma once
// The Qt log captured while an instance lives, for tests that check what a function reported.
// One capture at a time: the handler is process-wide. Messages may come from any thread.

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace zel::testing {

class LogCapture {
public:
  // Every message, or only those of one type (QtWarningMsg, QtCriticalMsg, ...).
  LogCapture();
  explicit LogCapture(QtMsgType only);
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // The captured messages, oldest first (not to be read while another thread logs).
  static const QStringList& lines();
  // The captured messages of one type, oldest first; how many were captured; forgets them.
  static QStringList texts(QtMsgType type);
  static int count();
  static void clear();
  // True when a captured message contains text.
  static bool contains(const QString& text);
  // The captured messages, one per line.
  static QString all();

private:
  QtMessageHandler m_previous = nullptr;
};

}  // namespace zel::testing
