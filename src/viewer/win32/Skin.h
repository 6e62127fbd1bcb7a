// CSkin: the skin files beside the library, the loaded one's description and bitmap,
// and the classic look when none is loaded or loading failed.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "viewer/SkinDescription.h"

namespace glib {
class Film;
}

namespace viewer {

class CSkin {
 public:
  // Menu identifiers of the skins menu: the classic look, then one per skin file.
  static constexpr uint32_t kClassicId = 3100;
  static constexpr uint32_t kFirstSkinId = 3101;
  static constexpr uint32_t kLastId = 3200;
  // Skin files bigger than this are not read.
  static constexpr uint64_t kMaxFileBytes = uint64_t(32) << 20;

  CSkin();
  ~CSkin();
  CSkin(const CSkin&) = delete;
  CSkin& operator=(const CSkin&) = delete;

  // Lists the "*.skin" files in the library's folder (names only).
  void Enumerate();
  // The folder searched, with its separator; tests and the host may point elsewhere.
  void SetFolder(std::u16string folder) { folder_ = std::move(folder); }
  const std::vector<std::string>& Names() const { return names_; }

  // An unknown name or index -1 loads the classic look; false when a skin was asked
  // for and the classic look had to be used instead.
  bool LoadByName(std::string_view name);
  bool LoadByIndex(int index);

  bool Active() const { return index_ != -1; }
  int Index() const { return index_; }
  // The loaded skin's file name, or "*" without one.
  std::string CurrentName() const;
  bool IsCurrent(uint32_t menuId) const;

  const SkinDescription& Description() const { return skin_; }
  const Rect& Button(int button, int look) const { return skin_.Button(button, look); }
  const Rect& Named(int id) const { return skin_.Named(id); }
  uint32_t Colour(int id) const { return skin_.colours[id]; }
  // Null without a skin.
  glib::Film* Bitmap() const;

 private:
  bool ReadSkinFile(const std::u16string& path);
  void LoadClassic();

  std::u16string folder_;
  std::vector<std::string> names_;
  int index_ = -1;
  SkinDescription skin_;
  std::unique_ptr<glib::Film> bitmap_;
};

}  // namespace viewer
