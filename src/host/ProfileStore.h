// The few values kept outside the settings file, shared between processes: the
// last opened image, the file handed over by a second instance, the first-run flag.
// On Windows they live in the current user's registry under "Software\Quintel",
// section "Settings"; elsewhere in an INI file beside the settings file.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace host {

inline constexpr std::string_view kLastOpenedImage = "LastOpenedImage";
inline constexpr std::string_view kLastOpenedImageW = "LastOpenedImageW";
inline constexpr std::string_view kPassImage = "PassImage";
inline constexpr std::string_view kFirstRun = "FirstRun";

// Values larger than this are treated as missing.
constexpr size_t kMaxProfileValueSize = 64 * 1024;

class ProfileStore {
 public:
  virtual ~ProfileStore() = default;

  // A missing value, or one of another kind, gives the fallback.
  virtual std::string GetString(std::string_view name, std::string_view fallback) const = 0;
  virtual int32_t GetInt(std::string_view name, int32_t fallback) const = 0;
  virtual std::optional<std::vector<uint8_t>> GetBinary(std::string_view name) const = 0;

  // False when the value could not be stored.
  virtual bool SetString(std::string_view name, std::string_view value) = 0;
  virtual bool SetInt(std::string_view name, int32_t value) = 0;
  virtual bool SetBinary(std::string_view name, std::span<const uint8_t> bytes) = 0;
};

// Keeps the values in the INI file at `path`, section [Settings], strings and byte
// blocks alike as hexadecimal byte blocks. Every call reads the file afresh and
// every change writes it at once, as other processes share it.
class IniProfileStore final : public ProfileStore {
 public:
  explicit IniProfileStore(std::string path) : path_(std::move(path)) {}

  std::string GetString(std::string_view name, std::string_view fallback) const override;
  int32_t GetInt(std::string_view name, int32_t fallback) const override;
  std::optional<std::vector<uint8_t>> GetBinary(std::string_view name) const override;
  bool SetString(std::string_view name, std::string_view value) override;
  bool SetInt(std::string_view name, int32_t value) override;
  bool SetBinary(std::string_view name, std::span<const uint8_t> bytes) override;

 private:
  std::string path_;
};

// The start-up names taken from the last opened image: the 8-bit path and, when
// one was stored, the UTF-16 path (dropped when its first character is zero).
struct StartupName {
  std::string narrow;
  std::u16string wide;
};
StartupName LastOpenedImage(const ProfileStore& profile);

// Stored after a successful load: the 8-bit path, and the UTF-16 one with its
// terminating zero when the load used one.
void RecordLastOpenedImage(ProfileStore& profile, std::string_view narrow,
                           std::optional<std::u16string_view> wide);
// Stored before a load starts, so a load that never returns is not repeated at the
// next start: an empty name and two zero bytes.
void ForgetLastOpenedImage(ProfileStore& profile);

}  // namespace host
