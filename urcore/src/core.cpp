#include <ur/core.h>

#include <atomic>

namespace ur {

namespace {
std::atomic<bool> g_initialized{false};
}

bool InitCore(bool /*loadPlugins*/) {
  g_initialized.store(true);
  return true;
}

void FinishCore() { g_initialized.store(false); }

bool IsCoreInitialized() { return g_initialized.load(); }

}  // namespace ur
