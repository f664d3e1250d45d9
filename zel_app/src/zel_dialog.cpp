// Construction of the dialog, its initial state from the settings and the rules that keep its
// controls consistent.
#include "zel_dialog.h"

#include "dialog_settings.h"
#include "dialog_text.h"
#include "ui_zel_dialog.h"

#include <zel/input_reading.h>
#include <zel/plugin.h>

#include <ur/gui_helper.h>
#include <ur/localization_manager.h>
#include <ur/result.h>

#include <QApplication>
#include <QDir>
#include <QLocale>
#include <QScopedValueRollback>
#include <QShowEvent>
#include <QThread>

// Resources of a static library must be registered by name, outside any namespace.
static void InitIconResources() { Q_INIT_RESOURCE(icons); }

namespace urs::zel {

namespace {

constexpr int kMono = ur::eBayerNone;
const QString kEnglish = QStringLiteral("en_US");
const QString kCzech = QStringLiteral("cs_CZ");

// The executable's folder with a trailing separator, in native form.
QString ExecutableDirectory() {
  QString dir = QCoreApplication::applicationDirPath();
  if (!dir.isEmpty() && !dir.endsWith(QLatin1Char('/')) && !dir.endsWith(QLatin1Char('\\')))
    dir += QDir::separator();
  return QDir::toNativeSeparators(dir);
}

int SelectData(QComboBox* combo, int data, int fallback) {
  const int index = combo->findData(data);
  combo->setCurrentIndex(index >= 0 ? index : fallback);
  return combo->currentIndex();
}

int MaxLevel(int depth) { return (1 << depth) - 1; }

}  // namespace

ZelDialog::ZelDialog() : QDialog(nullptr), ui(std::make_unique<Ui::ZelDialog>()) {
  InitIconResources();
  m_backParams.pluginId = 0;
  m_backParams.numCores = 0;
  installLanguage();
  ui->setupUi(this);
  QIcon windowIcon(QStringLiteral(":/icons/zel.png"));
  windowIcon.addFile(QStringLiteral(":/icons/zel_2x.png"));
  setWindowIcon(windowIcon);
  ui->lbNumCores->hide();
  ui->spinCores->hide();
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  initFromSettings();
  connectSlots();
  takePlugin();
  updateControls();
  adjustSize();
}

ZelDialog::~ZelDialog() {
  // The worker reads the progress record and the protocol, which are destroyed before it.
  if (m_worker.isRunning()) {
    m_worker.cancel();
    m_worker.wait();
  }
}

DialogSettings& ZelDialog::settings() const { return *CurrentSettings(); }

void ZelDialog::installLanguage() {
  m_localization = std::make_unique<ur::CxLocalizationManager>();
  m_localization->load(ExecutableDirectory());
  m_localization->install(qobject_cast<QApplication*>(QCoreApplication::instance()),
                          settings().values.localeName);
}

void ZelDialog::initFromSettings() {
  const DialogValues& v = settings().values;
  const double scale = ur::CxGuiHelper::dpiScaleFactor();
  const QSize iconSize(int(24 * scale), int(18 * scale));
  ui->pushStart->setIcon(
      ur::CxGuiHelper::dpiScaledIconWithDisState(QStringLiteral(":/icons/play.png"), 24, 18, false));
  ui->pushStop->setIcon(
      ur::CxGuiHelper::dpiScaledIconWithDisState(QStringLiteral(":/icons/stop.png"), 24, 18, false));
  ui->pushStart->setIconSize(iconSize);
  ui->pushStop->setIconSize(iconSize);

  fillCombos();

  ui->checkSubfolders->setChecked(v.processSubfolders);
  ui->checkNoConverted->setChecked(v.doNotProcessConverted);
  ui->checkApplyRoi->setChecked(v.applyRoi);
  ui->checkApplyThr->setChecked(v.applyThreshold);
  ui->checkAutoDetectDepth->setChecked(v.autoDetectColorDepth);
  ui->chkDebayerizeOutput->setChecked(v.debayerizeOutput);

  ui->spinRoiLeft->setValue(v.rawRoiLeft);
  ui->spinRoiRight->setValue(v.rawRoiRight);
  ui->spinRoiTop->setValue(v.rawRoiTop);
  ui->spinRoiBottom->setValue(v.rawRoiBottom);
  ui->spinRedLow->setValue(v.thresholdLowRed);
  ui->spinRedHigh->setValue(v.thresholdHighRed);
  ui->spinGreenLow->setValue(v.thresholdLowGreen);
  ui->spinGreenHigh->setValue(v.thresholdHighGreen);
  ui->spinBlueLow->setValue(v.thresholdLowBlue);
  ui->spinBlueHigh->setValue(v.thresholdHighBlue);

  SelectData(ui->comboColorDepth, v.rawBitColorDepth, 3);
  ui->comboColorDepth->setEnabled(!ui->checkAutoDetectDepth->isChecked());
  SelectData(ui->comboBayer, v.bayerGrid, 1);
  SelectData(ui->comboAlgorithm, v.algorithm, 0);
  SelectData(ui->comboNormalization, v.channelNormalization, 0);

  clearViews();

  const int maxThreads = std::max(1, QThread::idealThreadCount());
  for (QSpinBox* spin : {ui->spinCores, ui->spinBackCores}) {
    spin->setMaximum(maxThreads);
    spin->setValue(int(std::min<unsigned int>(v.numCores, unsigned(maxThreads))));
  }

  fillLanguages();
  ui->tabWidget->setCurrentIndex(0);
  updateAlgorithmEnabled();
}

void ZelDialog::fillCombos() {
  struct Depth {
    const char* text;
    int bits;
  };
  const Depth depths[] = {
      {QT_TRANSLATE_NOOP("ZelDialog", "8bit (256 levels)"), 8},
      {QT_TRANSLATE_NOOP("ZelDialog", "10bit (1024 levels)"), 10},
      {QT_TRANSLATE_NOOP("ZelDialog", "12bit (4096 levels)"), 12},
      {QT_TRANSLATE_NOOP("ZelDialog", "14bit (16384 levels)"), 14},
      {QT_TRANSLATE_NOOP("ZelDialog", "16bit (65536 levels)"), 16},
  };
  for (const Depth& d : depths) ui->comboColorDepth->addItem(DialogTr(d.text), d.bits);

  struct Grid {
    const char* name;
    ur::ExBayerGrid grid;
  };
  const Grid grids[] = {{"RGGB", ur::eBayerRGGB}, {"BGGR", ur::eBayerBGGR},
                        {"GRBG", ur::eBayerGRBG}, {"GBRG", ur::eBayerGBRG},
                        {"MONO", ur::eBayerNone}};
  for (const Grid& g : grids) {
    const QString name = QString::fromLatin1(g.name);
    const QPixmap icon = ur::CxGuiHelper::dpiScaledPixmap(
        QStringLiteral(":/icons/%1.png").arg(name), 16, 16, false);
    ui->comboBayer->addItem(QIcon(icon), name, int(g.grid));
  }

  ui->comboAlgorithm->addItem(DialogTr(QT_TRANSLATE_NOOP("ZelDialog", "Averaging ZEL")),
                              int(Averaging));
  ui->comboAlgorithm->addItem(DialogTr(QT_TRANSLATE_NOOP("ZelDialog", "Simple ZEL")),
                              int(Simple));
  ui->comboNormalization->addItem(DialogTr(QT_TRANSLATE_NOOP("ZelDialog", "Separated")),
                                  int(Separated));
  ui->comboNormalization->addItem(DialogTr(QT_TRANSLATE_NOOP("ZelDialog", "Together")),
                                  int(Together));
}

void ZelDialog::fillLanguages() {
  QStringList names = m_localization->localeNames();
  if (!names.contains(kEnglish)) names.prepend(kEnglish);
  for (const QString& name : names) {
    const QString shown =
        name == kCzech ? QString::fromUtf8("Čeština") : QLocale(name).nativeLanguageName();
    ui->comboLanguage->addItem(shown.isEmpty() ? name : shown, name);
  }
  const int last = names.lastIndexOf(settings().values.localeName);
  ui->comboLanguage->setCurrentIndex(last >= 0 ? last : 0);
}

void ZelDialog::connectSlots() {
  connect(ui->pushChooseDir, &QPushButton::clicked, this, &ZelDialog::onChooseDir);
  connect(ui->pushBackInput, &QPushButton::clicked, this, &ZelDialog::onChooseBackInputDir);
  connect(ui->pushBackOutput, &QPushButton::clicked, this, &ZelDialog::onChooseBackOutputDir);
  connect(ui->pushStart, &QPushButton::clicked, this, &ZelDialog::onStart);
  connect(ui->pushStop, &QPushButton::clicked, this, &ZelDialog::onStop);
  connect(ui->pushAbout, &QPushButton::clicked, this, &ZelDialog::onAbout);
  connect(ui->pushSave, &QPushButton::clicked, this, &ZelDialog::onSave);
  connect(ui->pushFinish, &QPushButton::clicked, this, &ZelDialog::onClose);
  connect(&m_progress, &CxProgressInfo::updated, this, &ZelDialog::updateProgress);
  connect(&m_protocol, &Protocol::updated, this, &ZelDialog::updateProtocol);
  connect(&m_worker, &QThread::started, this, &ZelDialog::conversionStarted);
  connect(&m_worker, &QThread::finished, this, &ZelDialog::conversionFinished);
  connect(ui->checkApplyThr, &QCheckBox::stateChanged, this,
          &ZelDialog::onApplyThresholdStateChanged);
  connect(ui->checkApplyRoi, &QCheckBox::stateChanged, this, &ZelDialog::onApplyRoiStateChanged);
  connect(ui->comboBayer, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
          &ZelDialog::onBayerGridIndexChanged);
  connect(ui->comboColorDepth, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
          &ZelDialog::onBitColorDepthIndexChanged);
  for (QSpinBox* spin : {ui->spinRedLow, ui->spinRedHigh, ui->spinGreenLow, ui->spinGreenHigh,
                         ui->spinBlueLow, ui->spinBlueHigh})
    connect(spin, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &ZelDialog::onSpinThresholdValueChanged);
  connect(ui->comboLanguage, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
          &ZelDialog::onLanguageChanged);
}

void ZelDialog::takePlugin() {
  QVector<ZelPluginInfo> plugins;
  if (ur::Failed(GetPlugins(plugins)) || plugins.isEmpty()) {
    ur::LogError(QStringLiteral("No ZEL plugin is available."));
    return;
  }
  m_params.pluginId = plugins.first().id;
  m_backParams.pluginId = plugins.first().id;
}

void ZelDialog::updateControls() {
  if (m_updating) return;
  const QScopedValueRollback<bool> guard(m_updating, true);

  const bool running = m_worker.isRunning();
  ui->groupInput->setEnabled(!running);
  ui->pushStart->setEnabled(!running);
  ui->pushSave->setEnabled(!running);
  ui->pushStop->setEnabled(running && !m_stopRequested);
  ui->pushFinish->setEnabled(!m_stopRequested);
  if (running) return;

  const int top = MaxLevel(ui->comboColorDepth->currentData().toInt());
  const std::pair<QSpinBox*, QSpinBox*> pairs[] = {{ui->spinRedLow, ui->spinRedHigh},
                                                   {ui->spinGreenLow, ui->spinGreenHigh},
                                                   {ui->spinBlueLow, ui->spinBlueHigh}};
  // A channel's low and high thresholds stay at least 2 apart and inside the depth's levels.
  for (const auto& [lowSpin, highSpin] : pairs) {
    const int low = std::min(lowSpin->value(), top - 2);
    const int high = std::min(highSpin->value(), top);
    lowSpin->setRange(0, high - 2);
    highSpin->setRange(low + 2, top);
  }

  const bool mono = ui->comboBayer->currentData().toInt() == kMono;
  const bool thresholds = ui->checkApplyThr->isChecked();
  ui->labelRed->setText(thresholds && mono ? DialogTr(QT_TRANSLATE_NOOP("ZelDialog", "Mono:"))
                                           : DialogTr(QT_TRANSLATE_NOOP("ZelDialog", "Red:")));
  for (QWidget* w : {static_cast<QWidget*>(ui->labelRed), static_cast<QWidget*>(ui->spinRedLow),
                     static_cast<QWidget*>(ui->spinRedHigh)})
    w->setEnabled(thresholds);
  for (QWidget* w : {static_cast<QWidget*>(ui->labelGreen),
                     static_cast<QWidget*>(ui->spinGreenLow),
                     static_cast<QWidget*>(ui->spinGreenHigh), static_cast<QWidget*>(ui->labelBlue),
                     static_cast<QWidget*>(ui->spinBlueLow), static_cast<QWidget*>(ui->spinBlueHigh)})
    w->setEnabled(thresholds && !mono);

  const bool crop = ui->checkApplyRoi->isChecked();
  for (QWidget* w : {static_cast<QWidget*>(ui->labelRoiLeft), static_cast<QWidget*>(ui->spinRoiLeft),
                     static_cast<QWidget*>(ui->labelRoiRight), static_cast<QWidget*>(ui->spinRoiRight),
                     static_cast<QWidget*>(ui->labelRoiTop), static_cast<QWidget*>(ui->spinRoiTop),
                     static_cast<QWidget*>(ui->labelRoiBottom),
                     static_cast<QWidget*>(ui->spinRoiBottom)})
    w->setEnabled(crop);

  ui->labelAlgo->setEnabled(!mono);
  ui->comboNormalization->setEnabled(!mono);
  ui->chkDebayerizeOutput->setEnabled(!mono);
  updateAlgorithmEnabled();
}

void ZelDialog::updateAlgorithmEnabled() {
  const bool mono = ui->comboBayer->currentData().toInt() == kMono;
  ui->comboAlgorithm->setEnabled(!mono && ui->chkDebayerizeOutput->isChecked());
}

void ZelDialog::onApplyThresholdStateChanged(int) { updateControls(); }

void ZelDialog::onApplyRoiStateChanged(int) { updateControls(); }

void ZelDialog::onBayerGridIndexChanged(int) { updateControls(); }

void ZelDialog::onSpinThresholdValueChanged(int) { updateControls(); }

void ZelDialog::onBitColorDepthIndexChanged(int) {
  const QScopedValueRollback<bool> guard(m_updating, true);
  const int top = MaxLevel(ui->comboColorDepth->currentData().toInt());
  for (QSpinBox* low : {ui->spinRedLow, ui->spinGreenLow, ui->spinBlueLow}) {
    low->setRange(0, top - 2);
    low->setValue(0);
  }
  for (QSpinBox* high : {ui->spinRedHigh, ui->spinGreenHigh, ui->spinBlueHigh}) {
    high->setRange(2, top);
    high->setValue(top);
  }
}

void ZelDialog::on_chkDebayerizeOutput_clicked() { updateAlgorithmEnabled(); }

void ZelDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  adjustSize();
  setFixedSize(size());
}

}  // namespace urs::zel
