// Thresholding of over- and under-exposed samples: validation, the mirrored copy the
// replacements are drawn from, and one scan with a ring search per violating sample.
#include <zel/thresholding.h>

#include <ur/channels.h>
#include <ur/geometry.h>
#include <ur/result.h>

#include <QString>
#include <QTime>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <random>

namespace urs::zel {

namespace {

namespace rc = ur::rc;

struct RingOffset {
  int dy;
  int dx;
};

constexpr int kRingPositions = 4 * kThresholdMaxWindow * (kThresholdMaxWindow + 1);  // 8+16+..+40

// Ring r (1..5) starts at entry 4r(r - 1) and has 8r positions, clockwise from the top-left
// corner: along the top row, down the right column, back along the bottom row, up the left.
constexpr int RingStart(int r) { return 4 * r * (r - 1); }

constexpr std::array<RingOffset, kRingPositions> MakeRingTable() {
  std::array<RingOffset, kRingPositions> table{};
  int i = 0;
  for (int r = 1; r <= kThresholdMaxWindow; ++r) {
    for (int dx = -r; dx <= r; ++dx) table[i++] = {-r, dx};
    for (int dy = -r + 1; dy <= r; ++dy) table[i++] = {dy, r};
    for (int dx = r - 1; dx >= -r; --dx) table[i++] = {r, dx};
    for (int dy = r - 1; dy > -r; --dy) table[i++] = {dy, -r};
  }
  return table;
}

constexpr std::array<RingOffset, kRingPositions> kRings = MakeRingTable();

// Seeded once as the library loads; each thread draws from its own engine started from it, so
// the search needs no lock.
const std::minstd_rand::result_type kRandomSeed =
    std::minstd_rand::result_type(QTime::currentTime().msec());

std::minstd_rand& Random() {
  thread_local std::minstd_rand engine(kRandomSeed);
  return engine;
}

// One channel's pair resolved for the scan. A disabled side never flags a sample and never
// limits a candidate (a disabled high accepts up to maxLevel).
struct ChannelRule {
  bool underOn = false;
  bool overOn = false;
  int low = 0;
  int high = 0;
  int acceptAbove = -1;  // a candidate n is acceptable when acceptAbove < n < acceptBelow
  int acceptBelow = 0;
  int underFallback = 0;
  int overFallback = 0;
};

ChannelRule MakeRule(int low, int high, int maxLevel) {
  ChannelRule rule;
  rule.underOn = low >= 0;
  rule.overOn = high >= 0;
  rule.low = low;
  rule.high = high;
  rule.acceptAbove = rule.underOn ? low : -1;
  rule.acceptBelow = rule.overOn ? high : maxLevel + 1;
  // The level next to the violated threshold, never itself beyond the other threshold nor
  // outside the level range (low = high, or high = 0, leaves no level strictly between).
  if (rule.underOn) {
    int under = low + 1;
    if (rule.overOn && under >= high) under = high - 1;
    rule.underFallback = std::clamp(under, 0, maxLevel);
  }
  if (rule.overOn) rule.overFallback = std::clamp(high - 1, 0, maxLevel);
  return rule;
}

// How to reach logical channel c's sample of pixel x in a row of either buffer: the byte
// offset of the channel (a plane of a planar buffer) and the bytes from pixel to pixel.
struct Layout {
  std::size_t channelOffset[3] = {0, 0, 0};
  std::size_t pixelBytes = 0;
};

Layout LayoutOf(const SxImageBuf& b, const int* physical, int channels, int sampleBytes) {
  Layout l;
  l.pixelBytes = std::size_t(sampleBytes) * (b.planar ? 1 : channels);
  for (int c = 0; c < channels; ++c)
    l.channelOffset[c] = b.planar ? std::size_t(physical[c]) * b.height * b.linePitch
                                  : std::size_t(physical[c]) * sampleBytes;
  return l;
}

// The first acceptable candidate on rings 1..rings around the border pixel at `centre`, or -1.
template <typename T>
int SearchRings(const unsigned char* centre, std::ptrdiff_t pitch, std::ptrdiff_t pixelBytes,
                int rings, const ChannelRule& rule) {
  std::minstd_rand& random = Random();
  for (int r = 1; r <= rings; ++r) {
    const int count = 8 * r;
    const RingOffset* ring = kRings.data() + RingStart(r);
    int k = int(random() % unsigned(count));
    for (int visited = 0; visited < count; ++visited) {
      const RingOffset o = ring[k];
      const int n = *reinterpret_cast<const T*>(centre + o.dy * pitch + o.dx * pixelBytes);
      if (n > rule.acceptAbove && n < rule.acceptBelow) return n;
      if (++k == count) k = 0;
    }
  }
  return -1;
}

template <typename T>
void ThresholdImage(SxImageBuf& image, const SxImageBuf& border, int window,
                    const ChannelRule* rules, const int* physical,
                    QVector<urs::InvalidPixel>& invalidPixels) {
  const int channels = image.channels;
  const Layout in = LayoutOf(image, physical, channels, int(sizeof(T)));
  const Layout bo = LayoutOf(border, physical, channels, int(sizeof(T)));
  const int rings = std::min(window, kThresholdMaxWindow);
  const std::ptrdiff_t borderPitch = border.linePitch;
  const std::ptrdiff_t borderPixel = std::ptrdiff_t(bo.pixelBytes);

  for (int y = 0; y < image.height; ++y) {
    unsigned char* row = ur::RowPtr(image, y);
    const unsigned char* borderRow = ur::RowPtr(border, y + window) + window * bo.pixelBytes;
    for (int x = 0; x < image.width; ++x) {
      unsigned char* pixel = row + std::size_t(x) * in.pixelBytes;
      const unsigned char* borderPixelPtr = borderRow + std::size_t(x) * bo.pixelBytes;
      int before[3] = {0, 0, 0};
      int after[3] = {0, 0, 0};
      bool replaced = false;
      for (int c = 0; c < channels; ++c) {
        T* sample = reinterpret_cast<T*>(pixel + in.channelOffset[c]);
        const int v = *sample;
        before[c] = after[c] = v;
        const ChannelRule& rule = rules[c];
        int fallback;
        if (rule.underOn && v <= rule.low) fallback = rule.underFallback;
        else if (rule.overOn && v >= rule.high) fallback = rule.overFallback;
        else continue;
        const int found = SearchRings<T>(borderPixelPtr + bo.channelOffset[c], borderPitch,
                                         borderPixel, rings, rule);
        after[c] = found >= 0 ? found : fallback;
        *sample = T(after[c]);
        replaced = true;
      }
      if (!replaced) continue;
      urs::InvalidPixel entry;
      entry.col = x;
      entry.row = y;
      for (int c = 0; c < channels; ++c) {
        entry.invalidValue[c] = std::uint32_t(before[c]);
        entry.newValue[c] = std::uint32_t(after[c]);
      }
      invalidPixels.append(entry);
    }
  }
}

bool IsValidHigh(int low, int high, int maxLevel) { return high >= low && high <= maxLevel; }

}  // namespace

unsigned int ApplyThreshold(SxImageBuf& image, int low0, int high0, int low1, int high1,
                            int low2, int high2, SxImageBuf& border, int window,
                            QVector<urs::InvalidPixel>& invalidPixels) {
  const int sampleBytes = ur::BytesPerSample(image.dataType);
  if (!ur::HasPixels(image) || (image.channels != 1 && image.channels != 3) ||
      (image.dataType != ur::eImageDataUInt8 && image.dataType != ur::eImageDataUInt16) ||
      image.bitDepth < 1 || image.bitDepth > 8 * sampleBytes)
    return rc::InvalidArg(1);
  const int maxLevel = (1 << image.bitDepth) - 1;
  if (low0 > maxLevel) return rc::InvalidArg(2);
  if (!IsValidHigh(low0, high0, maxLevel)) return rc::InvalidArg(3);
  if (image.channels == 3) {
    if (low1 > maxLevel) return rc::InvalidArg(4);
    if (!IsValidHigh(low1, high1, maxLevel)) return rc::InvalidArg(5);
    if (low2 > maxLevel) return rc::InvalidArg(6);
    if (!IsValidHigh(low2, high2, maxLevel)) return rc::InvalidArg(7);
  }

  // Also refuses a caller's border of the wrong shape before anything is written.
  const ur::Result made =
      ur::AllocAndCreateMirroredBorderImage(image, border, window, window, window, window);
  if (ur::Failed(made)) {
    ur::LogFunctionFailed(QStringLiteral("ur::AllocAndCreateMirroredBorderImage()"), made, true);
    return rc::Fail;
  }

  invalidPixels.clear();
  // Only the pairs of the channels the image has were validated, and only they are used.
  const int lows[3] = {low0, low1, low2};
  const int highs[3] = {high0, high1, high2};
  ChannelRule rules[3];
  int physical[3] = {0, 0, 0};
  for (int c = 0; c < image.channels; ++c) {
    rules[c] = MakeRule(lows[c], highs[c], maxLevel);
    physical[c] = ur::ChannelIndexLogicalToPhysical(c, image);
  }

  if (sampleBytes == 1)
    ThresholdImage<std::uint8_t>(image, border, window, rules, physical, invalidPixels);
  else
    ThresholdImage<std::uint16_t>(image, border, window, rules, physical, invalidPixels);
  return made;
}

}  // namespace urs::zel
