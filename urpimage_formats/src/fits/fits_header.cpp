#include "fits/fits_header.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <cmath>
#include <limits>

#include "fits/fits_cards.h"

namespace ur::fits {

namespace {

constexpr int kMaxAxes = 999;
constexpr double kMinBscale = 0.000001;  // smaller scales count as 1
constexpr double kUnsigned16Zero = 32768.0;
constexpr double kUnsigned32Zero = 2147483648.0;
constexpr double kSignedByteZero = -128.0;

bool IsTrue(const SxCard& card) { return card.hasValue && card.value == QLatin1String("T"); }

// "yyyy-MM-ddTHH:mm:ss.zzz" (time optional, milliseconds optional) in UTC, as local time.
QDateTime ParseDateTime(const QString& text) {
  const int t = text.indexOf(QLatin1Char('T'));
  const QDate date = QDate::fromString(t < 0 ? text : text.left(t), QStringLiteral("yyyy-MM-dd"));
  if (!date.isValid()) return {};
  QTime time(0, 0);
  if (t >= 0) {
    const QString timeText = text.mid(t + 1);
    for (const char* format : {"HH:mm:ss.zzz", "HH:mm:ss.z", "HH:mm:ss"}) {
      time = QTime::fromString(timeText, QLatin1String(format));
      if (time.isValid()) break;
    }
    if (!time.isValid()) return {};
  }
  return QDateTime(date, time, Qt::UTC).toLocalTime();
}

struct HeaderState {
  SxUnitHeader& header;
  CxCommonImageMetadata& record;
  bool dateFromObservation = false;
};

bool PositiveReal(const SxCard& card, double& value) {
  double v = 0.0;
  if (!ParseReal(card.value, v) || !(v > 0.0)) return false;
  value = v;
  return true;
}

void ApplyRecordCard(const SxCard& card, HeaderState& state) {
  CxCommonImageMetadata& r = state.record;
  const QString& k = card.keyword;
  double real = 0.0;
  if (k == QLatin1String("CAMERA")) {
    r.cameraModel = card.value;
  } else if (k == QLatin1String("EXPOSURE") || k == QLatin1String("EXPTIME")) {
    PositiveReal(card, r.exposureTime);
  } else if (k == QLatin1String("GAIN")) {
    if (ParseReal(card.value, real)) r.gain = real;
  } else if (k == QLatin1String("APERTURE")) {
    if (ParseReal(card.value, real)) r.aperture = real;
  } else if (k == QLatin1String("DATE-OBS") ||
             (k == QLatin1String("DATE") && !state.dateFromObservation)) {
    // The time of observation wins over the time the file was written.
    const QDateTime when = ParseDateTime(card.value);
    if (when.isValid()) {
      r.dateTime = when;
      state.dateFromObservation = state.dateFromObservation || k == QLatin1String("DATE-OBS");
    }
  } else if (k == QLatin1String("AUTHOR")) {
    r.author = card.value;
  } else if (k == QLatin1String("PROGRAM")) {
    r.software = card.value;
  }
}

// The structure keywords; false with error for values that no unit can have.
bool ApplyStructureCard(const SxCard& card, SxUnitHeader& h, QString& error) {
  const QString& k = card.keyword;
  qint64 n = 0;
  double real = 0.0;
  auto integer = [&](qint64 min, qint64 max) {
    if (ParseInteger(card.value, n) && n >= min && n <= max) return true;
    error = QStringLiteral("%1 = %2 is not a valid value").arg(k, card.value);
    return false;
  };
  if (k == QLatin1String("BITPIX")) {
    if (!integer(-64, 64)) return false;
    h.bitpix = int(n);
  } else if (k == QLatin1String("NAXIS")) {
    if (!integer(0, kMaxAxes)) return false;
    h.naxis = int(n);
    h.axes.fill(-1, h.naxis);
  } else if (k.startsWith(QLatin1String("NAXIS"))) {
    bool ok = false;
    const int axis = k.midRef(5).toInt(&ok);
    if (!ok || axis < 1 || axis > h.naxis) return true;  // beyond NAXIS: no axis of this unit
    if (!integer(0, std::numeric_limits<qint64>::max())) return false;
    h.axes[axis - 1] = n;
  } else if (k == QLatin1String("PCOUNT")) {
    if (!integer(0, std::numeric_limits<qint64>::max())) return false;
    h.pcount = n;
  } else if (k == QLatin1String("GCOUNT")) {
    if (!integer(0, std::numeric_limits<qint64>::max())) return false;
    h.gcount = n;
  } else if (k == QLatin1String("BZERO")) {
    if (ParseReal(card.value, real)) h.bzero = real;
  } else if (k == QLatin1String("BSCALE")) {
    if (ParseReal(card.value, real)) h.bscale = std::fabs(real) < kMinBscale ? 1.0 : real;
  } else if (k == QLatin1String("DATAMIN")) {
    h.hasDataMin = ParseReal(card.value, h.dataMin);
  } else if (k == QLatin1String("DATAMAX")) {
    h.hasDataMax = ParseReal(card.value, h.dataMax);
  } else if (k == QLatin1String("XTENSION")) {
    h.xtension = card.value.trimmed().toUpper();
  }
  return true;
}

bool CheckFirstCard(const SxCard& card, bool primary, QString& error) {
  if (primary && (card.keyword != QLatin1String("SIMPLE") || !IsTrue(card))) {
    error = QStringLiteral("it does not start with SIMPLE = T");
    return false;
  }
  if (!primary && (card.keyword != QLatin1String("XTENSION") || !card.hasValue)) {
    error = QStringLiteral("an extension header does not start with XTENSION");
    return false;
  }
  return true;
}

bool Multiply(qint64 a, qint64 b, qint64& out) { return !__builtin_mul_overflow(a, b, &out); }

}  // namespace

bool ReadHeader(QIODevice& device, bool primary, SxUnitHeader& header,
                CxCommonImageMetadata& record, QString& error) {
  header = SxUnitHeader{};
  header.primary = primary;
  HeaderState state{header, record};
  char block[kBlockBytes];
  bool first = true;
  for (;;) {
    if (device.bytesAvailable() < kBlockBytes || device.read(block, kBlockBytes) != kBlockBytes) {
      error = QStringLiteral("a header runs past the end of the file");
      return false;
    }
    for (int i = 0; i < kCardsPerBlock; ++i) {
      const SxCard card = ParseCard(block + i * kCardBytes);
      if (first && !CheckFirstCard(card, primary, error)) return false;
      first = false;
      if (card.keyword == QLatin1String("END")) {
        header.dataOffset = device.pos();
        if (header.bitpix == 0 || header.naxis < 0) {
          error = QStringLiteral("a header lacks BITPIX or NAXIS");
          return false;
        }
        return true;
      }
      if (!card.hasValue) continue;
      if (!ApplyStructureCard(card, header, error)) return false;
      ApplyRecordCard(card, state);
    }
  }
}

bool DataBytes(const SxUnitHeader& header, qint64& bytes, QString& error) {
  qint64 count = header.naxis > 0 ? 1 : 0;
  for (int i = 0; i < header.naxis; ++i) {
    if (header.axes[i] < 0) {
      error = QStringLiteral("NAXIS%1 is missing").arg(i + 1);
      return false;
    }
    if (!Multiply(count, header.axes[i], count)) {
      error = QStringLiteral("the dimensions are too large");
      return false;
    }
  }
  const qint64 sampleBytes = std::abs(header.bitpix) / 8;
  if (__builtin_add_overflow(count, header.pcount, &count) ||
      !Multiply(count, sampleBytes, count) || !Multiply(count, header.gcount, count)) {
    error = QStringLiteral("the dimensions are too large");
    return false;
  }
  bytes = count;
  return true;
}

QString NotAnImageReason(const SxUnitHeader& h) {
  if (!h.primary && h.xtension != QLatin1String("IMAGE"))
    return QStringLiteral("a %1 extension is no image").arg(h.xtension);
  if (h.naxis == 0) return QString();  // no data: not an image, and nothing worth reporting
  if (h.naxis < 2 || h.naxis > 3)
    return QStringLiteral("an image of %1 axes is not read").arg(h.naxis);
  if (h.naxis == 3 && h.axes[2] != 1 && h.axes[2] != 3 && h.axes[2] != 4)
    return QStringLiteral("a cube of %1 planes is not read (1, 3 or 4 planes are)").arg(h.axes[2]);
  if (h.axes[0] == 0 || h.axes[1] == 0) return QStringLiteral("an image is empty");
  if (h.pcount != 0 || h.gcount != 1)
    return QStringLiteral("an image has PCOUNT %1 and GCOUNT %2").arg(h.pcount).arg(h.gcount);
  return QString();
}

bool SampleFormatOf(const SxUnitHeader& h, SxSampleFormat& format) {
  format = SxSampleFormat{};
  format.bscale = h.bscale;
  format.bzero = h.bzero;
  const bool unitScale = h.bscale == 1.0;
  const bool trivial = unitScale && h.bzero == 0.0;
  // Only scalings that keep whole numbers in an integer type are left as integers.
  const ExImageDataType physical = h.bitpix == 32 ? eImageDataDouble : eImageDataFloat;
  switch (h.bitpix) {
    case 8:
      format.type = trivial                                   ? eImageDataUInt8
                    : unitScale && h.bzero == kSignedByteZero ? eImageDataInt8
                                                              : physical;
      break;
    case 16:
      if (unitScale && h.bzero == kUnsigned16Zero)
        format.type = eImageDataUInt16;
      else if (trivial && h.hasDataMin && h.hasDataMax && h.dataMin == 0.0 &&
               h.dataMax < kUnsigned16Zero)
        format.type = eImageDataUInt16;
      else
        format.type = trivial ? eImageDataInt16 : physical;
      break;
    case 32:
      format.type = unitScale && h.bzero == kUnsigned32Zero ? eImageDataUInt32
                    : trivial                               ? eImageDataInt32
                                                            : physical;
      break;
    case -32:
      format.type = eImageDataFloat;
      break;
    case -64:
      format.type = eImageDataDouble;
      break;
    default:
      return false;
  }
  format.scaled = !trivial;
  return true;
}

}  // namespace ur::fits
