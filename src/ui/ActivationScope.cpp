#include "ui/ActivationScope.h"

#include <mutex>

#include "ui/Window.h"

namespace ui {
namespace {

std::mutex contextLock;
HANDLE context = INVALID_HANDLE_VALUE;
bool contextTried = false;

// The manifest with resource id 2 is the one a library keeps for itself.
HANDLE ModuleContext() {
  std::lock_guard lock(contextLock);
  if (!contextTried) {
    contextTried = true;
    ACTCTXW actctx{};
    actctx.cbSize = sizeof actctx;
    actctx.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    actctx.hModule = ThisModule();
    actctx.lpResourceName = MAKEINTRESOURCEW(2);
    context = CreateActCtxW(&actctx);
  }
  return context;
}

}  // namespace

ActivationScope::ActivationScope() {
  HANDLE ctx = ModuleContext();
  if (ctx != INVALID_HANDLE_VALUE) active_ = ActivateActCtx(ctx, &cookie_) != FALSE;
}

ActivationScope::~ActivationScope() {
  if (active_) DeactivateActCtx(0, cookie_);
}

void ActivationScope::Release() {
  std::lock_guard lock(contextLock);
  if (context != INVALID_HANDLE_VALUE) ReleaseActCtx(context);
  context = INVALID_HANDLE_VALUE;
  contextTried = false;
}

}  // namespace ui
