// Mapping strings: runs of consecutive occupied levels, and reading them back into the tables.
#include <zel/metadata.h>

#include <ur/result.h>
#include <zel_testing/printers.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

using namespace urs::zel;
namespace rc = ur::rc;

// Occupancy and rank mapping of `levels` entries with the given levels occupied; ranks counted
// here by hand, independently of the library.
struct RankTables {
  RankTables(int levels, const std::vector<int>& set) : occupied(std::size_t(levels), 0),
                                                        mapping(std::size_t(levels), 0) {
    for (int i : set) occupied[std::size_t(i)] = 1;
    unsigned short rank = 0;
    for (std::size_t i = 0; i < occupied.size(); ++i)
      if (occupied[i]) mapping[i] = rank++;
  }
  const bool* occ() const { return reinterpret_cast<const bool*>(occupied.data()); }
  std::vector<std::uint8_t> occupied;  // bytes, so that a bool* can point into them
  std::vector<unsigned short> mapping;
};

QString MappingString(const RankTables& t) {
  QString text = QStringLiteral("unchanged");
  EXPECT_EQ(GetMappingString(t.occ(), t.mapping.data(), int(t.mapping.size()), text), rc::Ok);
  return text;
}

TEST(MappingString, WritesRunsOfConsecutiveLevels) {
  std::vector<int> first10;
  for (int i = 0; i < 10; ++i) first10.push_back(i);
  EXPECT_EQ(MappingString(RankTables(10, first10)), QStringLiteral("{0:10:0}"));
  EXPECT_EQ(MappingString(RankTables(16, {0, 2, 4})), QStringLiteral("{0:1:0};{2:1:1};{4:1:2}"));
  EXPECT_EQ(MappingString(RankTables(16, {3, 4, 5, 10})), QStringLiteral("{3:3:0};{10:1:3}"));
  // A run that starts at, or runs into, the last level is closed there.
  EXPECT_EQ(MappingString(RankTables(256, {255})), QStringLiteral("{255:1:0}"));
  EXPECT_EQ(MappingString(RankTables(8, {1, 6, 7})), QStringLiteral("{1:1:0};{6:2:1}"));
  EXPECT_EQ(MappingString(RankTables(8, {})), QString());
}

TEST(MappingString, WritesTheTableEntryOfEachRunsFirstLevel) {
  RankTables t(8, {2, 3, 6});
  t.mapping[2] = 100;
  t.mapping[3] = 7;  // only the first entry of a run is written
  t.mapping[6] = 254;
  EXPECT_EQ(MappingString(t), QStringLiteral("{2:2:100};{6:1:254}"));
}

TEST(MappingString, RefusesNullArraysAndLeavesTextAlone) {
  RankTables t(4, {1});
  QString text = QStringLiteral("keep");
  EXPECT_EQ(GetMappingString(nullptr, t.mapping.data(), 4, text), rc::InvalidArg(1));
  EXPECT_EQ(GetMappingString(t.occ(), nullptr, 4, text), rc::InvalidArg(2));
  EXPECT_TRUE(ur::Failed(GetMappingString(t.occ(), t.mapping.data(), -1, text)));
  EXPECT_EQ(text, QStringLiteral("keep"));
}

// Writing and reading back a rank mapping restores both tables exactly.
void ExpectRoundTrip(const RankTables& t) {
  const int levels = int(t.mapping.size());
  const QString text = MappingString(t);
  std::vector<unsigned short> mapping(std::size_t(levels), 0xBEEF);
  std::vector<std::uint8_t> occupied(std::size_t(levels), 0x55);
  ASSERT_TRUE(ReadMappingString(text, mapping.data(), reinterpret_cast<bool*>(occupied.data()),
                                levels));
  EXPECT_EQ(occupied, t.occupied);
  EXPECT_EQ(mapping, t.mapping);
}

TEST(MappingString, ReadingBackARankMappingRestoresTheTables) {
  std::mt19937 random(1234);
  for (int levels : {256, 65536}) {
    for (int percent : {3, 50, 97}) {
      std::vector<int> set;
      for (int i = 0; i < levels; ++i)
        if (int(random() % 100) < percent) set.push_back(i);
      SCOPED_TRACE(testing::Message() << levels << " levels, " << percent << "%");
      ExpectRoundTrip(RankTables(levels, set));
    }
  }
  ExpectRoundTrip(RankTables(65536, {0, 65535}));
}

