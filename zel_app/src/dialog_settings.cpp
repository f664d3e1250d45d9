#include "dialog_settings.h"

#include <QDir>
#include <QLocale>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>

#include <variant>

namespace urs::zel {

namespace {

const QString kGroup = QStringLiteral("Dialog");
const QString kFileName = QStringLiteral("ZEL.ini");

using Field = std::variant<QString DialogValues::*, bool DialogValues::*, int DialogValues::*,
                           unsigned int DialogValues::*>;

struct Key {
  const char* name;
  Field field;
};

// Every key of the file, in the order it is read and written. QSettings keeps the keys of a
// group sorted in the file, so the order of writing leaves no trace there.
const Key kKeys[] = {
    {"lastInputFolder", &DialogValues::lastInputFolder},
    {"lastBackInputFolder", &DialogValues::lastBackInputFolder},
    {"lastProtocolFolder", &DialogValues::lastProtocolFolder},
    {"processSubfolders", &DialogValues::processSubfolders},
    {"doNotProcessConverted", &DialogValues::doNotProcessConverted},
    {"rawBitColorDepth", &DialogValues::rawBitColorDepth},
    {"autoDetectColorDepth", &DialogValues::autoDetectColorDepth},
    {"debayerizeOutput", &DialogValues::debayerizeOutput},
    {"rawRoiLeft", &DialogValues::rawRoiLeft},
    {"rawRoiTop", &DialogValues::rawRoiTop},
    {"rawRoiRight", &DialogValues::rawRoiRight},
    {"rawRoiBottom", &DialogValues::rawRoiBottom},
    {"applyRoi", &DialogValues::applyRoi},
    {"thresholdLowRed", &DialogValues::thresholdLowRed},
    {"thresholdHighRed", &DialogValues::thresholdHighRed},
    {"thresholdLowGreen", &DialogValues::thresholdLowGreen},
    {"thresholdHighGreen", &DialogValues::thresholdHighGreen},
    {"thresholdLowBlue", &DialogValues::thresholdLowBlue},
    {"thresholdHighBlue", &DialogValues::thresholdHighBlue},
    {"applyThreshold", &DialogValues::applyThreshold},
    {"bayerGrid", &DialogValues::bayerGrid},
    {"algorithm", &DialogValues::algorithm},
    {"channelNormalization", &DialogValues::channelNormalization},
    {"numCores", &DialogValues::numCores},
    {"localeName", &DialogValues::localeName},
};

// Reads one key into values, the defaults' value when the key is missing or not a number.
struct Reader {
  const QSettings& settings;
  const QString key;
  DialogValues& values;
  const DialogValues& defaults;

  void operator()(QString DialogValues::*f) const {
    values.*f = settings.value(key, defaults.*f).toString();
  }
  void operator()(bool DialogValues::*f) const {
    values.*f = settings.value(key, defaults.*f).toBool();
  }
  void operator()(int DialogValues::*f) const {
    bool ok = false;
    const int v = settings.value(key, defaults.*f).toInt(&ok);
    values.*f = ok ? v : defaults.*f;
  }
  void operator()(unsigned int DialogValues::*f) const {
    bool ok = false;
    const unsigned int v = settings.value(key, defaults.*f).toUInt(&ok);
    values.*f = ok ? v : defaults.*f;
  }
};

DialogSettings* g_current = nullptr;

}  // namespace

DialogValues DialogSettings::Defaults() {
  DialogValues v;
  v.numCores = unsigned(std::max(1, QThread::idealThreadCount()));
  v.localeName = QLocale::system().name();
  return v;
}

QString DialogSettings::DefaultPath() {
  QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (!dir.isEmpty() && !dir.endsWith(QLatin1Char('/')) && !dir.endsWith(QLatin1Char('\\')))
    dir += QDir::separator();
  return QDir::toNativeSeparators(dir) + kFileName;
}

DialogSettings::DialogSettings(const QString& path)
    : values(Defaults()), m_settings(std::make_unique<QSettings>(path, QSettings::IniFormat)) {
  load();
}

DialogSettings::~DialogSettings() {
  if (m_discarded) return;
  save();
  m_settings->sync();  // a failed write at exit is not reported
}

QString DialogSettings::fileName() const { return m_settings->fileName(); }

void DialogSettings::load() {
  const DialogValues defaults = Defaults();
  m_settings->beginGroup(kGroup);
  for (const Key& key : kKeys)
    std::visit(Reader{*m_settings, QString::fromLatin1(key.name), values, defaults}, key.field);
  // Only the two algorithms exist; anything else, negative numbers included, means the first.
  if (unsigned(values.algorithm) > 1u) values.algorithm = 0;
  m_settings->endGroup();
}

void DialogSettings::save() {
  m_settings->beginGroup(kGroup);
  for (const Key& key : kKeys) {
    std::visit([&](auto field) { m_settings->setValue(QString::fromLatin1(key.name), values.*field); },
               key.field);
  }
  m_settings->endGroup();
}

DialogSettings* CurrentSettings() { return g_current; }

void SetCurrentSettings(DialogSettings* settings) { g_current = settings; }

}  // namespace urs::zel
