// Reading entropy images: sets of double matrices that share a name prefix.

#include "matlab/mat_io.h"

#include <urs/matlab_file.h>

#include <ur/buffers.h>

#include <iterator>
#include <utility>
#include <vector>

namespace urs::matlab {

namespace {

using detail::MatVarPtr;

using detail::kBayerPlaneSuffixes;
const char* const kChannelSuffixes[] = {"_channel_1", "_channel_2", "_channel_3"};

// The planes present, in order, up to the first missing one.
std::vector<MatVarPtr> ReadPlanes(mat_t* mat, const QString& prefix, bool& complete) {
  const bool bayer = detail::HasVariable(mat, prefix + QLatin1String(kBayerPlaneSuffixes[0]));
  const char* const* suffixes = bayer ? kBayerPlaneSuffixes : kChannelSuffixes;
  const std::size_t count = bayer ? std::size(kBayerPlaneSuffixes) : std::size(kChannelSuffixes);
  std::vector<MatVarPtr> planes;
  complete = true;
  for (std::size_t i = 0; i < count; ++i) {
    const QString name = prefix + QLatin1String(suffixes[i]);
    if (!detail::HasVariable(mat, name)) break;
    MatVarPtr var = detail::ReadMatrix(mat, name);
    // A plane that is there but cannot be read fails the image rather than shortening it.
    if (!var) {
      complete = false;
      break;
    }
    planes.push_back(std::move(var));
  }
  return planes;
}

}  // namespace

bool LoadEntropyImageFromMat(const QString& prefix, const QString& path, ur::SxImageBuf& image) {
  const detail::MatFilePtr mat(static_cast<mat_t*>(MatOpenRead(path)));
  if (!mat) return false;
  bool complete = false;
  const std::vector<MatVarPtr> planes = ReadPlanes(mat.get(), prefix, complete);
  if (!complete || planes.empty() || planes.front()->class_type != MAT_C_DOUBLE) return false;

  // Every plane is copied with the first one's size, so all must have it.
  const matvar_t& first = *planes.front();
  for (const MatVarPtr& var : planes)
    if (!detail::SameMatrixShape(*var, first)) return false;

  ur::ScopedImageBuf pixels;
  if (!detail::AllocImageForMatrices(first, int(planes.size()), pixels.get())) return false;
  for (std::size_t p = 0; p < planes.size(); ++p)
    if (!detail::CopyMatrixToPlane(*planes[p], pixels.get(), int(p))) return false;
  image = pixels.release();
  return true;
}

}  // namespace urs::matlab
