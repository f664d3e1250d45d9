#pragma once
// The Qt log captured while an instance lives, for tests that check what a function reported.
// One capture at a time: the handler is process-wide.

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

  // The captured messages, oldest first.
  static const QStringList& lines();
  // True when a captured message contains text.
  static bool contains(const QString& text);
  // The captured messages, one per line.
  static QString all();

private:
  QtMessageHandler m_previous = nullptr;
};

}  // namespace zel::testing
