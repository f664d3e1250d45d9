#pragma once
// The bit depth of input frames as the conversion reads them, for --auto-bits.

#include <QString>
#include <QStringList>

namespace urs::zel {

// The depth of the deepest frame among files of dir (names only): each frame's declared depth, or
// the depth its largest sample needs when that is more, as the conversion counts it. Unreadable
// frames are left to the conversion to report by name; when none can be read, 16.
int DetectBitDepth(const QString& dir, const QStringList& files);

}  // namespace urs::zel
