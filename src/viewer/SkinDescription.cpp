#include "viewer/SkinDescription.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "runtime/TiffDirectory.h"

namespace viewer {

Size SkinDescription::DesignSize() const {
  const Rect& main = rects[kSkinMainWindow];
  return {ClampSide(main.Width()), ClampSide(main.Height())};
}

namespace {

// Values of a description are pixel places in a small bitmap; anything beyond this
// is not a skin's and the line is skipped.
constexpr int64_t kMaxSkinValue = 1 << 20;
constexpr int kDarkenStep = 4;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Reads `count` integers separated by commas ("%d,%d,..."); false when one is missing,
// malformed or out of range.
bool ScanInts(std::string_view text, int64_t* out, size_t count) {
  const char* p = text.data();
  const char* end = text.data() + text.size();
  for (size_t i = 0; i < count; ++i) {
    if (i > 0) {
      if (p == end || *p != ',') return false;
      ++p;
    }
    while (p < end && IsBlank(*p)) ++p;
    if (p < end && *p == '+') ++p;  // from_chars takes no plus sign
    auto [next, error] = std::from_chars(p, end, out[i]);
    if (error != std::errc() || next == p) return false;
    if (out[i] < -kMaxSkinValue || out[i] > kMaxSkinValue) return false;
    p = next;
  }
  return true;
}

// x, y, width, height as left, top, right, bottom.
Rect RectFrom(const int64_t* v) {
  return {int32_t(v[0]), int32_t(v[1]), int32_t(v[0] + v[2]), int32_t(v[1] + v[3])};
}

bool ScanHex(std::string_view text, uint32_t& out) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    text.remove_prefix(2);
  const char* end = text.data() + text.size();
  auto [next, error] = std::from_chars(text.data(), end, out, 16);
  return error == std::errc() && next != text.data();
}

template <size_t N>
int IndexOf(const std::array<std::string_view, N>& names, std::string_view name) {
  auto it = std::find(names.begin(), names.end(), name);
  return it == names.end() ? -1 : int(it - names.begin());
}

void ParseLine(std::string_view line, SkinDescription& skin) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  const size_t equals = line.find('=');
  if (line.size() < 2 || equals == std::string_view::npos) return;
  const std::string_view name = line.substr(1, equals - 1);
  const std::string_view value = line.substr(equals + 1);
  int64_t v[16];
  if (line[0] == 'C') {
    const int index = IndexOf(kSkinColourNames, name);
    uint32_t colour = 0;
    if (index >= 0 && ScanHex(value, colour)) skin.colours[index] = colour | 0xFF000000u;
  } else if (line[0] == 'B') {
    const int index = IndexOf(kSkinButtonNames, name);
    if (index < 0 || !ScanInts(value, v, 16)) return;
    for (int look = 0; look < 4; ++look) skin.buttons[index][look] = RectFrom(v + 4 * look);
  } else if (line[0] == 'R') {
    const int index = IndexOf(kSkinRectNames, name);
    if (index >= 0 && ScanInts(value, v, 4)) skin.rects[index] = RectFrom(v);
  }
}

// 0xAABBGGRR to 0xAARRGGBB.
uint32_t SwapRedBlue(uint32_t c) {
  return (c & 0xFF00FF00u) | ((c & 0xFF) << 16) | ((c >> 16) & 0xFF);
}

}  // namespace

SkinDescription ParseSkinDescription(std::string_view text) {
  SkinDescription skin;
  // The description is C text: it ends at a NUL when there is one.
  text = text.substr(0, text.find('\0'));
  while (!text.empty()) {
    size_t end = text.find('\n');
    end = std::min(end == std::string_view::npos ? text.size() : end + 1, kSkinLineLimit);
    ParseLine(text.substr(0, end), skin);
    text.remove_prefix(end);
  }
  for (int i = 0; i < kSkinTableColourCount; ++i)
    skin.tableColours[i] = SwapRedBlue(skin.colours[kSkinTblCatalog + i]) & 0x00FFFFFFu;
  return skin;
}

std::optional<std::string_view> SkinDescriptionText(std::span<const uint8_t> file) {
  glib::Libtiff::Reader reader;
  if (!reader.Open(file) || reader.Directories().empty()) return std::nullopt;
  const glib::Libtiff::Entry* tag =
      glib::Libtiff::Reader::Find(reader.Directories().front(), kSkinTag);
  if (!tag || tag->type != glib::Libtiff::kByte || tag->count < 8) return std::nullopt;
  // The reader keeps only entries whose values lie inside the block.
  const std::span<const uint8_t> value = file.subspan(tag->dataOffset, tag->count);
  if (std::memcmp(value.data(), "SKIN", 4) != 0) return std::nullopt;
  return std::string_view(reinterpret_cast<const char*>(value.data()) + 4, value.size() - 4);
}

uint32_t DarkenColour(uint32_t colour, int steps) {
  const int amount = std::max(0, steps) * kDarkenStep;
  uint32_t out = colour & 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const int channel = int((colour >> shift) & 0xFF);
    out |= uint32_t(std::max(0, channel - amount)) << shift;
  }
  return out;
}

