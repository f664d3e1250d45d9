#pragma once
// The about box of the desktop programs.

#include <ur/urgui_export.h>

#include <QDialog>
#include <QPixmap>
#include <QString>

namespace ur {

// What the about box shows.
struct AboutConf {
  QString title;        // the program's name
  QString notice;       // copyright line, e.g. "(c) 2014-2026 ZEL Project"
  QString webAddress;   // shown as a link
  int versionMajor = 0;
  int versionMinor = 0;
  int versionBuild = 0;
  QString versionText;  // appended to the numbers when not empty
  QPixmap icon;         // may be null
};

class URGUI_EXPORT CxAboutDlg : public QDialog {
  Q_OBJECT
public:
  explicit CxAboutDlg(const AboutConf& conf, QWidget* parent = nullptr);

  // "Version 2.0.27" and the version text, as the box shows it.
  static QString versionLine(const AboutConf& conf);
  // Shows the box modally until the user closes it.
  static void showAbout(const AboutConf& conf, QWidget* parent);
};

}  // namespace ur
