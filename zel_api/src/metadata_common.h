#pragma once
// Names and small helpers shared by the writer and the readers of the ZEL metadata record.

#include <zel/metadata.h>

#include <QString>

namespace urs::zel::detail {

// Levels of a 16-bit source: no record describes more.
constexpr int kMaxLevelsCount = 65536;
constexpr int kMaxChannels = 4;

inline QString ChannelName(int c) { return QStringLiteral("channel%1").arg(c); }

// Channels the XML form carries: channel 0 alone, 0..2 when channels 1 and 2 are present, and
// 0..3 when channel 3 is present as well.
inline int WrittenChannels(const ZelMetadata& m) {
  if (!m.occupied[1] || !m.occupied[2]) return 1;
  return m.occupied[3] ? 4 : 3;
}

}  // namespace urs::zel::detail