SkinDescription ClassicSkin(uint32_t buttonFace, uint32_t windowText, uint32_t captionText) {
  SkinDescription skin;
  const uint32_t face = buttonFace & 0x00FFFFFFu;
  skin.colours[kSkinBackground] = face;
  skin.colours[kSkinLight] = DarkenColour(face, 6);
  skin.colours[kSkinMiddle] = DarkenColour(face, 8);
  skin.colours[kSkinDark] = DarkenColour(face, 12);
  skin.colours[kSkinTextColour] = windowText & 0x00FFFFFFu;
  skin.colours[kSkinTitleColour] = captionText & 0x00FFFFFFu;
  // Group headers darkest, then the name and value columns, odd rows a little darker.
  constexpr std::array<int, kSkinTableColourCount> kSteps = {12, 6, 0, 2, 1, 3};
  for (int i = 0; i < kSkinTableColourCount; ++i) {
    skin.colours[kSkinTblCatalog + i] = DarkenColour(face, kSteps[i]);
    skin.tableColours[i] = SwapRedBlue(skin.colours[kSkinTblCatalog + i]) | 0xFF000000u;
  }
  return skin;
}

namespace {

Rect Moved(Rect r, int32_t dx, int32_t dy) {
  return {ClampCoord(int64_t(r.left) + dx), ClampCoord(int64_t(r.top) + dy),
          ClampCoord(int64_t(r.right) + dx), ClampCoord(int64_t(r.bottom) + dy)};
}

// The button whose place a pressed or alternate look takes.
int PlacedLike(int button) {
  switch (button) {
    case kSkinRestore:
      return kSkinMaximize;
    case kSkinInfo2:
      return kSkinInfo;
    case kSkinToggle2:
      return kSkinToggle;
    default:
      return button;
  }
}

}  // namespace

std::array<Rect, kSkinButtonCount> PlaceSkinButtons(const SkinDescription& skin, Size client) {
  const Size design = skin.DesignSize();
  const int32_t dx = ClampCoord(int64_t(client.width) - design.width);
  const int32_t dy = ClampCoord(int64_t(client.height) - design.height);
  std::array<Rect, kSkinButtonCount> placed{};
  for (int button = 0; button < kSkinButtonCount; ++button) {
    const Rect& r = skin.buttons[button][0];
    if (r.IsZero() || r.IsEmpty()) continue;
    switch (PlacedLike(button)) {
      case kSkinMinimize:
      case kSkinMaximize:
      case kSkinClose:
      case kSkinQuintelUrl:
      case kSkinZeptarUrl:
        placed[button] = Moved(r, dx, 0);
        break;
      case kSkinCopyPath:
      case kSkinCopyImage:
        placed[button] = Moved(r, 0, dy);
        break;
      case kSkinOpenImage:
        placed[button] = Moved(r, dx, dy);
        break;
      case kSkinInfo: {
        const int32_t w = int32_t(r.Width()), h = int32_t(r.Height());
        const int32_t right = client.width - 1, top = (client.height - h) / 2;
        placed[button] = {right - w, top, right, top + h};
        break;
      }
      default:
        placed[button] = r;
        break;
    }
  }
  return placed;
}

SkinZone HitSkinZone(const SkinDescription& skin, Size client, Point point) {
  if (point.x < 0 || point.y < 0 || point.x >= client.width || point.y >= client.height)
    return SkinZone::None;
  const Size design = skin.DesignSize();
  const Rect& grip = skin.rects[kSkinRightBottomCorner];
  if (!grip.IsEmpty() &&
      Moved(grip, client.width - design.width, client.height - design.height).Contains(point))
    return SkinZone::BottomRight;
  const Rect& frame = skin.rects[kSkinClientOffsets];
  auto thickness = [](int64_t v) { return int32_t(std::clamp<int64_t>(v, kSkinZoneMin, 64)); };
  const int32_t left = thickness(frame.left), top = thickness(frame.top);
  const int32_t right = thickness(frame.Width()), bottom = thickness(frame.Height());
  const bool nearLeft = point.x < std::max(left, kSkinCornerReach);
  const bool nearRight = point.x >= client.width - std::max(right, kSkinCornerReach);
  const bool nearTop = point.y < std::max(top, kSkinCornerReach);
  const bool nearBottom = point.y >= client.height - std::max(bottom, kSkinCornerReach);
  const bool onLeft = point.x < left, onRight = point.x >= client.width - right;
  const bool onTop = point.y < top, onBottom = point.y >= client.height - bottom;
  if ((onTop && nearLeft) || (onLeft && nearTop)) return SkinZone::TopLeft;
  if ((onTop && nearRight) || (onRight && nearTop)) return SkinZone::TopRight;
  if ((onBottom && nearLeft) || (onLeft && nearBottom)) return SkinZone::BottomLeft;
  if ((onBottom && nearRight) || (onRight && nearBottom)) return SkinZone::BottomRight;
  if (onLeft) return SkinZone::Left;
  if (onRight) return SkinZone::Right;
  if (onTop) return SkinZone::Top;
  if (onBottom) return SkinZone::Bottom;
  return SkinZone::None;
}

Rect ClampSkinDrag(Rect r, SkinZone zone) {
  const bool dragsLeft =
      zone == SkinZone::Left || zone == SkinZone::TopLeft || zone == SkinZone::BottomLeft;
  const bool dragsTop =
      zone == SkinZone::Top || zone == SkinZone::TopLeft || zone == SkinZone::TopRight;
  if (r.Width() < kSkinMinDragWidth) {
    if (dragsLeft)
      r.left = ClampCoord(int64_t(r.right) - kSkinMinDragWidth);
    else
      r.right = ClampCoord(int64_t(r.left) + kSkinMinDragWidth);
  }
  if (r.Height() < kSkinMinDragHeight) {
    if (dragsTop)
      r.top = ClampCoord(int64_t(r.bottom) - kSkinMinDragHeight);
    else
      r.bottom = ClampCoord(int64_t(r.top) + kSkinMinDragHeight);
  }
  return r;
}

}  // namespace viewer
