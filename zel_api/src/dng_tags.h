#pragma once
// The descriptive tags of a DNG (camera, software, times, rights), read with libtiff so that no
// decoder touches the file's previews just to reach them.

#include <ur/image.h>

#include <QString>

namespace urs::zel {

// Copies the text tags of the DNG's first directory and of its EXIF directory into image, under
// FreeImage's EXIF models and key names. Tags that are absent, empty or unreadable are skipped.
void CopyDngTags(const QString& path, ur::CxImage& image);

}  // namespace urs::zel
