#pragma once
// The stored raw image of a DNG file, read with LibRaw. This header and its source must never
// meet FreeImage's headers: LibRaw and FreeImage declare clashing INT64 types.

#include <ur/buffers.h>
#include <ur/image_buf.h>

#include <QString>

namespace urs::zel {

// Reads the whole stored raw image of the DNG at path (masked margins included, samples as
// stored, not clipped at the white level) into image, allocated here: rows top-down as stored,
// interleaved, 8-bit unsigned for samples of up to 8 bits and 16-bit unsigned otherwise.
// A mosaic gives one channel and the Bayer grid of the stored image's top-left cell (none for
// a pattern other than a 2x2 red-green-blue one).
// bitDepth: 8 for 8-bit samples, otherwise from the white level W (W < 1024: 10, < 4096: 12,
// < 16384: 14, else 16; no WhiteLevel tag counts as 65535).
// Codes: rc::NotZelImage not a DNG or not parseable; rc::Unsupported samples that are not 8- or
// 16-bit unsigned integers, lossy and linear (demosaiced) DNGs, refused before decoding; rc::Fail missing or undecodable data, unreadable file, no memory.
// image is unchanged on failure. Reads never overlap.
unsigned int ReadDngRaw(const QString& path, ur::ScopedImageBuf& image);

// What the structure of a file says about its stored raw image, before any sample is decoded.
struct DngRawFacts {
  bool isDng = false;      // a DNG structure (a camera's own raw format is not)
  bool decodable = false;  // its compression has a decoder
  bool complete = false;   // the raw image's strips or tiles lie inside the file
  bool lossy = false;      // lossy JPEG tiles: the samples are not the sensor's values
  bool linear = false;     // several samples per pixel: demosaiced (LinearRaw), no mosaic
};

// Inspects the DNG at path without decoding it. All false for a file that cannot be opened.
// Reads never overlap.
DngRawFacts InspectDngRaw(const QString& path);

}  // namespace urs::zel
