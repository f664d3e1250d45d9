#pragma once
// The conversion library's version.

#include <zel/zel_api_export.h>

#include <QString>

namespace urs::zel {

// Sets major, minor and build; text is left as the caller passed it.
ZEL_API_EXPORT void Version(int& major, int& minor, int& build, QString& text);
// "<major>.<minor>.<build> (64bit)".
ZEL_API_EXPORT QString VersionString();

}  // namespace urs::zel
