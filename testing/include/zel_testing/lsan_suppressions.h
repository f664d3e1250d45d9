#pragma once
// Qt's platform plug-ins and font database keep process-lifetime allocations that LeakSanitizer
// would report as leaks at exit; they are not ours. Included by one source of each test or fuzz
// program; the hook is only read by sanitizer builds.

extern "C" __attribute__((used, visibility("default"))) const char*
__lsan_default_suppressions() {
  return "leak:libQt5Core\n"
         "leak:libQt5Gui\n"
         "leak:libQt5Widgets\n"
         "leak:libqoffscreen\n"
         "leak:libfontconfig\n"
         "leak:libglib\n";
}
