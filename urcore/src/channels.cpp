#include <ur/channels.h>

#include "sample_dispatch.h"

#include <cmath>
#include <limits>
#include <type_traits>

namespace ur {

namespace {
template <typename T>
T SaturateTo(double v) {
  if constexpr (std::is_floating_point_v<T>) {
    return static_cast<T>(v);
  } else {
    if (std::isnan(v)) return T(0);
    const double lo = double(std::numeric_limits<T>::lowest());
    const double hi = double(std::numeric_limits<T>::max());
    const double r = std::nearbyint(v);
    if (r <= lo) return std::numeric_limits<T>::lowest();
    if (r >= hi) return std::numeric_limits<T>::max();
    return static_cast<T>(r);
  }
}

template <typename T>
void FillChannel(SxImageBuf& buf, int physical, T value) {
  const int step = buf.planar ? 1 : buf.channels;
  const int plane = buf.planar ? physical : 0;
  const int first = buf.planar ? 0 : physical;
  for (int y = 0; y < buf.height; ++y) {
    T* row = reinterpret_cast<T*>(RowPtr(buf, y, plane)) + first;
    for (int x = 0; x < buf.width; ++x) row[std::size_t(x) * step] = value;
  }
}
}  // namespace

int ChannelIndexLogicalToPhysical(int c, const SxImageInfo& info) {
  if (c < 0 || c >= info.channels || info.planar || info.channels < 3) return c;
  if (BytesPerSample(info.dataType) == 1 && c < 3) return 2 - c;
  return c;
}

int ChannelIndexLogicalToPhysical(int c, const SxImageBuf& buf) {
  return ChannelIndexLogicalToPhysical(c, ImageInfo(buf));
}

Result SetChannel(SxImageBuf& buf, int channel, double value) {
  if (!HasPixels(buf)) return rc::InvalidArg(1);
  if (channel < 0 || channel >= buf.channels) return rc::InvalidArg(2);
  const int physical = ChannelIndexLogicalToPhysical(channel, buf);
  const bool known = detail::VisitReal(buf.dataType, [&](auto tag) {
    using T = decltype(tag);
    FillChannel<T>(buf, physical, SaturateTo<T>(value));
  });
  return known ? rc::Ok : rc::InvalidArg(1);
}

}  // namespace ur
