#pragma once
// What a directory run shows while it works. On a terminal: the protocol's lines with one live
// progress line below them (directory and total percentages, current file, frames per second,
// time left). Otherwise (a pipe, a log file): the protocol's time-stamped lines only, one per
// line, without control characters. Quiet: only the lines that report a failure.

#include <urs/progress_info.h>
#include <urs/protocol.h>

#include <QElapsedTimer>
#include <QSet>
#include <QString>

namespace urs::zel {

class RunDisplay {
public:
  enum class Mode { Normal, Quiet };

  // terminal: standard error is a terminal, so the progress line may be drawn.
  RunDisplay(Mode mode, bool terminal);
  ~RunDisplay();  // clears the progress line
  RunDisplay(const RunDisplay&) = delete;
  RunDisplay& operator=(const RunDisplay&) = delete;

  Protocol* protocol() { return &m_protocol; }
  CxProgressInfo* progress() { return &m_progress; }
  // The number of input files of the whole run, for the total percentage and the time left.
  void setTotalFiles(int files) { m_totalFiles = files; }
  // Prints a closing line (the run's counts): always, or in quiet mode only when failed.
  void finalLine(const QString& line, bool failed);

  // True when standard error is a terminal.
  static bool StandardErrorIsTerminal();

private:
  void onLine(int index);
  void onProgress();
  void drawProgress();
  void clearProgress();

  Mode m_mode;
  bool m_terminal;
  Protocol m_protocol;
  CxProgressInfo m_progress;
  QElapsedTimer m_clock;
  qint64 m_lastDraw = -1;
  bool m_lineShown = false;
  int m_totalFiles = 0;
  QSet<QString> m_filesSeen;  // directory + task message, one per file started
  QString m_currentDir;
  QString m_currentFile;
  double m_dirPercent = 0.0;
};

}  // namespace urs::zel
