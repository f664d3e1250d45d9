#include <urs/image_repair.h>

#include "../src/repair_common.h"

#include <zel_testing/image_builder.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <utility>
#include <vector>

using zel::testing::MakeImage;
using zel::testing::SampleAt;
using zel::testing::Samples;

namespace {

// Heap tables of exactly `levels` entries per channel, so that ASan sees any read past the end.
class LevelTable {
public:
  LevelTable(int channels, int levels) : m_levels(levels) {
    for (int c = 0; c < channels; ++c) {
      m_tables.push_back(std::make_unique<bool[]>(std::size_t(levels)));
      m_pointers.push_back(m_tables.back().get());
    }
  }
  void flag(int c, std::initializer_list<int> values) {
    for (int v : values) m_tables[std::size_t(c)][std::size_t(v)] = true;
  }
  void flagAll(int c) { std::fill(m_tables[c].get(), m_tables[c].get() + m_levels, true); }
  bool isFlagged(int c, unsigned v) const {
    return v < unsigned(m_levels) && m_tables[std::size_t(c)][v];
  }
  const bool** get() { return m_pointers.data(); }

private:
  int m_levels;
  std::vector<std::unique_ptr<bool[]>> m_tables;
  std::vector<const bool*> m_pointers;
};

ur::ScopedImageBuf FullMask(int w, int h) {
  return MakeImage<std::uint8_t>({w, h, 1}, std::vector<std::uint8_t>(std::size_t(w) * h, 1));
}

// All bytes of the buffer, padding included, to prove that nothing was written.
std::vector<unsigned char> Bytes(const ur::SxImageBuf& b) {
  return {b.data, b.data + ur::BufferBytes(b)};
}

void ExpectOnlySlot(const urs::InvalidPixel& r, int slot, unsigned oldValue, unsigned newValue) {
  for (int s = 0; s < 4; ++s) {
    EXPECT_EQ(r.invalidValue[s], s == slot ? oldValue : 0u) << "slot " << s;
    EXPECT_EQ(r.newValue[s], s == slot ? newValue : 0u) << "slot " << s;
  }
}

// Naive oracle for one-channel images: replays the records on the original image and checks
// that each one is a flagged, masked sample (in visiting order) replaced by an acceptable value
// of the nearest ring that holds one, that nothing else changed, and that a sample stays flagged
// only when no acceptable sample is left anywhere.
template <typename T>
void CheckAgainstNaiveRepair(const std::vector<T>& original, const ur::SxImageBuf& repaired,
                             const std::vector<std::uint8_t>& mask, const LevelTable& table,
                             const QVector<urs::InvalidPixel>& records) {
  const int w = repaired.width, h = repaired.height;
  std::vector<T> state = original;
  auto acceptable = [&](int x, int y) {
    const std::size_t i = std::size_t(y) * w + x;
    return mask[i] != 0 && state[i] < (1u << repaired.bitDepth) && !table.isFlagged(0, state[i]);
  };
  long previous = -1;
  for (const urs::InvalidPixel& r : records) {
    const long at = long(r.row) * w + r.col;
    ASSERT_GT(at, previous) << "records out of visiting order";
    previous = at;
    ASSERT_EQ(r.invalidValue[0], state[std::size_t(at)]);
    ASSERT_TRUE(mask[std::size_t(at)] && table.isFlagged(0, r.invalidValue[0]));
    std::set<unsigned> nearest;
    for (int k = 1; nearest.empty() && k < std::max(w, h); ++k)
      for (int dy = -k; dy <= k; ++dy)
        for (int dx = -k; dx <= k; ++dx) {
          const int sx = r.col + dx, sy = r.row + dy;
          if (std::max(std::abs(dx), std::abs(dy)) != k || sx < 0 || sy < 0 || sx >= w || sy >= h)
            continue;
          if (acceptable(sx, sy)) nearest.insert(state[std::size_t(sy) * w + sx]);
        }
    EXPECT_TRUE(nearest.count(r.newValue[0])) << "(" << r.col << "," << r.row << ")";
    state[std::size_t(at)] = T(r.newValue[0]);
  }
  EXPECT_EQ(Samples<T>(repaired), state);
  bool anyAcceptable = false;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) anyAcceptable = anyAcceptable || acceptable(x, y);
  if (!anyAcceptable) return;
  for (std::size_t i = 0; i < state.size(); ++i)
    EXPECT_FALSE(mask[i] && table.isFlagged(0, state[i])) << "sample " << i << " left flagged";
}

}  // namespace

