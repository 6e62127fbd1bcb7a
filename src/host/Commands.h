// The viewer's command identifiers, the commands offered for shortcuts (with the
// names the settings file and the shortcut list use) and the built-in accelerator
// table. One table each, shared by the settings store, the shortcut page and the
// window.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "host/Accelerator.h"

namespace host {

enum Command : uint16_t {
  kCmdOpenImage = 30783,
  kCmdOpenImageAsRaw = 30836,
  kCmdReloadImage = 30799,
  kCmdOpenNext = 30776,
  kCmdOpenPrev = 30784,
  kCmdOpenFirst = 30852,
  kCmdOpenLast = 30853,
  kCmdOpenRandom = 30854,
  kCmdStepNext = 30778,
  kCmdStepBack = 30777,
  kCmdSaveImage = 30800,
  kCmdSaveImageAs = 30801,
  kCmdWallpaperCentered = 30817,
  kCmdWallpaperFitOnDesktop = 30828,
  kCmdWallpaperRestore = 30820,
  kCmdWallpaperStretched = 30819,
  kCmdWallpaperTiled = 30818,
  kCmdSelectTwainSource = 30831,
  kCmdAcquireImage = 30832,
  kCmdBatchScanning = 30837,
  kCmdDeleteImage = 30802,
  kCmdHistogram = 30829,
  kCmdFilterBrowser = 1315,
  kCmdAutoLevels = 30833,
  kCmdAutoContrast = 30834,
  kCmdDesaturate = 30824,
  kCmdNegative = 30835,
  kCmdSwapColorChannel = 30846,
  kCmdChangeColorDepth = 30826,
  kCmdFlipHor = 30816,
  kCmdFlipVer = 30814,
  kCmdRotate90 = 1406,
  kCmdRotate270 = 1407,
  kCmdRotate = 30809,
  kCmdScale = 30812,
  kCmdDeleteCurrentPage = 30830,
  kCmdCopyImage = 30782,
  kCmdCopyPath = 30781,
  kCmdPasteImage = 30794,
  kCmdClearClipboard = 30808,
  kCmdVcrFirst = 1400,
  kCmdVcrPrev = 1401,
  kCmdVcrPause = 1403,
  kCmdVcrPlay = 1402,
  kCmdVcrNext = 1404,
  kCmdVcrLast = 1405,
  kCmdPageGoto = 1600,
  kCmdZoomIn = 1300,
  kCmdZoomOut = 1305,
  kCmdActualSize = 1313,
  kCmdBestFit = 30850,
  kCmdFitInWindow = 30847,
  kCmdFitWidth = 30848,
  kCmdFitHeight = 30849,
  kCmdFullscreen = 1314,
  kCmdSlideshow = 30844,
  kCmdKeepVisible = 30775,
  kCmdShowMenuBar = 30851,
  kCmdShowInfoPanel = 30793,
  kCmdShowToolBar = 30841,
  kCmdShowStatusBar = 30842,
  kCmdAssociateFileTypes = 30845,
  kCmdOptions = 30798,
  kCmdVisitWebSite = 30795,
  kCmdAbout = 30827,

  // Commands without a name: not offered for shortcuts.
  kCmdExit = 30780,
  kCmdEscape = 30843,
  kCmdMinimize = 30779,
  kCmdMaximize = 30838,
  kCmdConverterWebPage = 30855,
  kCmdHostKey1 = 1034,  // 1034 to 1040: digit keys 1 to 7 handed to the host
  kCmdHostKey7 = 1040,
  kCmdSkinFirst = 3100,  // 3100 to 3200: skin list
  kCmdSkinLast = 3200,
  kCmdRecentFirst = 15000,  // 15000 to 15100: "Open Recent"
  kCmdRecentLast = 15100,
  kCmdCancel = 2,
};

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
  std::string_view menuText{};  // as menu 230 shows it (UTF-8)
  EnableRule enable = EnableRule::kAlways;
  CheckRule check = CheckRule::kNone;
};

// The commands a key stroke can be given to, in the order of the shortcut list.
extern const std::array<NamedCommand, 65> kShortcutCommands;

// The entry of kShortcutCommands with that identifier, or null.
const NamedCommand* FindShortcutCommand(uint32_t id);

// The text of the one menu item without a name in the table.
inline constexpr std::string_view kExitMenuText = "Exit";

// The accelerator table the viewer starts from (resource 1223).
extern const std::array<AccelEntry, 51> kDefaultAccelerators;

}  // namespace host
