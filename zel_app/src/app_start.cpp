#include "app_start.h"

#include "dialog_settings.h"
#include "prompts.h"
#include "termination_signals.h"
#include "zel_dialog.h"

#include <zel/plugin.h>
#include <zel/version.h>

#include <ur/core.h>
#include <ur/localization_manager.h>
#include <ur/result.h>
#include <ur/style_manager.h>

#include <QApplication>
#include <QDir>

#include <memory>

namespace urs::zel {

namespace {

void SetIdentity() {
  QCoreApplication::setApplicationName(QStringLiteral("ZEL Convertor"));
  QCoreApplication::setOrganizationName(QStringLiteral("ZEL Project"));
  QCoreApplication::setOrganizationDomain(QStringLiteral("zel.example.org"));
  QCoreApplication::setApplicationVersion(VersionString());
}

QString ExecutableDirectory() {
  QString dir = QCoreApplication::applicationDirPath();
  if (!dir.isEmpty() && !dir.endsWith(QLatin1Char('/')) && !dir.endsWith(QLatin1Char('\\')))
    dir += QDir::separator();
  return QDir::toNativeSeparators(dir);
}

// The dialog installs the user's language; without plug-ins there is no dialog, so the one
// message of that path gets the language here.
void ReportNoPlugin(QApplication& app, const QString& localeName) {
  ur::CxLocalizationManager localization;
  localization.load(ExecutableDirectory());
  localization.install(&app, localeName);
  CurrentPrompts().message(
      nullptr, QMessageBox::Critical, QCoreApplication::translate("ZelApp", "Fatal"),
      QCoreApplication::translate("ZelApp", "No ZEL plugins found. Cannot start the application."),
      QMessageBox::Ok, QMessageBox::Ok);
}

}  // namespace

int RunZelApp(int& argc, char** argv) {
  SetIdentity();
  auto settings = std::make_unique<DialogSettings>(DialogSettings::DefaultPath());
  SetCurrentSettings(settings.get());

  auto app = std::make_unique<QApplication>(argc, argv);
  ur::InitCore(true);
  // Installed before the plug-ins load, so that a logout during start-up still ends cleanly.
  TerminationSignals terminations;

  if (ur::Failed(InitPlugins(ExecutableDirectory()))) {
    ReportNoPlugin(*app, settings->values.localeName);
    settings->discard();
    SetCurrentSettings(nullptr);
    return -1;
  }

  ur::CxStyleManager::instance()->setStyle(app.get(), ur::CxStyleManager::FusionCalm);
  auto dialog = std::make_unique<ZelDialog>();
  terminations.setHandler([d = dialog.get()] { d->closeWithoutAsking(); });
  dialog->show();
  const int code = app->exec();

  SetCurrentSettings(nullptr);
  settings.reset();  // saves every value
  ur::FinishCore();
  dialog.reset();
  app.reset();
  return code;
}

}  // namespace urs::zel
