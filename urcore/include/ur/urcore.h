#pragma once
// The image core: shared image records, buffers and pixel operations.

#include <ur/bayer.h>
#include <ur/bit_depth.h>
#include <ur/buffers.h>
#include <ur/cancellation_token.h>
#include <ur/channels.h>
#include <ur/color_convert.h>
#include <ur/core.h>
#include <ur/demosaic.h>
#include <ur/geometry.h>
#include <ur/histogram.h>
#include <ur/image_buf.h>
#include <ur/raw_planar.h>
#include <ur/result.h>
