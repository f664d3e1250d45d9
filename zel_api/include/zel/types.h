#pragma once
// Enumerations shared by the conversion library's functions and records.

namespace urs::zel {

// How the channels of a colour image are spread over the 8-bit range.
enum ZelChannelNormalization : int {
  Separated = 0,  // each channel by its own count of occupied levels
  Together = 1,   // all channels by the largest count, keeping their relative scale
};

// How a Bayer mosaic becomes a colour image.
enum DemosaicAlgorithm : int {
  Averaging = 0,  // interpolating, full size
  Simple = 1,     // one pixel per 2x2 cell, half size
};

// The most levels a channel may hold for every sample to come back exactly: the 8-bit range of
// a ZEL image, and for raw planes (ZEL type 1) one fewer, since their spread uses 0..254.
constexpr int kExactLevels = 256;
constexpr int kExactPlaneLevels = 255;

}  // namespace urs::zel
