// The skinned window: the skin chosen at start-up or from the context menu, the
// switch between a top-level window of its own and a child of the host, the frame,
// buttons and texts drawn from the skin's bitmap, and sizing by the frame's zones.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>

#include "ResourceIds.h"
#include "host/Commands.h"
#include "image/Film.h"
#include "platform/Text.h"
#include "ui/Handles.h"
#include "ui/Text.h"
#include "viewer/win32/LiteCtrl.h"
#include "viewer/win32/OrbiskWnd.h"

namespace viewer {
namespace {

constexpr wchar_t kSkinFailed[] = L"Skin file not found or corrupted!";

// The command of each skin button; 0 for the looks of another button.
constexpr UINT kButtonCommands[kSkinButtonCount] = {host::kCmdKeepVisible,
                                                    host::kCmdOpenPrev,
                                                    host::kCmdOpenNext,
                                                    host::kCmdStepBack,
                                                    host::kCmdStepNext,
                                                    host::kCmdMinimize,
                                                    host::kCmdExit,
                                                    host::kCmdCopyPath,
                                                    host::kCmdCopyImage,
                                                    host::kCmdOpenImage,
                                                    host::kCmdVisitWebSite,
                                                    host::kCmdShowInfoPanel,
                                                    host::kCmdMaximize,
                                                    0,
                                                    0,
                                                    0,
                                                    host::kCmdConverterWebPage};

// What each skin button's tooltip says, by its command.
const wchar_t* SkinButtonTip(UINT command) {
  switch (command) {
    case host::kCmdShowInfoPanel:
      return L"Open/Close image info";
    case host::kCmdKeepVisible:
      return L"Keep Visible";
    case host::kCmdOpenPrev:
      return L"Show previous image in the folder (Left Arrow)";
    case host::kCmdOpenNext:
      return L"Show next image in the folder (Right Arrow)";
    case host::kCmdStepBack:
      return L"Show previous showed image";
    case host::kCmdStepNext:
      return L"Show next showed image";
    case host::kCmdCopyPath:
      return L"Copy string contained full path of image to clipboard";
    case host::kCmdCopyImage:
      return L"Copy showing image to clipboard";
    case host::kCmdOpenImage:
      return L"Open new image...";
    case host::kCmdMinimize:
      return L"Minimize Orbisk";
    case host::kCmdMaximize:
      return L"Maximize Orbisk";
    case host::kCmdExit:
      return L"Close Orbisk";
    case host::kCmdVisitWebSite:
      return L"Visit a site";
    case host::kCmdConverterWebPage:
      return L"Do you want to convert this or other files to another format? Click here";
    default:
      return nullptr;
  }
}

RECT ToRect(const Rect& r) { return {r.left, r.top, r.right, r.bottom}; }

// The skinned caption's font: the default GUI font 4 units taller, weight 900; Arial
// 10 point bold when that font cannot be read.
HFONT CaptionFont() {
  LOGFONTW font{};
  if (GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font) == sizeof font) {
    font.lfHeight += font.lfHeight < 0 ? -4 : 4;
    font.lfWeight = 900;
    return CreateFontIndirectW(&font);
  }
  HDC screen = GetDC(nullptr);
  int height = -MulDiv(10, GetDeviceCaps(screen, LOGPIXELSY), 72);
  ReleaseDC(nullptr, screen);
  return CreateFontW(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, L"Arial");
}
COLORREF Colour(uint32_t skinColour) { return COLORREF(skinColour & 0x00FFFFFFu); }

// A piece of the skin's bitmap stretched over a place of the window; the pieces of
// the edges are even along their length, so stretching them tiles them.
void DrawPiece(HDC target, HDC source, const Rect& piece, RECT place) {
  if (piece.IsEmpty() || place.right <= place.left || place.bottom <= place.top) return;
  StretchBlt(target, place.left, place.top, place.right - place.left, place.bottom - place.top,
             source, piece.left, piece.top, int(piece.Width()), int(piece.Height()), SRCCOPY);
}

LPCSTR CursorFor(SkinZone zone) {
  switch (zone) {
    case SkinZone::Left:
    case SkinZone::Right:
      return IDC_SIZEWE;
    case SkinZone::Top:
    case SkinZone::Bottom:
      return IDC_SIZENS;
    case SkinZone::TopLeft:
    case SkinZone::BottomRight:
      return IDC_SIZENWSE;
    case SkinZone::TopRight:
    case SkinZone::BottomLeft:
      return IDC_SIZENESW;
    case SkinZone::None:
      break;
  }
  return nullptr;
}

// The information list in the skin's table colours; the classic look keeps the list's
// own. The text is black or white, whichever stands out on the value column.
InfoList::Colors ListColours(const CSkin& skin) {
  if (!skin.Active()) return {};
  auto c = [&](int id) { return Colour(skin.Colour(id)); };
  InfoList::Colors colours;
  colours.header = c(kSkinTblCatalog);
  colours.margin = colours.background = c(kSkinTbl0);
  colours.nameEven = c(kSkinTbl10);
  colours.nameOdd = c(kSkinTbl11);
  colours.valueEven = c(kSkinTbl20);
  colours.valueOdd = c(kSkinTbl21);
  const COLORREF v = colours.valueEven;
  const int luminance = 299 * GetRValue(v) + 587 * GetGValue(v) + 114 * GetBValue(v);
  colours.text = luminance < 128000 ? RGB(255, 255, 255) : RGB(0, 0, 0);
  return colours;
}

Size ClientSize(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return {client.right, client.bottom};
}

}  // namespace

