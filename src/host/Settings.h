// The viewer's settings: every key of [Settings] in one table that drives reading,
// writing, the construction values and the tests, and the store that finds the
// file, follows "Inipath", and writes everything back on exit.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "host/Accelerator.h"
#include "host/IniFile.h"
#include "host/Placement.h"

namespace host {

inline constexpr std::string_view kSettingsSection = "Settings";
inline constexpr std::string_view kAboutSection = "About";
inline constexpr std::string_view kIniFileName = "Orbisk.ini";
// "Inipath" and "Skin" values that mean none.
inline constexpr std::string_view kNoIniPath = "?";
inline constexpr std::string_view kNoSkin = "*";
constexpr int kMaxRecentFiles = 16;

// "Pos": the normal window rectangle, and 1 when the window was maximised.
struct WindowPos {
  Rect rect{-1, -1, -1, -1};
  int32_t maximized = 0;
};

// The information list's collapsed flags, one byte per group (non-zero: collapsed).
using CollapsedGroups = std::array<uint8_t, 256>;

struct Settings {
  // Sets the construction values of the key table: what applies when no settings
  // file can be read.
  Settings();

  std::string iniPath;  // read only, never written
  std::string skin;     // the name written back; see SkinToLoad
  int32_t backgroundColor{};
  double zoomCur{};
  int32_t view{};
  double zoomStep{};
  bool autoLoadLastImage{};
  bool renderingFast{};
  int32_t infoPanelWidth{};
  CollapsedGroups collapsedGroups{};
  bool showInfo{};
  bool showMenuBar{};
  bool showToolBar{};
  bool showScrollBars{};
  bool showStatusBar{};
  double angle{};
  int32_t interpolate{};
  int32_t scaleType{};
  bool scaleProportional{};
  bool dcdUseDithering{};
  bool dcdGrayscale{};
  int32_t showAlphaChannel{};
  bool isTopmostWindow{};
  bool askDeletingFile{};
  bool askDirectoryBound{};
  bool askCloseUpdatedImage{};
  bool hideMouseCursor{};
  int32_t profileUsing{};
  int32_t timeoutSlideshow{};
  bool sendToRecycleBin{};
  bool saveExif{};
  bool saveIptc{};
  bool randomImageOrder{};
  bool setFullScreenOnSlideShow{};
  bool resampleByResolution{};
  int32_t sortFileType{};
  int32_t imageResolution{};
  bool notifyAboutError{};
  bool singleEscToExit{};
  bool recurseSubDir{};
  bool startViewInFullscreen{};
  bool askAboutMissingPlugin{};
  bool disableImageAnimation{};
  bool fastRawInterpolation{};
  int32_t whiteBalanceType{};
  bool allowOnly1CopyAtATime{};
  bool bps16{};
  std::array<int32_t, 4> loadLimit{};
  std::array<int32_t, 2> thSize{};
  bool pageByPageMode{};
  bool detailedMetaInfo{};
  WindowPos pos;
  // "MRUD0" to "MRUD15", newest first.
  std::vector<std::string> recentFiles;
};

// The skin to load: none in quick view, whatever the file says. The name read
// stays in `skin` and is what gets written back.
std::string SkinToLoad(const Settings& settings, bool quickView);

// How a key is stored. Booleans are hexadecimal 0 or 1 and read any non-zero value
// as on; kPackedBytes is a byte block holding the PackBits-packed group flags.
enum class SettingForm : uint8_t { kString, kHex, kDecimal, kBool, kFloat, kPackedBytes };

using SettingRef = std::variant<std::string*, int32_t*, bool*, double*, CollapsedGroups*>;

struct SettingKey {
  std::string_view key;
  int item = 0;
  SettingForm form = SettingForm::kHex;
  double defaultValue = 0;
  std::string_view defaultText;
  // Set only where the viewer starts from something else than the default.
  std::optional<double> constructionValue;
  // Numbers outside the range (and floats that are not finite) read as the default.
  double minValue = -1e300;
  double maxValue = 1e300;
  SettingRef (*field)(Settings&) = nullptr;
  bool readOnly = false;
};

// Every key in the order in which it is read.
std::span<const SettingKey> SettingKeys();

// Reads every key of the table but "Inipath", and the recent files.
void ReadSettingKeys(const IniFile& ini, Settings& settings);
// Writes "Skin", "BackgroundColor", "View", "ZoomCur", "ZoomStep", "Pos", then the
// other keys in table order.
void WriteSettingKeys(IniFile& ini, const Settings& settings);
// Newest first, without exact duplicates, at most 16; entries left over from a
// longer list are removed.
void WriteRecentFiles(IniFile& ini, const std::vector<std::string>& recentFiles);

// [About], shown by the About box only.
struct AboutInfo {
  // The library's own version numbers.
  AboutInfo();

  std::array<int32_t, 3> version;
  int32_t build;
  std::string support;
  std::string message;
};

AboutInfo ReadAbout(const IniFile& ini);
void WriteAbout(IniFile& ini, const AboutInfo& about);

class SettingsStore {
 public:
  // Loads the file at defaultPath (taken literally) and, when its "Inipath" names
  // another file, that file instead; a relative "Inipath" is taken from the folder
  // of the file that names it. Returns false when no file could be read: settings
  // keep their values except the view mode, which becomes 5 (best fit). The path
  // written to is defaultPath then, so a redirection to a missing file is never
  // created and the file that names it keeps its "Inipath".
  bool Read(std::string_view defaultPath, Settings& settings);

  // Merges the shortcut records into the table; nothing when Read failed.
  void ReadShortcuts(std::vector<AccelEntry>& table) const;
  // [About]; the library's values when Read failed.
  AboutInfo ReadAbout() const;

  // Writes the settings, the shortcut records of the table and [About] into the
  // content read, and saves it to Path(). False when nothing could be written.
  bool Write(const Settings& settings, std::span<const AccelEntry> table, const AboutInfo& about);

  // The file written to; empty before Read.
  const std::string& Path() const { return path_; }
  bool FileWasRead() const { return fileRead_; }

 private:
  IniFile ini_;
  std::string path_;
  bool fileRead_ = false;
};

}  // namespace host
