// Counting occupied levels and building the mapping tables from them: the rank of
// every occupied level, or that rank spread over the 8-bit range.
#include <zel/occupied_levels.h>

#include <ur/result.h>

#include <algorithm>
#include <cstdint>

namespace urs::zel {

namespace {

namespace rc = ur::rc;

// Number of true entries among occupied[0..levelsCount-1]; 0 for a null array.
int CountOccupied(const bool* occupied, int levelsCount) {
  if (!occupied) return 0;
  int count = 0;
  for (int i = 0; i < levelsCount; ++i) count += occupied[i] ? 1 : 0;
  return count;
}

// mapping[i] = rank of level i among the occupied levels, for occupied levels only. The rank
// counter is 16 bits wide, as the tables are.
void BuildRankMapping(const bool* occupied, unsigned short* mapping, int levelsCount) {
  std::uint16_t rank = 0;
  for (int i = 0; i < levelsCount; ++i)
    if (occupied[i]) mapping[i] = rank++;
}

// mapping[i] = trunc(rank / (n / 255.0)) for occupied levels, computed exactly so (not as
// rank * 255 / n, which rounds differently: n = 33, rank 11 must give 84).
void BuildSpreadMapping(const bool* occupied, unsigned short* mapping, int levelsCount, int n) {
  const double levelsPerStep = n / 255.0;
  std::uint16_t rank = 0;
  for (int i = 0; i < levelsCount; ++i)
    if (occupied[i]) mapping[i] = static_cast<unsigned short>(rank++ / levelsPerStep);
}

}  // namespace

unsigned int GetLevelsCount(const bool* occupied0, const bool* occupied1, const bool* occupied2,
                            int levelsCount, int& count0, int& count1, int& count2) {
  if (!occupied0) return rc::InvalidArg(1);
  count0 = CountOccupied(occupied0, levelsCount);
  count1 = CountOccupied(occupied1, levelsCount);
  count2 = CountOccupied(occupied2, levelsCount);
  return rc::Ok;
}

unsigned int GetLevelsCount(const bool* occupied0, const bool* occupied1, const bool* occupied2,
                            const bool* occupied3, int levelsCount, int& count0, int& count1,
                            int& count2, int& count3) {
  const bool* const occupied[4] = {occupied0, occupied1, occupied2, occupied3};
  for (int p = 0; p < 4; ++p)
    if (!occupied[p]) return rc::InvalidArg(1 + p);
  count0 = CountOccupied(occupied0, levelsCount);
  count1 = CountOccupied(occupied1, levelsCount);
  count2 = CountOccupied(occupied2, levelsCount);
  count3 = CountOccupied(occupied3, levelsCount);
  return rc::Ok;
}

unsigned int GetZelChannelMapping(const bool* occupied0, const bool* occupied1,
                                  const bool* occupied2, unsigned short* mapping0,
                                  unsigned short* mapping1, unsigned short* mapping2,
                                  int levelsCount) {
  if (!occupied0) return rc::InvalidArg(1);
  if (!mapping0) return rc::InvalidArg(4);
  if (occupied1 && !mapping1) return rc::InvalidArg(5);
  if (occupied2 && !mapping2) return rc::InvalidArg(6);
  BuildRankMapping(occupied0, mapping0, levelsCount);
  if (occupied1) BuildRankMapping(occupied1, mapping1, levelsCount);
  if (occupied2) BuildRankMapping(occupied2, mapping2, levelsCount);
  return rc::Ok;
}

unsigned int GetZelChannelMapping(const bool* occupied0, const bool* occupied1,
                                  const bool* occupied2, const bool* occupied3,
                                  unsigned short* mapping0, unsigned short* mapping1,
                                  unsigned short* mapping2, unsigned short* mapping3,
                                  int levelsCount) {
  const bool* const occupied[4] = {occupied0, occupied1, occupied2, occupied3};
  unsigned short* const mapping[4] = {mapping0, mapping1, mapping2, mapping3};
  for (int p = 0; p < 4; ++p)
    if (!occupied[p]) return rc::InvalidArg(1 + p);
  for (int p = 0; p < 4; ++p)
    if (!mapping[p]) return rc::InvalidArg(5 + p);
  for (int p = 0; p < 4; ++p) BuildRankMapping(occupied[p], mapping[p], levelsCount);
  return rc::Ok;
}

unsigned int GetZel8ChannelMapping(const bool* occupied0, const bool* occupied1,
                                   const bool* occupied2, const bool* occupied3,
                                   unsigned short* mapping0, unsigned short* mapping1,
                                   unsigned short* mapping2, unsigned short* mapping3,
                                   int levelsCount, ZelChannelNormalization normalization) {
  const bool* const occupied[4] = {occupied0, occupied1, occupied2, occupied3};
  unsigned short* const mapping[4] = {mapping0, mapping1, mapping2, mapping3};
  for (int p = 0; p < 4; ++p)
    if (!occupied[p]) return rc::InvalidArg(1 + p);
  for (int p = 0; p < 4; ++p)
    if (!mapping[p]) return rc::InvalidArg(5 + p);

  int counts[4];
  for (int p = 0; p < 4; ++p) counts[p] = CountOccupied(occupied[p], levelsCount);
  if (normalization == Together) {
    // One scale for all channels keeps their relative brightness, and with it the colour look.
    const int largest = *std::max_element(counts, counts + 4);
    std::fill(counts, counts + 4, largest);
  }
  for (int p = 0; p < 4; ++p) BuildSpreadMapping(occupied[p], mapping[p], levelsCount, counts[p]);
  return rc::Ok;
}

}  // namespace urs::zel