TEST(RepairRing, ListsTheBorderCellsColumnByColumn) {
  const std::vector<std::pair<int, int>> ring1 = {{-1, -1}, {-1, 0}, {-1, 1}, {0, -1},
                                                  {0, 1},   {1, -1}, {1, 0},  {1, 1}};
  for (int i = 0; i < 8; ++i) {
    const auto o = urs::detail::RingOffsetAt(1, i);
    EXPECT_EQ(std::make_pair(o.dx, o.dy), ring1[std::size_t(i)]) << i;
  }
  // Larger rings: the naive double loop over the square, keeping the border.
  for (int k = 2; k <= 5; ++k) {
    std::vector<std::pair<int, int>> expected;
    for (int dx = -k; dx <= k; ++dx)
      for (int dy = -k; dy <= k; ++dy)
        if (std::abs(dx) == k || std::abs(dy) == k) expected.emplace_back(dx, dy);
    ASSERT_EQ(expected.size(), std::size_t(8 * k));
    for (int i = 0; i < 8 * k; ++i) {
      const auto o = urs::detail::RingOffsetAt(k, i);
      EXPECT_EQ(std::make_pair(o.dx, o.dy), expected[std::size_t(i)]) << "k " << k << " i " << i;
    }
  }
}

TEST(RepairImage, WithoutFlaggedLevelsChangesNothingAndRecordsNothing) {
  zel::testing::ImageShape s{3, 2, 3};
  s.padBytes = 5;
  auto img = MakeImage<std::uint8_t>(s, {0, 255, 7, 1, 2, 3, 4, 5, 6, 9, 8, 7, 6, 5, 4, 3, 2, 1});
  const auto before = Bytes(img.get());
  LevelTable t(3, 256);
  QVector<urs::InvalidPixel> records;
  EXPECT_TRUE(urs::RepairImage(img.get(), FullMask(3, 2).get(), t.get(), &records));
  EXPECT_EQ(Bytes(img.get()), before);
  EXPECT_TRUE(records.isEmpty());
}

TEST(RepairImage, ReplacesAMiddlePixelByOneOfItsEightNeighbours) {
  // 5 x 5 grey, distinct valid values; the centre holds the flagged level 255.
  std::vector<std::uint8_t> v(25);
  for (int i = 0; i < 25; ++i) v[std::size_t(i)] = std::uint8_t(10 + i);
  v[12] = 255;
  auto img = MakeImage<std::uint8_t>({5, 5, 1, 0, 3}, v);
  LevelTable t(1, 256);
  t.flag(0, {255});
  QVector<urs::InvalidPixel> records;
  ASSERT_TRUE(urs::RepairImage(img.get(), FullMask(5, 5).get(), t.get(), &records));

  const std::set<unsigned> neighbours = {16, 17, 18, 21, 23, 26, 27, 28};
  const unsigned now = SampleAt<std::uint8_t>(img.get(), 2, 2);
  EXPECT_TRUE(neighbours.count(now)) << now;
  ASSERT_EQ(records.size(), 1);
  EXPECT_EQ(records[0].col, 2);
  EXPECT_EQ(records[0].row, 2);
  ExpectOnlySlot(records[0], 0, 255, now);
  v[12] = std::uint8_t(now);
  EXPECT_EQ(Samples<std::uint8_t>(img.get()), v);

  // The record list is optional.
  auto again = MakeImage<std::uint8_t>({5, 5, 1}, std::vector<std::uint8_t>(25, 255));
  std::memset(ur::RowPtr(again.get(), 0), 1, 1);
  EXPECT_TRUE(urs::RepairImage(again.get(), FullMask(5, 5).get(), t.get(), nullptr));
  EXPECT_EQ(Samples<std::uint8_t>(again.get()), std::vector<std::uint8_t>(25, 1));
}

