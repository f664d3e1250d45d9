#pragma once
// The conversion library: the ZEL format, level analysis and conversions.

#include <zel/occupied_levels.h>
#include <zel/types.h>
