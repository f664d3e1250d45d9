#pragma once
// The conversion library: the ZEL format, level analysis and conversions.

#include <zel/compaction.h>
#include <zel/convertor.h>
#include <zel/dir_conversion.h>
#include <zel/dir_jobs.h>
#include <zel/file_conversion.h>
#include <zel/image_compare.h>
#include <zel/input_reading.h>
#include <zel/metadata.h>
#include <zel/occupied_levels.h>
#include <zel/plugin.h>
#include <zel/reverse_conversion.h>
#include <zel/run_summary.h>
#include <zel/thresholding.h>
#include <zel/types.h>
#include <zel/verification.h>
#include <zel/version.h>
#include <zel/zel_file.h>
