#pragma once
// The format plug-ins loaded into this process (see LoadFormatPlugins in ur/format_manager.h).

namespace ur::detail {

// Loads the plug-ins of the executable's folder unless LoadFormatPlugins has already been
// called, so that programs that never call InitCore still find TIFF and PNG.
void EnsureFormatPluginsLoaded();

// Calls finalize() on every plug-in loaded so far (once each).
void FinalizeFormatPlugins();

}  // namespace ur::detail
