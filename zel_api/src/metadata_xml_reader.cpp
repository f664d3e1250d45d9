// Reads the XML text form of the metadata record from a parsed document.
#include "metadata_common.h"

#include <zel/metadata.h>

#include <ur/result.h>

#include <QDomDocument>
#include <QStringList>

#include <cstdint>
#include <cstring>

namespace urs::zel {

namespace {

namespace rc = ur::rc;
using detail::ChannelName;
using detail::kMaxChannels;

constexpr int kSupportedMajor = 2;
constexpr int kSupportedMinor = 0;

// Splits "a:b" into its two halves; false unless there are exactly two.
bool SplitPair(const QString& text, QString& first, QString& second) {
  const QStringList parts = text.split(QLatin1Char(':'), Qt::KeepEmptyParts);
  if (parts.size() != 2) return false;
  first = parts[0];
  second = parts[1];
  return true;
}

// Channel 3 of a record that has none is a copy of channel 1.
bool CopyChannel1To3(ZelMetadata& m) {
  if (!m.allocateChannel(3)) return false;
  const std::size_t n = std::size_t(m.levelsCount);
  std::memcpy(m.occupied[3], m.occupied[1], n * sizeof(bool));
  std::memcpy(m.mapping[3], m.mapping[1], n * sizeof(unsigned short));
  return true;
}

unsigned int ReadRoot(const QDomElement& root, ZelMetadata& m) {
  if (root.tagName() != QLatin1String("zel_md")) return rc::NotZelImage;
  const QString major = QStringLiteral("ver_major"), minor = QStringLiteral("ver_minor");
  if (!root.hasAttribute(major) || !root.hasAttribute(minor)) return rc::Unsupported;
  bool okMajor = false, okMinor = false;
  const int verMajor = root.attribute(major).toInt(&okMajor);
  const int verMinor = root.attribute(minor).toInt(&okMinor);
  if (!okMajor || !okMinor || verMajor != kSupportedMajor || verMinor != kSupportedMinor)
    return rc::Unsupported;
  m.verMajor = verMajor;
  m.verMinor = verMinor;
  return rc::Ok;
}

unsigned int ReadProcessingAttributes(const QDomElement& processing, ZelMetadata& m) {
  if (processing.isNull() || processing.tagName() != QLatin1String("processing"))
    return rc::NotZelImage;
  for (const char* name : {"levelsCount", "bayerGrid", "zelType"})
    if (!processing.hasAttribute(QLatin1String(name))) return rc::NotZelImage;
  const int grid = processing.attribute(QStringLiteral("bayerGrid")).toInt();
  const bool mosaic = grid != ur::eBayerNone;
  if (mosaic && !processing.hasAttribute(QStringLiteral("debayer"))) return rc::NotZelImage;
  // Arrays sized for another level count must not outlive it.
  m.release();
  m.levelsCount = processing.attribute(QStringLiteral("levelsCount")).toInt();
  m.bayerGrid = static_cast<ur::ExBayerGrid>(grid);
  m.zelType = processing.attribute(QStringLiteral("zelType")).toInt();
  // Absent in records written before the width was kept: levelsCount alone decides then.
  m.sampleBits = 0;
  const QString sampleBits = QStringLiteral("sampleBits");
  if (processing.hasAttribute(sampleBits)) {
    const int bits = processing.attribute(sampleBits).toInt();
    if (bits != detail::kNarrowSampleBits && bits != detail::kWideSampleBits)
      return rc::NotZelImage;
    m.sampleBits = bits;
  }
  if (mosaic) {
    const int debayer = processing.attribute(QStringLiteral("debayer")).toInt();
    m.debayer = static_cast<DemosaicAlgorithm>(debayer);
  }
  return rc::Ok;
}

// Which "channelN" an element names, or -1.
int ChannelIndex(const QDomElement& e) {
  for (int c = 0; c < kMaxChannels; ++c)
    if (e.tagName() == ChannelName(c)) return c;
  return -1;
}

unsigned int ReadMapping(const QDomElement& mapping, ZelMetadata& m, bool read[kMaxChannels]) {
  if (!mapping.hasChildNodes()) return rc::NotZelImage;
  const QString value = QStringLiteral("value");
  for (QDomElement e = mapping.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
    const int c = ChannelIndex(e);
    if (c < 0 || !e.hasAttribute(value)) continue;
    if (m.levelsCount < 1 || m.levelsCount > detail::kMaxLevelsCount) return rc::NotZelImage;
    if (!m.allocateChannel(c)) return rc::Fail;
    if (!ReadMappingString(e.attribute(value), m.mapping[c], m.occupied[c], m.levelsCount))
      return rc::NotZelImage;
    read[c] = true;
  }
  if (!read[3] && read[1]) {
    if (!CopyChannel1To3(m)) return rc::Fail;
  }
  return rc::Ok;
}

unsigned int ReadNormalization(const QDomElement& e, ZelMetadata& m, bool hasChannel3) {
  if (!e.hasAttribute(ChannelName(0))) return rc::NotZelImage;
  for (int c = 0; c < kMaxChannels; ++c)
    if (e.hasAttribute(ChannelName(c))) m.normalization[c] = e.attribute(ChannelName(c)).toUShort();
  if (!hasChannel3) m.normalization[3] = m.normalization[1];
  return rc::Ok;
}

unsigned int ReadThreshold(const QDomElement& e, ZelMetadata& m, bool hasChannel3) {
  if (!e.hasAttribute(QStringLiteral("apply"))) return rc::NotZelImage;
  m.applyThreshold = e.attribute(QStringLiteral("apply")).toInt() != 0;
  if (m.applyThreshold) {
    if (!e.hasAttribute(ChannelName(0))) return rc::NotZelImage;
    for (int c = 0; c < kMaxChannels; ++c) {
      if (!e.hasAttribute(ChannelName(c))) continue;
      QString low, high;
      if (!SplitPair(e.attribute(ChannelName(c)), low, high)) return rc::NotZelImage;
      m.thresholds[c][0] = low.toUShort();
      m.thresholds[c][1] = high.toUShort();
    }
  }
  if (!hasChannel3) {
    m.thresholds[3][0] = m.thresholds[1][0];
    m.thresholds[3][1] = m.thresholds[1][1];
  }
  return rc::Ok;
}

bool ReadPixel(const QDomElement& e, InvalidPixel& p) {
  for (const char* name : {"row", "col", "channel0"})
    if (!e.hasAttribute(QLatin1String(name))) return false;
  p.row = e.attribute(QStringLiteral("row")).toInt();
  p.col = e.attribute(QStringLiteral("col")).toInt();
  for (int c = 0; c < kMaxChannels; ++c) {
    if (!e.hasAttribute(ChannelName(c))) continue;
    QString before, after;
    if (!SplitPair(e.attribute(ChannelName(c)), before, after)) return false;
    p.invalidValue[c] = static_cast<std::uint32_t>(before.toInt());
    p.newValue[c] = static_cast<std::uint32_t>(after.toInt());
  }
  if (!e.hasAttribute(ChannelName(3))) {
    p.invalidValue[3] = p.invalidValue[1];
    p.newValue[3] = p.newValue[1];
  }
  return true;
}

unsigned int ReadInvalidPixels(const QDomElement& list, ZelMetadata& m) {
  for (QDomElement e = list.firstChildElement(QStringLiteral("pixel")); !e.isNull();
       e = e.nextSiblingElement(QStringLiteral("pixel"))) {
    InvalidPixel p;
    if (!ReadPixel(e, p)) return rc::InvalidPixelList;
    m.invalidPixels.append(p);
  }
  return rc::Ok;
}

// The children of "processing", each recognised by its name; anything else is skipped.
unsigned int ReadProcessingChildren(const QDomElement& processing, ZelMetadata& m) {
  bool read[kMaxChannels] = {false, false, false, false};
  for (QDomElement e = processing.firstChildElement(); !e.isNull(); e = e.nextSiblingElement()) {
    const QString name = e.tagName();
    unsigned int r = rc::Ok;
    if (name == QLatin1String("mapping")) r = ReadMapping(e, m, read);
    else if (name == QLatin1String("normalization")) r = ReadNormalization(e, m, read[3]);
    else if (name == QLatin1String("threshold")) r = ReadThreshold(e, m, read[3]);
    else if (name == QLatin1String("invalid_pixels")) r = ReadInvalidPixels(e, m);
    if (ur::Failed(r)) return r;
  }
  return rc::Ok;
}

}  // namespace

unsigned int ReadMetadataFromXml(const QDomDocument& doc, ZelMetadata& metadata) {
  const QDomElement root = doc.documentElement();
  unsigned int r = ReadRoot(root, metadata);
  if (ur::Failed(r)) return r;
  const QDomElement processing = root.firstChild().toElement();
  r = ReadProcessingAttributes(processing, metadata);
  if (ur::Failed(r)) return r;
  return ReadProcessingChildren(processing, metadata);
}

}  // namespace urs::zel
