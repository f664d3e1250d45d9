// Counting occupied levels and the two mappings built from them: ranks, and ranks
// spread over 0..254 with the exact double-precision division.
#include <zel/occupied_levels.h>

#include <ur/result.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using namespace urs::zel;
namespace rc = ur::rc;

constexpr unsigned short kUnwritten = 0xAAAA;  // the value of table entries nobody may touch

// An occupancy array of `levels` entries with the given levels set.
std::unique_ptr<bool[]> Occupied(int levels, const std::vector<int>& set) {
  auto o = std::make_unique<bool[]>(levels);
  for (int i : set) o[i] = true;
  return o;
}

// An occupancy array with the first n levels set.
std::unique_ptr<bool[]> FirstLevels(int levels, int n) {
  auto o = std::make_unique<bool[]>(levels);
  for (int i = 0; i < n; ++i) o[i] = true;
  return o;
}

using Table = std::vector<unsigned short>;

// The table values at the given levels.
std::vector<int> At(const Table& t, const std::vector<int>& levels) {
  std::vector<int> out;
  for (int i : levels) out.push_back(t[i]);
  return out;
}

// Number of entries still holding kUnwritten.
int Unwritten(const Table& t) {
  int n = 0;
  for (unsigned short v : t) n += v == kUnwritten;
  return n;
}

// 8-bit spread tables of four channels; each channel's occupancy given by its own array.
struct Spread {
  explicit Spread(int levels) : levelsCount(levels) {
    for (auto& t : tables) t.assign(std::size_t(levels), kUnwritten);
  }
  unsigned int build(const bool* o0, const bool* o1, const bool* o2, const bool* o3,
                     ZelChannelNormalization n = Separated) {
    return GetZel8ChannelMapping(o0, o1, o2, o3, tables[0].data(), tables[1].data(),
                                 tables[2].data(), tables[3].data(), levelsCount, n);
  }
  int levelsCount;
  Table tables[4];
};

TEST(LevelsCount, CountsTheFirstLevelsCountEntriesAndNullArraysAsZero) {
  auto a = Occupied(300, {0, 5, 255, 256, 299});
  auto b = FirstLevels(300, 300);
  int c0 = -1, c1 = -1, c2 = -1, c3 = -1;
  ASSERT_EQ(GetLevelsCount(a.get(), b.get(), nullptr, 256, c0, c1, c2), rc::Ok);
  EXPECT_EQ(c0, 3);
  EXPECT_EQ(c1, 256);
  EXPECT_EQ(c2, 0);
  ASSERT_EQ(GetLevelsCount(a.get(), nullptr, b.get(), 0, c0, c1, c2), rc::Ok);
  EXPECT_EQ(c0, 0);
  EXPECT_EQ(c2, 0);
  ASSERT_EQ(GetLevelsCount(a.get(), b.get(), a.get(), b.get(), 300, c0, c1, c2, c3), rc::Ok);
  EXPECT_EQ(c0, 5);
  EXPECT_EQ(c1, 300);
  EXPECT_EQ(c2, 5);
  EXPECT_EQ(c3, 300);
  ASSERT_EQ(GetLevelsCount(a.get(), b.get(), a.get(), b.get(), -5, c0, c1, c2, c3), rc::Ok);
  EXPECT_EQ(c3, 0);
}

TEST(LevelsCount, RejectsNullArraysBeforeWritingAnyCount) {
  auto a = FirstLevels(8, 8);
  int c[4] = {-1, -1, -1, -1};
  EXPECT_EQ(GetLevelsCount(nullptr, a.get(), a.get(), 8, c[0], c[1], c[2]), 0xA0004313u);
  const bool* o[4] = {nullptr, nullptr, nullptr, nullptr};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(GetLevelsCount(o[0], o[1], o[2], o[3], 8, c[0], c[1], c[2], c[3]),
              0xA0004313u + unsigned(i));
    o[i] = a.get();
  }
  for (int v : c) EXPECT_EQ(v, -1);
}

TEST(RankMapping, RanksOccupiedLevelsAndLeavesEveryOtherEntry) {
  auto o0 = Occupied(65536, {3, 7, 1000, 65535});
  auto o2 = FirstLevels(65536, 65536);  // every level, up to the top of a 16-bit table
  Table m0(65536, kUnwritten), m2(65536, kUnwritten);
  // occupied1 null: channel 1 is skipped and its table may be null.
  ASSERT_EQ(GetZelChannelMapping(o0.get(), nullptr, o2.get(), m0.data(), nullptr, m2.data(), 65536),
            rc::Ok);
  EXPECT_EQ(At(m0, {3, 7, 1000, 65535}), std::vector<int>({0, 1, 2, 3}));
  EXPECT_EQ(Unwritten(m0), 65536 - 4);
  EXPECT_EQ(At(m2, {0, 1, 4095, 65534, 65535}), std::vector<int>({0, 1, 4095, 65534, 65535}));

  // The four-plane form ranks every plane independently.
  auto a = Occupied(256, {10, 20});
  auto b = Occupied(256, {0, 255});
  auto none = Occupied(256, {});
  Table t[4];
  for (auto& x : t) x.assign(256, kUnwritten);
  ASSERT_EQ(GetZelChannelMapping(a.get(), b.get(), none.get(), a.get(), t[0].data(), t[1].data(),
                                 t[2].data(), t[3].data(), 256),
            rc::Ok);
  EXPECT_EQ(At(t[0], {10, 20}), std::vector<int>({0, 1}));
  EXPECT_EQ(At(t[1], {0, 255}), std::vector<int>({0, 1}));
  EXPECT_EQ(Unwritten(t[2]), 256);
  EXPECT_EQ(At(t[3], {10, 20}), std::vector<int>({0, 1}));
}