TEST(RepairImage, CornerPixelsTakeOnlyFromTheirThreeNeighboursInside) {
  // 4 x 4: the four corners are flagged (0); every other pixel is valid and distinct.
  std::vector<std::uint8_t> v(16);
  for (int i = 0; i < 16; ++i) v[std::size_t(i)] = std::uint8_t(100 + i);
  v[0] = v[3] = v[12] = v[15] = 0;
  auto img = MakeImage<std::uint8_t>({4, 4, 1}, v);
  LevelTable t(1, 256);
  t.flag(0, {0});
  QVector<urs::InvalidPixel> records;
  ASSERT_TRUE(urs::RepairImage(img.get(), FullMask(4, 4).get(), t.get(), &records));
  ASSERT_EQ(records.size(), 4);
  EXPECT_TRUE((std::set<unsigned>{101, 104, 105}).count(SampleAt<std::uint8_t>(img.get(), 0, 0)));
  EXPECT_TRUE((std::set<unsigned>{102, 106, 107}).count(SampleAt<std::uint8_t>(img.get(), 3, 0)));
  EXPECT_TRUE((std::set<unsigned>{108, 109, 113}).count(SampleAt<std::uint8_t>(img.get(), 0, 3)));
  EXPECT_TRUE((std::set<unsigned>{110, 111, 114}).count(SampleAt<std::uint8_t>(img.get(), 3, 3)));
}

TEST(RepairImage, BlockOfInvalidPixelsUsesValidOrAlreadyRepairedValues) {
  // 7 x 7 grey, a 3 x 3 block of flagged pixels at columns and rows 2..4.
  std::vector<std::uint8_t> v(49);
  for (int i = 0; i < 49; ++i) v[std::size_t(i)] = std::uint8_t(50 + i);
  for (int y = 2; y <= 4; ++y)
    for (int x = 2; x <= 4; ++x) v[std::size_t(y) * 7 + x] = 3;
  auto img = MakeImage<std::uint8_t>({7, 7, 1, 0, 1}, v);
  LevelTable t(1, 256);
  t.flag(0, {3});
  QVector<urs::InvalidPixel> records;
  ASSERT_TRUE(urs::RepairImage(img.get(), FullMask(7, 7).get(), t.get(), &records));
  ASSERT_EQ(records.size(), 9);
  CheckAgainstNaiveRepair(v, img.get(), std::vector<std::uint8_t>(49, 1), t, records);

  // The centre sees only its upper and left neighbours as acceptable, all repaired before it.
  std::set<unsigned> repairedBefore;
  for (auto [x, y] : std::initializer_list<std::pair<int, int>>{{2, 2}, {3, 2}, {4, 2}, {2, 3}})
    repairedBefore.insert(SampleAt<std::uint8_t>(img.get(), x, y));
  EXPECT_TRUE(repairedBefore.count(SampleAt<std::uint8_t>(img.get(), 3, 3)));
}

TEST(RepairImage, MaskedOutPixelsAreNeitherRepairedNorUsed) {
  // 5 x 5 grey. The centre is flagged; its eight neighbours are excluded by the mask, some of
  // them flagged too (level 9), some valid (level 1). Ring 2 holds the valid values 200..215.
  std::vector<std::uint8_t> v(25), m(25, 1);
  int next = 200;
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 5; ++x) {
      const std::size_t i = std::size_t(y) * 5 + x;
      if (x == 0 || y == 0 || x == 4 || y == 4) v[i] = std::uint8_t(next++);
      else {
        v[i] = (x + y) % 2 ? 9 : 1;
        m[i] = 0;
      }
    }
  v[12] = 9;
  m[12] = 1;
  auto img = MakeImage<std::uint8_t>({5, 5, 1, 0, 2}, v);
  auto mask = MakeImage<std::uint8_t>({5, 5, 1, 0, 7}, m);
  LevelTable t(1, 256);
  t.flag(0, {9});
  QVector<urs::InvalidPixel> records;
  ASSERT_TRUE(urs::RepairImage(img.get(), mask.get(), t.get(), &records));
  ASSERT_EQ(records.size(), 1);
  EXPECT_EQ(records[0].col, 2);
  EXPECT_EQ(records[0].row, 2);
  const unsigned now = SampleAt<std::uint8_t>(img.get(), 2, 2);
  EXPECT_GE(now, 200u);
  EXPECT_LT(now, 216u);
  v[12] = std::uint8_t(now);
  EXPECT_EQ(Samples<std::uint8_t>(img.get()), v);  // the masked-out 9s stay
  CheckAgainstNaiveRepair(v, img.get(), m, t, {});  // no flagged sample left inside the mask
}

