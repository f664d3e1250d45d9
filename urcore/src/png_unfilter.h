#pragma once
// Reversal of the PNG row filters (None, Sub, Up, Average, Paeth) for 8-bit grey and colour
// rows, straight into FreeImage's pixel order.

#include <cstddef>
#include <cstdint>

namespace ur::detail {

// Reconstructs one row of width pixels of bytesPerPixel bytes (1: grey, 3: colour written
// R, G, B and stored B, G, R) from its filter type and filtered bytes (file order) into out.
// above is the reconstructed row above (in memory order; all zeros for the first row). False
// for an unknown filter type.
bool UnfilterRow(int bytesPerPixel, int type, const std::uint8_t* filtered,
                 const std::uint8_t* above, std::size_t width, std::uint8_t* out);

}  // namespace ur::detail