// ---- the file manager's display choices ----

namespace {

constexpr uint32_t kDarkBackground = 0x202020;

InfoList::Colors DarkListColours() {
  InfoList::Colors colours;
  colours.header = RGB(0x45, 0x45, 0x45);
  colours.margin = colours.background = RGB(0x20, 0x20, 0x20);
  colours.nameEven = RGB(0x2C, 0x2C, 0x2C);
  colours.nameOdd = RGB(0x28, 0x28, 0x28);
  colours.valueEven = RGB(0x33, 0x33, 0x33);
  colours.valueOdd = RGB(0x2E, 0x2E, 0x2E);
  colours.text = RGB(0xE8, 0xE8, 0xE8);
  return colours;
}

}  // namespace

uint32_t COrbiskWnd::ShownBackground() const {
  return hostDark_ ? kDarkBackground : uint32_t(settings_.backgroundColor);
}

// A skin keeps its own colours; the classic list follows the host's dark mode.
InfoList::Colors COrbiskWnd::InfoColours() const {
  if (hostDark_ && !SkinActive()) return DarkListColours();
  return skin_ ? ListColours(*skin_) : InfoList::Colors{};
}

void COrbiskWnd::ApplyLookColours() {
  infoPanel_.SetColors(InfoColours());
  // The classic look has colours of its own too, taken from the system's.
  if (display_ && skin_) {
    display_->SetNavigationFrame(Colour(skin_->Colour(kSkinBackground)),
                                 Colour(skin_->Colour(kSkinDark)));
  }
}

void COrbiskWnd::ApplyHostDisplay(const HostDisplay& display) {
  hostDark_ = display.dark;
  ApplyLookColours();
  if (!display_) return;
  if (display.centred) display_->SetCentred(*display.centred);
  display_->SetBackground(ShownBackground(), 0, -1);
  InvalidateRect(display_->hwnd(), nullptr, FALSE);
  if (!display.fit) return;
  std::pair<bool, bool> options{*display.fit, *display.fit && display.largerOnly};
  if (hostFit_ == options) return;
  hostFit_ = options;
  UINT command = !options.first   ? host::kCmdActualSize
                 : options.second ? host::kCmdBestFit
                                  : host::kCmdFitInWindow;
  SendMessageW(hwnd(), WM_COMMAND, command, 0);
}

void COrbiskWnd::TellHostOfFit() {
  if (Standalone() || !parent_ || !display_) return;
  ViewMode mode = display_->GetViewMode();
  bool fit = mode == ViewMode::FitInWindow || mode == ViewMode::BestFit;
  if (hostFit_ && hostFit_->first == fit) return;
  hostFit_ = {fit, mode == ViewMode::BestFit};
  HWND known = ListerWindow() && stub_ ? stub_ : hwnd();
  PostMessageW(parent_, WM_COMMAND, MAKEWPARAM(fit ? 1 : 0, kListerFitCommand), LPARAM(known));
}

void COrbiskWnd::InitSkin() {
  skin_ = std::make_unique<CSkin>();
  skin_->Enumerate();
  skin_->LoadByName(host::SkinToLoad(settings_, QuickView()));
  glib::Film* bitmap = skin_->Bitmap();
  skinBitmap_.reset(bitmap ? HBITMAP(bitmap->CreateSlideDIB(0, true)) : nullptr);
  // Nothing is drawn from a skin whose bitmap cannot be drawn.
  if (skin_->Active() && !skinBitmap_) skin_->LoadByIndex(-1);
  // A skin that failed is not tried again at the next start.
  if (!skin_->Active()) RememberSkinName();
  ApplyLookColours();
}

