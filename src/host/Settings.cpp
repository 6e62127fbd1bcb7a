#include "host/Settings.h"

#include <algorithm>
#include <cmath>

#include "host/PackBits.h"
#include "host/ShortcutRecords.h"
#include "platform/Path.h"

namespace host {
namespace {

using Accessor = SettingRef (*)(Settings&);

template <auto Member>
SettingRef Field(Settings& settings) {
  return &(settings.*Member);
}

template <auto Member, size_t Index>
SettingRef Element(Settings& settings) {
  return &(settings.*Member)[Index];
}

template <int32_t Rect::*Side>
SettingRef PosSide(Settings& settings) {
  return &(settings.pos.rect.*Side);
}

SettingRef PosMaximized(Settings& settings) { return &settings.pos.maximized; }

constexpr SettingKey Key(std::string_view name, SettingForm form, double value, Accessor field,
                         int item = 0) {
  SettingKey key;
  key.key = name;
  key.item = item;
  key.form = form;
  key.defaultValue = value;
  key.field = field;
  return key;
}

constexpr SettingKey Bool(std::string_view name, bool value, Accessor field) {
  return Key(name, SettingForm::kBool, double(value), field);
}

constexpr SettingKey Hex(std::string_view name, double value, Accessor field, int item = 0) {
  return Key(name, SettingForm::kHex, value, field, item);
}

constexpr SettingKey Float(std::string_view name, double value, Accessor field) {
  return Key(name, SettingForm::kFloat, value, field);
}

constexpr SettingKey Text(std::string_view name, std::string_view value, Accessor field) {
  SettingKey key = Key(name, SettingForm::kString, 0, field);
  key.defaultText = value;
  return key;
}

constexpr SettingKey Pos(int item, double value, Accessor field) {
  return Key("Pos", SettingForm::kDecimal, value, field, item);
}

constexpr SettingKey InRange(SettingKey key, double minValue, double maxValue) {
  key.minValue = minValue;
  key.maxValue = maxValue;
  return key;
}

constexpr SettingKey ConstructedAs(SettingKey key, double value) {
  key.constructionValue = value;
  return key;
}

constexpr SettingKey ReadOnly(SettingKey key) {
  key.readOnly = true;
  return key;
}

// Keys that a value out of range would turn into nonsense for the display are
// limited; the others are handed on as they are.
const SettingKey kKeys[] = {
    ReadOnly(Text("Inipath", kNoIniPath, Field<&Settings::iniPath>)),
    Text("Skin", kNoSkin, Field<&Settings::skin>),
    Hex("BackgroundColor", -1, Field<&Settings::backgroundColor>),
    InRange(Float("ZoomCur", 1.0, Field<&Settings::zoomCur>), 1e-4, 1e4),
    InRange(Hex("View", 5, Field<&Settings::view>), 0, 5),
    // Stored as a fraction; the Options page takes 0.05 % to 1000 %.
    InRange(Float("ZoomStep", 0.1, Field<&Settings::zoomStep>), 0.0005, 10),
    Bool("AutoLoadLastImage", true, Field<&Settings::autoLoadLastImage>),
    Bool("RenderingFast", false, Field<&Settings::renderingFast>),
    Hex("InfoPanelWidth", 150, Field<&Settings::infoPanelWidth>),
    Key("InfoPanelWidth", SettingForm::kPackedBytes, 0, Field<&Settings::collapsedGroups>, 1),
    Bool("ShowInfo", true, Field<&Settings::showInfo>),
    Bool("ShowMenuBar", true, Field<&Settings::showMenuBar>),
    Bool("ShowToolBar", true, Field<&Settings::showToolBar>),
    Bool("ShowScrollBars", true, Field<&Settings::showScrollBars>),
    Bool("ShowStatusBar", true, Field<&Settings::showStatusBar>),
    Float("Angle", 90.0, Field<&Settings::angle>),
    Hex("Interpolate", 1, Field<&Settings::interpolate>),
    Hex("ScaleType", 0, Field<&Settings::scaleType>),
    Bool("ScaleProportional", true, Field<&Settings::scaleProportional>),
    Bool("DCD_useDithering", true, Field<&Settings::dcdUseDithering>),
    Bool("DCD_grayscale", false, Field<&Settings::dcdGrayscale>),
    Hex("ShowAlphaChannel", 0, Field<&Settings::showAlphaChannel>),
    Bool("IsTopmostWindow", false, Field<&Settings::isTopmostWindow>),
    Bool("AskDeletingFile", true, Field<&Settings::askDeletingFile>),
    Bool("AskDirectoryBound", true, Field<&Settings::askDirectoryBound>),
    Bool("AskCloseUpdatedImage", true, Field<&Settings::askCloseUpdatedImage>),
    Bool("HideMouseCursor", true, Field<&Settings::hideMouseCursor>),
    Hex("ProfileUsing", 0, Field<&Settings::profileUsing>),
    Hex("Timeout_slideshow", 5000, Field<&Settings::timeoutSlideshow>),
    Bool("SendToRecyleBin", true, Field<&Settings::sendToRecycleBin>),
    Bool("SaveEXIF", true, Field<&Settings::saveExif>),
    Bool("SaveIPTC", true, Field<&Settings::saveIptc>),
    Bool("RandomImageOrder", false, Field<&Settings::randomImageOrder>),
    Bool("SetFullScreenOnSlideShow", true, Field<&Settings::setFullScreenOnSlideShow>),
    Bool("ResampleByResolution", false, Field<&Settings::resampleByResolution>),
    Hex("SortFileType", 0, Field<&Settings::sortFileType>),
    ConstructedAs(Hex("ImageResolution", 0, Field<&Settings::imageResolution>), 1),
    Bool("NotifyAboutError", true, Field<&Settings::notifyAboutError>),
    Bool("SingleESCtoExit", false, Field<&Settings::singleEscToExit>),
    Bool("RecurseSubDir", false, Field<&Settings::recurseSubDir>),
    Bool("StartViewInFullscreen", false, Field<&Settings::startViewInFullscreen>),
    Bool("AskAboutMissingPlugin", true, Field<&Settings::askAboutMissingPlugin>),
    Bool("DisableImageAnimation", false, Field<&Settings::disableImageAnimation>),
    Bool("FastRAWInterpolation", true, Field<&Settings::fastRawInterpolation>),
    Hex("WhiteBalanceType", 1, Field<&Settings::whiteBalanceType>),
    Bool("AllowOnly1CopyAtATime", false, Field<&Settings::allowOnly1CopyAtATime>),
    Bool("Bps16", false, Field<&Settings::bps16>),
    Hex("LoadLimit", 0, Element<&Settings::loadLimit, 0>, 0),
    Hex("LoadLimit", 0, Element<&Settings::loadLimit, 1>, 1),
    Hex("LoadLimit", 0, Element<&Settings::loadLimit, 2>, 2),
    Hex("LoadLimit", 0, Element<&Settings::loadLimit, 3>, 3),
    Hex("ThSize", 0, Element<&Settings::thSize, 0>, 0),
    Hex("ThSize", 0, Element<&Settings::thSize, 1>, 1),
    Bool("PageByPageMode", true, Field<&Settings::pageByPageMode>),
    Bool("DetailedMetaInfo", false, Field<&Settings::detailedMetaInfo>),
    Pos(0, -1, PosSide<&Rect::left>),
    Pos(1, -1, PosSide<&Rect::top>),
    Pos(2, -1, PosSide<&Rect::right>),
    Pos(3, -1, PosSide<&Rect::bottom>),
    Pos(4, 0, PosMaximized),
};

// Written before the rest, in this order.
constexpr std::string_view kWrittenFirst[] = {"Skin",    "BackgroundColor", "View",
                                              "ZoomCur", "ZoomStep",        "Pos"};

std::string RecentName(int n) { return "MRUD" + std::to_string(n); }

// The value of a missing recent-file key; it also ends the list.
constexpr std::string_view kNoRecentFile = "*";

void SetValue(const SettingKey& key, Settings& settings, double number, std::string_view text) {
  SettingRef ref = key.field(settings);
  if (auto* s = std::get_if<std::string*>(&ref)) **s = text;
  if (auto* i = std::get_if<int32_t*>(&ref)) **i = int32_t(number);
  if (auto* b = std::get_if<bool*>(&ref)) **b = number != 0;
  if (auto* d = std::get_if<double*>(&ref)) **d = number;
  if (auto* g = std::get_if<CollapsedGroups*>(&ref)) (*g)->fill(0);
}

void ReadKey(const IniFile& ini, const SettingKey& key, Settings& settings) {
  auto inRange = [&](double v) { return v >= key.minValue && v <= key.maxValue; };
  switch (key.form) {
    case SettingForm::kString:
      SetValue(key, settings, 0,
               ini.GetString(kSettingsSection, key.key, key.item, key.defaultText));
      return;
    case SettingForm::kHex:
    case SettingForm::kDecimal:
    case SettingForm::kBool: {
      double v = ini.GetInt(kSettingsSection, key.key, key.item, int32_t(key.defaultValue));
      SetValue(key, settings, inRange(v) ? v : key.defaultValue, {});
      return;
    }
    case SettingForm::kFloat: {
      double v = ini.GetDouble(kSettingsSection, key.key, key.item, key.defaultValue);
      SetValue(key, settings, std::isfinite(v) && inRange(v) ? v : key.defaultValue, {});
      return;
    }
    case SettingForm::kPackedBytes: {
      // A missing or short block leaves the remaining groups expanded.
      SettingRef ref = key.field(settings);
      if (auto* groups = std::get_if<CollapsedGroups*>(&ref)) {
        (*groups)->fill(0);
        UnpackBits(ini.GetBinary(kSettingsSection, key.key, key.item, {}), **groups);
      }
      return;
    }
  }
}

void WriteKey(IniFile& ini, const SettingKey& key, const Settings& settings) {
  // The accessor only hands out a pointer; nothing is written through it here.
  SettingRef ref = key.field(const_cast<Settings&>(settings));
  std::string_view section = kSettingsSection;
  if (auto* s = std::get_if<std::string*>(&ref)) ini.SetString(section, key.key, key.item, **s);
  if (auto* i = std::get_if<int32_t*>(&ref)) {
    ini.SetInt(section, key.key, key.item, **i, key.form != SettingForm::kDecimal);
  }
  if (auto* b = std::get_if<bool*>(&ref)) ini.SetInt(section, key.key, key.item, **b, true);
  if (auto* d = std::get_if<double*>(&ref)) ini.SetDouble(section, key.key, key.item, **d);
  if (auto* g = std::get_if<CollapsedGroups*>(&ref)) {
    std::vector<uint8_t> packed = PackBits(**g);
    ini.SetBinary(section, key.key, key.item, packed.data(), packed.size());
  }
}

void ReadRecentFiles(const IniFile& ini, std::vector<std::string>& recent) {
  recent.clear();
  for (int n = 0; n < kMaxRecentFiles; ++n) {
    std::string name = ini.GetString(kSettingsSection, RecentName(n), 0, kNoRecentFile);
    if (name == kNoRecentFile) return;
    recent.push_back(std::move(name));
  }
}

// A relative redirection is taken from the folder of the file that holds it.
std::string RedirectTarget(std::string_view holder, std::string_view target) {
  platform::PathParts parts = platform::SplitPath(target);
  bool full = !parts.drive.empty() || target.front() == '/' || target.front() == '\\';
  if (full) return std::string(target);
  platform::PathParts folder = platform::SplitPath(holder);
  return folder.drive + folder.directory + std::string(target);
}

}  // namespace

Settings::Settings() {
  for (const SettingKey& key : kKeys) {
    SetValue(key, *this, key.constructionValue.value_or(key.defaultValue), key.defaultText);
  }
}

std::string SkinToLoad(const Settings& settings, bool quickView) {
  return quickView ? std::string(kNoSkin) : settings.skin;
}

std::span<const SettingKey> SettingKeys() { return kKeys; }

void ReadSettingKeys(const IniFile& ini, Settings& settings) {
  for (const SettingKey& key : kKeys) {
    if (!key.readOnly) ReadKey(ini, key, settings);
  }
  ReadRecentFiles(ini, settings.recentFiles);
}

void WriteSettingKeys(IniFile& ini, const Settings& settings) {
  auto first = [](std::string_view name) {
    return std::find(std::begin(kWrittenFirst), std::end(kWrittenFirst), name) !=
           std::end(kWrittenFirst);
  };
  for (std::string_view name : kWrittenFirst) {
    for (const SettingKey& key : kKeys) {
      if (key.key == name) WriteKey(ini, key, settings);
    }
  }
  for (const SettingKey& key : kKeys) {
    if (!key.readOnly && !first(key.key)) WriteKey(ini, key, settings);
  }
}

void WriteRecentFiles(IniFile& ini, const std::vector<std::string>& recent) {
  std::vector<std::string_view> names;
  for (const std::string& name : recent) {
    if (names.size() == kMaxRecentFiles) break;
    // "*" would end the list when read back.
    if (name.empty() || name == kNoRecentFile) continue;
    if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
  }
  int n = 0;
  for (std::string_view name : names) {
    // A fresh item, so that a value of another type cannot block the update.
    ini.RemoveItem(kSettingsSection, RecentName(n));
    ini.SetString(kSettingsSection, RecentName(n++), 0, name);
  }
  for (; n < kMaxRecentFiles; ++n) ini.RemoveItem(kSettingsSection, RecentName(n));
}

AboutInfo::AboutInfo()
    : version{ORBISK_VERSION_MAJOR, ORBISK_VERSION_MINOR, ORBISK_VERSION_PATCH},
      build(ORBISK_VERSION_BUILD) {}

AboutInfo ReadAbout(const IniFile& ini) {
  AboutInfo about;
  for (int i = 0; i < 3; ++i) {
    about.version[size_t(i)] = ini.GetInt(kAboutSection, "Version", i, about.version[size_t(i)]);
  }
  about.build = ini.GetInt(kAboutSection, "Build", 0, about.build);
  about.support = ini.GetString(kAboutSection, "Support", 0, about.support);
  about.message = ini.GetString(kAboutSection, "Message", 0, about.message);
  return about;
}

void WriteAbout(IniFile& ini, const AboutInfo& about) {
  for (int i = 0; i < 3; ++i) {
    ini.SetInt(kAboutSection, "Version", i, about.version[size_t(i)], true);
  }
  ini.SetInt(kAboutSection, "Build", 0, about.build, true);
  ini.SetString(kAboutSection, "Support", 0, about.support);
  ini.SetString(kAboutSection, "Message", 0, about.message);
}

bool SettingsStore::Read(std::string_view defaultPath, Settings& settings) {
  fileRead_ = false;
  path_ = defaultPath;
  if (!ini_.Load(defaultPath, true)) {
    settings.view = 5;
    return false;
  }
  settings.iniPath = ini_.GetString(kSettingsSection, "Inipath", 0, kNoIniPath);
  if (settings.iniPath != kNoIniPath && !settings.iniPath.empty()) {
    // A failed redirection leaves the first file's content in place: written back
    // on exit, it keeps its "Inipath" for the next start.
    IniFile redirected;
    std::string target = RedirectTarget(defaultPath, settings.iniPath);
    if (!redirected.Load(target, true)) {
      settings.view = 5;
      return false;
    }
    ini_ = std::move(redirected);
    path_ = std::move(target);
  }
  fileRead_ = true;
  ReadSettingKeys(ini_, settings);
  return true;
}

void SettingsStore::ReadShortcuts(std::vector<AccelEntry>& table) const {
  if (fileRead_) ReadShortcutRecords(ini_, table);
}

AboutInfo SettingsStore::ReadAbout() const {
  return fileRead_ ? host::ReadAbout(ini_) : AboutInfo();
}

bool SettingsStore::Write(const Settings& settings, std::span<const AccelEntry> table,
                          const AboutInfo& about) {
  WriteSettingKeys(ini_, settings);
  WriteShortcutRecords(ini_, table);
  WriteRecentFiles(ini_, settings.recentFiles);
  WriteAbout(ini_, about);
  return ini_.Save(path_, true);
}

}  // namespace host
