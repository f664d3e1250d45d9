#pragma once
// The desktop program's persistent settings: one record per process, bound to "ZEL.ini" and
// read and written in the INI group "Dialog".

#include <QString>

#include <memory>

class QSettings;

namespace urs::zel {

// The values of the settings file with their first-start defaults.
struct DialogValues {
  QString lastInputFolder;
  QString lastBackInputFolder;
  QString lastProtocolFolder;
  bool processSubfolders = true;
  bool doNotProcessConverted = false;
  int rawBitColorDepth = 12;
  bool autoDetectColorDepth = true;
  bool debayerizeOutput = true;
  int rawRoiLeft = 16;
  int rawRoiTop = 0;
  int rawRoiRight = 0;
  int rawRoiBottom = 0;
  bool applyRoi = true;
  int thresholdLowRed = 0;
  int thresholdHighRed = 4095;
  int thresholdLowGreen = 0;
  int thresholdHighGreen = 4095;
  int thresholdLowBlue = 0;
  int thresholdHighBlue = 4095;
  bool applyThreshold = false;
  int bayerGrid = 0;             // ExBayerGrid
  int algorithm = 0;             // DemosaicAlgorithm
  int channelNormalization = 0;  // ZelChannelNormalization
  unsigned int numCores = 1;     // replaced by the processor's thread count in Defaults()
  QString localeName;            // replaced by the system locale's name in Defaults()
};

class DialogSettings {
public:
  // Binds the record to the INI file at path and loads every value (defaults for missing keys).
  explicit DialogSettings(const QString& path);
  // Saves every value unless discard() was called.
  ~DialogSettings();
  DialogSettings(const DialogSettings&) = delete;
  DialogSettings& operator=(const DialogSettings&) = delete;

  // The values of a first start on this machine.
  static DialogValues Defaults();
  // "<per-user data location>/ZEL.ini"; the application and organisation names must be set.
  static QString DefaultPath();

  void load();
  void save();
  // Leaves the file as it is when the record is destroyed (the program did not start).
  void discard() { m_discarded = true; }
  QString fileName() const;

  DialogValues values;

private:
  std::unique_ptr<QSettings> m_settings;
  bool m_discarded = false;
};

// The record of this process, set by the entry point and read by the dialog; null when none.
DialogSettings* CurrentSettings();
void SetCurrentSettings(DialogSettings* settings);

}  // namespace urs::zel
