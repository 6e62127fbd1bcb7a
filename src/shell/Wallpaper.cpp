#include "shell/Wallpaper.h"

#include <windows.h>

#include <memory>

#include "formats/FormatRegistry.h"
#include "formats/ImageSave.h"
#include "image/Film.h"

namespace shell {
namespace {

// The two one-character values of each mode: "WallpaperStyle" and "TileWallpaper".
struct Style {
  const wchar_t* style;
  const wchar_t* tile;
};

Style StyleOf(WallpaperMode mode) {
  switch (mode) {
    case WallpaperMode::kTiled:
      return {L"0", L"1"};
    case WallpaperMode::kStretched:
      return {L"2", L"0"};
    case WallpaperMode::kCentered:
    case WallpaperMode::kClear:
      break;
  }
  return {L"0", L"0"};
}

void SetString(HKEY key, const wchar_t* name, const std::wstring& value) {
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 DWORD((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

std::wstring WallpaperPath() {
  wchar_t windows[MAX_PATH] = {};
  UINT length = GetWindowsDirectoryW(windows, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring folder(windows, length);
  if (folder.back() != L'\\') folder += L'\\';
  folder += L"Wallpaper";
  CreateDirectoryW(folder.c_str(), nullptr);  // there already, or made now
  return folder + L"\\Orbisk_wallpaper.bmp";
}

bool SetWallpaperFromFilm(glib::Film& film, WallpaperMode mode) {
  if (mode == WallpaperMode::kClear) {
    ApplyWallpaper(L"", mode);
    return true;
  }
  HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  std::wstring path = WallpaperPath();
  bool saved = false;
  if (!path.empty()) {
    glib::BMPSave record;
    record.format = glib::kFormatBMP;
    record.topBottom = 0;  // rows bottom-up, as every reader of wallpapers expects
    std::u16string wide(path.begin(), path.end());
    saved = film.SaveW(wide.c_str(), &record) == glib::RCOK;
  }
  if (saved) ApplyWallpaper(path, mode);
  SetCursor(previous);
  return saved;
}

bool FitOnDesktop(const glib::Film& film) {
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  std::unique_ptr<glib::Film> copy(film.ExtractSlides(film.GetCurrentIndex(), 1, glib::Rect{}));
  if (!copy || width <= 0 || height <= 0) return false;
  if (copy->Stretch(width, height, glib::kScaleBilinear, true, 0, 1, 0) != glib::RCOK) return false;
  return SetWallpaperFromFilm(*copy, WallpaperMode::kCentered);
}

void ApplyWallpaper(const std::wstring& path, WallpaperMode mode) {
  if (mode != WallpaperMode::kClear &&
      (path.empty() || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)) {
    return;
  }
  const std::wstring shown = mode == WallpaperMode::kClear ? L"" : path;
  const Style style = StyleOf(mode);
  HKEY desktop = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\desktop", 0, KEY_SET_VALUE, &desktop) ==
      ERROR_SUCCESS) {
    SetString(desktop, L"Wallpaper", shown);
    SetString(desktop, L"WallpaperStyle", style.style);
    SetString(desktop, L"TileWallpaper", style.tile);
    RegCloseKey(desktop);
  }
  std::wstring parameter = shown;
  SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, parameter.data(),
                        SPIF_UPDATEINIFILE | SPIF_SENDCHANGE);
}

}  // namespace shell
