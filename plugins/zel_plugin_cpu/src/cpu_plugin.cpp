#include "cpu_plugin.h"

#include "forward_kernels.h"
#include "reverse_kernels.h"

namespace zel::cpu {

namespace {
constexpr int kDeviceProcessor = 0;
}  // namespace

CpuPlugin::CpuPlugin(QObject* parent) : QObject(parent) {}

QString CpuPlugin::name() const { return QStringLiteral("ZEL CPU"); }

int CpuPlugin::deviceType() const { return kDeviceProcessor; }

unsigned int CpuPlugin::convertToZel16(const ur::SxImageBuf& source, ur::SxImageBuf& destination,
                                       const unsigned short* mapping0,
                                       const unsigned short* mapping1,
                                       const unsigned short* mapping2) {
  return ConvertToZel16(source, destination, mapping0, mapping1, mapping2);
}

unsigned int CpuPlugin::convert8ToZel8(const ur::SxImageBuf& source, ur::SxImageBuf& destination,
                                       const unsigned short* mapping0,
                                       const unsigned short* mapping1,
                                       const unsigned short* mapping2, unsigned char maximum0,
                                       unsigned char maximum1, unsigned char maximum2,
                                       urs::zel::ZelChannelNormalization normalization) {
  const unsigned short* const mapping[3] = {mapping0, mapping1, mapping2};
  const unsigned maximum[3] = {maximum0, maximum1, maximum2};
  return ConvertToZel8(source, destination, mapping, maximum, normalization, 1);
}

unsigned int CpuPlugin::convertRawPlanar16ToRawPlanar16Zel(const ur::SxImageBuf& source,
                                                           ur::SxImageBuf& destination,
                                                           const unsigned short* mapping0,
                                                           const unsigned short* mapping1,
                                                           const unsigned short* mapping2,
                                                           const unsigned short* mapping3) {
  const unsigned short* const mapping[4] = {mapping0, mapping1, mapping2, mapping3};
  return ConvertRawPlanar(source, destination, mapping, 2, 2);
}

unsigned int CpuPlugin::convertRawPlanar8ToRawPlanar8Zel(const ur::SxImageBuf& source,
                                                         ur::SxImageBuf& destination,
                                                         const unsigned short* mapping0,
                                                         const unsigned short* mapping1,
                                                         const unsigned short* mapping2,
                                                         const unsigned short* mapping3) {
  const unsigned short* const mapping[4] = {mapping0, mapping1, mapping2, mapping3};
  return ConvertRawPlanar(source, destination, mapping, 1, 1);
}

unsigned int CpuPlugin::convertRawPlanar16ToRawPlanar8Zel(const ur::SxImageBuf& source,
                                                          ur::SxImageBuf& destination,
                                                          const unsigned short* mapping0,
                                                          const unsigned short* mapping1,
                                                          const unsigned short* mapping2,
                                                          const unsigned short* mapping3) {
  const unsigned short* const mapping[4] = {mapping0, mapping1, mapping2, mapping3};
  return ConvertRawPlanar(source, destination, mapping, 2, 1);
}

unsigned int CpuPlugin::convertToZel8(const ur::SxImageBuf& source, ur::SxImageBuf& destination,
                                      const unsigned short* mapping0,
                                      const unsigned short* mapping1,
                                      const unsigned short* mapping2, unsigned short maximum0,
                                      unsigned short maximum1, unsigned short maximum2,
                                      urs::zel::ZelChannelNormalization normalization) {
  const unsigned short* const mapping[3] = {mapping0, mapping1, mapping2};
  const unsigned maximum[3] = {maximum0, maximum1, maximum2};
  return ConvertToZel8(source, destination, mapping, maximum, normalization, 2);
}

unsigned int CpuPlugin::convertZelToRaw(const ur::SxImageBuf& zel, ur::SxImageBuf& raw,
                                        const unsigned short* mapping0, const bool* occupied0,
                                        unsigned short maximum0,
                                        const QVector<urs::InvalidPixel>* invalidPixels,
                                        int levelsCount, int zelType) {
  return ConvertZelToRaw(zel, raw, mapping0, occupied0, maximum0, invalidPixels, levelsCount,
                         zelType);
}

unsigned int CpuPlugin::convertZelRgbToRaw(
    const ur::SxImageBuf& zel, ur::SxImageBuf& raw, const unsigned short* mapping0,
    const unsigned short* mapping1, const unsigned short* mapping2, const unsigned short* mapping3,
    const bool* occupied0, const bool* occupied1, const bool* occupied2, const bool* occupied3,
    unsigned short maximum0, unsigned short maximum1, unsigned short maximum2,
    unsigned short maximum3, ur::ExBayerGrid grid, const QVector<urs::InvalidPixel>* invalidPixels,
    int levelsCount, int zelType) {
  const unsigned short* const mapping[4] = {mapping0, mapping1, mapping2, mapping3};
  const bool* const occupied[4] = {occupied0, occupied1, occupied2, occupied3};
  const unsigned short maximum[4] = {maximum0, maximum1, maximum2, maximum3};
  return ConvertZelRgbToRaw(zel, raw, mapping, occupied, maximum, grid, invalidPixels, levelsCount,
                            zelType);
}

}  // namespace zel::cpu