void COrbiskWnd::RememberSkinName() {
  // Quick view never uses a skin and leaves the setting as it was.
  if (!QuickView()) settings_.skin = skin_->CurrentName();
}

void COrbiskWnd::OnContextMenu(POINT screen) {
  if (LoadRunning() || slideShow_ || !skin_) return;
  ui::UniqueMenu menu(LoadMenuW(ui::ThisModule(), MAKEINTRESOURCEW(IDR_SKIN_MENU)));
  HMENU popup = menu ? GetSubMenu(menu.get(), 0) : nullptr;
  if (!popup) return;
  skin_->Enumerate();
  const std::vector<std::string>& names = skin_->Names();
  HMENU window = GetSubMenu(popup, 2);
  // A quick-view panel and the full screen keep their window as it is.
  if (!names.empty() && window && !QuickView() && !fullScreen_) {
    HMENU list = CreatePopupMenu();
    for (size_t i = 0; i < names.size() && i <= CSkin::kLastId - CSkin::kFirstSkinId; ++i) {
      if (int(i) == skin_->Index()) continue;
      AppendMenuW(list, MF_STRING, CSkin::kFirstSkinId + i, ui::WideFromNarrow(names[i]).c_str());
    }
    if (SkinActive()) {
      AppendMenuW(list, MF_SEPARATOR, 0, nullptr);
      AppendMenuW(list, MF_STRING, CSkin::kClassicId, L"Windows classic");
    }
    AppendMenuW(window, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(window, MF_POPUP, UINT_PTR(list), L"Skins list");
  }
  if (screen.x == -1 && screen.y == -1) {
    RECT r{};
    GetWindowRect(hwnd(), &r);
    screen = {r.left + 8, r.top + 8};
  }
  TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, hwnd(), nullptr);
}

void COrbiskWnd::ChooseSkin(UINT command) {
  if (skin_->IsCurrent(command)) return;
  if (command == CSkin::kClassicId) {
    skin_->LoadByIndex(-1);
    skinBitmap_.reset();
    ApplyLookColours();
    RememberSkinName();
    EmbedInHost();
    RefreshTitle();
    return;
  }
  if (!SkinActive()) DetachFromHost();
  HCURSOR oldCursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  LockWindowUpdate(hwnd());
  skin_->LoadByIndex(int(command - CSkin::kFirstSkinId));
  glib::Film* bitmap = skin_->Bitmap();
  skinBitmap_.reset(bitmap ? HBITMAP(bitmap->CreateSlideDIB(0, true)) : nullptr);
  if (SkinActive() && !skinBitmap_) skin_->LoadByIndex(-1);
  ApplyLookColours();
  LockWindowUpdate(nullptr);
  SetCursor(oldCursor);
  RememberSkinName();
  if (!SkinActive()) {
    EmbedInHost();
    Layout();
    MessageBoxW(hwnd(), kSkinFailed, L"Orbisk", MB_OK | MB_ICONSTOP | MB_TOPMOST);
    return;
  }
  const Size client = ClientSize(hwnd());
  SendMessageW(hwnd(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.width, client.height));
  if (display_) InvalidateRect(display_->hwnd(), nullptr, FALSE);
  Layout();
  RefreshTitle();
  InvalidateRect(hwnd(), nullptr, TRUE);
  SetFocus(hwnd());
}

