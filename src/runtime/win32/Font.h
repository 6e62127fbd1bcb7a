// glib::Font: a GDI font owned by the object (or borrowed from a handle), with the
// measurements the list controls need.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace glib {

class Font {
 public:
  enum Style : unsigned { kRegular = 0, kBold = 1, kItalic = 2, kUnderline = 4 };

  // A new font of the face, height in pixels (character height when negative, cell
  // height when positive, as LOGFONT) and style.
  Font(const wchar_t* face, int height, unsigned style = kRegular);
  // A copy of the font behind the handle (the stock GUI font when null), with the
  // given weight when not 0.
  explicit Font(HFONT handle, int weight = 0);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  HFONT GetHFONT() const { return font_; }
  LOGFONTW ToLogFont() const;
  // Replaces the font with one made from the description; false when that fails
  // (the old font stays).
  bool FromLogFont(const LOGFONTW& description);

  // The pixel size of a single-line text in this font.
  SIZE GetTextSize(std::u16string_view text) const;
  int TextHeight() const { return GetTextSize(u"Ag").cy; }
  // The text shortened with "..." to fit the width.
  std::u16string GetShortVisibleString(std::u16string_view text, int width) const;

 private:
  HFONT font_ = nullptr;
  HDC dc_ = nullptr;  // a memory DC with the font selected, for measuring
  HGDIOBJ old_ = nullptr;
  void Select();
};

}  // namespace glib
