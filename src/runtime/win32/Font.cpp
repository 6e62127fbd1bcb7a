#include "runtime/win32/Font.h"

#include "runtime/TextFit.h"

namespace glib {

Font::Font(const wchar_t* face, int height, unsigned style) {
  LOGFONTW description = {};
  description.lfHeight = height;
  description.lfWeight = (style & kBold) ? FW_BOLD : FW_NORMAL;
  description.lfItalic = (style & kItalic) ? TRUE : FALSE;
  description.lfUnderline = (style & kUnderline) ? TRUE : FALSE;
  description.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(description.lfFaceName, face ? face : L"", LF_FACESIZE);
  font_ = CreateFontIndirectW(&description);
  Select();
}

Font::Font(HFONT handle, int weight) {
  if (!handle) handle = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  LOGFONTW description = {};
  GetObjectW(handle, sizeof description, &description);
  if (weight) description.lfWeight = weight;
  font_ = CreateFontIndirectW(&description);
  Select();
}

Font::~Font() {
  if (dc_) {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
  }
  if (font_) DeleteObject(font_);
}

void Font::Select() {
  dc_ = CreateCompatibleDC(nullptr);
  if (dc_ && font_) old_ = SelectObject(dc_, font_);
}

LOGFONTW Font::ToLogFont() const {
  LOGFONTW description = {};
  if (font_) GetObjectW(font_, sizeof description, &description);
  return description;
}

bool Font::FromLogFont(const LOGFONTW& description) {
  HFONT made = CreateFontIndirectW(&description);
  if (!made) return false;
  if (dc_) SelectObject(dc_, made);
  if (font_) DeleteObject(font_);
  font_ = made;
  return true;
}

SIZE Font::GetTextSize(std::u16string_view text) const {
  SIZE size = {0, 0};
  if (dc_)
    GetTextExtentPoint32W(dc_, reinterpret_cast<const wchar_t*>(text.data()), int(text.size()),
                          &size);
  return size;
}

std::u16string Font::GetShortVisibleString(std::u16string_view text, int width) const {
  return ShortVisibleString(text, width,
                            [this](std::u16string_view part) { return int(GetTextSize(part).cx); });
}

}  // namespace glib
