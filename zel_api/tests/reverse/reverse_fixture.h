#pragma once
// ZEL files made by the library's own forward steps, for the reverse conversion to restore.

#include <zel/metadata.h>
#include <zel/types.h>

#include <urs/image_repair.h>

#include <ur/buffers.h>

#include <QString>
#include <QVector>

#include <cstdint>
#include <vector>

namespace zel::testing {

// The id of the real processor plug-in, loaded from the build's bin folder; 0 when absent.
unsigned long long CpuPluginId();

// A top-down 12-bit mosaic of 16-bit samples whose colours (by grid) take a few levels each (red
// five, the others three, some of them neighbours), red and blue different per site, the two
// greens of a cell equal (so that a cell's mean green is either of them) unless distinctGreens.
ur::ScopedImageBuf MakeMosaic(int width, int height, ur::ExBayerGrid grid, bool distinctGreens);

// The compacted buffer zel (top-down, its rows turned here) with the record md as a ZEL file of
// the source, through the library's own image writer.
unsigned int WriteRecordImage(const ur::SxImageBuf& source, ur::SxImageBuf& zel,
                              const urs::zel::ZelMetadata& md, bool demosaiced,
                              const QString& path);

// Grey (1- or 2-byte samples): ranks of the image's occupied levels scaled to 8 bits, ZEL type 0.
// extraPixels go into the record as they stand. Returns the first failing step's code.
unsigned int WriteGreyZel(const ur::SxImageBuf& grey, int levelsCount, const QString& path,
                          const QVector<urs::InvalidPixel>& extraPixels = {});

// The mosaic demosaiced (Simple: half size, Averaging: full size), its colours rank-mapped.
unsigned int WriteColourZel(const ur::SxImageBuf& mosaic, urs::zel::DemosaicAlgorithm algorithm,
                            const QString& path);

// The mosaic's four planes spread-mapped and joined again: a one-channel ZEL image of type 1.
unsigned int WritePlaneZel(const ur::SxImageBuf& mosaic,
                           urs::zel::ZelChannelNormalization normalization, const QString& path);

// A PNG that claims to be a ZEL image but whose record is no XML.
bool WriteDamagedZel(const QString& path);

// The image file's pixels top-down (files hold them upright, images bottom-up in memory), or an
// empty buffer when it cannot be read.
ur::ScopedImageBuf LoadTopDown(const QString& path);

}  // namespace zel::testing