// Tables with guard zones on both sides, to see that nothing is written outside them.
struct GuardedTables {
  static constexpr int kGuard = 64;
  static constexpr unsigned short kGuardValue = 0xA5A5;
  static constexpr std::uint8_t kGuardByte = 0x5A;
  explicit GuardedTables(int levels)
      : levelsCount(levels), mapping(std::size_t(levels + 2 * kGuard), kGuardValue),
        occupied(std::size_t(levels + 2 * kGuard), kGuardByte) {}
  bool read(const QString& text) {
    return ReadMappingString(text, mapping.data() + kGuard,
                             reinterpret_cast<bool*>(occupied.data() + kGuard), levelsCount);
  }
  bool guardsIntact() const {
    for (int i = 0; i < kGuard; ++i) {
      const std::size_t low = std::size_t(i), high = std::size_t(kGuard + levelsCount + i);
      if (mapping[low] != kGuardValue || mapping[high] != kGuardValue) return false;
      if (occupied[low] != kGuardByte || occupied[high] != kGuardByte) return false;
    }
    return true;
  }
  int levelsCount;
  std::vector<unsigned short> mapping;
  std::vector<std::uint8_t> occupied;
};

TEST(ReadMappingString, ReadsRunsAndClearsEverythingElse) {
  GuardedTables t(10);
  ASSERT_TRUE(t.read(QStringLiteral("{1:2:5};{9:1:7}")));
  EXPECT_TRUE(t.guardsIntact());
  const std::vector<unsigned short> mapping(t.mapping.begin() + t.kGuard,
                                            t.mapping.begin() + t.kGuard + 10);
  const std::vector<std::uint8_t> occupied(t.occupied.begin() + t.kGuard,
                                           t.occupied.begin() + t.kGuard + 10);
  EXPECT_EQ(mapping, (std::vector<unsigned short>{0, 5, 6, 0, 0, 0, 0, 0, 0, 7}));
  EXPECT_EQ(occupied, (std::vector<std::uint8_t>{0, 1, 1, 0, 0, 0, 0, 0, 0, 1}));
}

TEST(ReadMappingString, RefusesMalformedStrings) {
  for (const char* text : {"{}", "{0:1}", "{0:1:2:3}", "{a:1:0}", "{0:x:0}", "{0:1:0x1}",
                           "{0:1:0};", ";{0:1:0}", "{0:1:0};;{2:1:1}", "{1.5:1:0}", "0:1:0"}) {
    GuardedTables t(10);
    EXPECT_FALSE(t.read(QString::fromLatin1(text))) << text;
    EXPECT_TRUE(t.guardsIntact()) << text;
  }
}

// What the writer gives for a channel without occupied levels reads back as that channel.
TEST(ReadMappingString, EmptyStringIsAChannelWithoutLevels) {
  GuardedTables t(10);
  ASSERT_TRUE(t.read(QStringLiteral("{1:2:5}")));
  ASSERT_TRUE(t.read(QString()));
  EXPECT_TRUE(t.guardsIntact());
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(t.occupied[std::size_t(t.kGuard + i)], 0) << i;
    EXPECT_EQ(t.mapping[std::size_t(t.kGuard + i)], 0) << i;
  }
}

TEST(ReadMappingString, RefusesRunsOutsideTheTables) {
  for (const char* text : {"{8:3:0}", "{10:1:0}", "{-1:2:0}", "{0:0:0}", "{0:-3:0}",
                           "{0:2:65535}", "{0:1:-1}", "{0:1:0};{2147483647:2:0}",
                           "{4294967296:1:0}"}) {
    GuardedTables t(10);
    EXPECT_FALSE(t.read(QString::fromLatin1(text))) << text;
    EXPECT_TRUE(t.guardsIntact()) << text;
  }
  // The edges themselves are inside.
  GuardedTables t(10);
  EXPECT_TRUE(t.read(QStringLiteral("{0:10:65526}")));
  EXPECT_TRUE(t.guardsIntact());
  EXPECT_EQ(t.mapping[std::size_t(t.kGuard + 9)], 65535);
}

TEST(ReadMappingString, RefusesMissingTables) {
  std::vector<unsigned short> mapping(4);
  bool occupied[4] = {};
  EXPECT_FALSE(ReadMappingString(QStringLiteral("{0:1:0}"), nullptr, occupied, 4));
  EXPECT_FALSE(ReadMappingString(QStringLiteral("{0:1:0}"), mapping.data(), nullptr, 4));
  EXPECT_FALSE(ReadMappingString(QStringLiteral("{0:1:0}"), mapping.data(), occupied, 0));
}

}  // namespace
