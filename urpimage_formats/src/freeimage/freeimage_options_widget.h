#pragma once
// The FreeImage saver's options widget for the save dialog, chosen by the file suffix:
//   "png"          check box "chk16BitData" (data16bit)
//   "tif", "tiff"  the TIFF saver's controls: combo box "cbCompr" (compression), check boxes
//                  "chk16BitData" (data16bit) and "chkScaleRange16" (scale_range), the latter
//                  enabled only while the former is checked
//   "jpg", "jpeg"  slider "slQuality" (quality 1..100) with a label "lblQualityValue" showing
//                  its value
// Texts are translatable in the context "ur::CxFreeImageSaver".

#include <ur/data_saver.h>

#include <QString>

class QWidget;

namespace ur::freeimage {

// A new widget for the suffix (any case), its controls set from options (defaults where a key
// is absent); null for a suffix without options. parent owns it when given.
QWidget* CreateOptionsWidget(const QString& suffix, const SaveOptions& options, QWidget* parent);

// options with "data16bit", "compression", "scale_range" and "quality" replaced by the values
// of those controls of widget that exist. A null widget leaves options as they are.
SaveOptions ReadOptionsWidget(const QWidget* widget, SaveOptions options);

}  // namespace ur::freeimage
