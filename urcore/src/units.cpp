#include <ur/units.h>

#include <QFile>
#include <QHash>

namespace ur {

namespace {
// Micro sign (U+00B5) and Greek small letter mu (U+03BC): both are typed for "micro".
const QString kMicroSign = QString(QChar(0x00B5));
const QString kGreekMu = QString(QChar(0x03BC));

QHash<QString, CxUnits::ExUnit> BuildUnitNames() {
  using U = CxUnits;
  QHash<QString, U::ExUnit> names;
  const auto add = [&](U::ExUnit unit, std::initializer_list<const char*> texts) {
    for (const char* t : texts) names.insert(QString::fromLatin1(t), unit);
  };
  add(U::eUnitPixel, {"px", "pix", "pixel", "pixels"});
  add(U::eUnitMicrometer, {"um", "micrometer", "micrometers", "micrometre", "micrometres",
                           "micron", "microns"});
  add(U::eUnitMillimeter, {"mm", "millimeter", "millimeters", "millimetre", "millimetres"});
  add(U::eUnitCentimeter, {"cm", "centimeter", "centimeters", "centimetre", "centimetres"});
  add(U::eUnitMeter, {"m", "meter", "meters", "metre", "metres"});
  add(U::eUnitInch, {"in", "inch", "inches", "\""});
  add(U::eUnitSecond, {"s", "sec", "second", "seconds"});
  add(U::eUnitMillisecond, {"ms", "msec", "millisecond", "milliseconds"});
  add(U::eUnitMicrosecond, {"us", "usec", "microsecond", "microseconds"});
  add(U::eUnitHertz, {"hz", "hertz"});
  for (const QString& micro : {kMicroSign, kGreekMu}) {
    names.insert(micro + QLatin1String("m"), U::eUnitMicrometer);
    names.insert(micro + QLatin1String("s"), U::eUnitMicrosecond);
  }
  return names;
}
}  // namespace

CxUnits::ExUnit CxUnits::unitFromText(const QString& text) {
  static const QHash<QString, ExUnit> names = BuildUnitNames();
  // toLower() leaves the micro sign and mu as they are.
  return names.value(text.trimmed().toLower(), eUnitNone);
}

QString CxUnits::textFromUnit(ExUnit unit) {
  switch (unit) {
    case eUnitPixel: return QStringLiteral("px");
    case eUnitMicrometer: return kMicroSign + QLatin1String("m");
    case eUnitMillimeter: return QStringLiteral("mm");
    case eUnitCentimeter: return QStringLiteral("cm");
    case eUnitMeter: return QStringLiteral("m");
    case eUnitInch: return QStringLiteral("in");
    case eUnitSecond: return QStringLiteral("s");
    case eUnitMillisecond: return QStringLiteral("ms");
    case eUnitMicrosecond: return kMicroSign + QLatin1String("s");
    case eUnitHertz: return QStringLiteral("Hz");
    case eUnitNone: break;
  }
  return QString();
}

QByteArray FileSystemRepresentation(const QString& path) { return QFile::encodeName(path); }

}  // namespace ur
