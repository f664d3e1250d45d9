#include "run_display.h"

#include <QObject>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace urs::zel {

namespace {

constexpr qint64 kRedrawMs = 100;  // a live line redrawn at most ten times a second
const QLatin1String kProcessing("Processing ");
const char kClearLine[] = "\r\x1b[K";

// A protocol line that reports a failure: these are what --quiet keeps.
bool IsFailureLine(const QString& line) {
  static const QStringList kMarks = {QStringLiteral("failed"), QStringLiteral("Cannot"),
                                     QStringLiteral("Invalid"), QStringLiteral("differs"),
                                     QStringLiteral("not the correct"), QStringLiteral("must be"),
                                     QStringLiteral("is not inside"), QStringLiteral("No file")};
  return std::any_of(kMarks.begin(), kMarks.end(),
                     [&](const QString& mark) { return line.contains(mark); });
}

QString Clock(qint64 seconds) {
  return QStringLiteral("%1:%2")
      .arg(seconds / 60, 2, 10, QLatin1Char('0'))
      .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

RunDisplay::RunDisplay(Mode mode, bool terminal) : m_mode(mode), m_terminal(terminal) {
  m_clock.start();
  // The conversions run on this thread, so direct connections print at once.
  QObject::connect(&m_protocol, &Protocol::updated, &m_protocol,
                   [this](int index) { onLine(index); }, Qt::DirectConnection);
  if (m_terminal && m_mode == Mode::Normal)
    QObject::connect(&m_progress, &CxProgressInfo::updated, &m_progress,
                     [this] { onProgress(); }, Qt::DirectConnection);
}

RunDisplay::~RunDisplay() { clearProgress(); }

bool RunDisplay::StandardErrorIsTerminal() { return isatty(fileno(stderr)) == 1; }

void RunDisplay::onLine(int index) {
  if (index < 0) return;
  const QString line = m_protocol.getMessage(index);
  if (m_mode == Mode::Quiet && !IsFailureLine(line)) return;
  clearProgress();
  std::fprintf(stderr, "%s\n", qUtf8Printable(line));
  if (m_lineShown) drawProgress();
  std::fflush(stderr);
}

void RunDisplay::onProgress() {
  double total = 0.0, task = 0.0;
  QString totalMessage, taskMessage;
  m_progress.getInfo(total, totalMessage, task, taskMessage);
  if (totalMessage.startsWith(kProcessing)) m_currentDir = totalMessage.mid(kProcessing.size());
  if (taskMessage.startsWith(kProcessing)) {
    m_currentFile = taskMessage.mid(kProcessing.size());
    m_filesSeen.insert(m_currentDir + m_currentFile);
  }
  m_dirPercent = task;
  const qint64 now = m_clock.elapsed();
  if (m_lastDraw >= 0 && now - m_lastDraw < kRedrawMs) return;
  m_lastDraw = now;
  m_lineShown = true;
  drawProgress();
}

void RunDisplay::drawProgress() {
  const double seconds = std::max(1e-3, m_clock.elapsed() / 1000.0);
  const int started = m_filesSeen.size();
  const double fps = started / seconds;
  QString line = QStringLiteral("dir %1%").arg(m_dirPercent, 3, 'f', 0);
  if (m_totalFiles > 0) {
    const double done = std::min(1.0, double(started) / m_totalFiles);
    line += QStringLiteral(" | total %1%").arg(100.0 * done, 3, 'f', 0);
    if (started > 0)
      line += QStringLiteral(" | %1 left")
                  .arg(Clock(qint64(seconds * (1.0 - done) / std::max(done, 1e-9))));
  }
  line += QStringLiteral(" | %1 fps | %2").arg(fps, 0, 'f', 1).arg(m_currentFile);
  std::fprintf(stderr, "%s%s", kClearLine, qUtf8Printable(line));
  std::fflush(stderr);
}

void RunDisplay::clearProgress() {
  if (!m_lineShown) return;
  std::fprintf(stderr, "%s", kClearLine);
}

void RunDisplay::finalLine(const QString& line, bool failed) {
  if (m_mode == Mode::Quiet && !failed) return;
  clearProgress();
  m_lineShown = false;
  std::fprintf(stderr, "%s\n", qUtf8Printable(line));
  std::fflush(stderr);
}

}  // namespace urs::zel
