#include "platform/FaultInjection.h"

namespace platform {
namespace {
FaultHook& Hook() {
  static FaultHook hook;
  return hook;
}
}  // namespace

void SetFaultHook(FaultHook hook) {
  Hook() = std::move(hook);
}

bool FaultHookSet() {
  return static_cast<bool>(Hook());
}

int InjectedFault(std::string_view operation, const std::string& path) {
  const FaultHook& hook = Hook();
  return hook ? hook(operation, path) : 0;
}

}  // namespace platform
