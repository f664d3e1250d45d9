#pragma once
// Start and stop of the image core.

#include <ur/urcore_export.h>

namespace ur {

// Prepares the image core for use; with loadPlugins the framework's format plug-ins are loaded
// as well. Call after the application object exists. Returns true; a second call does nothing.
URCORE_EXPORT bool InitCore(bool loadPlugins);

// Releases what InitCore set up. Call once after the event loop has ended.
URCORE_EXPORT void FinishCore();

// True between InitCore and FinishCore.
URCORE_EXPORT bool IsCoreInitialized();

}  // namespace ur
