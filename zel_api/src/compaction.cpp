// The compaction operations hand the pixel work to the selected conversion plug-in; this file
// only selects it and turns its failures into the library's generic failure.

#include <zel/compaction.h>

#include <zel/plugin.h>

#include <ur/result.h>

#include <QString>

#include <utility>

namespace urs::zel {

namespace {

namespace rc = ur::rc;

// Calls `operation` of the plug-in `pluginId` selects with the arguments as given. A success
// code of the plug-in (warnings included) is passed on unchanged; a failure is logged under
// the operation's name and reported as rc::Fail.
template <typename Operation, typename... Args>
unsigned int CallPlugin(unsigned long long pluginId, Operation operation,
                        const char* operationName, Args&&... args) {
  ZelPlugin* plugin = PluginById(pluginId);
  if (!plugin) return rc::InvalidArg(1);
  const unsigned int result = (plugin->*operation)(std::forward<Args>(args)...);
  if (!ur::Failed(result)) return result;
  ur::LogFunctionFailed(QStringLiteral("ZelPlugin::%1()").arg(QLatin1String(operationName)),
                        result);
  return rc::Fail;
}

}  // namespace

unsigned int Convert16ToZel16(unsigned long long pluginId, const SxImageBuf& source,
                              SxImageBuf& destination, const unsigned short* mapping0,
                              const unsigned short* mapping1, const unsigned short* mapping2) {
  return CallPlugin(pluginId, &ZelPlugin::convertToZel16, "convertToZel16", source, destination,
                    mapping0, mapping1, mapping2);
}

unsigned int Convert16ToZel8(unsigned long long pluginId, const SxImageBuf& source,
                             SxImageBuf& destination, const unsigned short* mapping0,
                             const unsigned short* mapping1, const unsigned short* mapping2,
                             unsigned short max0, unsigned short max1, unsigned short max2,
                             ZelChannelNormalization normalization) {
  return CallPlugin(pluginId, &ZelPlugin::convertToZel8, "convertToZel8", source, destination,
                    mapping0, mapping1, mapping2, max0, max1, max2, normalization);
}

unsigned int Convert8ToZel8(unsigned long long pluginId, const SxImageBuf& source,
                            SxImageBuf& destination, const unsigned short* mapping0,
                            const unsigned short* mapping1, const unsigned short* mapping2,
                            unsigned char max0, unsigned char max1, unsigned char max2,
                            ZelChannelNormalization normalization) {
  return CallPlugin(pluginId, &ZelPlugin::convert8ToZel8, "convert8ToZel8", source, destination,
                    mapping0, mapping1, mapping2, max0, max1, max2, normalization);
}

unsigned int ConvertRawPlanar16ToRawPlanar16Zel(unsigned long long pluginId,
                                                const SxImageBuf& source, SxImageBuf& destination,
                                                const unsigned short* mapping0,
                                                const unsigned short* mapping1,
                                                const unsigned short* mapping2,
                                                const unsigned short* mapping3) {
  return CallPlugin(pluginId, &ZelPlugin::convertRawPlanar16ToRawPlanar16Zel,
                    "convertRawPlanar16ToRawPlanar16Zel", source, destination, mapping0, mapping1,
                    mapping2, mapping3);
}

unsigned int ConvertRawPlanar16ToRawPlanar8Zel(unsigned long long pluginId,
                                               const SxImageBuf& source, SxImageBuf& destination,
                                               const unsigned short* mapping0,
                                               const unsigned short* mapping1,
                                               const unsigned short* mapping2,
                                               const unsigned short* mapping3) {
  return CallPlugin(pluginId, &ZelPlugin::convertRawPlanar16ToRawPlanar8Zel,
                    "convertRawPlanar16ToRawPlanar8Zel", source, destination, mapping0, mapping1,
                    mapping2, mapping3);
}

unsigned int ConvertRawPlanar8ToRawPlanar8Zel(unsigned long long pluginId,
                                              const SxImageBuf& source, SxImageBuf& destination,
                                              const unsigned short* mapping0,
                                              const unsigned short* mapping1,
                                              const unsigned short* mapping2,
                                              const unsigned short* mapping3) {
  return CallPlugin(pluginId, &ZelPlugin::convertRawPlanar8ToRawPlanar8Zel,
                    "convertRawPlanar8ToRawPlanar8Zel", source, destination, mapping0, mapping1,
                    mapping2, mapping3);
}

}  // namespace urs::zel
