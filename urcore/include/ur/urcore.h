#pragma once
// The image core: shared image records, buffers and pixel operations, images and their
// metadata, the format framework with its loaders, savers and plug-ins, and file helpers.

#include <ur/atomic_file.h>
#include <ur/bayer.h>
#include <ur/bit_depth.h>
#include <ur/buffers.h>
#include <ur/cancellation_token.h>
#include <ur/channels.h>
#include <ur/color_convert.h>
#include <ur/common_image_metadata.h>
#include <ur/core.h>
#include <ur/data_loader.h>
#include <ur/data_saver.h>
#include <ur/demosaic.h>
#include <ur/format_manager.h>
#include <ur/geometry.h>
#include <ur/hdf5.h>
#include <ur/histogram.h>
#include <ur/image.h>
#include <ur/image_buf.h>
#include <ur/image_data.h>
#include <ur/metadata.h>
#include <ur/plugin.h>
#include <ur/png_reader.h>
#include <ur/raw_planar.h>
#include <ur/result.h>
#include <ur/rtti.h>
#include <ur/units.h>
