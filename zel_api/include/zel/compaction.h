#pragma once
// Compaction of analysed images into ZEL samples. Each operation forwards its arguments unchanged
// to the conversion plug-in chosen by its 1-based id (see plugin.h).
// Codes: InvalidArg(1) for an id that selects no loaded plug-in (nothing is called); the
// plug-in's own code when it succeeds; rc::Fail (after logging "Function ZelPlugin::<op>()
// failed. Code 0x<code>") when it fails.

#include <zel/types.h>
#include <zel/zel_api_export.h>

#include <ur/image_buf.h>

namespace urs::zel {

using ur::SxImageBuf;

ZEL_API_EXPORT unsigned int Convert16ToZel16(unsigned long long pluginId, const SxImageBuf& source,
                                             SxImageBuf& destination,
                                             const unsigned short* mapping0,
                                             const unsigned short* mapping1,
                                             const unsigned short* mapping2);

ZEL_API_EXPORT unsigned int Convert16ToZel8(unsigned long long pluginId, const SxImageBuf& source,
                                            SxImageBuf& destination, const unsigned short* mapping0,
                                            const unsigned short* mapping1,
                                            const unsigned short* mapping2, unsigned short max0,
                                            unsigned short max1, unsigned short max2,
                                            ZelChannelNormalization normalization);

ZEL_API_EXPORT unsigned int Convert8ToZel8(unsigned long long pluginId, const SxImageBuf& source,
                                           SxImageBuf& destination, const unsigned short* mapping0,
                                           const unsigned short* mapping1,
                                           const unsigned short* mapping2, unsigned char max0,
                                           unsigned char max1, unsigned char max2,
                                           ZelChannelNormalization normalization);

ZEL_API_EXPORT unsigned int ConvertRawPlanar16ToRawPlanar16Zel(
    unsigned long long pluginId, const SxImageBuf& source, SxImageBuf& destination,
    const unsigned short* mapping0, const unsigned short* mapping1, const unsigned short* mapping2,
    const unsigned short* mapping3);

ZEL_API_EXPORT unsigned int ConvertRawPlanar16ToRawPlanar8Zel(
    unsigned long long pluginId, const SxImageBuf& source, SxImageBuf& destination,
    const unsigned short* mapping0, const unsigned short* mapping1, const unsigned short* mapping2,
    const unsigned short* mapping3);

ZEL_API_EXPORT unsigned int ConvertRawPlanar8ToRawPlanar8Zel(
    unsigned long long pluginId, const SxImageBuf& source, SxImageBuf& destination,
    const unsigned short* mapping0, const unsigned short* mapping1, const unsigned short* mapping2,
    const unsigned short* mapping3);

}  // namespace urs::zel
