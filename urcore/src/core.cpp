#include "framework_plugins.h"

#include <ur/core.h>
#include <ur/format_manager.h>
#include <ur/rtti.h>

#include <atomic>

namespace ur {

namespace {
std::atomic<bool> g_initialized{false};
}

bool InitCore(bool loadPlugins) {
  if (g_initialized.exchange(true)) return true;
  CxRtti::instance();  // registers the framework's own classes
  if (loadPlugins) LoadFormatPlugins();
  return true;
}

void FinishCore() {
  if (!g_initialized.exchange(false)) return;
  detail::FinalizeFormatPlugins();
}

bool IsCoreInitialized() { return g_initialized.load(); }

}  // namespace ur