TEST(RepairImage, WithNothingAcceptableTerminatesAndLeavesSamplesAlone) {
  LevelTable t(1, 256);
  t.flagAll(0);
  for (int size : {1, 3, 64}) {
    std::vector<std::uint8_t> v(std::size_t(size) * size);
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = std::uint8_t(i);
    auto img = MakeImage<std::uint8_t>({size, size, 1, 0, 1}, v);
    QVector<urs::InvalidPixel> records;
    EXPECT_TRUE(urs::RepairImage(img.get(), FullMask(size, size).get(), t.get(), &records));
    EXPECT_EQ(Samples<std::uint8_t>(img.get()), v) << size;
    EXPECT_TRUE(records.isEmpty());
  }

  // The only valid pixel is masked out: still nothing to take from.
  LevelTable one(1, 256);
  one.flag(0, {7});
  std::vector<std::uint8_t> v(64 * 64, 7), m(64 * 64, 1);
  v[100] = 8;
  m[100] = 0;
  auto img = MakeImage<std::uint8_t>({64, 64, 1}, v);
  auto mask = MakeImage<std::uint8_t>({64, 64, 1}, m);
  QVector<urs::InvalidPixel> records;
  EXPECT_TRUE(urs::RepairImage(img.get(), mask.get(), one.get(), &records));
  EXPECT_EQ(Samples<std::uint8_t>(img.get()), v);
  EXPECT_TRUE(records.isEmpty());

  // A hopeless channel does not stop the repair of another one: 16-bit, two channels.
  std::vector<std::uint16_t> two(64 * 64 * 2);
  for (std::size_t i = 0; i < two.size(); i += 2) {
    two[i] = 40000;     // channel 0: every sample flagged
    two[i + 1] = 1000;  // channel 1: valid but for one pixel
  }
  two[2 * (64 * 10 + 63) + 1] = 65535;
  auto img2 = MakeImage<std::uint16_t>({64, 64, 2, 0, 6}, two);
  LevelTable t2(2, 65536);
  t2.flag(0, {40000});
  t2.flag(1, {65535});
  ASSERT_TRUE(urs::RepairImage(img2.get(), FullMask(64, 64).get(), t2.get(), &records));
  ASSERT_EQ(records.size(), 1);
  EXPECT_EQ(records[0].col, 63);
  EXPECT_EQ(records[0].row, 10);
  ExpectOnlySlot(records[0], 1, 65535, 1000);
  two[2 * (64 * 10 + 63) + 1] = 1000;
  EXPECT_EQ(Samples<std::uint16_t>(img2.get()), two);
}

