#pragma once
// Conversion plug-ins: Qt plug-in modules named zel_plugin_*.so beside the executable that do
// the per-sample work of every conversion, forward and reverse.

#include <zel/types.h>
#include <zel/zel_api_export.h>

#include <urs/image_repair.h>

#include <ur/image_buf.h>

#include <QString>
#include <QVector>
#include <QtPlugin>

namespace urs::zel {

using ur::ExBayerGrid;
using ur::SxImageBuf;

// The interface a conversion plug-in implements. The order of the virtual operations is part
// of the interface (slot 0 is the destructor); keep it. Destinations are allocated by the caller;
// results follow the top-bit rule. Operations must be callable from any thread.
class ZelPlugin {
public:
  virtual ~ZelPlugin() = default;                                                    // 0
  virtual QString name() const = 0;                                                  // 1
  virtual int deviceType() const = 0;  // 0 processor, 1 graphics processor          // 2
  // Ranks (the mapping table entries) as 16-bit samples.
  virtual unsigned int convertToZel16(const SxImageBuf& source, SxImageBuf& destination,
                                      const unsigned short* mapping0,
                                      const unsigned short* mapping1,
                                      const unsigned short* mapping2) = 0;            // 3
  // Ranks scaled into 0..255 by each channel's maximum (Separated) or the largest (Together).
  virtual unsigned int convert8ToZel8(const SxImageBuf& source, SxImageBuf& destination,
                                      const unsigned short* mapping0,
                                      const unsigned short* mapping1,
                                      const unsigned short* mapping2, unsigned char maximum0,
                                      unsigned char maximum1, unsigned char maximum2,
                                      ZelChannelNormalization normalization) = 0;     // 4
  // Planar raw images: each sample becomes its plane's table entry.
  virtual unsigned int convertRawPlanar16ToRawPlanar16Zel(
      const SxImageBuf& source, SxImageBuf& destination, const unsigned short* mapping0,
      const unsigned short* mapping1, const unsigned short* mapping2,
      const unsigned short* mapping3) = 0;                                            // 5
  virtual unsigned int convertRawPlanar8ToRawPlanar8Zel(
      const SxImageBuf& source, SxImageBuf& destination, const unsigned short* mapping0,
      const unsigned short* mapping1, const unsigned short* mapping2,
      const unsigned short* mapping3) = 0;                                            // 6
  virtual unsigned int convertRawPlanar16ToRawPlanar8Zel(
      const SxImageBuf& source, SxImageBuf& destination, const unsigned short* mapping0,
      const unsigned short* mapping1, const unsigned short* mapping2,
      const unsigned short* mapping3) = 0;                                            // 7
  virtual unsigned int convertToZel8(const SxImageBuf& source, SxImageBuf& destination,
                                     const unsigned short* mapping0,
                                     const unsigned short* mapping1,
                                     const unsigned short* mapping2, unsigned short maximum0,
                                     unsigned short maximum1, unsigned short maximum2,
                                     ZelChannelNormalization normalization) = 0;      // 8
  // Restores a one-channel ZEL image (zelType 0) into the raw buffer.
  virtual unsigned int convertZelToRaw(const SxImageBuf& zel, SxImageBuf& raw,
                                       const unsigned short* mapping0, const bool* occupied0,
                                       unsigned short maximum0,
                                       const QVector<InvalidPixel>* invalidPixels,
                                       int levelsCount, int zelType) = 0;             // 9
  // Restores a three-channel ZEL image, or a one-channel compacted mosaic (zelType 1), into a
  // raw mosaic of the given grid.
  virtual unsigned int convertZelRgbToRaw(
      const SxImageBuf& zel, SxImageBuf& raw, const unsigned short* mapping0,
      const unsigned short* mapping1, const unsigned short* mapping2,
      const unsigned short* mapping3, const bool* occupied0, const bool* occupied1,
      const bool* occupied2, const bool* occupied3, unsigned short maximum0,
      unsigned short maximum1, unsigned short maximum2, unsigned short maximum3,
      ExBayerGrid grid, const QVector<InvalidPixel>* invalidPixels, int levelsCount,
      int zelType) = 0;                                                               // 10
};

// One loaded plug-in as the front ends list it.
struct ZelPluginInfo {
  unsigned long long id = 0;  // position in the plug-in list + 1
  QString name;
  int deviceType = 0;
  QString device;  // "CPU", "GPU" or empty
};

// Loads every zel_plugin_*.so of the folder once per process. 0 when at least one plug-in is
// loaded (now or before), rc::NoPlugin otherwise.
ZEL_API_EXPORT unsigned int InitPlugins(const QString& directory);
// Lists the loaded plug-ins in loading order. Always 0.
ZEL_API_EXPORT unsigned int GetPlugins(QVector<ZelPluginInfo>& plugins);
// The plug-in with this id (its low 32 bits taken as a signed int), or null.
ZEL_API_EXPORT ZelPlugin* PluginById(unsigned long long pluginId);

}  // namespace urs::zel

#define ZelPlugin_iid "org.zelproject.zel.ZelPlugin"
Q_DECLARE_INTERFACE(urs::zel::ZelPlugin, ZelPlugin_iid)
