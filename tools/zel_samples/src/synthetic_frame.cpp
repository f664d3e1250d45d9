#include "synthetic_frame.h"

#include <ur/bayer.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace zel::samples {
namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr int kPatchColumns = 6;
constexpr int kPatchRows = 4;

// Reflectances of the chart patches per colour (red, green, blue), a fixed table so that every
// run draws the same chart.
constexpr double kPatchColours[kPatchRows * kPatchColumns][3] = {
    {0.45, 0.32, 0.26}, {0.77, 0.58, 0.50}, {0.36, 0.48, 0.61}, {0.34, 0.42, 0.26},
    {0.51, 0.50, 0.69}, {0.40, 0.74, 0.67}, {0.85, 0.48, 0.18}, {0.29, 0.36, 0.65},
    {0.76, 0.33, 0.38}, {0.36, 0.24, 0.42}, {0.62, 0.74, 0.25}, {0.89, 0.63, 0.18},
    {0.22, 0.24, 0.58}, {0.27, 0.58, 0.29}, {0.69, 0.19, 0.22}, {0.93, 0.78, 0.12},
    {0.73, 0.33, 0.59}, {0.12, 0.52, 0.65}, {0.95, 0.95, 0.94}, {0.78, 0.79, 0.79},
    {0.62, 0.63, 0.63}, {0.46, 0.46, 0.46}, {0.31, 0.31, 0.31}, {0.17, 0.17, 0.17}};
// Overall gains of the colours under the scene's light, as a sensor without white balance sees it.
constexpr double kColourGain[3] = {0.72, 1.0, 0.58};

// The scene's brightness of colour c at (u, v), both in 0..1, before noise; 0..1.
class Scene {
public:
  Scene(int width, int height) : m_shadeX(std::size_t(width)), m_shadeY(std::size_t(height)) {
    for (int x = 0; x < width; ++x) m_shadeX[std::size_t(x)] = std::sin(kTwoPi * 3.0 * x / width);
    for (int y = 0; y < height; ++y) m_shadeY[std::size_t(y)] = std::cos(kTwoPi * 2.0 * y / height);
  }

  double at(int x, int y, double u, double v, int c) const {
    double s = (0.12 + 0.42 * u * (1.0 - 0.3 * v)) * kColourGain[c];
    s += 0.08 * m_shadeX[std::size_t(x)] * m_shadeY[std::size_t(y)];
    // A chart of patches with dark borders in the upper right.
    if (u >= 0.55 && u < 0.95 && v >= 0.1 && v < 0.5) {
      const double pu = (u - 0.55) / 0.4 * kPatchColumns;
      const double pv = (v - 0.1) / 0.4 * kPatchRows;
      const int column = std::min(int(pu), kPatchColumns - 1);
      const int row = std::min(int(pv), kPatchRows - 1);
      const bool border = pu - column < 0.08 || pv - row < 0.08;
      s = border ? 0.04 : 0.85 * kPatchColours[row * kPatchColumns + column][c] * kColourGain[c];
    }
    // A dark object in the lower left and a light that saturates the sensor.
    const double du = u - 0.3, dv = v - 0.75;
    if (du * du + dv * dv < 0.012) s = 0.05 + 0.02 * u;
    const double lu = u - 0.22, lv = v - 0.28;
    s += 1.4 * std::exp(-(lu * lu + lv * lv) / 0.002);
    return std::clamp(s, 0.0, 1.0);
  }

private:
  std::vector<double> m_shadeX;
  std::vector<double> m_shadeY;
};

// Roughly normal noise of unit deviation from four uniform draws: cheap and the same on every
// platform, unlike std::normal_distribution.
class Noise {
public:
  explicit Noise(std::uint32_t seed) : m_random(seed) {}
  double next() {
    double sum = 0.0;
    for (int i = 0; i < 4; ++i) sum += double(m_random()) / 4294967296.0;
    return (sum - 2.0) * 1.7320508075688772;  // sqrt(3): unit deviation
  }

private:
  std::mt19937 m_random;
};

// The level of a scene value: shot noise grows with the signal.
int Quantise(double s, double noise, const SxLevelSet& set, double noiseLevels) {
  const double sigma = noiseLevels * (0.4 + 0.6 * std::sqrt(s));
  const long k = std::lround(s * (set.count - 1) + noise * sigma);
  return set.base + set.step * int(std::clamp<long>(k, 0, set.count - 1));
}

template <typename T>
void Fill(const SxFrameSpec& desc, ur::SxImageBuf& buf) {
  const Scene scene(desc.width, desc.height);
  Noise noise(desc.seed);
  for (int y = 0; y < desc.height; ++y) {
    T* row = reinterpret_cast<T*>(ur::RowPtr(buf, y));
    const double v = (y + 0.5) / desc.height;
    for (int x = 0; x < desc.width; ++x) {
      const double u = (x + 0.5) / desc.width;
      const int c = desc.mosaicRggb ? int(ur::ColorAt(ur::eBayerRGGB, x, y)) : 1;
      const SxLevelSet& set = desc.levels[desc.mosaicRggb ? c : 0];
      row[x] = T(Quantise(scene.at(x, y, u, v, c), noise.next(), set, desc.noiseLevels));
    }
  }
}

}  // namespace

ur::ScopedImageBuf MakeSyntheticFrame(const SxFrameSpec& desc) {
  ur::ScopedImageBuf frame;
  const bool bytes = desc.bitDepth <= 8;
  if (ur::Failed(ur::AllocBuffer(frame.get(), desc.width, desc.height, 1, desc.bitDepth,
                                 bytes ? ur::eImageDataUInt8 : ur::eImageDataUInt16, 0,
                                 desc.mosaicRggb ? ur::eBayerRGGB : ur::eBayerNone)))
    return {};
  if (bytes)
    Fill<std::uint8_t>(desc, frame.get());
  else
    Fill<std::uint16_t>(desc, frame.get());
  return frame;
}

}  // namespace zel::samples
