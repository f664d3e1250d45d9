#pragma once
// Physical units named in metadata and user input.

#include <ur/urcore_export.h>

#include <QByteArray>
#include <QString>

namespace ur {

class URCORE_EXPORT CxUnits {
public:
  enum ExUnit : int {
    eUnitNone = 0,
    eUnitPixel,
    eUnitMicrometer,
    eUnitMillimeter,
    eUnitCentimeter,
    eUnitMeter,
    eUnitInch,
    eUnitSecond,
    eUnitMillisecond,
    eUnitMicrosecond,
    eUnitHertz,
  };
  // The unit named by text ("mm", "µm", "um", "s", "ms", "Hz", "px", "in", ... case-insensitive,
  // also the long names "millimeter" etc.); eUnitNone when the text names none.
  static ExUnit unitFromText(const QString& text);
  // The short text of a unit ("mm").
  static QString textFromUnit(ExUnit unit);
};

// The file name as the file system's bytes (what C libraries such as libtiff need).
URCORE_EXPORT QByteArray FileSystemRepresentation(const QString& path);

}  // namespace ur
