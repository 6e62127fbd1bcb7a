// Every entry into the library (exports, window procedures reached from the host,
// thread bodies) runs inside the library's own activation context, so that the
// common controls it creates are the version its manifest asks for.
#pragma once

#include <windows.h>

namespace ui {

class ActivationScope {
 public:
  ActivationScope();
  ~ActivationScope();
  ActivationScope(const ActivationScope&) = delete;
  ActivationScope& operator=(const ActivationScope&) = delete;

  // Releases the context at library unload.
  static void Release();

 private:
  ULONG_PTR cookie_ = 0;
  bool active_ = false;
};

}  // namespace ui