void COrbiskWnd::DetachFromHost() {
  RECT host{};
  GetWindowRect(parent_, &host);
  ShowWindow(parent_, SW_HIDE);
  LONG_PTR style = GetWindowLongPtrW(hwnd(), GWL_STYLE);
  SetWindowLongPtrW(hwnd(), GWL_STYLE, (style & ~LONG_PTR(WS_CHILD)) | WS_POPUP);
  SetParent(hwnd(), nullptr);
  const int width = std::max<int>(host.right - host.left, kSkinMinDetachWidth);
  const int height = std::max<int>(host.bottom - host.top, kSkinMinDetachHeight);
  SetWindowPos(hwnd(), nullptr, host.left, host.top, width, height,
               SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
  const Size client = ClientSize(hwnd());
  PostMessageW(hwnd(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.width, client.height));
}

void COrbiskWnd::EmbedInHost() {
  RECT own{};
  GetWindowRect(hwnd(), &own);
  LONG_PTR style = GetWindowLongPtrW(hwnd(), GWL_STYLE);
  SetWindowLongPtrW(hwnd(), GWL_STYLE, (style & ~LONG_PTR(WS_POPUP)) | WS_CHILD);
  SetParent(hwnd(), parent_);
  SetWindowPos(parent_, nullptr, own.left, own.top, own.right - own.left, own.bottom - own.top,
               SWP_NOZORDER | SWP_SHOWWINDOW);
  const Size client = ClientSize(parent_);
  SetWindowPos(hwnd(), nullptr, 0, 0, client.width, client.height,
               SWP_NOZORDER | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
}

RECT COrbiskWnd::SkinClientArea(int width, int height) const {
  const Rect& offsets = skin_->Named(kSkinClientOffsets);
  RECT area{offsets.left, offsets.top, width - int(offsets.Width()),
            height - int(offsets.Height())};
  area.right = std::max(area.left, area.right);
  area.bottom = std::max(area.top, area.bottom);
  return area;
}

void COrbiskWnd::PaintSkin(HDC target) {
  const Size size = ClientSize(hwnd());
  if (size.width <= 0 || size.height <= 0) return;
  const int w = size.width, h = size.height;
  ui::UniqueMemoryDC canvas(CreateCompatibleDC(target));
  ui::UniqueBitmap surface(CreateCompatibleBitmap(target, w, h));
  ui::UniqueMemoryDC source(CreateCompatibleDC(target));
  if (!canvas || !surface || !source) return;
  ui::SelectScope canvasBitmap(canvas.get(), surface.get());
  ui::SelectScope sourceBitmap(source.get(), skinBitmap_.get());
  HDC dc = canvas.get(), src = source.get();

  ui::UniqueBrush back(CreateSolidBrush(Colour(skin_->Colour(kSkinBackground))));
  RECT all{0, 0, w, h};
  FillRect(dc, &all, back.get());
  auto named = [&](int id) -> const Rect& { return skin_->Named(id); };
  auto width = [&](int id) { return int(named(id).Width()); };
  auto height = [&](int id) { return int(named(id).Height()); };
  // The caption bar: its left and right ends and the middle between them.
  const int top = height(kSkinTopLeftImage);
  DrawPiece(dc, src, named(kSkinTopLeftImage), {0, 0, width(kSkinTopLeftImage), top});
  DrawPiece(dc, src, named(kSkinTopBottomImage), {w - width(kSkinTopBottomImage), 0, w, top});
  DrawPiece(dc, src, named(kSkinTopMiddle),
            {width(kSkinTopLeftImage), 0, w - width(kSkinTopBottomImage), top});
  // The status bar likewise.
  const int bottom = height(kSkinBottomLeftImage);
  DrawPiece(dc, src, named(kSkinBottomLeftImage), {0, h - bottom, width(kSkinBottomLeftImage), h});
  DrawPiece(dc, src, named(kSkinBottomRightImage),
            {w - width(kSkinBottomRightImage), h - bottom, w, h});
  DrawPiece(dc, src, named(kSkinBottomMiddle),
            {width(kSkinBottomLeftImage), h - bottom, w - width(kSkinBottomRightImage), h});
  // The sides between the two bars.
  DrawPiece(dc, src, named(kSkinLeftMiddle), {0, top, width(kSkinLeftMiddle), h - bottom});
  DrawPiece(dc, src, named(kSkinRightMiddle), {w - width(kSkinRightMiddle), top, w, h - bottom});
  PaintSkinButtons(dc, src);

  // The title and the status texts in their rectangles, which grow with the window.
  const Size design = skin_->Description().DesignSize();
  const int dx = w - design.width, dy = h - design.height;
  SetBkMode(dc, TRANSPARENT);
  RECT title = ToRect(named(kSkinTitleText));
  title.right += dx;
  std::wstring caption(size_t(GetWindowTextLengthW(hwnd())) + 1, L'\0');
  caption.resize(size_t(GetWindowTextW(hwnd(), caption.data(), int(caption.size()))));
  {
    // The caption: the default GUI font, 4 units taller and at weight 900, shortened
    // to the caption's room.
    if (!captionFont_) captionFont_.reset(CaptionFont());
    ui::SelectScope font(
        dc, captionFont_ ? HGDIOBJ(captionFont_.get()) : GetStockObject(DEFAULT_GUI_FONT));
    SetTextColor(dc, Colour(skin_->Colour(kSkinTitleColour)));
    DrawTextW(dc, caption.c_str(), int(caption.size()), &title,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  }
  // The status texts: image, pages and zoom at the area's left edge, 145 pixels further
  // and another 94 pixels further, in the default GUI font.
  RECT status = ToRect(named(kSkinStatusText));
  OffsetRect(&status, 0, dy);
  status.right += dx;
  ui::SelectScope font(dc, GetStockObject(DEFAULT_GUI_FONT));
  SetTextColor(dc, Colour(skin_->Colour(kSkinTextColour)));
  const std::string* parts[] = {&statusTexts_.image, &statusTexts_.pages, &statusTexts_.zoom};
  const int offsets[] = {0, 145, 145 + 94};
  for (int i = 0; i < 3; ++i) {
    RECT piece = status;
    piece.left = status.left + offsets[i];
    if (i < 2) piece.right = std::min<LONG>(status.right, status.left + offsets[i + 1]);
    if (piece.left >= piece.right) break;
    std::wstring text = ui::WideFromUtf8(*parts[i]);
    DrawTextW(dc, text.c_str(), int(text.size()), &piece,
              DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
  }
  // One copy to the screen; the children are clipped out of it.
  BitBlt(target, 0, 0, w, h, dc, 0, 0, SRCCOPY);
}

void COrbiskWnd::PaintSkinButtons(HDC target, HDC source) {
  HWND top = TopLevelWindow();
  for (int button = 0; button < kSkinButtonCount; ++button) {
    if (kButtonCommands[button] == 0 || skinButtons_[button].IsEmpty()) continue;
    // A button in its other state shows the looks of its second entry.
    int looks = button;
    if (button == kSkinToggle && settings_.isTopmostWindow) looks = kSkinToggle2;
    if (button == kSkinInfo && settings_.showInfo) looks = kSkinInfo2;
    if (button == kSkinMaximize && IsZoomed(top)) looks = kSkinRestore;
    if (skin_->Button(looks, 1).IsEmpty()) looks = button;
    // The maximise button stays down while the window is maximised or minimised.
    const bool held = button == kSkinMaximize && (IsZoomed(top) || IsIconic(top));
    const int look = pressedSkinButton_ == button || held ? 3 : 1;
    DrawPiece(target, source, skin_->Button(looks, look), ToRect(skinButtons_[button]));
  }
}

void COrbiskWnd::PlaceSkinTips() {
  if (!SkinActive()) {
    if (skinTips_) DestroyWindow(skinTips_);
    skinTips_ = nullptr;
    return;
  }
  if (!skinTips_) {
    skinTips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd(),
                                nullptr, ui::ThisModule(), nullptr);
    if (!skinTips_) return;
  }
  for (int button = 0; button < kSkinButtonCount; ++button) {
    const wchar_t* tip = SkinButtonTip(kButtonCommands[button]);
    if (!tip) continue;
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_SUBCLASS;
    tool.hwnd = hwnd();
    tool.uId = UINT_PTR(button);
    tool.rect = ToRect(skinButtons_[button]);
    tool.lpszText = const_cast<wchar_t*>(tip);
    SendMessageW(skinTips_, TTM_DELTOOLW, 0, LPARAM(&tool));
    if (!skinButtons_[button].IsEmpty()) SendMessageW(skinTips_, TTM_ADDTOOLW, 0, LPARAM(&tool));
  }
}

int COrbiskWnd::SkinButtonAt(POINT point) const {
  for (int button = 0; button < kSkinButtonCount; ++button) {
    if (kButtonCommands[button] != 0 && skinButtons_[button].Contains({point.x, point.y}))
      return button;
  }
  return -1;
}

void COrbiskWnd::DragSkinFrame(POINT screen) {
  const int dx = screen.x - dragStart_.x, dy = screen.y - dragStart_.y;
  Rect r{dragStartRect_.left, dragStartRect_.top, dragStartRect_.right, dragStartRect_.bottom};
  switch (dragZone_) {
    case SkinZone::Left:
      r.left += dx;
      break;
    case SkinZone::Right:
      r.right += dx;
      break;
    case SkinZone::Top:
      r.top += dy;
      break;
    case SkinZone::Bottom:
      r.bottom += dy;
      break;
    case SkinZone::TopLeft:
      r.left += dx, r.top += dy;
      break;
    case SkinZone::TopRight:
      r.right += dx, r.top += dy;
      break;
    case SkinZone::BottomLeft:
      r.left += dx, r.bottom += dy;
      break;
    case SkinZone::BottomRight:
      r.right += dx, r.bottom += dy;
      break;
    case SkinZone::None:
      return;
  }
  r = ClampSkinDrag(r, dragZone_);
  SetWindowPos(TopLevelWindow(), nullptr, r.left, r.top, int(r.Width()), int(r.Height()),
               SWP_NOZORDER | SWP_NOACTIVATE);
  if (mainWindow_ && ListerWindow()) RedrawWindow(mainWindow_, nullptr, nullptr, RDW_INVALIDATE);
}

bool COrbiskWnd::OnSkinMessage(UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result) {
  if (message == WM_CONTEXTMENU) {
    OnContextMenu({int16_t(LOWORD(lparam)), int16_t(HIWORD(lparam))});
    return true;
  }
  if (!SkinActive()) return false;
  const POINT point{int16_t(LOWORD(lparam)), int16_t(HIWORD(lparam))};
  HWND top = TopLevelWindow();
  const bool sizable = !IsZoomed(top) && !IsIconic(top) && !fullScreen_;
  switch (message) {
    case WM_ERASEBKGND:
      result = 1;
      return true;
    case WM_NCHITTEST: {
      // The caption bar outside the buttons and the frame's zones moves the window.
      POINT client = point;
      ScreenToClient(hwnd(), &client);
      const bool onBar = client.y >= 0 && client.y < skin_->Named(kSkinClientOffsets).top;
      if (!onBar || SkinButtonAt(client) >= 0) return false;
      if (sizable && HitSkinZone(skin_->Description(), ClientSize(hwnd()), {client.x, client.y}) !=
                         SkinZone::None)
        return false;
      result = HTCAPTION;
      return true;
    }
    case WM_PAINT: {
      ui::PaintScope paint(hwnd());
      PaintSkin(paint.dc());
      return true;
    }
    case WM_SETCURSOR: {
      if (LOWORD(lparam) != HTCLIENT || HWND(wparam) != hwnd() || !sizable) return false;
      POINT cursor{};
      GetCursorPos(&cursor);
      ScreenToClient(hwnd(), &cursor);
      LPCSTR shape =
          CursorFor(HitSkinZone(skin_->Description(), ClientSize(hwnd()), {cursor.x, cursor.y}));
      if (!shape) return false;
      SetCursor(LoadCursorA(nullptr, shape));
      result = TRUE;
      return true;
    }
    case WM_LBUTTONDOWN: {
      SetFocus(hwnd());
      pressedSkinButton_ = SkinButtonAt(point);
      dragZone_ = pressedSkinButton_ < 0 && sizable
                      ? HitSkinZone(skin_->Description(), ClientSize(hwnd()), {point.x, point.y})
                      : SkinZone::None;
      if (pressedSkinButton_ < 0 && dragZone_ == SkinZone::None) return false;
      SetCapture(hwnd());
      dragStart_ = point;
      ClientToScreen(hwnd(), &dragStart_);
      GetWindowRect(top, &dragStartRect_);
      InvalidateRect(hwnd(), nullptr, FALSE);
      return true;
    }
    case WM_MOUSEMOVE:
      if (dragZone_ == SkinZone::None) return false;
      {
        POINT screen = point;
        ClientToScreen(hwnd(), &screen);
        DragSkinFrame(screen);
      }
      return true;
    case WM_LBUTTONUP: {
      const int pressed = std::exchange(pressedSkinButton_, -1);
      const bool dragged = std::exchange(dragZone_, SkinZone::None) != SkinZone::None;
      if (pressed < 0 && !dragged) return false;
      ReleaseCapture();
      InvalidateRect(hwnd(), nullptr, FALSE);
      if (pressed >= 0 && SkinButtonAt(point) == pressed) OnCommand(kButtonCommands[pressed]);
      return true;
    }
    case WM_CAPTURECHANGED:
      pressedSkinButton_ = -1;
      dragZone_ = SkinZone::None;
      return false;
    case WM_WINDOWPOSCHANGED: {
      // Maximised, minimised or restored: the maximise button shows it.
      const RECT button = ToRect(skinButtons_[kSkinMaximize]);
      InvalidateRect(hwnd(), &button, FALSE);
      return false;
    }
  }
  return false;
}

}  // namespace viewer
