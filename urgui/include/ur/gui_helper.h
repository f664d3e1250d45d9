#pragma once
// Pixmaps and icons sized for the screen: sizes are given for a 96-DPI screen and scaled by the
// primary screen's DPI, and drawn from the double-resolution file ("name_2x.png" beside
// "name.png") wherever the scaled size in device pixels is larger than the plain file's.

#include <ur/urgui_export.h>

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace ur {

class URGUI_EXPORT CxGuiHelper {
public:
  // The primary screen's logical DPI over 96, to the nearest quarter (1 without a screen). Qt's own device-pixel
  // scaling (QT_SCALE_FACTOR, high-DPI displays) is not included: widgets are sized in logical
  // pixels already, and the pixmaps below take it into account on their own.
  static double dpiScaleFactor();

  // The image at path scaled to w x h logical pixels times dpiScaleFactor(), drawn in device
  // pixels of the primary screen (the pixmap's device pixel ratio is set), so that it stays
  // sharp. keepAspectRatio fits the image inside the size instead of stretching it. A null
  // pixmap when the file cannot be read.
  static QPixmap dpiScaledPixmap(const QString& path, int w, int h, bool keepAspectRatio);
  // The same for an explicit device scale (dpiScaleFactor() times the device pixel ratio).
  static QPixmap scaledPixmap(const QString& path, int w, int h, bool keepAspectRatio,
                              double deviceScale, double devicePixelRatio);

  // An icon of dpiScaledPixmap(path, w, h, keepAspectRatio) with a faded grey pixmap for the
  // disabled state.
  static QIcon dpiScaledIconWithDisState(const QString& path, int w, int h,
                                         bool keepAspectRatio);

  // "dir/name_2x.png" for "dir/name.png".
  static QString doubleResolutionPath(const QString& path);
  // A grey, half-transparent copy of pixmap, as the disabled state of an icon.
  static QPixmap disabledPixmap(const QPixmap& pixmap);
};

}  // namespace ur
