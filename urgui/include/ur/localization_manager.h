#pragma once
// Finds a program's translation catalogues in a folder and installs those of one language.

#include <ur/urgui_export.h>

#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QApplication;
class QTranslator;

namespace ur {

// Catalogues are files "<base>_<locale>.qm" (for example "zel_app_cs_CZ.qm"); Qt's own
// catalogues ("qt_*", "qtbase_*") in the same folder are not counted as languages. The
// translators installed by install() stay on the application until this object is destroyed.
class URGUI_EXPORT CxLocalizationManager {
public:
  CxLocalizationManager();
  ~CxLocalizationManager();
  CxLocalizationManager(const CxLocalizationManager&) = delete;
  CxLocalizationManager& operator=(const CxLocalizationManager&) = delete;

  // Scans dir (not its subfolders) for catalogues, replacing what an earlier call found.
  // Returns the number of languages found.
  int load(const QString& dir);
  // The locale names found by load(), sorted ("cs_CZ", "de_DE", ...).
  QStringList localeNames() const;
  // Removes the translators installed before, then installs every catalogue of localeName and
  // Qt's own "qtbase" catalogue of that language where the system has one. English ("en", "en_*")
  // is the source language and needs none. False when app is null or a language other than
  // English has no catalogue; the application then shows the source texts.
  bool install(QApplication* app, const QString& localeName);

private:
  void uninstall();
  bool installFile(const QString& path);

  QMap<QString, QStringList> m_catalogues;  // locale name -> catalogue paths
  QApplication* m_app = nullptr;
  std::vector<std::unique_ptr<QTranslator>> m_installed;
};

}  // namespace ur
