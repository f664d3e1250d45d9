#pragma once
// Shared core services: image repair and, as they arrive, protocol, progress, image loading,
// MATLAB files and plane geometry.

#include <urs/image_repair.h>
#include <urs/plane_geometry.h>
#include <urs/signed_split.h>
