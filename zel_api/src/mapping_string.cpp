// Mapping strings: the occupied levels of a channel as runs "{first:count:value}" joined by ";".
#include <zel/metadata.h>

#include <ur/result.h>

#include <QStringList>

#include <algorithm>

namespace urs::zel {

namespace {

namespace rc = ur::rc;

// The largest value a mapping table entry holds.
constexpr qint64 kMaxMappedValue = 65535;

struct Run {
  qint64 first = 0;
  qint64 count = 0;
  qint64 value = 0;
};

void AppendRun(QString& text, int first, int count, unsigned short value) {
  if (!text.isEmpty()) text += QLatin1Char(';');
  text += QStringLiteral("{%1:%2:%3}").arg(first).arg(count).arg(value);
}

// One "{s:n:v}" part. The braces are dropped unseen, as the writer always puts them there. A run
// must lie inside 0..levelsCount-1 and map into the 16-bit range, so that writing it can touch
// nothing outside the arrays.
bool ParseRun(const QString& part, int levelsCount, Run& run) {
  if (part.size() < 2) return false;
  const QString inner = part.mid(1, part.size() - 2);
  const QStringList numbers = inner.split(QLatin1Char(':'), Qt::KeepEmptyParts);
  if (numbers.size() != 3) return false;
  bool ok[3] = {false, false, false};
  run.first = numbers[0].toLongLong(&ok[0], 10);
  run.count = numbers[1].toLongLong(&ok[1], 10);
  run.value = numbers[2].toLongLong(&ok[2], 10);
  if (!ok[0] || !ok[1] || !ok[2]) return false;
  if (run.first < 0 || run.count < 1 || run.value < 0) return false;
  return run.first + run.count <= levelsCount && run.value + run.count - 1 <= kMaxMappedValue;
}

}  // namespace

unsigned int GetMappingString(const bool* occupied, const unsigned short* mapping,
                              int levelsCount, QString& text) {
  if (!occupied) return rc::InvalidArg(1);
  if (!mapping) return rc::InvalidArg(2);
  if (levelsCount < 0) return rc::InvalidArg(3);
  QString out;
  int first = -1;  // first level of the open run, -1 when none is open
  for (int level = 0; level < levelsCount; ++level) {
    if (occupied[level]) {
      if (first < 0) first = level;
    } else if (first >= 0) {
      AppendRun(out, first, level - first, mapping[first]);
      first = -1;
    }
  }
  if (first >= 0) AppendRun(out, first, levelsCount - first, mapping[first]);
  text = out;
  return rc::Ok;
}

bool ReadMappingString(const QString& text, unsigned short* mapping, bool* occupied,
                       int levelsCount) {
  if (!mapping || !occupied || levelsCount < 1) return false;
  std::fill(mapping, mapping + levelsCount, static_cast<unsigned short>(0));
  std::fill(occupied, occupied + levelsCount, false);
  // The writer gives a channel without occupied levels (every pixel thresholded away) as "".
  if (text.isEmpty()) return true;
  const QStringList parts = text.split(QLatin1Char(';'), Qt::KeepEmptyParts);
  for (const QString& part : parts) {
    Run run;
    if (!ParseRun(part, levelsCount, run)) return false;
    for (qint64 j = 0; j < run.count; ++j) {
      mapping[run.first + j] = static_cast<unsigned short>(run.value + j);
      occupied[run.first + j] = true;
    }
  }
  return true;
}

}  // namespace urs::zel
