#include "host/ProfileStore.h"

#include "host/IniFile.h"

namespace host {
namespace {

constexpr std::string_view kSection = "Settings";

IniFile ReadProfile(const std::string& path) {
  IniFile ini;
  ini.Load(path, true);
  return ini;
}

// A value of another type would not be replaced by a setter; a fresh item always is.
template <class Store>
bool Update(const std::string& path, std::string_view name, Store store) {
  IniFile ini = ReadProfile(path);
  ini.RemoveItem(kSection, name);
  store(ini);
  return ini.Save(path, true);
}

}  // namespace

// Strings are kept as byte blocks too: a quoted value cannot hold a comma, and
// paths often do.
std::string IniProfileStore::GetString(std::string_view name, std::string_view fallback) const {
  std::optional<std::vector<uint8_t>> bytes = GetBinary(name);
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string(fallback);
}

int32_t IniProfileStore::GetInt(std::string_view name, int32_t fallback) const {
  return ReadProfile(path_).GetInt(kSection, name, 0, fallback);
}

std::optional<std::vector<uint8_t>> IniProfileStore::GetBinary(std::string_view name) const {
  IniFile ini = ReadProfile(path_);
  const IniItem* item = ini.FindItem(kSection, name);
  if (!item || item->values.empty() || item->values[0].type != IniValueType::kString) {
    return std::nullopt;
  }
  return ini.GetBinary(kSection, name, 0, {});
}

bool IniProfileStore::SetString(std::string_view name, std::string_view value) {
  return SetBinary(name, {reinterpret_cast<const uint8_t*>(value.data()), value.size()});
}

bool IniProfileStore::SetInt(std::string_view name, int32_t value) {
  return Update(path_, name, [&](IniFile& ini) { ini.SetInt(kSection, name, 0, value, true); });
}

bool IniProfileStore::SetBinary(std::string_view name, std::span<const uint8_t> bytes) {
  if (bytes.size() > kMaxProfileValueSize) return false;
  return Update(path_, name, [&](IniFile& ini) {
    ini.SetBinary(kSection, name, 0, bytes.data(), bytes.size());
  });
}

StartupName LastOpenedImage(const ProfileStore& profile) {
  StartupName name;
  name.narrow = profile.GetString(kLastOpenedImage, "");
  if (auto bytes = profile.GetBinary(kLastOpenedImageW)) {
    for (size_t i = 0; i + 1 < bytes->size(); i += 2) {
      char16_t c = char16_t((*bytes)[i] | ((*bytes)[i + 1] << 8));
      if (c == 0) break;
      name.wide += c;
    }
  }
  return name;
}

void RecordLastOpenedImage(ProfileStore& profile, std::string_view narrow,
                           std::optional<std::u16string_view> wide) {
  profile.SetString(kLastOpenedImage, narrow);
  if (!wide) return;
  std::vector<uint8_t> bytes;
  bytes.reserve((wide->size() + 1) * 2);
  for (char16_t c : *wide) {
    bytes.push_back(uint8_t(c & 0xFF));
    bytes.push_back(uint8_t(c >> 8));
  }
  bytes.insert(bytes.end(), {0, 0});
  profile.SetBinary(kLastOpenedImageW, bytes);
}

void ForgetLastOpenedImage(ProfileStore& profile) {
  profile.SetString(kLastOpenedImage, "");
  const uint8_t zero[2] = {0, 0};
  profile.SetBinary(kLastOpenedImageW, zero);
}

}  // namespace host
