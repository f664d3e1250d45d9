#pragma once
// Writing back, into a restored mosaic, the values that thresholding replaced.

#include <ur/image_buf.h>
#include <urs/image_repair.h>

#include <QVector>

namespace zel::cpu {

// What a record's col/row and slots refer to.
enum class RecordLayout {
  Grey,        // a pixel of the raw image itself; slot 0
  ColourSite,  // a full-size colour pixel: the site itself, from the slot of the site's colour
  ColourCell,  // a half-size colour pixel: its 2x2 cell, each site from its colour's slot
  PlaneCell,   // a raw plane sample: the site of plane `slot` in cell (col, row)
};

// col/row are top-down; raw is stored bottom-up (memory row 0 is the picture's last row).
// grid names the picture's top-left cell (unused for Grey). A slot is written only where its
// invalidValue differs from its newValue; sites outside the image are skipped.
struct RecordTarget {
  RecordLayout layout = RecordLayout::Grey;
  ur::ExBayerGrid grid = ur::eBayerRGGB;
};

// True when every value that WriteBackInvalidPixels would write fits raw's samples (1 or 2
// bytes).
bool InvalidPixelsFit(const QVector<urs::InvalidPixel>& records, const ur::SxImageBuf& raw,
                      const RecordTarget& target);

// Writes the recorded values into raw (one channel of 1- or 2-byte samples).
void WriteBackInvalidPixels(const QVector<urs::InvalidPixel>& records, ur::SxImageBuf& raw,
                            const RecordTarget& target);

}  // namespace zel::cpu
