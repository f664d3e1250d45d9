#pragma once
// The modal questions of the desktop program (message boxes, folder and file choosers, the
// about box) behind one seam, so that tests answer them ahead instead of blocking on a window.

#include <QMessageBox>
#include <QString>

class QWidget;

namespace ur {
struct AboutConf;
}

namespace urs::zel {

class Prompts {
public:
  virtual ~Prompts() = default;

  // An existing directory chosen in Qt's own (non-native) chooser; empty when cancelled.
  virtual QString existingDirectory(QWidget* parent, const QString& title,
                                    const QString& start) = 0;
  // A file name to save to; empty when cancelled.
  virtual QString saveFileName(QWidget* parent, const QString& title, const QString& proposed,
                               const QString& filter) = 0;
  // A message box; returns the button pressed.
  virtual QMessageBox::StandardButton message(QWidget* parent, QMessageBox::Icon icon,
                                              const QString& title, const QString& text,
                                              QMessageBox::StandardButtons buttons,
                                              QMessageBox::StandardButton defaultButton) = 0;
  virtual void about(const ur::AboutConf& conf, QWidget* parent) = 0;
};

// The prompts in use: the real windows unless a test has set its own.
Prompts& CurrentPrompts();
// Replaces the prompts (not owned); null restores the real windows.
void SetPrompts(Prompts* prompts);

}  // namespace urs::zel
