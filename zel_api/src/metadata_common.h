#pragma once
// Names and small helpers shared by the writer and the readers of the ZEL metadata record.

#include <zel/metadata.h>

#include <QString>

namespace urs::zel::detail {

// Levels of a 16-bit source: no record describes more.
constexpr int kMaxLevelsCount = 65536;
constexpr int kMaxChannels = 4;

// Widths of source samples a record can name.
constexpr int kNarrowSampleBits = 8;
constexpr int kWideSampleBits = 16;

inline QString ChannelName(int c) { return QStringLiteral("channel%1").arg(c); }

// Channels the XML form carries: channel 0 alone, 0..2 when channels 1 and 2 are present, and
// 0..3 when channel 3 is present as well.
inline int WrittenChannels(const ZelMetadata& m) {
  if (!m.occupied[1] || !m.occupied[2]) return 1;
  return m.occupied[3] ? 4 : 3;
}

// The XML text of the record with sampleBits in place of the record's own value (0 writes no
// width): the image writer knows the source's sample width, which the record's filler may not.
unsigned int MetadataText(const ZelMetadata& metadata, int sampleBits, QString& text);

}  // namespace urs::zel::detail
