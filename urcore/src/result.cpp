#include <ur/result.h>

#include <QDebug>

namespace ur {

QString ResultToHex(Result code) { return QStringLiteral("%1").arg(code, 8, 16, QLatin1Char('0')); }

void LogFunctionFailed(const QString& function, Result code, bool errorPrefix) {
  const QString text =
      QStringLiteral("Function %1 failed. Code 0x%2").arg(function, ResultToHex(code));
  if (errorPrefix)
    LogError(text);
  else
    qCritical().noquote() << text;
}

void LogError(const QString& text) { qCritical().noquote() << "ERROR" << "|" << text; }

}  // namespace ur
