#pragma once
// A dialog on a temporary settings file, with its modal questions answered by the test.

#include "dialog_settings.h"
#include "prompts.h"
#include "zel_dialog.h"

#include <ur/about_dlg.h>

#include <zel_testing/printers.h>

#include <gtest/gtest.h>

#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

#include <functional>
#include <memory>

class QPlainTextEdit;

namespace zel::testing {

// Answers every prompt from lists filled ahead and records what was asked.
class ScriptedPrompts : public urs::zel::Prompts {
public:
  struct Message {
    QMessageBox::Icon icon;
    QString title;
    QString text;
  };

  QStringList directories;                      // answers in order, then cancel
  QString saveName;                             // the file name answered to a save
  QList<QMessageBox::StandardButton> answers;   // in order, then the default button
  std::function<void()> whileAsking;             // run while a message box is open
  QVector<Message> messages;
  int aboutShown = 0;
  ur::AboutConf lastAbout;

  QString existingDirectory(QWidget*, const QString&, const QString&) override;
  QString saveFileName(QWidget*, const QString&, const QString&, const QString&) override;
  QMessageBox::StandardButton message(QWidget*, QMessageBox::Icon icon, const QString& title,
                                      const QString& text, QMessageBox::StandardButtons,
                                      QMessageBox::StandardButton defaultButton) override;
  void about(const ur::AboutConf& conf, QWidget*) override;
};

class DialogTest : public ::testing::Test {
protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;

  QString iniPath() const { return m_dir.filePath("ZEL.ini"); }
  // Writes the settings file's "Dialog" group from "key=value" lines before open().
  void writeIni(const QStringList& lines) const;
  // Binds the settings to the file and shows a new dialog.
  void open();
  // Destroys the dialog and the settings, which saves them to the file.
  void closeAll();
  QString folder(const QString& name) const;

  template <typename T>
  T* find(const char* name) const {
    T* w = dialog->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QString protocolText() const;
  // Presses Start and waits until the run has ended and its last reports are shown.
  void runToEnd();
  // Presses Start and waits until the worker runs.
  void startRun();
  void waitForEnd();

  QTemporaryDir m_dir;
  ScriptedPrompts prompts;
  std::unique_ptr<urs::zel::DialogSettings> settings;
  std::unique_ptr<urs::zel::ZelDialog> dialog;
};

// Polls cond while processing events; false after timeoutMs.
bool WaitFor(const std::function<bool()>& cond, int timeoutMs = 120000);

// Writes count 16-bit grey PNG frames "frame_<i>.png" into dir whose samples use at most 200
// levels below 4096 (12 significant bits).
void WriteFrames(const QString& dir, int count, int width, int height);

}  // namespace zel::testing
