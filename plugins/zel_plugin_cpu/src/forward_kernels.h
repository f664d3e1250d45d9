#pragma once
// Forward compaction kernels: every source sample becomes a value derived from its channel's
// (or plane's) mapping table entry. Destinations are allocated by the caller; nothing is
// written unless every argument checks out. `threads` 0 uses one thread per core.
//
// Tables hold one entry per level of the source's declared bit depth (2^bitDepth entries). A
// sample beyond that depth is read as the highest level, so a table is never read past its end.
// Codes: rc::InvalidArg(n) for the n-th argument (source 1, destination 2, tables from 3),
// rc::Fail when memory for the lookup tables runs out.

#include <ur/image_buf.h>
#include <ur/result.h>
#include <zel/types.h>

namespace zel::cpu {

using urs::zel::ZelChannelNormalization;

// The 8-bit value of a rank under a channel maximum: round(rank * 255 / maximum), 0 for a
// maximum of 0, 255 for a rank at or above the maximum.
constexpr unsigned char ScaleRank(unsigned rank, unsigned maximum) {
  if (maximum == 0) return 0;
  if (rank >= maximum) return 255;
  return static_cast<unsigned char>((rank * 510u + maximum) / (2u * maximum));
}

// Grey or colour (1 or 3 interleaved channels) of 2-byte samples into 2-byte ranks.
ur::Result ConvertToZel16(const ur::SxImageBuf& source, ur::SxImageBuf& destination,
                          const unsigned short* mapping0, const unsigned short* mapping1,
                          const unsigned short* mapping2, int threads = 0);

// Grey or colour into 8-bit values: each channel's rank scaled by ScaleRank with its own
// maximum (Separated) or the largest of the channels' maxima (Together). sourceBytes is the
// sample size the operation takes (1 or 2).
ur::Result ConvertToZel8(const ur::SxImageBuf& source, ur::SxImageBuf& destination,
                         const unsigned short* const mapping[3], const unsigned maximum[3],
                         ZelChannelNormalization normalization, int sourceBytes, int threads = 0);

// Four planes (planar, 4 channels) into four planes of the same size: each sample becomes its
// plane's table entry, as a sample of destinationBytes (1 or 2; 1-byte samples saturate at
// 255). sourceBytes is the sample size the operation takes.
ur::Result ConvertRawPlanar(const ur::SxImageBuf& source, ur::SxImageBuf& destination,
                            const unsigned short* const mapping[4], int sourceBytes,
                            int destinationBytes, int threads = 0);

}  // namespace zel::cpu
