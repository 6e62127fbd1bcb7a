// The viewer's command identifiers, the commands offered for shortcuts (with the
// names the settings file and the shortcut list use) and the built-in accelerator
// table, shared by the settings store, the shortcut page and the window. The
// identifiers, the rows of both tables, and the main menu and built-in keys of the
// resources are made at build time from the one table in Commands.table.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "host/Accelerator.h"
#include "host/CommandTable.h"

namespace host {

// When a menu item or tool-bar button of the command is enabled.
enum class EnableRule : uint8_t {
  kAlways,
  kImageShown,
  kImageModified,  // shown and modified
  kFolderListNotEmpty,
  kHistoryHasNext,
  kHistoryHasPrev,
  kImageAndHistory,  // shown, and the history is not empty
  kClipboardHasImage,
  kClipboardHasAny,
  kImageAtLeast24Bits,
  kSeveralPagesNoAnimation,
  kPaging,  // page-by-page mode, or more than one page
  kCanPlay,
  kCanPause,
  kCanZoomIn,
  kCanZoomOut,
  kNotQuickView,
  kSlideShow,       // not in quick view, and the folder list is not empty
  kSkinInfoButton,  // the skin has an information button
  kMenuBarToggle,   // no skin, not in quick view
  kClassicLook,     // no skin
};

// What puts a check mark on the item.
enum class CheckRule : uint8_t {
  kNone,
  kFitInWindow,  // the radio mark of the four fit modes, by view mode
  kFitWidth,
  kFitHeight,
  kBestFit,
  kTopmost,
  kShowInfo,
  kShowMenuBar,
  kShowToolBar,
  kShowStatusBar,
};

struct NamedCommand {
  Command id;
  std::string_view name;
  std::string_view menuText{};  // as the main menu shows it (UTF-8)
  EnableRule enable = EnableRule::kAlways;
  CheckRule check = CheckRule::kNone;
};

// The commands a key stroke can be given to, in the order of the shortcut list.
extern const std::array<NamedCommand, kShortcutCommandCount> kShortcutCommands;

// The entry of kShortcutCommands with that identifier, or null.
const NamedCommand* FindShortcutCommand(uint32_t id);

// The accelerator table the viewer starts from (resource 1223).
extern const std::array<AccelEntry, kDefaultAcceleratorCount> kDefaultAccelerators;

}  // namespace host