TEST(RepairImage, RefusesUnsupportedImagesAndTablesWithoutChangingThem) {
  LevelTable t(5, 256);
  for (int c = 0; c < 5; ++c) t.flag(c, {0});
  QVector<urs::InvalidPixel> records;

  auto five = MakeImage<std::uint8_t>({2, 1, 5}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  auto mask = FullMask(2, 1);
  EXPECT_FALSE(urs::RepairImage(five.get(), mask.get(), t.get(), &records));
  EXPECT_EQ(Samples<std::uint8_t>(five.get()),
            (std::vector<std::uint8_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));

  auto wide = MakeImage<std::uint32_t>({2, 1, 1}, {0, 1});
  EXPECT_FALSE(urs::RepairImage(wide.get(), mask.get(), t.get(), &records));
  EXPECT_EQ(Samples<std::uint32_t>(wide.get()), (std::vector<std::uint32_t>{0, 1}));

  auto grey = MakeImage<std::uint8_t>({2, 1, 1}, {0, 1});
  EXPECT_FALSE(urs::RepairImage(grey.get(), mask.get(), nullptr, &records));
  const bool* nullChannel[] = {nullptr};
  EXPECT_FALSE(urs::RepairImage(grey.get(), mask.get(), nullChannel, &records));
  EXPECT_FALSE(urs::RepairImage(grey.get(), FullMask(1, 2).get(), t.get(), &records));
  auto wideMask = MakeImage<std::uint16_t>({2, 1, 1}, {1, 1});
  EXPECT_FALSE(urs::RepairImage(grey.get(), wideMask.get(), t.get(), &records));
  ur::SxImageBuf noDepth = grey.get();
  noDepth.bitDepth = 0;
  EXPECT_FALSE(urs::RepairImage(noDepth, mask.get(), t.get(), &records));
  ur::SxImageBuf oddLayout = grey.get();
  oddLayout.planar = 2;
  EXPECT_FALSE(urs::RepairImage(oddLayout, mask.get(), t.get(), &records));
  ur::SxImageBuf empty;
  EXPECT_FALSE(urs::RepairImage(empty, mask.get(), t.get(), &records));
  EXPECT_EQ(Samples<std::uint8_t>(grey.get()), (std::vector<std::uint8_t>{0, 1}));

  const unsigned short range[] = {1, 1};
  const unsigned short* ranges[] = {range, range, range, range, range};
  EXPECT_FALSE(urs::RepairImage(five.get(), ranges, records));
  EXPECT_FALSE(urs::RepairImage(wide.get(), ranges, records));
  EXPECT_FALSE(urs::RepairImage(grey.get(), nullptr, records));
  const unsigned short* nullRange[] = {nullptr};
  EXPECT_FALSE(urs::RepairImage(grey.get(), nullRange, records));
  EXPECT_EQ(Samples<std::uint8_t>(grey.get()), (std::vector<std::uint8_t>{0, 1}));
  EXPECT_TRUE(records.isEmpty());
}

TEST(RepairImage, SamplesAboveTheBitDepthAreNeitherRepairedNorUsed) {
  // 10 significant bits: the table has 1024 entries (on the heap, so ASan sees overruns).
  zel::testing::ImageShape s{3, 1, 1};
  s.bitDepth = 10;
  auto img = MakeImage<std::uint16_t>(s, {0, 5000, 7});
  LevelTable t(1, 1024);
  t.flag(0, {0, 1023});
  QVector<urs::InvalidPixel> records;
  ASSERT_TRUE(urs::RepairImage(img.get(), FullMask(3, 1).get(), t.get(), &records));
  // 5000 is the nearest sample of pixel 0 but lies outside the table; 7 in ring 2 is taken.
  EXPECT_EQ(Samples<std::uint16_t>(img.get()), (std::vector<std::uint16_t>{7, 5000, 7}));
  ASSERT_EQ(records.size(), 1);
  ExpectOnlySlot(records[0], 0, 0, 7);

  // Every level flagged: 1023 cannot be repaired, 5000 is left alone.
  LevelTable all(1, 1024);
  all.flagAll(0);
  auto img2 = MakeImage<std::uint16_t>(s, {5000, 1023, 65535});
  records.clear();
  ASSERT_TRUE(urs::RepairImage(img2.get(), FullMask(3, 1).get(), all.get(), &records));
  EXPECT_EQ(Samples<std::uint16_t>(img2.get()), (std::vector<std::uint16_t>{5000, 1023, 65535}));
  EXPECT_TRUE(records.isEmpty());

  // The range overload builds 1024-entry tables too: 5000 is not "outside the range".
  const unsigned short range[] = {10, 20};
  const unsigned short* ranges[] = {range};
  auto img3 = MakeImage<std::uint16_t>(s, {5000, 3, 15});
  ASSERT_TRUE(urs::RepairImage(img3.get(), ranges, records));
  EXPECT_EQ(Samples<std::uint16_t>(img3.get()), (std::vector<std::uint16_t>{5000, 15, 15}));
}

TEST(RepairImage, ByteColourTablesAndSlotsFollowLogicalChannels) {
  // 3 x 3 BGR (8-bit colour is B, G, R in memory). Red (byte 2) of the centre is 200; every
  // blue sample is 200 as well, but only red's table flags 200.
  std::vector<std::uint8_t> v;
  for (int i = 0; i < 9; ++i) {
    v.push_back(200);                      // blue
    v.push_back(std::uint8_t(i));          // green
    v.push_back(std::uint8_t(50 + i));     // red
  }
  v[4 * 3 + 2] = 200;
  const auto original = v;
  auto img = MakeImage<std::uint8_t>({3, 3, 3, 0, 1}, v);
  LevelTable t(3, 256);
  t.flag(0, {200});
  QVector<urs::InvalidPixel> records;
  ASSERT_TRUE(urs::RepairImage(img.get(), FullMask(3, 3).get(), t.get(), &records));
  ASSERT_EQ(records.size(), 1);
  const unsigned red = SampleAt<std::uint8_t>(img.get(), 1, 1, 2);
  EXPECT_TRUE((std::set<unsigned>{50, 51, 52, 53, 55, 56, 57, 58}).count(red)) << red;
  ExpectOnlySlot(records[0], 0, 200, red);
  v[4 * 3 + 2] = std::uint8_t(red);
  EXPECT_EQ(Samples<std::uint8_t>(img.get()), v);

  // The callers' ranges come as red, green, blue: red's range must reach byte 2.
  auto img2 = MakeImage<std::uint8_t>({3, 3, 3, 0, 1}, original);
  const unsigned short redRange[] = {0, 100}, fullRange[] = {0, 255};
  const unsigned short* ranges[] = {redRange, fullRange, fullRange};
  records.clear();
  ASSERT_TRUE(urs::RepairImage(img2.get(), ranges, records));
  ASSERT_EQ(records.size(), 1);
  EXPECT_EQ(records[0].invalidValue[0], 200u);
  EXPECT_EQ(SampleAt<std::uint8_t>(img2.get(), 1, 1, 0), 200);  // blue untouched
  EXPECT_LE(SampleAt<std::uint8_t>(img2.get(), 1, 1, 2), 100);
}

TEST(RepairImage, SeveralInvalidChannelsOfOnePixelGiveGrowingRecords) {
  // Two channels (kept in logical order): the centre's both samples are flagged.
  std::vector<std::uint16_t> v;
  for (int i = 0; i < 9; ++i) {
    v.push_back(std::uint16_t(1000 + i));
    v.push_back(std::uint16_t(2000 + i));
  }
  v[8] = v[9] = 7;
  auto img = MakeImage<std::uint16_t>({3, 3, 2, 0, 2}, v);
  LevelTable t(2, 65536);
  t.flag(0, {7});
  t.flag(1, {7});
  QVector<urs::InvalidPixel> records;
  ASSERT_TRUE(urs::RepairImage(img.get(), FullMask(3, 3).get(), t.get(), &records));
  ASSERT_EQ(records.size(), 2);
  const unsigned c0 = SampleAt<std::uint16_t>(img.get(), 1, 1, 0);
  const unsigned c1 = SampleAt<std::uint16_t>(img.get(), 1, 1, 1);
  EXPECT_GE(c0, 1000u);
  EXPECT_GE(c1, 2000u);
  ExpectOnlySlot(records[0], 0, 7, c0);
  EXPECT_EQ(records[1].col, 1);
  EXPECT_EQ(records[1].row, 1);
  EXPECT_EQ(records[1].invalidValue[0], 7u);
  EXPECT_EQ(records[1].newValue[0], c0);
  EXPECT_EQ(records[1].invalidValue[1], 7u);
  EXPECT_EQ(records[1].newValue[1], c1);

  // 8-bit BGR: memory order visits blue (slot 2) before red (slot 0).
  std::vector<std::uint8_t> b(27, 100);
  b[12] = 1;  // centre blue
  b[14] = 1;  // centre red
  auto bgr = MakeImage<std::uint8_t>({3, 3, 3}, b);
  LevelTable tb(3, 256);
  tb.flag(0, {1});
  tb.flag(2, {1});
  records.clear();
  ASSERT_TRUE(urs::RepairImage(bgr.get(), FullMask(3, 3).get(), tb.get(), &records));
  ASSERT_EQ(records.size(), 2);
  ExpectOnlySlot(records[0], 2, 1, 100);
  EXPECT_EQ(records[1].invalidValue[0], 1u);
  EXPECT_EQ(records[1].newValue[0], 100u);
  EXPECT_EQ(records[1].invalidValue[2], 1u);
  EXPECT_EQ(records[1].invalidValue[1], 0u);
}

TEST(RepairImage, PlanarSixteenBitRepairsPlaneByPlane) {
  // 4 x 3, three planes, padded rows. Plane 1 has one flagged sample, plane 2 two.
  const int w = 4, h = 3;
  std::vector<std::uint16_t> v;
  for (int p = 0; p < 3; ++p)
    for (int i = 0; i < w * h; ++i) v.push_back(std::uint16_t(10000 * p + 100 + i));
  v[1 * 12 + 5] = 60000;  // plane 1, (1, 1)
  v[2 * 12 + 0] = 60000;  // plane 2, (0, 0)
  v[2 * 12 + 11] = 60000; // plane 2, (3, 2)
  v[0 * 12 + 6] = 60000;  // plane 0, (2, 1): masked out, stays
  zel::testing::ImageShape s{w, h, 3, 1, 6};
  s.bitDepth = 16;
  auto img = MakeImage<std::uint16_t>(s, v);
  std::vector<std::uint8_t> m(std::size_t(w) * h, 1);
  m[6] = 0;
  auto mask = MakeImage<std::uint8_t>({w, h, 1, 0, 1}, m);
  LevelTable t(3, 65536);
  for (int c = 0; c < 3; ++c) t.flag(c, {60000});
  QVector<urs::InvalidPixel> records;
  ASSERT_TRUE(urs::RepairImage(img.get(), mask.get(), t.get(), &records));
  EXPECT_EQ(SampleAt<std::uint16_t>(img.get(), 2, 1, 0), 60000);
  ASSERT_EQ(records.size(), 3);
  const int expected[3][3] = {{1, 1, 1}, {2, 0, 0}, {2, 3, 2}};  // plane, col, row
  for (int i = 0; i < 3; ++i) {
    const int p = expected[i][0], x = expected[i][1], y = expected[i][2];
    EXPECT_EQ(records[i].col, x);
    EXPECT_EQ(records[i].row, y);
    const unsigned now = SampleAt<std::uint16_t>(img.get(), x, y, p);
    EXPECT_GE(now, 10000u * p + 100);  // taken from the same plane
    EXPECT_LT(now, 10000u * p + 112);
    ExpectOnlySlot(records[i], p, 60000, now);
  }
}

TEST(RepairImage, RandomStartSpreadsTheChoicesOverTheRing) {
  // 30 x 30 grey: the value names the position inside each 3 x 3 cell (1..9); the 100 cell
  // centres are flagged and each has eight valid neighbours, so the value taken tells which
  // neighbour the random start picked. A fixed start would always pick the same one; every
  // seed of the generator (0..999) spreads 100 draws over all eight.
  std::vector<std::uint8_t> v(30 * 30);
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 30; ++x) {
      const bool centre = x % 3 == 1 && y % 3 == 1;
      v[std::size_t(y) * 30 + x] = centre ? 0 : std::uint8_t(1 + x % 3 + 3 * (y % 3));
    }
  auto img = MakeImage<std::uint8_t>({30, 30, 1}, v);
  LevelTable t(1, 256);
  t.flag(0, {0});
  QVector<urs::InvalidPixel> records;
  ASSERT_TRUE(urs::RepairImage(img.get(), FullMask(30, 30).get(), t.get(), &records));
  ASSERT_EQ(records.size(), 100);
  std::set<unsigned> taken;
  for (const auto& r : qAsConst(records)) taken.insert(r.newValue[0]);
  EXPECT_GE(taken.size(), 4u);
  EXPECT_EQ(taken.count(5), 0u);
}

