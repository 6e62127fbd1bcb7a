#include "host/RegistryProfileStore.h"

#include <algorithm>
#include <memory>
#include <type_traits>

namespace host {
namespace {

struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

}  // namespace

std::optional<std::vector<uint8_t>> RegistryProfileStore::Query(std::string_view name,
                                                                DWORD expectedType) const {
  HKEY raw = nullptr;
  if (RegOpenKeyExA(root_, keyPath_.c_str(), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  UniqueKey key(raw);
  std::string valueName(name);
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size) !=
          ERROR_SUCCESS ||
      type != expectedType || size > kMaxProfileValueSize) {
    return std::nullopt;
  }
  // Another process may change the value in between; a grown value then reads as missing.
  std::vector<uint8_t> data(size);
  if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, data.data(), &size) !=
          ERROR_SUCCESS ||
      type != expectedType) {
    return std::nullopt;
  }
  data.resize(std::min<size_t>(size, data.size()));
  return data;
}

bool RegistryProfileStore::Store(std::string_view name, DWORD type, const void* data, size_t size) {
  if (size > kMaxProfileValueSize) return false;
  HKEY raw = nullptr;
  if (RegCreateKeyExA(root_, keyPath_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  UniqueKey key(raw);
  return RegSetValueExA(key.get(), std::string(name).c_str(), 0, type,
                        static_cast<const BYTE*>(data), DWORD(size)) == ERROR_SUCCESS;
}

std::string RegistryProfileStore::GetString(std::string_view name,
                                            std::string_view fallback) const {
  std::optional<std::vector<uint8_t>> data = Query(name, REG_SZ);
  if (!data) return std::string(fallback);
  // The stored terminator is not guaranteed; the text ends at the first NUL if any.
  auto end = std::find(data->begin(), data->end(), uint8_t(0));
  return std::string(data->begin(), end);
}

int32_t RegistryProfileStore::GetInt(std::string_view name, int32_t fallback) const {
  std::optional<std::vector<uint8_t>> data = Query(name, REG_DWORD);
  if (!data || data->size() != sizeof(DWORD)) return fallback;
  DWORD value = 0;
  std::copy(data->begin(), data->end(), reinterpret_cast<uint8_t*>(&value));
  return int32_t(value);
}

std::optional<std::vector<uint8_t>> RegistryProfileStore::GetBinary(std::string_view name) const {
  return Query(name, REG_BINARY);
}

bool RegistryProfileStore::SetString(std::string_view name, std::string_view value) {
  std::string text(value);
  return Store(name, REG_SZ, text.c_str(), text.size() + 1);
}

bool RegistryProfileStore::SetInt(std::string_view name, int32_t value) {
  DWORD dword = DWORD(value);
  return Store(name, REG_DWORD, &dword, sizeof dword);
}

bool RegistryProfileStore::SetBinary(std::string_view name, std::span<const uint8_t> bytes) {
  return Store(name, REG_BINARY, bytes.data(), bytes.size());
}

}  // namespace host
