// The profile values in the registry (Windows only).
#pragma once

#include <windows.h>

#include <string>

#include "host/ProfileStore.h"

namespace host {

// Values of the key `keyPath` under `root`, created when first written. Strings are
// REG_SZ, integers REG_DWORD, byte blocks REG_BINARY; a value of another type, or
// larger than kMaxProfileValueSize, reads as missing.
class RegistryProfileStore final : public ProfileStore {
 public:
  RegistryProfileStore(HKEY root, std::string keyPath)
      : root_(root), keyPath_(std::move(keyPath)) {}

  std::string GetString(std::string_view name, std::string_view fallback) const override;
  int32_t GetInt(std::string_view name, int32_t fallback) const override;
  std::optional<std::vector<uint8_t>> GetBinary(std::string_view name) const override;
  bool SetString(std::string_view name, std::string_view value) override;
  bool SetInt(std::string_view name, int32_t value) override;
  bool SetBinary(std::string_view name, std::span<const uint8_t> bytes) override;

 private:
  std::optional<std::vector<uint8_t>> Query(std::string_view name, DWORD expectedType) const;
  bool Store(std::string_view name, DWORD type, const void* data, size_t size);

  HKEY root_;
  std::string keyPath_;
};

}  // namespace host
