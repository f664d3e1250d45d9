#pragma once
// Result codes of the image core and of the libraries built on it.
// A value below 0x80000000 is a success; callers test only the top bit.

#include <ur/urcore_export.h>

#include <QString>

namespace ur {

using Result = unsigned int;

constexpr Result kFailureBit = 0x80000000u;

constexpr bool Failed(Result r) { return (r & kFailureBit) != 0; }
constexpr bool Succeeded(Result r) { return !Failed(r); }

namespace rc {
constexpr Result Ok = 0u;
constexpr Result OkWithoutRecord = 0x20008000u;  // image written without its ZEL record
constexpr Result Cancelled = 0x20008002u;
constexpr Result Fail = 0xA0000000u;              // generic failure
constexpr Result EmptyRecord = 0xA000000Bu;       // empty ZEL record
constexpr Result InvalidRoi = 0xA000000Du;        // invalid region of interest
constexpr Result InvalidParams = 0xA0000057u;     // invalid parameter record
constexpr Result NoPlugin = 0xA0004301u;          // no conversion plug-in
constexpr Result InvalidPixelList = 0xA0004309u;  // invalid pixel list in a ZEL record
constexpr Result NotZelImage = 0xA000430Au;       // not a ZEL image, bad ZEL record, bad DNG file
constexpr Result Unsupported = 0xA000430Cu;       // unsupported suffix, layout, data type or version

// Invalid arguments are numbered by the position of the offending argument, counted from 1.
constexpr Result kInvalidArgBase = 0xA0004313u;
constexpr Result InvalidArg(int position) { return kInvalidArgBase + unsigned(position - 1); }
}  // namespace rc

// The code as eight lower-case hexadecimal digits, e.g. "a000000d".
URCORE_EXPORT QString ResultToHex(Result code);

// Logs "Function <function> failed. Code 0x<code>" at critical level. With errorPrefix the line
// starts with the items "ERROR" and "|", as the conversion steps report it.
URCORE_EXPORT void LogFunctionFailed(const QString& function, Result code, bool errorPrefix = false);

// Logs "ERROR | <text>" at critical level.
URCORE_EXPORT void LogError(const QString& text);

}  // namespace ur
