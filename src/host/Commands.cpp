#include "host/Commands.h"

#include <algorithm>

namespace host {

const std::array<NamedCommand, 65> kShortcutCommands{{
    {kCmdOpenImage, "OpenImage"},
    {kCmdOpenImageAsRaw, "OpenImageAsRaw"},
    {kCmdReloadImage, "ReloadImage"},
    {kCmdOpenNext, "OpenNext"},
    {kCmdOpenPrev, "OpenPrev"},
    {kCmdOpenFirst, "OpenFirst"},
    {kCmdOpenLast, "OpenLast"},
    {kCmdOpenRandom, "OpenRandom"},
    {kCmdStepNext, "StepNext"},
    {kCmdStepBack, "StepBack"},
    {kCmdSaveImage, "SaveImage"},
    {kCmdSaveImageAs, "SaveImageAs"},
    {kCmdWallpaperCentered, "WallpaperCentered"},
    {kCmdWallpaperFitOnDesktop, "WallpaperFitOnDesktop"},
    {kCmdWallpaperRestore, "WallpaperRestore"},
    {kCmdWallpaperStretched, "WallpaperStretched"},
    {kCmdWallpaperTiled, "WallpaperTiled"},
    {kCmdSelectTwainSource, "SelectTWAINSource"},
    {kCmdAcquireImage, "AcquireImage"},
    {kCmdBatchScanning, "BatchScanning"},
    {kCmdDeleteImage, "DeleteImage"},
    {kCmdHistogram, "Histogramm"},
    {kCmdFilterBrowser, "FilterBrowser"},
    {kCmdAutoLevels, "AutoLevels"},
    {kCmdAutoContrast, "AutoContrast"},
    {kCmdDesaturate, "Desaturate"},
    {kCmdNegative, "Negative"},
    {kCmdSwapColorChannel, "SwapColorChannel"},
    {kCmdChangeColorDepth, "ChangeColorDepth"},
    {kCmdFlipHor, "Fliphor"},
    {kCmdFlipVer, "Flipver"},
    {kCmdRotate90, "Rotate 90"},
    {kCmdRotate270, "Rotate 270"},
    {kCmdRotate, "Rotate"},
    {kCmdScale, "Scale"},
    {kCmdDeleteCurrentPage, "DeleteCurrentPage"},
    {kCmdCopyImage, "CopyImage"},
    {kCmdCopyPath, "CopyPath"},
    {kCmdPasteImage, "PasteImage"},
    {kCmdClearClipboard, "ClearClipboard"},
    {kCmdVcrFirst, "VCRFirst"},
    {kCmdVcrPrev, "VCRPrev"},
    {kCmdVcrPause, "VCRPause"},
    {kCmdVcrPlay, "VCRPlay"},
    {kCmdVcrNext, "VCRNext"},
    {kCmdVcrLast, "VCRLast"},
    {kCmdPageGoto, "PageGoto"},
    {kCmdZoomIn, "ZoomIn"},
    {kCmdZoomOut, "ZoomOut"},
    {kCmdActualSize, "ActualSize"},
    {kCmdBestFit, "BestFit"},
    {kCmdFitInWindow, "FitInWindow"},
    {kCmdFitWidth, "FitWidth"},
    {kCmdFitHeight, "FitHeight"},
    {kCmdFullscreen, "Fullscreen"},
    {kCmdSlideshow, "Slideshow"},
    {kCmdKeepVisible, "KeepVisible"},
    {kCmdShowMenuBar, "ShowMenuBar"},
    {kCmdShowInfoPanel, "ShowInfoPanel"},
    {kCmdShowToolBar, "ShowToolBar"},
    {kCmdShowStatusBar, "ShowStatusBar"},
    {kCmdAssociateFileTypes, "AssociateFileTypes"},
    {kCmdOptions, "Options"},
    {kCmdVisitWebSite, "VisitWebSite"},
    {kCmdAbout, "About"},
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
