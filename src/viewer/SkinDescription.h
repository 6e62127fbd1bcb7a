// The portable half of a skin: the description text kept in a skin file (buttons,
// named rectangles, colours), the check of the file's private TIFF tag, the classic
// colours used without a skin, and the layout arithmetic of the skinned window
// (button places, frame zones, the smallest size a drag may give).
// The Win32 CSkin finds the files, loads the bitmap and answers the window from this.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "viewer/Geometry.h"

namespace viewer {

// Buttons in the order of their indices; the same indices are the states of the
// window's skin buttons.
enum SkinButton : int {
  kSkinToggle = 0,
  kSkinShowBack,
  kSkinShowNext,
  kSkinStepBack,
  kSkinStepNext,
  kSkinMinimize,
  kSkinClose,
  kSkinCopyPath,
  kSkinCopyImage,
  kSkinOpenImage,
  kSkinQuintelUrl,
  kSkinInfo,
  kSkinMaximize,
  kSkinRestore,
  kSkinInfo2,
  kSkinToggle2,
  kSkinZeptarUrl,
  kSkinButtonCount
};
inline constexpr std::array<std::string_view, kSkinButtonCount> kSkinButtonNames = {
    "ToggleButton", "ShowBack", "ShowNext",    "StepBack",      "StepNext",   "Minimize",
    "Close",        "CopyPath", "CopyImage",   "OpenImage",     "QuintelURL", "InfoButton",
    "Maximize",     "Restore",  "InfoButton2", "ToggleButton2", "ZeptarURL"};

enum SkinRectId : int {
  kSkinMainWindow = 0,
  kSkinClientOffsets,
  kSkinLeftMiddle,
  kSkinTopLeftImage,
  kSkinTopBottomImage,
  kSkinBottomTopImage,
  kSkinBottomLeftImage,
  kSkinBottomMiddle,
  kSkinRightMiddle,
  kSkinTopMiddle,
  kSkinRightBottomImage,
  kSkinBottomRightImage,
  kSkinTopBottom2,
  kSkinTopLeft2,
  kSkinTitleText,
  kSkinStatusText,
  kSkinRightBottomCorner,
  kSkinLoadPanel,
  kSkinRectCount
};
inline constexpr std::array<std::string_view, kSkinRectCount> kSkinRectNames = {
    "MainWindowRect",   "ClientRectOffsets", "LeftMiddle",   "TopLeftImage", "TopBottomImage",
    "BottomTopImage",   "BottomLeftImage",   "BottomMiddle", "RightMiddle",  "TopMiddle",
    "RightBottomImage", "BottomRightImage",  "TopBottom2",   "TopLeft2",     "TitleText",
    "StatusText",       "RightBottomCorner", "LoadPanel"};

// The window's colours first, then the information list's table colours.
enum SkinColourId : int {
  kSkinBackground = 0,
  kSkinDark,
  kSkinMiddle,
  kSkinLight,
  kSkinTextColour,
  kSkinTitleColour,
  kSkinTblCatalog,
  kSkinTbl0,
  kSkinTbl10,
  kSkinTbl11,
  kSkinTbl20,
  kSkinTbl21,
  kSkinColourCount
};
inline constexpr int kSkinTableColourCount = kSkinColourCount - kSkinTblCatalog;
inline constexpr std::array<std::string_view, kSkinColourCount> kSkinColourNames = {
    "Background",       "Dark",       "Middle",      "Light",       "TextColor",   "TitleColor",
    "TblBackgrCatalog", "TblBackgr0", "TblBackgr10", "TblBackgr11", "TblBackgr20", "TblBackgr21"};

// The private tag that holds "SKIN" and the description in a skin file's first image.
inline constexpr uint16_t kSkinTag = 30583;
// Description lines are read up to this many characters; the rest counts as the next line.
inline constexpr size_t kSkinLineLimit = 1024;
// The skinned window is never dragged smaller than this.
inline constexpr int32_t kSkinMinDragWidth = 452;
inline constexpr int32_t kSkinMinDragHeight = 268;
// Detaching makes the window at least this big.
inline constexpr int32_t kSkinMinDetachWidth = 600;
inline constexpr int32_t kSkinMinDetachHeight = 268;

struct SkinDescription {
  // Colours are 0xAABBGGRR (the Win32 COLORREF order plus an alpha byte).
  std::array<std::array<Rect, 4>, kSkinButtonCount> buttons{};
  std::array<Rect, kSkinRectCount> rects{};
  std::array<uint32_t, kSkinColourCount> colours{};
  // The table colours reordered for the information list: 0xAARRGGBB.
  std::array<uint32_t, kSkinTableColourCount> tableColours{};

  const Rect& Button(int button, int look) const { return buttons[button][look]; }
  const Rect& Named(int id) const { return rects[id]; }
  Size DesignSize() const;
};

// Reads the description lines ("C<name>=<hex>", "B<name>=<16 ints>", "R<name>=<4 ints>")
// over a cleared description. Unknown letters, unknown names and values that do not
// read are skipped.
SkinDescription ParseSkinDescription(std::string_view text);

// The description text of a skin file held in memory: its first image's tag 30583,
// of type BYTE, beginning "SKIN". Nothing when the bytes are not such a file.
std::optional<std::string_view> SkinDescriptionText(std::span<const uint8_t> file);

// The look without a skin: rectangles empty, the window colours from the system's
// button face, window text and caption text colours (0x00BBGGRR).
SkinDescription ClassicSkin(uint32_t buttonFace, uint32_t windowText, uint32_t captionText);
// A colour darkened by a number of fixed steps, each channel held at 0.
uint32_t DarkenColour(uint32_t colour, int steps);

// Where each button goes in a client area of the given size; empty where the skin has
// no such button.
std::array<Rect, kSkinButtonCount> PlaceSkinButtons(const SkinDescription& skin, Size client);

// The frame zones of a skinned window, for sizing by dragging.
enum class SkinZone { None, Left, Right, Top, Bottom, TopLeft, TopRight, BottomLeft, BottomRight };
// The zone under a client point: the frame's thickness comes from "ClientRectOffsets"
// (x = left, y = top, width = right, height = bottom), at least kSkinZoneMin pixels;
// corners reach kSkinCornerReach pixels along each edge; the "RightBottomCorner" grip,
// placed relative to the bottom-right corner, counts as BottomRight.
inline constexpr int32_t kSkinZoneMin = 4;
inline constexpr int32_t kSkinCornerReach = 16;
SkinZone HitSkinZone(const SkinDescription& skin, Size client, Point point);

// The window rectangle a drag of `zone` proposes, with the dragged edges moved back so
// that the window keeps the smallest drag size.
Rect ClampSkinDrag(Rect proposed, SkinZone zone);

}  // namespace viewer
