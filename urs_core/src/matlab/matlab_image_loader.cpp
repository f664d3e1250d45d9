#include <urs/matlab_image_loader.h>

#include "matlab/mat_io.h"

#include <urs/matlab_file.h>

#include <ur/bayer.h>
#include <ur/buffers.h>
#include <ur/color_convert.h>
#include <ur/result.h>

#include <QDateTime>

#include <climits>
#include <cstddef>
#include <memory>
#include <utility>

namespace urs::matlab {

namespace {

using ur::ScopedImageBuf;
using ur::SxImageBuf;

// Entropy planes hold doubles, which the framework's raw join does not take: each plane goes to
// every second sample of every second row, from its site in the first 2x2 cell.
bool JoinBayerPlanes(const SxImageBuf& planes, ScopedImageBuf& mosaic) {
  constexpr ur::ExBayerGrid kGrid = ur::eBayerBGGR;
  if (planes.dataType != ur::eImageDataDouble || planes.width > INT_MAX / 2 ||
      planes.height > INT_MAX / 2)
    return false;
  SxImageBuf& m = mosaic.get();
  if (ur::Failed(ur::AllocBuffer(m, 2 * planes.width, 2 * planes.height, 1, planes.bitDepth,
                                 planes.dataType, 0, kGrid, true)))
    return false;
  m.patternWidth = 2;
  m.patternHeight = 2;
  std::size_t offsets[4];
  if (ur::Failed(ur::RawChannelsOffsets(kGrid, m.linePitch, sizeof(double), offsets))) return false;
  for (int p = 0; p < 4; ++p) {
    for (int y = 0; y < planes.height; ++y) {
      const auto* src = reinterpret_cast<const double*>(ur::RowPtr(planes, y, p));
      auto* dst = reinterpret_cast<double*>(ur::RowPtr(m, 2 * y) + offsets[p]);
      for (int x = 0; x < planes.width; ++x) dst[2 * x] = src[x];
    }
  }
  return true;
}

// Three entropy planes become one colour image, each plane at its channel's position.
bool InterleaveChannels(const SxImageBuf& planes, ScopedImageBuf& colour) {
  SxImageBuf& c = colour.get();
  return ur::Succeeded(ur::AllocBuffer(c, planes.width, planes.height, 3, planes.bitDepth,
                                       planes.dataType, 0, ur::eBayerNone, true)) &&
         ur::Succeeded(ur::ConvertPlanarToRGB(planes, c));
}

// The picture an entropy image of four or three planes shows.
bool ComposeEntropyImage(ScopedImageBuf& pixels) {
  const SxImageBuf& planes = pixels.get();
  if (!planes.planar || (planes.channels != 4 && planes.channels != 3)) return true;
  ScopedImageBuf composed;
  const bool made = planes.channels == 4 ? JoinBayerPlanes(planes, composed)
                                         : InterleaveChannels(planes, composed);
  if (!made) return false;
  pixels = std::move(composed);
  return true;
}

}  // namespace

CxMatlabImageLoader::CxMatlabImageLoader(QObject* parent) : ur::IxImageDataLoader(parent) {}

CxMatlabImageLoader::~CxMatlabImageLoader() = default;

bool CxMatlabImageLoader::open() {
  ScopedImageBuf pixels;
  ur::CxMetadata metadata;
  bool isEntropy = false;
  if (!LoadImageFromMat(m_fileName, pixels.get(), isEntropy, &metadata)) return true;
  if (isEntropy && !ComposeEntropyImage(pixels)) return true;

  if (!m_image) m_image = std::make_unique<ur::CxImageData>();
  m_image->setImageShallow(pixels.release(), 0, 0, QDateTime::currentDateTime());
  m_image->setMetadata(metadata);
  return true;
}

bool CxMatlabImageLoader::isOpen() const { return m_image != nullptr; }

void CxMatlabImageLoader::close() { m_image.reset(); }

int CxMatlabImageLoader::frameCount() const { return 1; }

void CxMatlabImageLoader::setFilename(const QString& fileName) { m_fileName = fileName; }

ur::FileFormatList CxMatlabImageLoader::fileFormats() const {
  return detail::MatlabFileFormats();
}

ur::CxImageData* CxMatlabImageLoader::imageData(int) {
  if (!m_image || !m_image->hasPixels()) return nullptr;
  return m_image->clone(nullptr);
}

}  // namespace urs::matlab
