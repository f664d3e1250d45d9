#pragma once
// The processor conversion plug-in: every operation checks its arguments and runs the pixel
// kernels on bands of rows, one thread per core.

#include <zel/plugin.h>

#include <QObject>

namespace zel::cpu {

class CpuPlugin : public QObject, public urs::zel::ZelPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID ZelPlugin_iid)
  Q_INTERFACES(urs::zel::ZelPlugin)

public:
  explicit CpuPlugin(QObject* parent = nullptr);

  // Declared in the order of the interface's slots.
  QString name() const override;
  int deviceType() const override;
  unsigned int convertToZel16(const ur::SxImageBuf& source, ur::SxImageBuf& destination,
                              const unsigned short* mapping0, const unsigned short* mapping1,
                              const unsigned short* mapping2) override;
  unsigned int convert8ToZel8(const ur::SxImageBuf& source, ur::SxImageBuf& destination,
                              const unsigned short* mapping0, const unsigned short* mapping1,
                              const unsigned short* mapping2, unsigned char maximum0,
                              unsigned char maximum1, unsigned char maximum2,
                              urs::zel::ZelChannelNormalization normalization) override;
  unsigned int convertRawPlanar16ToRawPlanar16Zel(const ur::SxImageBuf& source,
                                                  ur::SxImageBuf& destination,
                                                  const unsigned short* mapping0,
                                                  const unsigned short* mapping1,
                                                  const unsigned short* mapping2,
                                                  const unsigned short* mapping3) override;
  unsigned int convertRawPlanar8ToRawPlanar8Zel(const ur::SxImageBuf& source,
                                                ur::SxImageBuf& destination,
                                                const unsigned short* mapping0,
                                                const unsigned short* mapping1,
                                                const unsigned short* mapping2,
                                                const unsigned short* mapping3) override;
  unsigned int convertRawPlanar16ToRawPlanar8Zel(const ur::SxImageBuf& source,
                                                 ur::SxImageBuf& destination,
                                                 const unsigned short* mapping0,
                                                 const unsigned short* mapping1,
                                                 const unsigned short* mapping2,
                                                 const unsigned short* mapping3) override;
  unsigned int convertToZel8(const ur::SxImageBuf& source, ur::SxImageBuf& destination,
                             const unsigned short* mapping0, const unsigned short* mapping1,
                             const unsigned short* mapping2, unsigned short maximum0,
                             unsigned short maximum1, unsigned short maximum2,
                             urs::zel::ZelChannelNormalization normalization) override;
  unsigned int convertZelToRaw(const ur::SxImageBuf& zel, ur::SxImageBuf& raw,
                               const unsigned short* mapping0, const bool* occupied0,
                               unsigned short maximum0,
                               const QVector<urs::InvalidPixel>* invalidPixels, int levelsCount,
                               int zelType) override;
  unsigned int convertZelRgbToRaw(const ur::SxImageBuf& zel, ur::SxImageBuf& raw,
                                  const unsigned short* mapping0, const unsigned short* mapping1,
                                  const unsigned short* mapping2, const unsigned short* mapping3,
                                  const bool* occupied0, const bool* occupied1,
                                  const bool* occupied2, const bool* occupied3,
                                  unsigned short maximum0, unsigned short maximum1,
                                  unsigned short maximum2, unsigned short maximum3,
                                  ur::ExBayerGrid grid,
                                  const QVector<urs::InvalidPixel>* invalidPixels, int levelsCount,
                                  int zelType) override;
};

}  // namespace zel::cpu