TEST(RepairImage, ManyRandomGreyImagesAgreeWithTheNaiveSearch) {
  std::uint32_t seed = 12345;
  auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  for (int round = 0; round < 40; ++round) {
    const int w = 1 + int(next() % 12), h = 1 + int(next() % 12);
    zel::testing::ImageShape s{w, h, 1, 0, int(next() % 4) * 2};
    s.bitDepth = 10;
    std::vector<std::uint16_t> v(std::size_t(w) * h);
    std::vector<std::uint8_t> m(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) {
      v[i] = std::uint16_t(next() % 16 == 0 ? 1024 + next() % 100 : next() % 8);
      m[i] = next() % 5 == 0 ? 0 : 1;
    }
    auto img = MakeImage<std::uint16_t>(s, v);
    auto mask = MakeImage<std::uint8_t>({w, h, 1, 0, 3}, m);
    LevelTable t(1, 1024);
    for (int level = 0; level < 8; ++level)
      if (next() % 2) t.flag(0, {level});
    QVector<urs::InvalidPixel> records;
    ASSERT_TRUE(urs::RepairImage(img.get(), mask.get(), t.get(), &records));
    SCOPED_TRACE(round);
    CheckAgainstNaiveRepair(v, img.get(), m, t, records);
  }
}

TEST(RepairImageRanges, FullRangeChangesNothingAndNarrowRangeBringsSamplesInside) {
  // 16-bit colour of 12 significant bits with padded rows.
  const int w = 9, h = 7, channels = 3;
  zel::testing::ImageShape s{w, h, channels, 0, 10};
  s.bitDepth = 12;
  std::uint32_t seed = 7;
  std::vector<std::uint16_t> v(std::size_t(w) * h * channels);
  for (auto& x : v) x = std::uint16_t((seed = seed * 1664525u + 1013904223u) >> 20);  // 0..4095
  v[3] = 15;  // make sure every channel has a sample inside 10..20
  v[4] = 10;
  v[5] = 20;

  auto img = MakeImage<std::uint16_t>(s, v);
  const auto before = Bytes(img.get());
  const unsigned short full[] = {0, 4095};
  const unsigned short* fullRanges[] = {full, full, full};
  QVector<urs::InvalidPixel> records;
  ASSERT_TRUE(urs::RepairImage(img.get(), fullRanges, records));
  EXPECT_EQ(Bytes(img.get()), before);
  EXPECT_TRUE(records.isEmpty());

  const unsigned short narrow[] = {10, 20};
  const unsigned short* narrowRanges[] = {narrow, narrow, narrow};
  ASSERT_TRUE(urs::RepairImage(img.get(), narrowRanges, records));
  // The last record of a pixel holds all its repaired channels.
  std::vector<const urs::InvalidPixel*> last(std::size_t(w) * h, nullptr);
  for (const auto& r : qAsConst(records)) last[std::size_t(r.row) * w + r.col] = &r;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      for (int c = 0; c < channels; ++c) {
        const unsigned was = v[(std::size_t(y) * w + x) * channels + c];
        const unsigned now = SampleAt<std::uint16_t>(img.get(), x, y, c);
        EXPECT_GE(now, 10u);
        EXPECT_LE(now, 20u);
        const urs::InvalidPixel* r = last[std::size_t(y) * w + x];
        if (was >= 10 && was <= 20) {
          EXPECT_EQ(now, was);
          if (r) {
            EXPECT_EQ(r->newValue[c], 0u);
          }
        } else {
          ASSERT_NE(r, nullptr);
          EXPECT_EQ(r->invalidValue[c], was);
          EXPECT_EQ(r->newValue[c], now);
        }
      }
  // Row padding is untouched.
  for (int y = 0; y < h; ++y)
    for (int i = 0; i < 10; ++i) EXPECT_EQ(ur::RowPtr(img.get(), y)[w * channels * 2 + i], 0xCD);
}
