#include "entry/win32/OrbiskApp.h"

#include <windows.h>

#include <mutex>
#include <string>

#include "filters/FilterManager.h"
#include "platform/Module.h"
#include "ui/ActivationScope.h"
#include "ui/Window.h"

namespace entry {
namespace {

std::once_flag initialised;

}  // namespace

COrbiskApp& TheApp() {
  static COrbiskApp app;
  return app;
}

void ConfigureFormatPlugins(glib::FilterManager& manager) {
  std::string folder = platform::ModuleFolder(reinterpret_cast<const void*>(&TheApp));
  manager.Configure(folder.c_str(), "vexlo\nvexpdf");
}

bool COrbiskApp::InitInstance() {
  // The C locale belongs to the process that loaded us; nothing here changes it.
  ConfigureFormatPlugins(glib::FilterManager::Global());
  return true;
}

int COrbiskApp::ExitInstance() {
  ui::Window::UnregisterClasses();
  ui::ActivationScope::Release();
  return 0;
}

void EnsureInitialised() {
  std::call_once(initialised, [] { TheApp().InitInstance(); });
}

}  // namespace entry

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  // At process end (reserved set) the system tears everything down itself.
  if (reason == DLL_PROCESS_DETACH && !reserved) entry::TheApp().ExitInstance();
  return TRUE;
}
