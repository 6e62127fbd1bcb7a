#include "host/Commands.h"

#include <algorithm>

namespace host {

// Rows: identifier, name, menu text, enable rule, check rule.

const std::array<NamedCommand, 65> kShortcutCommands{{
    {kCmdOpenImage, "OpenImage", "Open Image...", EnableRule::kAlways},
    {kCmdOpenImageAsRaw, "OpenImageAsRaw", "Open Image as RAW...", EnableRule::kAlways},
    {kCmdReloadImage, "ReloadImage", "Reload Image", EnableRule::kImageShown},
    {kCmdOpenNext, "OpenNext", "Next Image", EnableRule::kFolderListNotEmpty},
    {kCmdOpenPrev, "OpenPrev", "Prev Image", EnableRule::kFolderListNotEmpty},
    {kCmdOpenFirst, "OpenFirst", "First Image in Directory", EnableRule::kAlways},
    {kCmdOpenLast, "OpenLast", "Last Image in Directory", EnableRule::kAlways},
    {kCmdOpenRandom, "OpenRandom", "Random Image in Directory", EnableRule::kAlways},
    {kCmdStepNext, "StepNext", "Next Showed Image", EnableRule::kHistoryHasNext},
    {kCmdStepBack, "StepBack", "Prev Showed Image", EnableRule::kHistoryHasPrev},
    {kCmdSaveImage, "SaveImage", "Save", EnableRule::kImageModified},
    {kCmdSaveImageAs, "SaveImageAs", "Save Image as...", EnableRule::kImageShown},
    {kCmdWallpaperCentered, "WallpaperCentered", "Centered", EnableRule::kImageShown},
    {kCmdWallpaperFitOnDesktop, "WallpaperFitOnDesktop", "Fit on Desktop", EnableRule::kImageShown},
    {kCmdWallpaperRestore, "WallpaperRestore", "Clear Desktop", EnableRule::kImageShown},
    {kCmdWallpaperStretched, "WallpaperStretched", "Stretched", EnableRule::kImageShown},
    {kCmdWallpaperTiled, "WallpaperTiled", "Tiled", EnableRule::kImageShown},
    {kCmdSelectTwainSource, "SelectTWAINSource", "Select TWAIN source...", EnableRule::kAlways},
    {kCmdAcquireImage, "AcquireImage", "Acquire...", EnableRule::kAlways},
    {kCmdBatchScanning, "BatchScanning", "Batch Scanning...", EnableRule::kAlways},
    {kCmdDeleteImage, "DeleteImage", "Delete Image", EnableRule::kImageShown},
    {kCmdHistogram, "Histogramm", "Histogram and number of colors used...",
     EnableRule::kImageShown},
    {kCmdFilterBrowser, "FilterBrowser", "Filter Browser...", EnableRule::kImageShown},
    {kCmdAutoLevels, "AutoLevels", "Auto Levels", EnableRule::kImageShown},
    {kCmdAutoContrast, "AutoContrast", "Auto Contrast", EnableRule::kImageShown},
    {kCmdDesaturate, "Desaturate", "Desaturate", EnableRule::kImageShown},
    {kCmdNegative, "Negative", "Negative", EnableRule::kImageShown},
    {kCmdSwapColorChannel, "SwapColorChannel", "Swap color channels...",
     EnableRule::kImageAtLeast24Bits},
    {kCmdChangeColorDepth, "ChangeColorDepth", "Change Color Depth...", EnableRule::kImageShown},
    {kCmdFlipHor, "Fliphor", "Flip Hor", EnableRule::kImageShown},
    {kCmdFlipVer, "Flipver", "Flip Ver", EnableRule::kImageShown},
    {kCmdRotate90, "Rotate 90", "Rotate Clockwise (90°)", EnableRule::kImageShown},
    {kCmdRotate270, "Rotate 270", "Rotate Counterclockwise (270°)", EnableRule::kImageShown},
    {kCmdRotate, "Rotate", "Rotate...", EnableRule::kImageShown},
    {kCmdScale, "Scale", "Scale...", EnableRule::kImageShown},
    {kCmdDeleteCurrentPage, "DeleteCurrentPage", "Delete current page",
     EnableRule::kSeveralPagesNoAnimation},
    {kCmdCopyImage, "CopyImage", "Copy Image to the Clipboard", EnableRule::kImageShown},
    {kCmdCopyPath, "CopyPath", "Copy Full Path of Image to the Clipboard",
     EnableRule::kImageAndHistory},
    {kCmdPasteImage, "PasteImage", "Paste", EnableRule::kClipboardHasImage},
    {kCmdClearClipboard, "ClearClipboard", "Clear Clipboard", EnableRule::kClipboardHasAny},
    {kCmdVcrFirst, "VCRFirst", "First", EnableRule::kPaging},
    {kCmdVcrPrev, "VCRPrev", "Prev", EnableRule::kPaging},
    {kCmdVcrPause, "VCRPause", "Pause", EnableRule::kCanPause},
    {kCmdVcrPlay, "VCRPlay", "Play", EnableRule::kCanPlay},
    {kCmdVcrNext, "VCRNext", "Next", EnableRule::kPaging},
    {kCmdVcrLast, "VCRLast", "Last", EnableRule::kPaging},
    {kCmdPageGoto, "PageGoto", "Goto page...", EnableRule::kPaging},
    {kCmdZoomIn, "ZoomIn", "Zoom In", EnableRule::kCanZoomIn},
    {kCmdZoomOut, "ZoomOut", "Zoom Out", EnableRule::kCanZoomOut},
    {kCmdActualSize, "ActualSize", "Actual Size", EnableRule::kImageShown},
    {kCmdBestFit, "BestFit", "Best Fit", EnableRule::kImageShown, CheckRule::kBestFit},
    {kCmdFitInWindow, "FitInWindow", "Fit in Window", EnableRule::kImageShown,
     CheckRule::kFitInWindow},
    {kCmdFitWidth, "FitWidth", "Fit Width", EnableRule::kImageShown, CheckRule::kFitWidth},
    {kCmdFitHeight, "FitHeight", "Fit Height", EnableRule::kImageShown, CheckRule::kFitHeight},
    {kCmdFullscreen, "Fullscreen", "Full Screen", EnableRule::kNotQuickView},
    {kCmdSlideshow, "Slideshow", "Slide Show", EnableRule::kSlideShow},
    {kCmdKeepVisible, "KeepVisible", "Keep Visible", EnableRule::kAlways, CheckRule::kTopmost},
    {kCmdShowMenuBar, "ShowMenuBar", "Show Menu Bar", EnableRule::kMenuBarToggle,
     CheckRule::kShowMenuBar},
    {kCmdShowInfoPanel, "ShowInfoPanel", "Show Info Panel", EnableRule::kSkinInfoButton,
     CheckRule::kShowInfo},
    {kCmdShowToolBar, "ShowToolBar", "Show Tool Bar", EnableRule::kClassicLook,
     CheckRule::kShowToolBar},
    {kCmdShowStatusBar, "ShowStatusBar", "Show Status Bar", EnableRule::kClassicLook,
     CheckRule::kShowStatusBar},
    {kCmdAssociateFileTypes, "AssociateFileTypes", "Associate File Types...", EnableRule::kAlways},
    {kCmdOptions, "Options", "Options...", EnableRule::kAlways},
    {kCmdVisitWebSite, "VisitWebSite", "Visit Orbisk's Web Site...", EnableRule::kAlways},
    {kCmdAbout, "About", "About...", EnableRule::kAlways},
}};

const NamedCommand* FindShortcutCommand(uint32_t id) {
  auto it = std::find_if(kShortcutCommands.begin(), kShortcutCommands.end(),
                         [id](const NamedCommand& command) { return command.id == id; });
  return it == kShortcutCommands.end() ? nullptr : &*it;
}

namespace {

constexpr uint8_t kPlain = kFVirtKey | kFNoInvert;
constexpr uint8_t kCtrl = kPlain | kFControl;
constexpr uint8_t kShift = kPlain | kFShift;
constexpr uint8_t kCtrlShift = kCtrl | kFShift;
constexpr uint8_t kCtrlAlt = kCtrl | kFAlt;
constexpr uint8_t kCtrlAltShift = kCtrlShift | kFAlt;

}  // namespace

const std::array<AccelEntry, 51> kDefaultAccelerators{{
    {kPlain, 0x70, kCmdAbout},                      // F1
    {kPlain, 0x6A, kCmdActualSize},                 // numeric-pad *
    {kCtrlShift, 0x42, kCmdBestFit},                // Ctrl+Shift+B
    {kCtrl, 0x43, kCmdCopyImage},                   // Ctrl+C
    {kCtrlAlt, 0x43, kCmdCopyPath},                 // Ctrl+Alt+C
    {kCtrl, 0x48, kCmdHistogram},                   // Ctrl+H
    {kPlain, 0x2E, kCmdDeleteImage},                // Delete
    {kCtrlShift, 0x55, kCmdDesaturate},             // Ctrl+Shift+U
    {kPlain, 0x1B, kCmdEscape},                     // Esc
    {kCtrlShift, 0x41, kCmdAcquireImage},           // Ctrl+Shift+A
    {kCtrl, 0x46, kCmdFilterBrowser},               // Ctrl+F
    {kPlain, 0x7A, kCmdFullscreen},                 // F11
    {kPlain, 0x0D, kCmdFullscreen},                 // Enter
    {kCtrlAltShift, 0x4C, kCmdAutoContrast},        // Ctrl+Alt+Shift+L
    {kCtrlShift, 0x4C, kCmdAutoLevels},             // Ctrl+Shift+L
    {kCtrl, 0x4E, kCmdNegative},                    // Ctrl+N
    {kCtrlShift, 0x48, kCmdFlipHor},                // Ctrl+Shift+H
    {kCtrlShift, 0x56, kCmdFlipVer},                // Ctrl+Shift+V
    {kCtrl, 0x24, kCmdOpenFirst},                   // Ctrl+Home
    {kCtrl, 0x4F, kCmdOpenImage},                   // Ctrl+O
    {kCtrl, 0x23, kCmdOpenLast},                    // Ctrl+End
    {kPlain, 0x22, kCmdOpenNext},                   // Page Down
    {kPlain, 0x27, kCmdOpenNext},                   // Right
    {kPlain, 0x20, kCmdOpenNext},                   // Space
    {kPlain, 0x08, kCmdOpenPrev},                   // Backspace
    {kPlain, 0x25, kCmdOpenPrev},                   // Left
    {kPlain, 0x21, kCmdOpenPrev},                   // Page Up
    {kCtrl, 0x4D, kCmdOpenRandom},                  // Ctrl+M
    {kCtrl, 0x56, kCmdPasteImage},                  // Ctrl+V
    {kPlain, 0x74, kCmdReloadImage},                // F5
    {kCtrl, 0x4B, kCmdRotate90},                    // Ctrl+K
    {kCtrl, 0x4C, kCmdRotate270},                   // Ctrl+L
    {kCtrl, 0x53, kCmdSaveImage},                   // Ctrl+S
    {kShift, 0x41, kCmdSlideshow},                  // Shift+A
    {kCtrl, 0x25, kCmdStepBack},                    // Ctrl+Left
    {kCtrl, 0x27, kCmdStepNext},                    // Ctrl+Right
    {kCtrlShift, 0x43, kCmdWallpaperCentered},      // Ctrl+Shift+C
    {kCtrlShift, 0x46, kCmdWallpaperFitOnDesktop},  // Ctrl+Shift+F
    {kCtrlShift, 0x50, kCmdWallpaperRestore},       // Ctrl+Shift+P
    {kCtrlShift, 0x53, kCmdWallpaperStretched},     // Ctrl+Shift+S
    {kCtrlShift, 0x54, kCmdWallpaperTiled},         // Ctrl+Shift+T
    {kPlain, 0x6B, kCmdZoomIn},                     // numeric-pad +
    {kPlain, 0x6D, kCmdZoomOut},                    // numeric-pad -
    {kPlain, 0x31, Command(kCmdHostKey1 + 0)},      // 1
    {kPlain, 0x32, Command(kCmdHostKey1 + 1)},      // 2
    {kPlain, 0x33, Command(kCmdHostKey1 + 2)},      // 3
    {kPlain, 0x34, Command(kCmdHostKey1 + 3)},      // 4
    {kPlain, 0x35, Command(kCmdHostKey1 + 4)},      // 5
    {kPlain, 0x36, Command(kCmdHostKey1 + 5)},      // 6
    {kPlain, 0x37, Command(kCmdHostKey1 + 6)},      // 7
    {kCtrlShift, 0x4E, kCmdPageGoto},               // Ctrl+Shift+N
}};

}  // namespace host
