#pragma once
// The desktop program's window: forward and reverse conversion of directory trees with
// progress, protocol and the program's preferences.

#include <zel/convertor.h>
#include <zel/dir_conversion.h>
#include <zel/reverse_conversion.h>

#include <urs/progress_info.h>
#include <urs/protocol.h>

#include <QDialog>

#include <memory>

class QSpinBox;

namespace Ui {
class ZelDialog;
}

namespace ur {
class CxLocalizationManager;
}

namespace urs::zel {

class DialogSettings;

// Needs the process's DialogSettings (CurrentSettings()) for its whole life. Runs only through
// its ZelConvertor; a running worker is never destroyed, closing cancels it and closes when it
// has finished.
class ZelDialog : public QDialog {
  Q_OBJECT
public:
  ZelDialog();
  ~ZelDialog() override;

  // Closes as the Close button does but without asking: a run in progress is cancelled and the
  // window closes when it has ended. For a termination signal.
  void closeWithoutAsking();
  // True while a conversion runs.
  bool isConverting() const { return m_worker.isRunning(); }
  // The code of the last run (see ZelConvertor::getResult()).
  unsigned int lastResult() const { return m_worker.getResult(); }
  // The worker, for observers of its started() and finished() signals.
  ZelConvertor& worker() { return m_worker; }

public slots:
  void reject() override;

private slots:
  void onChooseDir();
  void onChooseBackInputDir();
  void onChooseBackOutputDir();
  void onStart();
  void onStop();
  void onAbout();
  void onSave();
  void onClose();
  void updateProgress();
  void updateProtocol(int index);
  void conversionStarted();
  void conversionFinished();
  void onApplyThresholdStateChanged(int state);
  void onApplyRoiStateChanged(int state);
  void onBayerGridIndexChanged(int index);
  void onBitColorDepthIndexChanged(int index);
  void onSpinThresholdValueChanged(int val);
  void onLanguageChanged(int index);
  void on_checkAutoDetectDepth_clicked();  // connected by name in setupUi
  void on_chkDebayerizeOutput_clicked();   // connected by name in setupUi

protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

private:
  void installLanguage();
  void initFromSettings();
  void fillCombos();
  void fillLanguages();
  void connectSlots();
  void takePlugin();
  void updateControls();
  void updateAlgorithmEnabled();
  void detectBitDepth();
  void takeFirstFileDepth(const QString& dir);
  void clearViews();
  void selectDepth(int depth);
  void fillParams();
  void fillBackParams();
  void storeSettings();
  void beginStop();
  // True when the window may close now; otherwise it closes when the run has ended.
  bool handleCloseRequest(bool ask);
  QString chooseDirectory(const QString& title, const QString& start);
  DialogSettings& settings() const;

  std::unique_ptr<Ui::ZelDialog> ui;
  ZelConvertor m_worker;
  CxProgressInfo m_progress;
  Protocol m_protocol;
  ZelParams m_params;
  BackZelParams m_backParams;
  bool m_closeRequested = false;
  bool m_stopRequested = false;
  bool m_updating = false;
  int m_detectedDepth = 0;
  std::unique_ptr<ur::CxLocalizationManager> m_localization;
};

}  // namespace urs::zel
