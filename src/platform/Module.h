// Dynamic modules (format filters, the colour-effect module) loaded at run time.
// Natively a name ending in ".dll" loads the ".so" of the same name, so plug-in
// names stay the same on every platform.
#pragma once

#include <string>

namespace platform {

// An HMODULE on Windows, a dlopen handle elsewhere; null means no module.
using ModuleHandle = void*;

// Raw operations for records that keep module handles themselves. All are
// noexcept and give null on failure; no error box is shown.
ModuleHandle LoadModuleFile(const std::string& path, bool alteredSearchPath) noexcept;
void* ModuleSymbol(ModuleHandle module, const char* name) noexcept;
void UnloadModule(ModuleHandle module) noexcept;

// Owns one reference to a loaded module.
class Module {
 public:
  Module() = default;
  explicit Module(ModuleHandle adopted) noexcept : handle_(adopted) {}
  ~Module() { Free(); }
  Module(Module&& other) noexcept : handle_(other.Release()) {}
  Module& operator=(Module&& other) noexcept;
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  // alteredSearchPath: the module's own folder is searched first for the modules
  // it depends on (path must then be absolute); otherwise the system search order.
  static Module Load(const std::string& path, bool alteredSearchPath) {
    return Module(LoadModuleFile(path, alteredSearchPath));
  }

  void* Symbol(const char* name) const noexcept { return ModuleSymbol(handle_, name); }
  void Free() noexcept;
  ModuleHandle Release() noexcept;
  ModuleHandle Handle() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != nullptr; }

 private:
  ModuleHandle handle_ = nullptr;
};

// Folder, with its trailing separator, of the module (library or program) that
// contains the address; empty when the address belongs to no module.
std::string ModuleFolder(const void* addressInsideModule);

}  // namespace platform
