#include "viewer/win32/Skin.h"

#include <windows.h>

#include "formats/StdioFileStream.h"
#include "image/Film.h"
#include "platform/Module.h"
#include "platform/Text.h"
#include "runtime/EnumFiles.h"

namespace viewer {

namespace {

class SkinFiles final : public glib::EnumFiles {
 public:
  SkinFiles(const std::u16string& mask, std::vector<std::string>& names)
      : EnumFiles(mask, false), names_(names) {}

 protected:
  bool OnFile(const FoundFile& file) override {
    const size_t slash = file.path.find_last_of("\\/");
    names_.push_back(slash == std::string::npos ? file.path : file.path.substr(slash + 1));
    return true;
  }

 private:
  std::vector<std::string>& names_;
};

// The whole file, or nothing when it cannot be read or is too big for a skin.
std::vector<uint8_t> ReadBounded(const std::u16string& path, uint64_t limit) {
  VStdioFileStream file;
  if (!file.Open(path.c_str(), u"rb")) return {};
  const int64_t size = file.Size();
  if (size <= 0 || uint64_t(size) > limit) return {};
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (file.Read(bytes.data(), 1, bytes.size()) != bytes.size()) return {};
  return bytes;
}

}  // namespace

CSkin::CSkin() {
  folder_ = platform::Utf16FromNarrow(
      platform::ModuleFolder(reinterpret_cast<const void*>(&ReadBounded)));
  LoadClassic();
}

CSkin::~CSkin() = default;

void CSkin::Enumerate() {
  names_.clear();
  SkinFiles(folder_ + u"*.skin", names_).Execute();
}

bool CSkin::LoadByName(std::string_view name) {
  for (size_t i = 0; i < names_.size(); ++i) {
    if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, names_[i].data(), int(names_[i].size()),
                       name.data(), int(name.size())) == CSTR_EQUAL)
      return LoadByIndex(int(i));
  }
  return LoadByIndex(-1);
}

bool CSkin::LoadByIndex(int index) {
  if (index < -1 || index >= int(names_.size())) index = -1;
  if (index == index_) return true;
  index_ = index;
  bitmap_.reset();
  if (index_ == -1) {
    LoadClassic();
    return true;
  }
  if (ReadSkinFile(folder_ + platform::Utf16FromNarrow(names_[size_t(index_)]))) return true;
  index_ = -1;
  bitmap_.reset();
  LoadClassic();
  return false;
}

bool CSkin::ReadSkinFile(const std::u16string& path) {
  const std::vector<uint8_t> bytes = ReadBounded(path, kMaxFileBytes);
  const std::optional<std::string_view> text = SkinDescriptionText(bytes);
  if (!text) return false;
  skin_ = ParseSkinDescription(*text);
  auto film = std::make_unique<glib::Film>();
  if (film->LoadW(path.c_str(), glib::kFormatNone, nullptr) != glib::RCOK) return false;
  bitmap_ = std::move(film);
  return true;
}

void CSkin::LoadClassic() {
  auto colour = [](int id) { return uint32_t(GetSysColor(id)); };
  skin_ = ClassicSkin(colour(COLOR_BTNFACE), colour(COLOR_WINDOWTEXT), colour(COLOR_CAPTIONTEXT));
}

std::string CSkin::CurrentName() const { return index_ == -1 ? "*" : names_[size_t(index_)]; }

bool CSkin::IsCurrent(uint32_t menuId) const {
  if (menuId == kClassicId) return index_ == -1;
  return index_ != -1 && menuId == kFirstSkinId + uint32_t(index_);
}

glib::Film* CSkin::Bitmap() const { return bitmap_.get(); }

}  // namespace viewer
