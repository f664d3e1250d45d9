#include "prompts.h"

#include <ur/about_dlg.h>

#include <QFileDialog>

namespace urs::zel {

namespace {

class WindowPrompts final : public Prompts {
public:
  QString existingDirectory(QWidget* parent, const QString& title,
                            const QString& start) override {
    return QFileDialog::getExistingDirectory(
        parent, title, start, QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  }

  QString saveFileName(QWidget* parent, const QString& title, const QString& proposed,
                       const QString& filter) override {
    return QFileDialog::getSaveFileName(parent, title, proposed, filter);
  }

  QMessageBox::StandardButton message(QWidget* parent, QMessageBox::Icon icon,
                                      const QString& title, const QString& text,
                                      QMessageBox::StandardButtons buttons,
                                      QMessageBox::StandardButton defaultButton) override {
    QMessageBox box(icon, title, text, buttons, parent);
    box.setDefaultButton(defaultButton);
    return QMessageBox::StandardButton(box.exec());
  }

  void about(const ur::AboutConf& conf, QWidget* parent) override {
    ur::CxAboutDlg::showAbout(conf, parent);
  }
};

Prompts* g_prompts = nullptr;

}  // namespace

Prompts& CurrentPrompts() {
  static WindowPrompts windows;
  return g_prompts ? *g_prompts : windows;
}

void SetPrompts(Prompts* prompts) { g_prompts = prompts; }

}  // namespace urs::zel
