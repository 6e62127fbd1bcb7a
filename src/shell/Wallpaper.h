// The shown picture as the desktop wallpaper: written as a Windows bitmap to
// "<Windows folder>\Wallpaper\Orbisk_wallpaper.bmp" and handed to the desktop
// settings, centred, tiled or stretched; or the wallpaper taken away.
#pragma once

#include <string>

namespace glib {
class Film;
}

namespace shell {

enum class WallpaperMode : int { kCentered = 0, kTiled = 1, kStretched = 2, kClear = 4 };

// The wallpaper file, its folder made when missing; empty without a Windows folder.
std::wstring WallpaperPath();

// Writes the Film to the wallpaper file and applies it in `mode`; kClear writes
// nothing and empties the wallpaper. A failed write leaves the desktop as it was
// (false).
bool SetWallpaperFromFilm(glib::Film& film, WallpaperMode mode);

// "Fit on Desktop": a copy of the current slide only, stretched to the screen with
// its proportions kept, set centred; the Film itself is not touched.
bool FitOnDesktop(const glib::Film& film);

// The desktop settings and the system call; an empty path for kClear. A centred,
// tiled or stretched wallpaper needs a path to an existing file.
void ApplyWallpaper(const std::wstring& path, WallpaperMode mode);

}  // namespace shell
