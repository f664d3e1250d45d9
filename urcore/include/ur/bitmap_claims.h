#pragma once
// FreeImage allocates the whole bitmap a file's header claims before it reads a pixel, so a
// damaged header can ask for gigabytes. Readers that hand files to FreeImage load the header
// alone first (FIF_LOAD_NOPIXELS, where the format can) and check its claim here.

#include <ur/urcore_export.h>

#include <QString>

#include <cstdint>

struct FIBITMAP;

namespace ur {

// No codec FreeImage reads for us describes more pixels per byte of file than this: the
// run-length forms of BMP come nearest, skipping up to 65025 pixels with a four-byte code.
constexpr std::int64_t kMostPixelsPerFileByte = std::int64_t(1) << 16;

// Why a header-only bitmap claims more than may be allocated: more samples than
// kMaxImageSamples (each byte of a pixel counted as a sample), or more pixels than fileBytes can
// describe. Empty when the claim fits, and for a null header (the full load fails on its own).
URCORE_EXPORT QString BitmapClaimProblem(FIBITMAP* header, std::int64_t fileBytes);

}  // namespace ur
