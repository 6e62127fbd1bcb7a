#include "viewer/ViewerTexts.h"

#include <algorithm>
#include <cstdio>

#include "host/Commands.h"
#include "platform/Path.h"

namespace viewer {

std::string FileNameText(std::string_view path) {
  if (path.empty()) return {};
  platform::PathParts parts = platform::SplitPath(path);
  return parts.name + parts.extension;
}

std::string WindowTitle(std::string_view path) {
  return std::string(kProgramName) + " - [" + FileNameText(path) + "]";
}

std::string ImageText(const ImageFacts& image) {
  int64_t bits = int64_t(image.channels) * image.bitsPerChannel;
  char text[96];
  std::snprintf(text, sizeof text, "%d x %d %d BPP", int(image.width), int(image.height),
                bits == 0 ? 24 : int(bits));
  return text;
}

std::string PageText(const PageFacts& pages) {
  char text[64];
  if (pages.animationPlaying) {
    std::snprintf(text, sizeof text, "%d Page(s)", int(pages.frameCount));
  } else if (pages.pageByPage) {
    std::snprintf(text, sizeof text, "%d/%d Page(s)", int(pages.currentPage) + 1,
                  int(pages.pageCount));
  } else {
    std::snprintf(text, sizeof text, "%d/%d Page(s)", int(pages.currentFrame) + 1,
                  int(pages.frameCount));
  }
  return text;
}

using namespace host;

const std::array<ToolButton, 23> kToolButtons{{
    {kCmdOpenImage, 0, "Open new image... (Ctrl+O)"},
    {kCmdSaveImage, 1, "Save image (Ctrl+S)"},
    {kCmdSaveImageAs, 2, "Save image as ..."},
    {kCmdOpenPrev, 3, "Show previous image in the folder (Left Arrow)"},
    {kCmdOpenNext, 4, "Show next image in the folder (Right Arrow)"},
    {kCmdStepBack, 5, "Step back (Ctrl+Left Arrow)"},
    {kCmdStepNext, 6, "Step next (Ctrl+Right Arrow)"},
    {kCmdSlideshow, 7, "Slide show (Shift+A)"},
    {kCmdBestFit, 8, "Best fit (Ctrl+Shift+B)"},
    {kCmdActualSize, 9, "Actual size (*)"},
    {kCmdFullscreen, 10, "Full screen (Enter)"},
    {kCmdZoomIn, 11, "Zoom in (+)"},
    {kCmdZoomOut, 12, "Zoom in (-)"},
    {kCmdRotate90, 13, "90\u00b0 Rotate clockwise (Ctrl+K)"},
    {kCmdRotate270, 14, "270\u00b0 Rotate counter clockwise (Ctrl+L)"},
    {kCmdDeleteImage, 15, "Remove to Recycle Bin (DEL)"},
    {kCmdShowInfoPanel, 16, "Open/close image info"},
    {kCmdVcrFirst, 17, "First page"},
    {kCmdVcrPrev, 18, "Prev page"},
    {kCmdVcrPause, 19, "Pause animation"},
    {kCmdVcrPlay, 20, "Play animation"},
    {kCmdVcrNext, 21, "Next page"},
    {kCmdVcrLast, 22, "Last page"},
}};

std::string_view ToolTipFor(const ToolButton& button, bool sendToRecycleBin) {
  if (button.command == kCmdDeleteImage && !sendToRecycleBin) return "Remove (DEL)";
  return button.tooltip;
}

std::vector<std::string> RecentMenuEntries(const std::vector<std::string>& history) {
  std::vector<std::string> entries;
  for (auto it = history.rbegin(); it != history.rend(); ++it) {
    if (entries.size() == kMaxRecentMenuEntries) break;
    if (std::find(entries.begin(), entries.end(), *it) == entries.end()) entries.push_back(*it);
  }
  return entries;
}

std::string RecentMenuText(size_t position, std::string_view path) {
  return std::to_string(position) + " " + std::string(path);
}

std::vector<std::string> RecentFilesToWrite(const std::vector<std::string>& history,
                                            const std::vector<std::string>& readAtStart) {
  std::vector<std::string> files(history.rbegin(), history.rend());
  files.insert(files.end(), readAtStart.begin(), readAtStart.end());
  return files;
}

std::vector<AccelEntry> KeyStrokesFor(const std::vector<AccelEntry>& table, uint32_t command) {
  std::vector<AccelEntry> keys;
  if (!FindShortcutCommand(command)) return keys;
  for (const AccelEntry& entry : table) {
    if (keys.size() == 4) break;
    if (entry.cmd == command && entry.key != 0) keys.push_back(entry);
  }
  return keys;
}

std::wstring MenuTextWithKeys(std::wstring_view itemText, const std::vector<std::wstring>& keys) {
  std::wstring text(itemText.substr(0, itemText.find(L'\t')));
  for (size_t i = 0; i < keys.size(); ++i) {
    text += i == 0 ? L"\t" : L", ";
    text += keys[i];
  }
  return text;
}

}  // namespace viewer

namespace viewer {

std::string PageCountText(int32_t count) { return "of " + std::to_string(count) + " pages"; }

std::optional<int32_t> PageNumberFrom(std::string_view text, int32_t count) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty() || text.size() > 9) return std::nullopt;
  int32_t page = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    page = page * 10 + (c - '0');
  }
  if (page < 1 || page > count) return std::nullopt;
  return page;
}

}  // namespace viewer