TEST(RankMapping, ValidatesInTheDocumentedOrderBeforeWritingAnything) {
  auto o = FirstLevels(4, 4);
  Table t(4, kUnwritten);
  unsigned short* m = t.data();
  // Three-channel form: occupied0, mapping0, then a mapping missing for a given array.
  EXPECT_EQ(GetZelChannelMapping(nullptr, o.get(), o.get(), nullptr, nullptr, nullptr, 4),
            0xA0004313u);
  EXPECT_EQ(GetZelChannelMapping(o.get(), o.get(), o.get(), nullptr, nullptr, nullptr, 4),
            0xA0004316u);
  EXPECT_EQ(GetZelChannelMapping(o.get(), o.get(), o.get(), m, nullptr, nullptr, 4), 0xA0004317u);
  EXPECT_EQ(GetZelChannelMapping(o.get(), nullptr, o.get(), m, nullptr, nullptr, 4), 0xA0004318u);
  EXPECT_EQ(Unwritten(t), 4);

  // Four-plane form: the four arrays, then the four tables.
  const bool* oc[4] = {nullptr, nullptr, nullptr, nullptr};
  unsigned short* mp[4] = {nullptr, nullptr, nullptr, nullptr};
  auto call = [&] {
    return GetZelChannelMapping(oc[0], oc[1], oc[2], oc[3], mp[0], mp[1], mp[2], mp[3], 4);
  };
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(call(), 0xA0004313u + unsigned(i));
    oc[i] = o.get();
  }
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(call(), 0xA0004317u + unsigned(i));
    mp[i] = m;
  }
  EXPECT_EQ(Unwritten(t), 4);
  EXPECT_EQ(call(), rc::Ok);
}

TEST(SpreadMapping, SpreadsRanksByTheExactDoubleDivision) {
  const int levels = 65536;
  auto three = Occupied(levels, {4, 40, 400});
  auto n33 = FirstLevels(levels, 33);
  auto n255 = FirstLevels(levels, 255);
  auto n256 = FirstLevels(levels, 256);
  Spread s(levels);
  ASSERT_EQ(s.build(three.get(), n33.get(), n255.get(), n256.get()), rc::Ok);
  EXPECT_EQ(At(s.tables[0], {4, 40, 400}), std::vector<int>({0, 85, 170}));
  EXPECT_EQ(s.tables[0][5], kUnwritten);
  // k / (n / 255.0) truncated: 11 / (33 / 255.0) is just below 85; (11 * 255) / 33 would be 85.
  EXPECT_EQ(s.tables[1][11], 84);
  EXPECT_EQ(s.tables[1][32], 247);
  for (int k = 0; k < 255; ++k) ASSERT_EQ(s.tables[2][k], k);  // n = 255: the identity
  EXPECT_EQ(At(s.tables[3], {0, 1, 2, 255}), std::vector<int>({0, 0, 1, 254}));
  EXPECT_EQ(Unwritten(s.tables[3]), levels - 256);

  // n = 65536: ranks 0..257 share 0, and the top rank reaches 254.
  auto all = FirstLevels(levels, levels);
  Spread full(levels);
  ASSERT_EQ(full.build(all.get(), all.get(), all.get(), all.get()), rc::Ok);
  EXPECT_EQ(At(full.tables[0], {0, 257, 258, 65535}), std::vector<int>({0, 0, 1, 254}));
}

TEST(SpreadMapping, TogetherScalesEveryChannelByTheLargestCount) {
  auto two = Occupied(256, {10, 20});
  auto n255 = FirstLevels(256, 255);
  auto none = Occupied(256, {});
  Spread separated(256);
  ASSERT_EQ(separated.build(two.get(), n255.get(), none.get(), two.get()), rc::Ok);
  EXPECT_EQ(At(separated.tables[0], {10, 20}), std::vector<int>({0, 127}));
  EXPECT_EQ(Unwritten(separated.tables[2]), 256);  // no occupied level, nothing to write

  Spread together(256);
  ASSERT_EQ(together.build(two.get(), n255.get(), none.get(), two.get(), Together), rc::Ok);
  EXPECT_EQ(At(together.tables[0], {10, 20}), std::vector<int>({0, 1}));
  EXPECT_EQ(At(together.tables[3], {10, 20}), std::vector<int>({0, 1}));
  EXPECT_EQ(together.tables[1][254], 254);

  // Any value other than Together behaves as Separated.
  Spread other(256);
  ASSERT_EQ(other.build(two.get(), n255.get(), none.get(), two.get(),
                        static_cast<ZelChannelNormalization>(7)),
            rc::Ok);
  EXPECT_EQ(At(other.tables[0], {10, 20}), std::vector<int>({0, 127}));
}

TEST(SpreadMapping, ValidatesInTheDocumentedOrderBeforeWritingAnything) {
  auto o = FirstLevels(4, 4);
  Table t(4, kUnwritten);
  const bool* oc[4] = {nullptr, nullptr, nullptr, nullptr};
  unsigned short* mp[4] = {nullptr, nullptr, nullptr, nullptr};
  auto call = [&] {
    return GetZel8ChannelMapping(oc[0], oc[1], oc[2], oc[3], mp[0], mp[1], mp[2], mp[3], 4,
                                 Separated);
  };
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(call(), 0xA0004313u + unsigned(i));
    oc[i] = o.get();
  }
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(call(), 0xA0004317u + unsigned(i));
    mp[i] = t.data();
  }
  EXPECT_EQ(Unwritten(t), 4);
  EXPECT_EQ(call(), rc::Ok);
  EXPECT_EQ(At(t, {0, 1, 2, 3}), std::vector<int>({0, 63, 127, 191}));
}

}  // namespace
