#pragma once
// Shared core services: protocol and progress, image repair, colour bit-depth detection, image
// loading, MATLAB files, signed split and plane geometry.

#include <urs/color_bit_depth.h>
#include <urs/image_loader.h>
#include <urs/image_repair.h>
#include <urs/matlab_file.h>
#include <urs/matlab_image_loader.h>
#include <urs/matlab_image_saver.h>
#include <urs/matlab_metadata.h>
#include <urs/plane_geometry.h>
#include <urs/progress_info.h>
#include <urs/protocol.h>
#include <urs/signed_split.h>
