#include "host/Settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/Commands.h"
#include "support/TestSupport.h"

using namespace host;

namespace {

bool Has(const std::string& text, std::string_view line) {
  return text.find("\n" + std::string(line) + "\n") != std::string::npos;
}

const std::vector<AccelEntry> kDefaults(kDefaultAccelerators.begin(), kDefaultAccelerators.end());

// Every field the table drives, changed away from its default.
Settings ChangedSettings() {
  Settings s;
  for (const SettingKey& key : SettingKeys()) {
    SettingRef ref = key.field(s);
    if (auto* text = std::get_if<std::string*>(&ref)) **text = "C:\\skins\\" + std::string(key.key);
    if (auto* i = std::get_if<int32_t*>(&ref)) **i = int32_t(key.defaultValue) == 1 ? 2 : 1;
    if (auto* b = std::get_if<bool*>(&ref)) **b = !**b;
    if (auto* d = std::get_if<double*>(&ref)) **d = key.defaultValue == 1.0 ? 2.5 : 0.75;
    if (auto* g = std::get_if<CollapsedGroups*>(&ref)) (**g)[3] = (**g)[200] = 1;
  }
  s.recentFiles = {"new.jpg", "old.png"};
  return s;
}

void ExpectSameValues(Settings& a, Settings& b) {
  for (const SettingKey& key : SettingKeys()) {
    if (key.readOnly) continue;
    std::visit([&](auto* x) { EXPECT_EQ(*x, *std::get<decltype(x)>(key.field(b))) << key.key; },
               key.field(a));
  }
  EXPECT_EQ(a.recentFiles, b.recentFiles);
}

}  // namespace

TEST(Settings, ConstructionValuesAreTheDefaultsButOne) {
  Settings s;
  EXPECT_EQ(s.skin, "*");
  EXPECT_EQ(s.backgroundColor, -1);
  EXPECT_EQ(s.view, 5);
  EXPECT_DOUBLE_EQ(s.zoomStep, 0.1);
  EXPECT_EQ(s.timeoutSlideshow, 5000);
  EXPECT_EQ(s.pos.rect, (Rect{-1, -1, -1, -1}));
  EXPECT_EQ(s.imageResolution, 1) << "the format's default resolution when nothing was read";
  Settings fromEmptyFile;
  ReadSettingKeys(IniFile(), fromEmptyFile);
  EXPECT_EQ(fromEmptyFile.imageResolution, 0);

  s.skin = "Blue.skin";
  EXPECT_EQ(SkinToLoad(s, false), "Blue.skin");
  EXPECT_EQ(SkinToLoad(s, true), "*") << "no skin in quick view";
}

TEST(Settings, WrittenSettingsReadBackIdentically) {
  Settings written = ChangedSettings();
  IniFile ini;
  WriteSettingKeys(ini, written);
  WriteRecentFiles(ini, written.recentFiles);
  IniFile reread;
  reread.LoadFromMemory(ini.ToText());
  Settings read;
  ReadSettingKeys(reread, read);
  ExpectSameValues(written, read);

  std::string text = ini.ToText();
  EXPECT_TRUE(Has(text, "AutoLoadLastImage=#0")) << text;
  EXPECT_TRUE(Has(text, "RenderingFast=#1"));
  EXPECT_TRUE(Has(text, "Pos=1,1,1,1,1"));
  EXPECT_TRUE(Has(text, "ZoomStep=^0_75"));
  EXPECT_EQ(ini.FindItem("Settings", "Inipath"), nullptr) << "never written";
}

TEST(Settings, AFreshFileIsWrittenInTheFixedKeyOrder) {
  IniFile ini;
  WriteSettingKeys(ini, Settings());
  std::vector<std::string> names;
  for (const IniItem& item : ini.Sections().at(0).items) names.push_back(item.name);
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 8),
            (std::vector<std::string>{"Skin", "BackgroundColor", "View", "ZoomCur", "ZoomStep",
                                      "Pos", "AutoLoadLastImage", "RenderingFast"}));
  EXPECT_EQ(names.back(), "DetailedMetaInfo");
  std::string text = ini.ToText();
  EXPECT_TRUE(Has(text, "Pos=-1,-1,-1,-1,0"));
  EXPECT_TRUE(Has(text, "InfoPanelWidth=#96,\"81008100\""));
  EXPECT_TRUE(Has(text, "LoadLimit=#0,#0,#0,#0"));
}

