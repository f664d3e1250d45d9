#include <ur/localization_manager.h>

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QTranslator>

namespace ur {

namespace {

// "<base>_<language>[_<COUNTRY>].qm"; the base may hold underscores of its own.
const QRegularExpression& CatalogueName() {
  static const QRegularExpression re(QStringLiteral("^(.+?)_([a-z]{2,3}(?:_[A-Z]{2})?)\\.qm$"));
  return re;
}

bool IsQtCatalogue(const QString& base) {
  return base == QLatin1String("qt") || base.startsWith(QLatin1String("qt_")) ||
         base.startsWith(QLatin1String("qtbase"));
}

bool IsSourceLanguage(const QString& localeName) {
  return localeName == QLatin1String("en") || localeName.startsWith(QLatin1String("en_")) ||
         localeName == QLatin1String("C");
}

}  // namespace

CxLocalizationManager::CxLocalizationManager() = default;

CxLocalizationManager::~CxLocalizationManager() { uninstall(); }

int CxLocalizationManager::load(const QString& dir) {
  m_catalogues.clear();
  const QStringList files =
      QDir(dir).entryList({QStringLiteral("*.qm")}, QDir::Files | QDir::Readable, QDir::Name);
  for (const QString& file : files) {
    const QRegularExpressionMatch match = CatalogueName().match(file);
    if (!match.hasMatch() || IsQtCatalogue(match.captured(1))) continue;
    m_catalogues[match.captured(2)].append(QDir(dir).absoluteFilePath(file));
  }
  return m_catalogues.size();
}

QStringList CxLocalizationManager::localeNames() const { return m_catalogues.keys(); }

bool CxLocalizationManager::install(QApplication* app, const QString& localeName) {
  uninstall();
  if (!app) return false;
  m_app = app;
  if (IsSourceLanguage(localeName)) return true;
  bool any = false;
  for (const QString& path : m_catalogues.value(localeName)) any = installFile(path) || any;
  if (!any) return false;
  // Qt's own texts (button captions of message boxes, file dialogs) where the system has them.
  auto qt = std::make_unique<QTranslator>();
  if (qt->load(QLocale(localeName), QStringLiteral("qtbase"), QStringLiteral("_"),
               QLibraryInfo::location(QLibraryInfo::TranslationsPath)) &&
      app->installTranslator(qt.get()))
    m_installed.push_back(std::move(qt));
  return true;
}

bool CxLocalizationManager::installFile(const QString& path) {
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(path) || !m_app->installTranslator(translator.get())) return false;
  m_installed.push_back(std::move(translator));
  return true;
}

void CxLocalizationManager::uninstall() {
  if (m_app && QCoreApplication::instance() == m_app)
    for (const auto& translator : m_installed) m_app->removeTranslator(translator.get());
  m_installed.clear();
}

}  // namespace ur
