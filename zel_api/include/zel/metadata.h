#pragma once
// The ZEL metadata record: how a ZEL image was made and how its stored levels map back to the
// source levels. Its text form is XML (root "zel_md", version 2.0) with run-length mapping
// strings; images of the first format generation carry a key-per-item form that is only read.

#include <zel/types.h>
#include <zel/zel_api_export.h>

#include <urs/image_repair.h>

#include <ur/image_buf.h>

#include <QString>
#include <QVector>

class QDomDocument;

namespace ur {
class CxImage;
}

namespace urs::zel {

using urs::InvalidPixel;

// Channels 0, 1, 2 are red, green, blue (channel 0 alone for grey); for zelType 1 the four raw
// planes, 1 and 3 being the greens. A record read with channels 0..2 only has channel 3 made a
// copy of channel 1.
//
// Release rule: the record frees every non-null occupancy array and mapping table (C heap,
// std::free) and the pixel list when it is released or destroyed. A caller that lends arrays it
// owns itself calls detachArrays() before the record goes away.
struct ZEL_API_EXPORT ZelMetadata {
  int verMajor = 2;
  int verMinor = 0;
  int levelsCount = 0;  // 2^bitDepth of the source: entries of every array
  bool* occupied[4] = {nullptr, nullptr, nullptr, nullptr};
  unsigned short* mapping[4] = {nullptr, nullptr, nullptr, nullptr};
  unsigned short normalization[4] = {0, 0, 0, 0};  // highest rank per channel (8-bit scaling)
  bool applyThreshold = false;
  unsigned short thresholds[4][2] = {{0, 0}, {0, 0}, {0, 0}, {0, 0}};  // (low, high); -1 -> 65535
  ur::ExBayerGrid bayerGrid = ur::eBayerGRBG;
  DemosaicAlgorithm debayer = Simple;
  int zelType = 0;  // 0 channels rank-mapped and scaled; 1 raw planes with the 8-bit spread
  QVector<InvalidPixel> invalidPixels;
  // Bits per sample of the source image (8 or 16), so that a restored file keeps the source's
  // sample width; 0 when unknown (records written before it was kept), and then levelsCount
  // alone decides.
  int sampleBits = 0;

  ZelMetadata() = default;
  ~ZelMetadata();
  ZelMetadata(const ZelMetadata&) = delete;
  ZelMetadata& operator=(const ZelMetadata&) = delete;
  ZelMetadata(ZelMetadata&& other) noexcept;
  ZelMetadata& operator=(ZelMetadata&& other) noexcept;

  // Frees the arrays and empties the pixel list; other fields keep their values.
  void release();
  // Forgets the array pointers without freeing them (arrays owned by the caller).
  void detachArrays();
  // (Re)allocates channel c's occupancy array and mapping table with levelsCount zeroed entries
  // on the C heap. False for c outside 0..3, levelsCount < 1 or when memory runs out.
  bool allocateChannel(int c);
};

// One mapping string: runs "{first:count:value}" of consecutive occupied levels joined by ";"
// (empty for a channel without occupied levels). Codes: InvalidArg(1) occupied null,
// InvalidArg(2) mapping null.
ZEL_API_EXPORT unsigned int GetMappingString(const bool* occupied, const unsigned short* mapping,
                                             int levelsCount, QString& text);

// The XML text of the record; text is assigned only on success. Fails with the code of a
// failing mapping string.
ZEL_API_EXPORT unsigned int SaveMetadataToString(const ZelMetadata& metadata, QString& text);

// Reads a mapping string into the arrays (levelsCount entries each, cleared first). The empty
// string is a channel without occupied levels. False for an invalid string, including runs that
// reach outside 0..levelsCount-1; nothing is written outside the arrays.
ZEL_API_EXPORT bool ReadMappingString(const QString& text, unsigned short* mapping, bool* occupied,
                                      int levelsCount);

// Fills the record from a parsed XML document. Codes: rc::NotZelImage (wrong root, missing
// parts, invalid mapping string, sample width other than 8 or 16, ...), rc::Unsupported
// (version not 2.0), rc::InvalidPixelList.
ZEL_API_EXPORT unsigned int ReadMetadataFromXml(const QDomDocument& doc, ZelMetadata& metadata);

// Fills the record from the key-per-item form in the image's comment metadata ("ZEL", ...).
// rc::Fail for unusable values; the lookup's code for a missing required key.
ZEL_API_EXPORT unsigned int ReadLegacyMetadata(const ur::CxImage& image, ZelMetadata& metadata);

}  // namespace urs::zel
