// The document's operating-system services on Windows: file chores, GDI+ for
// vector pictures, the notice metafile among the module's resources, and vector
// pictures re-recorded with a transform.
#include <windows.h>

#include <objidl.h>
#include <propidl.h>
// GDI+ after the COM declarations it builds on.
#include <gdiplus.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "image/FilmPlatform.h"
#include "image/NoticePicture.h"
#include "image/win32/MetafilePicture.h"
#include "ui/Handles.h"
#include "ui/Window.h"

namespace glib {
namespace {

ULONG_PTR gdiplusToken = 0;
win32::GdiplusRenderer renderer;

XFORM Identity() { return XFORM{1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f}; }

}  // namespace

void UnlockWholeFile(const std::string& path) {
  ui::UniqueHandleObject file(CreateFileA(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    file.release();
    return;
  }
  UnlockFile(file.get(), 0, 0, MAXDWORD, MAXDWORD);
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }

bool RemoveFileWide(const char16_t* path) {
  return path && DeleteFileW(reinterpret_cast<const wchar_t*>(path)) != FALSE;
}

int64_t FileSizeOf(const std::u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(reinterpret_cast<const wchar_t*>(path.c_str()), GetFileExInfoStandard,
                            &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return -1;
  return int64_t((uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
}

bool ReplaceFileWith(const std::u16string& target, const std::u16string& finished) {
  // A read-only target stays (not every file system refuses to replace it); the move
  // refuses one another program holds open without sharing.
  DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(target.c_str()));
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    return false;
  return MoveFileExW(reinterpret_cast<const wchar_t*>(finished.c_str()),
                     reinterpret_cast<const wchar_t*>(target.c_str()),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool StartGraphics() {
  Gdiplus::GdiplusStartupInput input;
  if (Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr) != Gdiplus::Ok) return false;
  SetVectorRenderer(&renderer);
  return true;
}

void StopGraphics() {
  SetVectorRenderer(nullptr);
  Gdiplus::GdiplusShutdown(gdiplusToken);
  gdiplusToken = 0;
}

uint32_t FindResourceBytes(void* module, uint16_t id, const char* type, const void*& data,
                           uint32_t& size) {
  data = nullptr;
  size = 0;
  HMODULE from = module ? static_cast<HMODULE>(module) : GetModuleHandleW(nullptr);
  HRSRC found = FindResourceA(from, MAKEINTRESOURCEA(id), type);
  if (!found) return MISS;
  HGLOBAL loaded = LoadResource(from, found);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  const DWORD length = SizeofResource(from, found);
  if (!bytes || length == 0) return BADI;
  data = bytes;
  size = length;
  return RCOK;
}

bool MakeNoticePage(IDEPage& page) {
  const void* data = nullptr;
  uint32_t size = 0;
  if (FindResourceBytes(ui::ThisModule(), kNoticeResourceId, MAKEINTRESOURCEA(10), data, size) !=
      RCOK)
    return false;
  win32::MetafilePicture* picture = win32::MetafileFromBytes(data, size);
  if (!picture) return false;
  CoreBitmap& b = page.bitmap;
  b.picture = AsOwnedObject(picture);
  b.width = kNoticeWidth;
  b.height = kNoticeHeight;
  b.pixelType = kPixelVector;
  b.ownsPixels = 1;
  page.resolutionX = page.resolutionY = 96.0f;
  return true;
}

OwnedObject* ResizePicture(const OwnedObject* picture, int32_t sourceX, int32_t sourceY,
                           int32_t sourceWidth, int32_t sourceHeight, int32_t width,
                           int32_t height) {
  HENHMETAFILE metafile = win32::MetafileOf(picture);
  auto* own = static_cast<const win32::MetafilePicture*>(AsVectorPicture(picture));
  if (!metafile || sourceWidth <= 0 || sourceHeight <= 0) return nullptr;
  const double sx = double(width) / sourceWidth, sy = double(height) / sourceHeight;
  RECT placement{LONG(-sourceX * sx), LONG(-sourceY * sy), LONG((own->width - sourceX) * sx + 0.5),
                 LONG((own->height - sourceY) * sy + 0.5)};
  return AsOwnedObject(win32::Rerecord(metafile, width, height, Identity(), placement));
}

OwnedObject* MirrorPicture(const OwnedObject* picture, int32_t width, int32_t height, bool vertical,
                           bool horizontal) {
  HENHMETAFILE metafile = win32::MetafileOf(picture);
  if (!metafile) return nullptr;
  XFORM turn = Identity();
  if (horizontal) turn.eM11 = -1.0f, turn.eDx = float(width);
  if (vertical) turn.eM22 = -1.0f, turn.eDy = float(height);
  return AsOwnedObject(win32::Rerecord(metafile, width, height, turn, RECT{0, 0, width, height}));
}

OwnedObject* RotatePicture(const OwnedObject* picture, int32_t width, int32_t height,
                           double degrees, int32_t& newWidth, int32_t& newHeight) {
  HENHMETAFILE metafile = win32::MetafileOf(picture);
  if (!metafile || !std::isfinite(degrees)) return nullptr;
  const double r = degrees * std::numbers::pi / 180.0, c = std::cos(r), s = std::sin(r);
  newWidth = std::max(1, int32_t(std::lround(std::fabs(width * c) + std::fabs(height * s))));
  newHeight = std::max(1, int32_t(std::lround(std::fabs(width * s) + std::fabs(height * c))));
  // Clockwise about the centre, then moved to the centre of the larger box.
  const double cx = width / 2.0, cy = height / 2.0;
  XFORM turn{float(c), float(s), float(-s), float(c), 0.0f, 0.0f};
  turn.eDx = float(newWidth / 2.0 - (cx * c - cy * s));
  turn.eDy = float(newHeight / 2.0 - (cx * s + cy * c));
  return AsOwnedObject(
      win32::Rerecord(metafile, newWidth, newHeight, turn, RECT{0, 0, width, height}));
}

}  // namespace glib
