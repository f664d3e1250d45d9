#pragma once
// The desktop program from start to end: identity, settings, the image core, the conversion
// plug-ins, the style, the dialog and the event loop, and the shut-down in reverse.

namespace urs::zel {

// Returns the event loop's exit code, or -1 when no conversion plug-in is found beside the
// executable (then nothing is saved).
int RunZelApp(int& argc, char** argv);

}  // namespace urs::zel
