// Ownership of the metadata record's arrays: C heap, freed with the record unless detached.
#include <zel/metadata.h>

#include <cstdlib>
#include <utility>

namespace urs::zel {

namespace {

constexpr int kChannels = 4;

// Takes over other's arrays and leaves null pointers behind.
void StealArrays(ZelMetadata& to, ZelMetadata& from) {
  for (int c = 0; c < kChannels; ++c) {
    to.occupied[c] = std::exchange(from.occupied[c], nullptr);
    to.mapping[c] = std::exchange(from.mapping[c], nullptr);
  }
}

void CopyScalars(ZelMetadata& to, const ZelMetadata& from) {
  to.verMajor = from.verMajor;
  to.verMinor = from.verMinor;
  to.levelsCount = from.levelsCount;
  for (int c = 0; c < kChannels; ++c) {
    to.normalization[c] = from.normalization[c];
    to.thresholds[c][0] = from.thresholds[c][0];
    to.thresholds[c][1] = from.thresholds[c][1];
  }
  to.applyThreshold = from.applyThreshold;
  to.bayerGrid = from.bayerGrid;
  to.debayer = from.debayer;
  to.zelType = from.zelType;
  to.sampleBits = from.sampleBits;
}

}  // namespace

ZelMetadata::~ZelMetadata() { release(); }

ZelMetadata::ZelMetadata(ZelMetadata&& other) noexcept
    : invalidPixels(std::move(other.invalidPixels)) {
  CopyScalars(*this, other);
  StealArrays(*this, other);
  other.invalidPixels.clear();
}

ZelMetadata& ZelMetadata::operator=(ZelMetadata&& other) noexcept {
  if (this == &other) return *this;
  release();
  CopyScalars(*this, other);
  StealArrays(*this, other);
  invalidPixels = std::move(other.invalidPixels);
  other.invalidPixels.clear();
  return *this;
}

void ZelMetadata::release() {
  for (int c = 0; c < kChannels; ++c) {
    std::free(occupied[c]);
    std::free(mapping[c]);
  }
  detachArrays();
  invalidPixels.clear();
}

void ZelMetadata::detachArrays() {
  for (int c = 0; c < kChannels; ++c) {
    occupied[c] = nullptr;
    mapping[c] = nullptr;
  }
}

bool ZelMetadata::allocateChannel(int c) {
  if (c < 0 || c >= kChannels || levelsCount < 1) return false;
  const std::size_t n = std::size_t(levelsCount);
  bool* newOccupied = static_cast<bool*>(std::calloc(n, sizeof(bool)));
  auto* newMapping = static_cast<unsigned short*>(std::calloc(n, sizeof(unsigned short)));
  if (!newOccupied || !newMapping) {
    // The channel keeps its old arrays when the new ones cannot be had.
    std::free(newOccupied);
    std::free(newMapping);
    return false;
  }
  std::free(occupied[c]);
  std::free(mapping[c]);
  occupied[c] = newOccupied;
  mapping[c] = newMapping;
  return true;
}

}  // namespace urs::zel
