// Reads the key-per-item metadata of the first format generation ("ZEL", "ZEL_NRGB", ...).
#include "metadata_common.h"

#include <zel/metadata.h>

#include <ur/image.h>
#include <ur/result.h>

#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace urs::zel {

namespace {

namespace rc = ur::rc;

// The form stores no level count; it is the smallest of these above every normalisation value.
constexpr int kLegacyLevelCounts[] = {256, 1024, 4096, 16384, 65536};

// The text of a comment tag, read as Latin-1 up to its first zero byte. The lookup's code when
// the key is absent.
unsigned int ReadText(const ur::CxImage& image, const char* key, QString& text) {
  fipTag tag;
  const unsigned int r = image.getMetadata(FIMD_COMMENTS, QLatin1String(key), tag);
  if (ur::Failed(r)) return r;
  const char* value = static_cast<const char*>(tag.getValue());
  const std::size_t length = value ? std::size_t(tag.getLength()) : 0;
  const void* zero = length ? std::memchr(value, 0, length) : nullptr;
  const std::size_t used = zero ? std::size_t(static_cast<const char*>(zero) - value) : length;
  text = QString::fromLatin1(value, int(used));
  return rc::Ok;
}

void ReadVersion(const ur::CxImage& image, ZelMetadata& m) {
  QString text;
  if (ur::Failed(ReadText(image, "ZEL", text))) return;
  const QStringList parts = text.split(QLatin1Char('.'));
  if (parts.size() < 2) return;
  m.verMajor = parts[0].trimmed().toInt();
  m.verMinor = parts[1].trimmed().toInt();
}

// Normalisation values of a grey ("ZEL_NMONO") or colour ("ZEL_NRGB") image; parts of the
// colour list that are not numbers are skipped.
unsigned int ReadNormalizationValues(const ur::CxImage& image, bool& grey,
                                     std::vector<quint64>& values) {
  QString text;
  grey = !ur::Failed(ReadText(image, "ZEL_NMONO", text));
  QStringList parts(text);
  if (!grey) {
    const unsigned int r = ReadText(image, "ZEL_NRGB", text);
    if (ur::Failed(r)) return r;
    parts = text.replace(QLatin1Char(','), QLatin1Char(';')).split(QLatin1Char(';'));
  }
  for (const QString& part : parts) {
    bool ok = false;
    const quint64 v = part.trimmed().toULongLong(&ok);
    if (ok) values.push_back(v);
  }
  const std::size_t needed = grey ? 1 : 3;
  if (values.size() < needed) return rc::Fail;
  values.resize(needed);
  return rc::Ok;
}

int LevelsCountAbove(quint64 largest) {
  for (int count : kLegacyLevelCounts)
    if (quint64(count) > largest) return count;
  return 0;
}

unsigned int ReadChannel(const ur::CxImage& image, const char* key, int c, ZelMetadata& m) {
  QString text;
  const unsigned int r = ReadText(image, key, text);
  if (ur::Failed(r)) return r;
  if (!m.allocateChannel(c)) return rc::Fail;
  return ReadMappingString(text, m.mapping[c], m.occupied[c], m.levelsCount) ? rc::Ok : rc::Fail;
}

// Comma-separated signed numbers; exactly `minCount`..`maxCount` of them.
bool ParseNumbers(const QString& text, int minCount, int maxCount, std::vector<int>& out) {
  const QStringList parts = text.split(QLatin1Char(','));
  if (parts.size() < minCount || parts.size() > maxCount) return false;
  out.clear();
  for (const QString& part : parts) {
    bool ok = false;
    out.push_back(part.trimmed().toInt(&ok));
    if (!ok) return false;
  }
  return true;
}

// "{x,y:invalid,new}" (grey) or "{x,y:i0,i1,i2[,i3]:r0,r1,r2[,r3]}" (colour).
bool ParsePixel(const QString& entry, bool grey, InvalidPixel& p) {
  const QString e = entry.trimmed();
  if (e.size() < 2 || !e.startsWith(QLatin1Char('{')) || !e.endsWith(QLatin1Char('}')))
    return false;
  const QStringList groups = e.mid(1, e.size() - 2).split(QLatin1Char(':'));
  std::vector<int> xy, values, before, after;
  if (groups.size() != (grey ? 2 : 3) || !ParseNumbers(groups[0], 2, 2, xy)) return false;
  p.col = xy[0];
  p.row = xy[1];
  if (grey) {
    if (!ParseNumbers(groups[1], 2, 2, values)) return false;
    p.invalidValue[0] = static_cast<std::uint32_t>(values[0]);
    p.newValue[0] = static_cast<std::uint32_t>(values[1]);
    return true;
  }
  if (!ParseNumbers(groups[1], 3, 4, before) || !ParseNumbers(groups[2], 3, 4, after)) return false;
  // A fourth channel not given is the second green, a copy of channel 1.
  if (before.size() == 3) before.push_back(before[1]);
  if (after.size() == 3) after.push_back(after[1]);
  for (int c = 0; c < 4; ++c) {
    p.invalidValue[c] = static_cast<std::uint32_t>(before[std::size_t(c)]);
    p.newValue[c] = static_cast<std::uint32_t>(after[std::size_t(c)]);
  }
  return true;
}

unsigned int ReadPixels(const ur::CxImage& image, bool grey, ZelMetadata& m) {
  QString text;
  // The list is optional.
  if (ur::Failed(ReadText(image, grey ? "ZEL_IMONO" : "ZEL_IRGB", text))) return rc::Ok;
  for (const QString& entry : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
    if (entry.trimmed().isEmpty()) continue;
    InvalidPixel p;
    if (!ParsePixel(entry, grey, p)) return rc::Fail;
    m.invalidPixels.append(p);
  }
  return rc::Ok;
}

}  // namespace

unsigned int ReadLegacyMetadata(const ur::CxImage& image, ZelMetadata& metadata) {
  ReadVersion(image, metadata);
  bool grey = false;
  std::vector<quint64> values;
  unsigned int r = ReadNormalizationValues(image, grey, values);
  if (ur::Failed(r)) return r;
  quint64 largest = 0;
  for (quint64 v : values) largest = std::max(largest, v);
  const int levels = LevelsCountAbove(largest);
  if (levels == 0) return rc::Fail;

  // Arrays sized for another level count must not outlive it.
  metadata.release();
  metadata.levelsCount = levels;
  for (std::size_t c = 0; c < values.size(); ++c)
    metadata.normalization[c] = static_cast<unsigned short>(values[c]);

  if (grey) {
    r = ReadChannel(image, "ZEL_CMONO", 0, metadata);
  } else {
    const char* const keys[] = {"ZEL_CR", "ZEL_CG", "ZEL_CB"};
    for (int c = 0; c < 3 && !ur::Failed(r); ++c) r = ReadChannel(image, keys[c], c, metadata);
  }
  if (ur::Failed(r)) return r;
  return ReadPixels(image, grey, metadata);
}

}  // namespace urs::zel
