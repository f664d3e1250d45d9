#pragma once
// One header of a FITS file as the loader needs it: structure keywords of the unit, and the
// keywords of the common image record, which collect over the units read so far.

#include <ur/common_image_metadata.h>
#include <ur/image_buf.h>

#include <QIODevice>
#include <QString>
#include <QVector>

namespace ur::fits {

// The keywords of one header-and-data unit. Scaling and range keywords belong to the unit whose
// header holds them.
struct SxUnitHeader {
  bool primary = true;
  QString xtension;      // "IMAGE", "BINTABLE", ...; empty for the primary unit
  int bitpix = 0;        // 0: not given
  int naxis = -1;        // -1: not given
  QVector<qint64> axes;  // NAXIS1..NAXISn, -1 where not given
  qint64 pcount = 0;
  qint64 gcount = 1;
  double bzero = 0.0;
  double bscale = 1.0;
  bool hasDataMin = false;
  bool hasDataMax = false;
  double dataMin = 0.0;
  double dataMax = 0.0;
  qint64 dataOffset = 0;  // file position of the data, after the header's last block
};

// Reads the header starting at the device's position, block by block, until its END card,
// applying the record keywords to record. False with error set when the header runs past the
// end, does not start as a unit must (SIMPLE, or XTENSION after the primary unit), or gives
// structure keywords out of range.
bool ReadHeader(QIODevice& device, bool primary, SxUnitHeader& header,
                CxCommonImageMetadata& record, QString& error);

// Bytes of the unit's data, not padded: (PCOUNT + product of the axes) x |BITPIX| / 8 x GCOUNT.
// False with error set when an axis is missing or the size overflows.
bool DataBytes(const SxUnitHeader& header, qint64& bytes, QString& error);

// What one unit's samples become.
struct SxSampleFormat {
  ExImageDataType type = eImageDataUnknown;
  bool scaled = false;  // physical = stored x bscale + bzero
  double bscale = 1.0;
  double bzero = 0.0;
};

// Why a unit is not loaded as an image; empty when it is one: two axes, or three axes of
// 1, 3 or 4 planes, non-empty, PCOUNT 0 and GCOUNT 1, primary or an IMAGE extension.
QString NotAnImageReason(const SxUnitHeader& header);

// The sample format of an image unit from BITPIX and its scaling and range keywords. Integer
// data under a scaling that gives other numbers than an unsigned or signed-byte convention
// becomes float (8 and 16 bits) or double (32 bits) physical values. False for an unsupported
// BITPIX.
bool SampleFormatOf(const SxUnitHeader& header, SxSampleFormat& format);

}  // namespace ur::fits
