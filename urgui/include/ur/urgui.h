#pragma once
// The GUI helpers of the image-core layer: translations, the visual style, DPI-scaled pixmaps
// and icons, and the about box.

#include <ur/about_dlg.h>
#include <ur/gui_helper.h>
#include <ur/localization_manager.h>
#include <ur/style_manager.h>
