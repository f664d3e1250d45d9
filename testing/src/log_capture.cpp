#include <zel_testing/log_capture.h>

namespace zel::testing {

namespace {

QStringList& Captured() {
  static QStringList lines;
  return lines;
}

bool g_allTypes = true;
QtMsgType g_only = QtDebugMsg;

void Handle(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (g_allTypes || type == g_only) Captured().append(text);
}

}  // namespace

LogCapture::LogCapture() {
  Captured().clear();
  g_allTypes = true;
  m_previous = qInstallMessageHandler(&Handle);
}

LogCapture::LogCapture(QtMsgType only) {
  Captured().clear();
  g_allTypes = false;
  g_only = only;
  m_previous = qInstallMessageHandler(&Handle);
}

LogCapture::~LogCapture() {
  qInstallMessageHandler(m_previous);
  Captured().clear();
}

const QStringList& LogCapture::lines() { return Captured(); }

bool LogCapture::contains(const QString& text) {
  for (const QString& line : Captured())
    if (line.contains(text)) return true;
  return false;
}

QString LogCapture::all() { return Captured().join(QLatin1Char('\n')); }

}  // namespace zel::testing
