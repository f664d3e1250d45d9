#pragma once
// The TIFF saver's options widget: compression, 16-bit data and range scaling.
// Object names and option keys are fixed: callers and saved settings rely on them; optionsFromWidget reads the
// controls back by these names.

#include <ur/data_saver.h>

#include <QWidget>

class QCheckBox;
class QComboBox;

namespace ur::tiff {

// Option keys and their defaults.
inline const char* const kOptionCompression = "compression";
inline const char* const kOptionData16Bit = "data16bit";
inline const char* const kOptionScaleRange = "scale_range";
constexpr int kDefaultCompression = 2;  // none
constexpr bool kDefaultData16Bit = true;
constexpr bool kDefaultScaleRange = false;

// Values of "compression" (and indices of the combo box).
constexpr int kCompressionLzw = 0;
constexpr int kCompressionPackBits = 1;
constexpr int kCompressionNone = 2;

class CxTiffOptionsWidget : public QWidget {
  Q_OBJECT
public:
  // Controls preset from options (missing keys take their defaults).
  explicit CxTiffOptionsWidget(const SaveOptions& options, QWidget* parent = nullptr);

private:
  void onData16BitClicked(bool checked);

  QComboBox* m_compression = nullptr;
  QCheckBox* m_data16Bit = nullptr;
  QCheckBox* m_scaleRange = nullptr;
};

// Reads the controls found in widget (by object name) into options: "data16bit",
// "compression" (the combo box's index) and "scale_range"; absent controls are skipped.
void ReadOptionsFromWidget(const QWidget* widget, SaveOptions& options);

}  // namespace ur::tiff
