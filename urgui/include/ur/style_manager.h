#pragma once
// The visual style of the desktop programs.

#include <ur/urgui_export.h>

class QApplication;

namespace ur {

class URGUI_EXPORT CxStyleManager {
public:
  enum Style : int {
    FusionCalm = 0,  // the Fusion style with the calm palette of our programs
  };

  // The process-wide instance.
  static CxStyleManager* instance();

  // Applies style to the application (its style object and palette). False for a null
  // application or an unknown style, which then leaves the application as it is.
  bool setStyle(QApplication* app, int style);

private:
  CxStyleManager() = default;
};

}  // namespace ur
