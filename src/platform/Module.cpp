#include "platform/Module.h"

#include <utility>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#endif

namespace platform {

Module& Module::operator=(Module&& other) noexcept {
  if (this != &other) {
    Free();
    handle_ = other.Release();
  }
  return *this;
}

void Module::Free() noexcept {
  UnloadModule(handle_);
  handle_ = nullptr;
}

ModuleHandle Module::Release() noexcept { return std::exchange(handle_, nullptr); }

namespace {

std::string FolderOf(const std::string& file) {
  auto cut = file.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : file.substr(0, cut + 1);
}

}  // namespace

#if defined(_WIN32)

ModuleHandle LoadModuleFile(const std::string& path, bool alteredSearchPath) noexcept {
  if (path.empty()) return nullptr;
  // We run inside someone else's process: a broken module must not bring up a
  // system error box.
  DWORD oldMode = 0;
  BOOL quiet = SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
  HMODULE module =
      LoadLibraryExA(path.c_str(), nullptr, alteredSearchPath ? LOAD_WITH_ALTERED_SEARCH_PATH : 0);
  if (quiet) SetThreadErrorMode(oldMode, nullptr);
  return module;
}

void* ModuleSymbol(ModuleHandle module, const char* name) noexcept {
  if (!module || !name) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void UnloadModule(ModuleHandle module) noexcept {
  if (module) FreeLibrary(static_cast<HMODULE>(module));
}

std::string ModuleFolder(const void* addressInsideModule) {
  HMODULE module = nullptr;
  if (!addressInsideModule ||
      !GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          static_cast<LPCSTR>(addressInsideModule), &module)) {
    return {};
  }
  // Paths may exceed MAX_PATH; a full buffer means the name was cut.
  std::string file(MAX_PATH, '\0');
  for (;;) {
    DWORD n = GetModuleFileNameA(module, file.data(), DWORD(file.size()));
    if (n == 0) return {};
    if (n < file.size()) {
      file.resize(n);
      return FolderOf(file);
    }
    if (file.size() >= 32768) return {};
    file.resize(file.size() * 2);
  }
}

#else

namespace {

// Module names are written the Windows way ("folder\\vexlo.dll").
std::string NativeModulePath(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  auto endsWithDll = [&] {
    if (native.size() < 4) return false;
    const char* tail = native.c_str() + native.size() - 4;
    return tail[0] == '.' && std::tolower(uint8_t(tail[1])) == 'd' &&
           std::tolower(uint8_t(tail[2])) == 'l' && std::tolower(uint8_t(tail[3])) == 'l';
  };
  if (endsWithDll()) native.replace(native.size() - 4, 4, ".so");
  return native;
}

std::string ExecutablePath() {
  std::string file(4096, '\0');
  ssize_t n = readlink("/proc/self/exe", file.data(), file.size());
  if (n <= 0 || size_t(n) >= file.size()) return {};
  file.resize(size_t(n));
  return file;
}

}  // namespace

// The altered search path needs no counterpart: a dlopen'ed library finds its own
// dependencies through its run path.
ModuleHandle LoadModuleFile(const std::string& path, bool /*alteredSearchPath*/) noexcept {
  if (path.empty()) return nullptr;
  try {
    return dlopen(NativeModulePath(path).c_str(), RTLD_NOW | RTLD_LOCAL);
  } catch (...) {
    return nullptr;  // out of memory while building the name
  }
}

void* ModuleSymbol(ModuleHandle module, const char* name) noexcept {
  if (!module || !name) return nullptr;
  return dlsym(module, name);
}

void UnloadModule(ModuleHandle module) noexcept {
  if (module) dlclose(module);
}

std::string ModuleFolder(const void* addressInsideModule) {
  Dl_info info{};
  link_map* map = nullptr;
  if (!addressInsideModule ||
      !dladdr1(addressInsideModule, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP)) {
    return {};
  }
  // The main program has no name of its own in the loader's list.
  if (map && map->l_name && map->l_name[0] != '\0') return FolderOf(map->l_name);
  return FolderOf(ExecutablePath());
}

#endif

}  // namespace platform