// The zoom step is kept as a fraction: the Options page's smallest step, 0.05 %, and
// its largest, 1000 %, read back as they were written.
TEST(Settings, ZoomStepsOfTheWholeOptionsRangeReadBack) {
  const std::pair<const char*, double> steps[] = {
      {"^0_0005", 0.0005}, {"^0_01", 0.01}, {"^10", 10}};
  for (const auto& [stored, step] : steps) {
    IniFile ini;
    ini.LoadFromMemory(std::string("[Settings]\nZoomStep=") + stored + "\n");
    Settings s;
    ReadSettingKeys(ini, s);
    EXPECT_DOUBLE_EQ(s.zoomStep, step) << stored;
  }
}

TEST(Settings, WrongFormsAndNonsenseReadAsTheDefault) {
  IniFile ini;
  ini.LoadFromMemory(
      "[Settings]\n"
      "ZoomCur=2\n"  // decimal, not a float
      "View=\"x\"\n"
      "ZoomStep=^20\n"  // 2000 %, more than the Options page takes
      "Angle=^nan\n"
      "Skin=#5\n"
      "ShowInfo=#7\n"  // any non-zero value is on
      "BackgroundColor=#ff00ff\n"
      "LoadLimit=1,,2\n"
      "Pos=-5,#10\n"
      "InfoPanelWidth=#C8,\"0000FF01\"\n");
  Settings s;
  ReadSettingKeys(ini, s);
  EXPECT_DOUBLE_EQ(s.zoomCur, 1.0);
  EXPECT_EQ(s.view, 5);
  EXPECT_DOUBLE_EQ(s.zoomStep, 0.1);
  EXPECT_DOUBLE_EQ(s.angle, 90.0);
  EXPECT_EQ(s.skin, "*");
  EXPECT_TRUE(s.showInfo);
  EXPECT_EQ(s.backgroundColor, 0xFF00FF);
  EXPECT_EQ(s.loadLimit, (std::array<int32_t, 4>{1, 2, 0, 0}));
  EXPECT_EQ(s.pos.rect, (Rect{-5, 16, -1, -1}));
  EXPECT_EQ(s.infoPanelWidth, 200);
  // A short block collapses what it holds and leaves the other groups expanded.
  EXPECT_EQ(std::vector<uint8_t>(s.collapsedGroups.begin(), s.collapsedGroups.begin() + 4),
            (std::vector<uint8_t>{0, 1, 1, 0}));
  EXPECT_EQ(std::count(s.collapsedGroups.begin(), s.collapsedGroups.end(), 0), 254);

  WriteSettingKeys(ini, Settings());
  EXPECT_EQ(ini.GetString("Settings", "View", 0, ""), "x") << "a stored string stays";
  EXPECT_DOUBLE_EQ(ini.GetDouble("Settings", "ZoomCur", 0, 0), 1.0) << "a float replaces all";
}

TEST(Settings, RecentFilesAreWrittenNewestFirstOnceEach) {
  std::vector<std::string> recent = {"c.jpg", "c.jpg", "b.jpg", "*", "", "a.jpg", "C.jpg"};
  for (int i = 0; i < 20; ++i) recent.push_back("more" + std::to_string(i));
  IniFile ini;
  ini.LoadFromMemory("[Settings]\nMRUD15=\"stale\"\nMRUD16=\"never read\"\n");
  WriteRecentFiles(ini, recent);
  Settings back;
  ReadSettingKeys(ini, back);
  ASSERT_EQ(back.recentFiles.size(), 16u);
  EXPECT_EQ(std::vector<std::string>(back.recentFiles.begin(), back.recentFiles.begin() + 5),
            (std::vector<std::string>{"c.jpg", "b.jpg", "a.jpg", "C.jpg", "more0"}));

  WriteRecentFiles(ini, {"only.jpg", "only.jpg"});
  ReadSettingKeys(ini, back);
  EXPECT_EQ(back.recentFiles, std::vector<std::string>{"only.jpg"}) << "no stale entries";

  ini.LoadFromMemory("[Settings]\nMRUD0=\"x\"\nMRUD1=\"*\"\nMRUD2=\"y\"\n");
  ReadSettingKeys(ini, back);
  EXPECT_EQ(back.recentFiles, std::vector<std::string>{"x"});
}

