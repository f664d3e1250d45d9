#pragma once
// Tags of the TIFF loader and saver beyond the pixel layout: text tags, the frame time stamp
// (PageName) and the acquisition fields of the common image record.

#include <ur/common_image_metadata.h>

#include <QString>

#include <tiffio.h>

#include <cstdint>
#include <memory>

namespace ur::tiff {

// Tag numbers that libtiff has no name for in the main directory.
constexpr std::uint32_t kTagExposureTime = 33434;
constexpr std::uint32_t kTagFNumber = 33437;
constexpr std::uint32_t kTagIsoSpeedRatings = 34855;
constexpr std::uint32_t kTagApertureValue = 37378;
constexpr std::uint32_t kTagWhiteBalance = 41987;

// The text of an ASCII tag of the current directory (read as UTF-8); empty when absent.
QString TextTag(TIFF* tif, std::uint32_t tag);
// Sets an ASCII tag (written as UTF-8) when text is not empty.
void SetTextTag(TIFF* tif, std::uint32_t tag, const QString& text);

// The current directory's time stamp in microseconds: the decimal number in PageName, or 0
// when the tag is absent or holds no number.
qint64 PageTimestampUs(TIFF* tif);

// A common image record built from Make, Model, Software, Artist, the
// rights notice, DateTime, ExposureTime, ApertureValue, FNumber, WhiteBalance and
// ISOSpeedRatings of the current directory. Null when none of these tags holds a value.
std::unique_ptr<CxCommonImageMetadata> CommonRecordFromTags(TIFF* tif);

// Fills the acquisition fields of record that are still unrecorded from the EXIF directory
// at exifOffset, where cameras keep them. Leaves libtiff positioned on that EXIF directory:
// the caller must position it again. True when any field was taken.
bool AddExifAcquisitionFields(TIFF* tif, std::uint64_t exifOffset, CxCommonImageMetadata& record);

// Writes Make, Model, Software, Artist, the rights notice and DateTime from record.
void WriteCommonRecordTags(TIFF* tif, const CxCommonImageMetadata& record);

}  // namespace ur::tiff
