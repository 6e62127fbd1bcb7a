#include "host/FileTypeRegistry.h"

#include <shlobj.h>

#include <memory>
#include <optional>
#include <type_traits>

#include "host/RegistryProfileStore.h"

namespace host {
namespace {

constexpr char kClasses[] = "Software\\Classes\\";
constexpr char kPreviousKey[] = "Software\\Quintel\\FileTypes";

struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

std::string ClassKey(std::string_view name) { return kClasses + std::string(name); }

bool KeyExists(const std::string& path) {
  HKEY raw = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS)
    return false;
  RegCloseKey(raw);
  return true;
}

// The key's default value; nothing when the key or the value is missing or not text.
std::optional<std::string> DefaultValue(const std::string& path) {
  HKEY raw = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS)
    return std::nullopt;
  UniqueKey key(raw);
  char buffer[1024] = {};
  DWORD type = 0, size = sizeof buffer - 1;
  if (RegQueryValueExA(key.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                       &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return std::nullopt;
  }
  buffer[std::min<DWORD>(size, sizeof buffer - 1)] = 0;
  return std::string(buffer);
}

bool SetDefault(const std::string& path, const std::string& value) {
  HKEY raw = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  UniqueKey key(raw);
  return RegSetValueExA(key.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        DWORD(value.size() + 1)) == ERROR_SUCCESS;
}

void RemoveDefault(const std::string& path) {
  HKEY raw = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_SET_VALUE, &raw) != ERROR_SUCCESS)
    return;
  RegDeleteValueA(raw, nullptr);
  RegCloseKey(raw);
}

// Deletes the key when nothing is left in it.
void RemoveIfEmpty(const std::string& path) {
  HKEY raw = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return;
  DWORD subKeys = 0, values = 0;
  bool empty = RegQueryInfoKeyA(raw, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values,
                                nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
               subKeys == 0 && values == 0;
  RegCloseKey(raw);
  if (empty) RegDeleteKeyA(HKEY_CURRENT_USER, path.c_str());
}

}  // namespace

FileTypeRegistry::FileTypeRegistry(std::string exePath, std::string icon)
    : exePath_(std::move(exePath)), icon_(std::move(icon)) {}

bool FileTypeRegistry::IsOurs(std::string_view extension) const {
  return DefaultValue(ClassKey("." + std::string(extension))) == ProgIdFor(extension);
}

bool FileTypeRegistry::Associate(const FileType& type) {
  const std::string progId = ProgIdFor(type.extension);
  const std::string extensionKey = ClassKey("." + type.extension);
  RegistryProfileStore kept(HKEY_CURRENT_USER, kPreviousKey);
  if (!IsOurs(type.extension)) {
    // Kept once: a second association must not take our own value for the old one.
    PreviousHandler previous{KeyExists(extensionKey), DefaultValue(extensionKey)};
    if (!kept.SetString(type.extension, EncodePrevious(previous))) return false;
  }
  const std::string progKey = ClassKey(progId);
  bool written = SetDefault(progKey, type.description + " (Orbisk)") &&
                 SetDefault(progKey + "\\DefaultIcon", icon_) &&
                 SetDefault(progKey + "\\shell\\open\\command", OpenCommand(exePath_)) &&
                 SetDefault(extensionKey, progId);
  if (!written) Restore(type.extension);
  return written;
}

void FileTypeRegistry::Restore(std::string_view extension) {
  const std::string name(extension);
  const std::string extensionKey = ClassKey("." + name);
  RegistryProfileStore kept(HKEY_CURRENT_USER, kPreviousKey);
  std::optional<PreviousHandler> previous = DecodePrevious(kept.GetString(name, ""));
  if (IsOurs(extension)) {
    if (previous && previous->handler) {
      SetDefault(extensionKey, *previous->handler);
    } else {
      RemoveDefault(extensionKey);
      if (!previous || !previous->keyExisted) RemoveIfEmpty(extensionKey);
    }
  }
  RegDeleteTreeA(HKEY_CURRENT_USER, ClassKey(ProgIdFor(extension)).c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, ClassKey(ProgIdFor(extension)).c_str());
  HKEY raw = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kPreviousKey, 0, KEY_SET_VALUE, &raw) == ERROR_SUCCESS) {
    RegDeleteValueA(raw, name.c_str());
    RegCloseKey(raw);
  }
  RemoveIfEmpty(kPreviousKey);
}

void FileTypeRegistry::NotifyShell() {
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

}  // namespace host