TEST(SettingsStore, AMissingFileKeepsTheValuesAndIsCreatedOnWrite) {
  testing_support::TempDir dir;
  std::string path = dir.File("Orbisk.ini");
  SettingsStore store;
  Settings s;
  s.view = 2;
  s.zoomCur = 3;
  EXPECT_FALSE(store.Read(path, s));
  EXPECT_EQ(s.view, 5) << "best fit";
  EXPECT_DOUBLE_EQ(s.zoomCur, 3);
  std::vector<AccelEntry> table = kDefaults;
  store.ReadShortcuts(table);
  EXPECT_EQ(table, kDefaults);

  s.pos = {{10, 20, 810, 620}, 1};
  AboutInfo about;
  about.message = "hello";
  ASSERT_TRUE(store.Write(s, table, about));
  std::string text = testing_support::ReadText(path);
  EXPECT_EQ(text.rfind("[Settings]\nSkin=\"*\"\nBackgroundColor=#FFFFFFFF\nView=#5\n", 0), 0u)
      << text;
  EXPECT_TRUE(Has(text, "Pos=10,20,810,620,1"));
  EXPECT_TRUE(Has(text, "ShowInfo=#1"));
  EXPECT_TRUE(Has(text, "key0=#786B,#30070"));

  Settings back;
  SettingsStore again;
  ASSERT_TRUE(again.Read(path, back));
  ExpectSameValues(s, back);
  EXPECT_EQ(again.ReadAbout().message, "hello");
  EXPECT_EQ(again.ReadAbout().version, AboutInfo().version);
}

TEST(SettingsStore, InipathRedirectsReadingAndWriting) {
  testing_support::TempDir dir;
  std::string first = dir.File("Orbisk.ini");
  std::ofstream(first) << "[Settings]\nInipath=\"other.ini\"\nView=#3\n";
  std::ofstream(dir.File("other.ini"))
      << "[Settings]\nInipath=\"loop.ini\"\nView=#2\nkey0=30798,#B004F\n";

  SettingsStore store;
  Settings s;
  ASSERT_TRUE(store.Read(first, s));
  EXPECT_EQ(store.Path(), dir.File("other.ini"));
  EXPECT_EQ(s.view, 2);
  std::vector<AccelEntry> table = kDefaults;
  store.ReadShortcuts(table);
  EXPECT_EQ(table.back(), (AccelEntry{0x0B, 0x4F, kCmdOptions}));

  s.view = 4;
  ASSERT_TRUE(store.Write(s, table, store.ReadAbout()));
  EXPECT_TRUE(Has(testing_support::ReadText(dir.File("other.ini")), "View=#4"));
  EXPECT_TRUE(Has(testing_support::ReadText(first), "View=#3")) << "the first file is left alone";
}

TEST(SettingsStore, InipathToAMissingFileBehavesAsNoFile) {
  testing_support::TempDir dir;
  std::string first = dir.File("Orbisk.ini");
  std::string missing = dir.File("gone.ini");
  std::ofstream(first) << "[Settings]\nInipath=\"" << missing << "\"\nView=#3\nkey0=30798,#B004F\n";

  SettingsStore store;
  Settings s;
  EXPECT_FALSE(store.Read(first, s));
  EXPECT_EQ(s.view, 5);
  std::vector<AccelEntry> table = kDefaults;
  store.ReadShortcuts(table);
  EXPECT_EQ(table, kDefaults) << "no records read";

  s.showInfo = false;
  ASSERT_TRUE(store.Write(s, table, AboutInfo()));
  EXPECT_FALSE(std::filesystem::exists(missing));
  std::string text = testing_support::ReadText(first);
  EXPECT_TRUE(Has(text, "ShowInfo=#0"));
  EXPECT_NE(text.find("Inipath=\"" + missing + "\""), std::string::npos) << "kept for next time";
}
