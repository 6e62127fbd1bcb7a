// The texts the viewer window shows: its title, the four status texts, the tool-bar
// buttons with their tooltips, and the entries of the "Open Recent" submenu.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/Accelerator.h"

namespace viewer {

inline constexpr std::string_view kProgramName = "Orbisk";
inline constexpr std::string_view kNoFileLoaded = "No file loaded";

// "Orbisk - [name.ext]" for the file of a path.
std::string WindowTitle(std::string_view path);
// "name.ext"; empty without a path.
std::string FileNameText(std::string_view path);

struct ImageFacts {
  int32_t width = 0;
  int32_t height = 0;
  int32_t channels = 0;
  int32_t bitsPerChannel = 0;
};
// "%d x %d %d BPP"; a depth that multiplies to 0 shows as 24.
std::string ImageText(const ImageFacts& image);

struct PageFacts {
  bool pageByPage = false;
  int32_t currentPage = 0;  // page-by-page mode
  int32_t pageCount = 0;
  int32_t currentFrame = 0;  // otherwise
  int32_t frameCount = 0;
  bool animationPlaying = false;
};
// "%d/%d Page(s)", or "%d Page(s)" while an animation plays.
std::string PageText(const PageFacts& pages);

// The "Go To Page" dialog: "of %d pages", and the 1-based page typed into it when it
// is a number from 1 to the count (spaces around it allowed).
std::string PageCountText(int32_t count);
std::optional<int32_t> PageNumberFrom(std::string_view text, int32_t count);

// The four texts of the status bar (or of the skin), in pane order.
struct StatusTexts {
  std::string fileName;
  std::string image;
  std::string pages;
  std::string zoom;

  friend bool operator==(const StatusTexts&, const StatusTexts&) = default;
};

// A tool-bar button: the command it sends, its picture in the strip and its tooltip.
struct ToolButton {
  uint16_t command;
  int32_t image;
  std::string_view tooltip;
};
// The buttons in tool-bar order.
extern const std::array<ToolButton, 23> kToolButtons;
// The delete button says where the file goes.
std::string_view ToolTipFor(const ToolButton& button, bool sendToRecycleBin);

constexpr size_t kMaxRecentMenuEntries = 10;
constexpr uint16_t kFirstRecentCommand = 15000;

// The history newest first, without exact repeats, at most ten entries.
std::vector<std::string> RecentMenuEntries(const std::vector<std::string>& history);
// "1 C:\path\name.ext": the 1-based position and the full path.
std::string RecentMenuText(size_t position, std::string_view path);
// What is written as the recent files on exit: the history newest first, then the
// files read at start; the settings store drops repeats and keeps sixteen.
std::vector<std::string> RecentFilesToWrite(const std::vector<std::string>& history,
                                            const std::vector<std::string>& readAtStart);

// The key strokes a menu shows for a command: the first four entries of the table
// that bind it, for the commands offered in the shortcut list only.
std::vector<host::AccelEntry> KeyStrokesFor(const std::vector<host::AccelEntry>& table,
                                            uint32_t command);
// The item text cut at its first tab, then a tab and the key texts joined by ", ".
std::wstring MenuTextWithKeys(std::wstring_view itemText, const std::vector<std::wstring>& keys);

}  // namespace viewer
