// What the dialog does on the user's requests: choosing folders, detecting the bit depth,
// starting, stopping and closing, saving the protocol, the language and the about box.
#include "zel_dialog.h"

#include "dialog_settings.h"
#include "dialog_text.h"
#include "prompts.h"
#include "ui_zel_dialog.h"

#include <zel/input_reading.h>
#include <zel/version.h>

#include <urs/color_bit_depth.h>

#include <ur/about_dlg.h>
#include <ur/gui_helper.h>
#include <ur/image.h>
#include <ur/result.h>

#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QScrollBar>

namespace urs::zel {

namespace {

const QString kMakerName = QStringLiteral("ZEL Project");
const QString kMakerWeb = QStringLiteral("https://zel.example.org");
constexpr int kFirstYear = 2014;

QString WithTrailingSeparator(const QString& dir) {
  QString result = dir;
  if (!result.isEmpty() && !result.endsWith(QLatin1Char('/')) &&
      !result.endsWith(QLatin1Char('\\')))
    result += QDir::separator();
  return QDir::toNativeSeparators(result);
}

// The wait cursor over the whole application for the lifetime of the guard.
class WaitCursor {
public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

void Warn(QWidget* parent, const char* title, const char* text) {
  CurrentPrompts().message(parent, QMessageBox::Warning, DialogTr(title), DialogTr(text),
                           QMessageBox::Ok, QMessageBox::Ok);
}

}  // namespace

QString ZelDialog::chooseDirectory(const QString& title, const QString& start) {
  return CurrentPrompts().existingDirectory(this, title, start);
}

void ZelDialog::clearViews() {
  ui->progressDir->setValue(0);
  ui->progressTotal->setValue(0);
  ui->labelProgressDir->clear();
  ui->labelProgressTotal->clear();
}

void ZelDialog::selectDepth(int depth) {
  const int index = ui->comboColorDepth->findData(depth);
  if (index >= 0) ui->comboColorDepth->setCurrentIndex(index);
}

void ZelDialog::onChooseDir() {
  DialogValues& v = settings().values;
  const QString chosen = chooseDirectory(
      DialogTr(QT_TRANSLATE_NOOP("ZelDialog", "Select the input directory")), v.lastInputFolder);
  if (chosen.isEmpty()) return;
  ui->editProtocol->clear();
  clearViews();
  updateControls();
  const QString dir = WithTrailingSeparator(chosen);
  v.lastInputFolder = dir;
  ui->editDirectory->setText(dir);
  if (ui->checkAutoDetectDepth->isChecked()) {
    const WaitCursor wait;
    detectBitDepth();
  } else {
    takeFirstFileDepth(dir);
  }
}

void ZelDialog::takeFirstFileDepth(const QString& dir) {
  const QStringList files =
      QDir(dir).entryList(GetRawFilter(), QDir::Files | QDir::NoDotAndDotDot, QDir::Unsorted);
  if (files.isEmpty()) return;
  ur::CxImage image;
  ur::ExBayerGrid grid = ur::eBayerNone;
  if (ur::Failed(ReadInputImage(dir + files.first(), image, grid))) return;
  ur::SxImageBuf buf;
  if (ur::Succeeded(image.getImageBuf(buf))) selectDepth(buf.bitDepth);
}

void ZelDialog::detectBitDepth() {
  const QString dir = ui->editDirectory->text();
  if (dir.isEmpty()) return;
  m_detectedDepth = 0;
  m_protocol.addMessage(DialogTr(QT_TRANSLATE_NOOP("ZelDialog", "Detecting color bit depth...")));
  ur::ExImageDataType dataType{};
  const ur::Result r = GetColorBitDepthFromDir(dir, GetRawFilter(), &m_detectedDepth, &dataType,
                                               &m_protocol, nullptr);
  if (ur::Succeeded(r)) {
    selectDepth(m_detectedDepth);
    m_protocol.addMessage(
        DialogTr(QT_TRANSLATE_NOOP("ZelDialog", "Detected color bit depth: %1."))
            .arg(m_detectedDepth));
  } else {
    m_protocol.addMessage(DialogTr(QT_TRANSLATE_NOOP("ZelDialog", "Failed.")));
  }
}

void ZelDialog::on_checkAutoDetectDepth_clicked() {
  const bool automatic = ui->checkAutoDetectDepth->isChecked();
  ui->comboColorDepth->setEnabled(!automatic);
  if (automatic && !ui->editDirectory->text().isEmpty()) {
    const WaitCursor wait;
    detectBitDepth();
  }
}

void ZelDialog::onChooseBackInputDir() {
  DialogValues& v = settings().values;
  const QString chosen = chooseDirectory(
      DialogTr(QT_TRANSLATE_NOOP("ZelDialog", "Select the input directory")),
      v.lastBackInputFolder);
  if (chosen.isEmpty()) return;
  ui->editProtocol->clear();
  clearViews();
  updateControls();
  const QString dir = WithTrailingSeparator(chosen);
  v.lastBackInputFolder = dir;
  ui->editBackInput->setText(dir);
}

void ZelDialog::onChooseBackOutputDir() {
  const QString chosen = chooseDirectory(
      DialogTr(QT_TRANSLATE_NOOP("ZelDialog", "Select the output directory")),
      settings().values.lastBackInputFolder);
  if (!chosen.isEmpty()) ui->editBackOutput->setText(WithTrailingSeparator(chosen));
}

void ZelDialog::fillParams() {
  m_params.inputDir = WithTrailingSeparator(ui->editDirectory->text());
  m_params.processSubfolders = ui->checkSubfolders->isChecked();
  m_params.doNotProcessConverted = ui->checkNoConverted->isChecked();
  m_params.rawBitColorDepth = ui->comboColorDepth->currentData().toInt();
  m_params.rawRoiLeft = ui->spinRoiLeft->value();
  m_params.rawRoiRight = ui->spinRoiRight->value();
  m_params.rawRoiTop = ui->spinRoiTop->value();
  m_params.rawRoiBottom = ui->spinRoiBottom->value();
  m_params.applyRoi = ui->checkApplyRoi->isChecked();
  m_params.thresholdLowRed = ui->spinRedLow->value();
  m_params.thresholdHighRed = ui->spinRedHigh->value();
  m_params.thresholdLowGreen = ui->spinGreenLow->value();
  m_params.thresholdHighGreen = ui->spinGreenHigh->value();
  m_params.thresholdLowBlue = ui->spinBlueLow->value();
  m_params.thresholdHighBlue = ui->spinBlueHigh->value();
  m_params.applyThreshold = ui->checkApplyThr->isChecked();
  m_params.bayerGrid = ur::ExBayerGrid(ui->comboBayer->currentData().toInt());
  m_params.algorithm = DemosaicAlgorithm(ui->comboAlgorithm->currentData().toInt());
  m_params.channelNormalization =
      ZelChannelNormalization(ui->comboNormalization->currentData().toInt());
  m_params.debayerizeOutput = ui->chkDebayerizeOutput->isChecked();
  m_params.numCores = ui->spinCores->value();
  m_params.progress = &m_progress;
  m_params.protocol = &m_protocol;
}

void ZelDialog::fillBackParams() {
  m_backParams.inputDir = ui->editBackInput->text();
  m_backParams.outputDir = ui->editBackOutput->text();
  m_backParams.numCores = ui->spinBackCores->value();
  m_backParams.progress = &m_progress;
  m_backParams.protocol = &m_protocol;
}

void ZelDialog::onStart() {
  if (ui->tabWidget->currentIndex() == 0) {
    fillParams();
    if (ui->editDirectory->text().isEmpty()) {
      Warn(this, QT_TRANSLATE_NOOP("ZelDialog", "Warning"),
           QT_TRANSLATE_NOOP("ZelDialog", "No input directory selected."));
      return;
    }
    const bool odd = (m_params.rawRoiLeft | m_params.rawRoiRight | m_params.rawRoiTop |
                      m_params.rawRoiBottom) & 1;
    if (m_params.applyRoi && odd &&
        CurrentPrompts().message(
            this, QMessageBox::Warning, DialogTr(QT_TRANSLATE_NOOP("ZelDialog", "Warning")),
            DialogTr(QT_TRANSLATE_NOOP(
                "ZelDialog",
                "On one side of the RAW image will be cut an odd number of rows/columns. It will "
                "affect the Bayer's grid on the RAW image. \n Do you want to continue anyway?")),
            QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) == QMessageBox::Cancel)
      return;
    ui->progressDir->setEnabled(true);
    m_worker.start(m_params);
    return;
  }
  fillBackParams();
  if (m_backParams.inputDir.isEmpty()) {
    Warn(this, QT_TRANSLATE_NOOP("ZelDialog", "Warning"),
         QT_TRANSLATE_NOOP("ZelDialog", "No input directory selected."));
  } else if (m_backParams.outputDir.isEmpty()) {
    Warn(this, QT_TRANSLATE_NOOP("ZelDialog", "Warning"),
         QT_TRANSLATE_NOOP("ZelDialog", "No output directory selected."));
  } else {
    ui->progressDir->setEnabled(false);
    m_worker.start(m_backParams);
  }
}

void ZelDialog::beginStop() {
  m_stopRequested = true;
  setCursor(Qt::WaitCursor);
  updateControls();
  m_worker.cancel();
}

void ZelDialog::onStop() {
  if (!m_stopRequested) beginStop();
}

void ZelDialog::conversionStarted() { updateControls(); }

void ZelDialog::conversionFinished() {
  if (m_stopRequested) {
    m_stopRequested = false;
    setCursor(Qt::ArrowCursor);
  }
  updateControls();
  if (m_closeRequested) close();
}

void ZelDialog::updateProgress() {
  double total = 0.0, task = 0.0;
  QString totalMessage, taskMessage;
  m_progress.getInfo(total, totalMessage, task, taskMessage);
  ui->progressTotal->setValue(int(total));
  ui->progressDir->setValue(int(task));
  ui->labelProgressTotal->setText(totalMessage);
  ui->labelProgressDir->setText(taskMessage);
}

void ZelDialog::updateProtocol(int index) {
  if (index < 0) return;
  ui->editProtocol->appendPlainText(m_protocol.getMessage(index));
  ui->editProtocol->repaint();
}

bool ZelDialog::handleCloseRequest(bool ask) {
  if (!m_worker.isRunning()) {
    storeSettings();
    return true;
  }
  if (ask && CurrentPrompts().message(
                 this, QMessageBox::Question,
                 DialogTr(QT_TRANSLATE_NOOP("ZelDialog", "Question")),
                 DialogTr(QT_TRANSLATE_NOOP("ZelDialog", "The ZEL conversion is running, do you "
                                                         "want to exit the application anyway?")),
                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::Yes)
    return false;
  // The run may have ended while the question was open; then nothing is left to wait for.
  if (!m_worker.isRunning()) {
    storeSettings();
    return true;
  }
  m_closeRequested = true;
  if (!m_stopRequested) beginStop();
  return false;
}

void ZelDialog::closeEvent(QCloseEvent* event) {
  if (handleCloseRequest(true))
    event->accept();
  else
    event->ignore();
}

void ZelDialog::reject() {
  if (handleCloseRequest(true)) QDialog::reject();
}

void ZelDialog::onClose() { close(); }

void ZelDialog::closeWithoutAsking() {
  if (handleCloseRequest(false)) QDialog::reject();
}

void ZelDialog::storeSettings() {
  fillParams();
  DialogValues& v = settings().values;
  v.processSubfolders = m_params.processSubfolders;
  v.doNotProcessConverted = m_params.doNotProcessConverted;
  v.rawBitColorDepth = m_params.rawBitColorDepth;
  v.autoDetectColorDepth = ui->checkAutoDetectDepth->isChecked();
  v.applyRoi = m_params.applyRoi;
  v.rawRoiLeft = m_params.rawRoiLeft;
  v.rawRoiRight = m_params.rawRoiRight;
  v.rawRoiTop = m_params.rawRoiTop;
  v.rawRoiBottom = m_params.rawRoiBottom;
  v.thresholdLowRed = m_params.thresholdLowRed;
  v.thresholdHighRed = m_params.thresholdHighRed;
  v.thresholdLowGreen = m_params.thresholdLowGreen;
  v.thresholdHighGreen = m_params.thresholdHighGreen;
  v.thresholdLowBlue = m_params.thresholdLowBlue;
  v.thresholdHighBlue = m_params.thresholdHighBlue;
  v.applyThreshold = m_params.applyThreshold;
  v.bayerGrid = int(m_params.bayerGrid);
  v.algorithm = int(m_params.algorithm);
  v.channelNormalization = int(m_params.channelNormalization);
  v.numCores = unsigned(ui->spinCores->value());
  v.debayerizeOutput = m_params.debayerizeOutput;
}

void ZelDialog::onSave() {
  DialogValues& v = settings().values;
  const QString folder =
      WithTrailingSeparator(v.lastProtocolFolder.isEmpty() ? v.lastInputFolder
                                                           : v.lastProtocolFolder);
  const QString name = CurrentPrompts().saveFileName(
      this, DialogTr(QT_TRANSLATE_NOOP("ZelDialog", "Select protocol file")),
      folder + QStringLiteral("protocol.txt"),
      DialogTr(QT_TRANSLATE_NOOP("ZelDialog", "Text files (*.txt);;All files (*.*)")));
  if (name.isEmpty()) return;
  v.lastProtocolFolder = WithTrailingSeparator(QFileInfo(name).absolutePath());
  if (!m_protocol.save(name))
    Warn(this, QT_TRANSLATE_NOOP("ZelDialog", "Error"),
         QT_TRANSLATE_NOOP("ZelDialog", "Protocol has not been saved!"));
}

void ZelDialog::onLanguageChanged(int index) {
  const QString name = ui->comboLanguage->itemData(index).toString();
  DialogValues& v = settings().values;
  if (name.isEmpty() || name == v.localeName) return;
  v.localeName = name;
  CurrentPrompts().message(
      this, QMessageBox::Information, DialogTr(QT_TRANSLATE_NOOP("ZelDialog", "Information")),
      DialogTr(QT_TRANSLATE_NOOP("ZelDialog",
                                 "The new language will take an effect after the application "
                                 "restart.")),
      QMessageBox::Ok, QMessageBox::Ok);
}

void ZelDialog::onAbout() {
  ur::AboutConf conf;
  conf.title = QStringLiteral("ZEL Convertor");
  const int year = QDate::currentDate().year();
  const QString years = year > kFirstYear ? QStringLiteral("%1-%2").arg(kFirstYear).arg(year)
                                          : QString::number(kFirstYear);
  conf.notice = QString::fromUtf8("© %1 %2").arg(years, kMakerName);
  conf.webAddress = kMakerWeb;
  Version(conf.versionMajor, conf.versionMinor, conf.versionBuild, conf.versionText);
  conf.icon = ur::CxGuiHelper::dpiScaledPixmap(QStringLiteral(":/icons/zel.png"), 48, 48, false);
  CurrentPrompts().about(conf, this);
}

}  // namespace urs::zel
