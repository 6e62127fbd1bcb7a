// Owners for Win32 handles and scoped helpers for the calls that must be undone.
// Every handle the program creates has exactly one of these as its owner.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <utility>

namespace ui {

// A move-only owner of one handle; Close is how that kind of handle is released.
template <class Handle, auto Close, Handle Invalid = Handle{}>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != Invalid; }
  Handle release() { return std::exchange(handle_, Invalid); }
  void reset(Handle handle = Invalid) {
    Handle old = std::exchange(handle_, handle);
    if (old != Invalid) Close(old);
  }

 private:
  Handle handle_ = Invalid;
};

namespace detail {
inline void CloseGdiObject(HGDIOBJ object) { DeleteObject(object); }
inline void CloseIcon(HICON icon) { DestroyIcon(icon); }
inline void CloseCursor(HCURSOR cursor) { DestroyCursor(cursor); }
inline void CloseMenu(HMENU menu) { DestroyMenu(menu); }
inline void CloseWindow(HWND window) { DestroyWindow(window); }
inline void CloseModule(HMODULE module) { FreeLibrary(module); }
inline void CloseKernelHandle(HANDLE handle) { CloseHandle(handle); }
inline void CloseMemoryDC(HDC dc) { DeleteDC(dc); }
inline void CloseAccelerators(HACCEL accel) { DestroyAcceleratorTable(accel); }
inline void CloseEnhMetaFile(HENHMETAFILE metafile) { DeleteEnhMetaFile(metafile); }
inline void CloseRegKey(HKEY key) { RegCloseKey(key); }
inline void CloseImageList(HIMAGELIST list) { ImageList_Destroy(list); }
inline void CloseGlobal(HGLOBAL block) { GlobalFree(block); }
}  // namespace detail

using UniqueBitmap = UniqueHandle<HBITMAP, detail::CloseGdiObject>;
using UniqueBrush = UniqueHandle<HBRUSH, detail::CloseGdiObject>;
using UniqueFont = UniqueHandle<HFONT, detail::CloseGdiObject>;
using UniquePen = UniqueHandle<HPEN, detail::CloseGdiObject>;
using UniqueRegion = UniqueHandle<HRGN, detail::CloseGdiObject>;
using UniqueIcon = UniqueHandle<HICON, detail::CloseIcon>;
using UniqueCursor = UniqueHandle<HCURSOR, detail::CloseCursor>;
using UniqueMenu = UniqueHandle<HMENU, detail::CloseMenu>;
using UniqueWindow = UniqueHandle<HWND, detail::CloseWindow>;
using UniqueModule = UniqueHandle<HMODULE, detail::CloseModule>;
using UniqueHandleObject = UniqueHandle<HANDLE, detail::CloseKernelHandle>;
using UniqueMemoryDC = UniqueHandle<HDC, detail::CloseMemoryDC>;
using UniqueAccelerators = UniqueHandle<HACCEL, detail::CloseAccelerators>;
using UniqueEnhMetaFile = UniqueHandle<HENHMETAFILE, detail::CloseEnhMetaFile>;
using UniqueRegKey = UniqueHandle<HKEY, detail::CloseRegKey>;
using UniqueImageList = UniqueHandle<HIMAGELIST, detail::CloseImageList>;
// A global memory block until something (the clipboard) takes it: release() then.
using UniqueGlobal = UniqueHandle<HGLOBAL, detail::CloseGlobal>;

// The header of 32-bit rows, top row first.
inline BITMAPINFOHEADER TopDownHeader32(int32_t width, int32_t height) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = -height;
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  return header;
}

// A DIB section of 32-bit rows, top row first; *bits points at them (null on failure).
inline UniqueBitmap TopDownSection32(int32_t width, int32_t height, void** bits) {
  BITMAPINFO info{};
  info.bmiHeader = TopDownHeader32(width, height);
  *bits = nullptr;
  return UniqueBitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0));
}

// Puts a menu (or none) on a window and hands back the one it had, now ours to keep
// or, when the answer is dropped, to destroy.
inline UniqueMenu SwapMenu(HWND window, HMENU menu) {
  HMENU old = GetMenu(window);
  SetMenu(window, menu);
  return UniqueMenu(old);
}

// BeginPaint / EndPaint.
class PaintScope {
 public:
  explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
  ~PaintScope() { EndPaint(window_, &paint_); }
  PaintScope(const PaintScope&) = delete;
  PaintScope& operator=(const PaintScope&) = delete;
  HDC dc() const { return dc_; }
  const RECT& dirty() const { return paint_.rcPaint; }

 private:
  HWND window_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

// GetDC (the client area) or GetWindowDC (the whole window, frame included) / ReleaseDC.
class WindowDC {
 public:
  enum Area { kClient, kWholeWindow };
  explicit WindowDC(HWND window, Area area = kClient)
      : window_(window), dc_(area == kClient ? GetDC(window) : GetWindowDC(window)) {}
  ~WindowDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC dc() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// SelectObject, restored when the scope ends.
class SelectScope {
 public:
  SelectScope(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~SelectScope() {
    if (old_ && old_ != HGDI_ERROR) SelectObject(dc_, old_);
  }
  SelectScope(const SelectScope&) = delete;
  SelectScope& operator=(const SelectScope&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// OpenClipboard / CloseClipboard; check ok() before use.
class ClipboardScope {
 public:
  explicit ClipboardScope(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
  ~ClipboardScope() {
    if (open_) CloseClipboard();
  }
  ClipboardScope(const ClipboardScope&) = delete;
  ClipboardScope& operator=(const ClipboardScope&) = delete;
  bool ok() const { return open_; }

 private:
  bool open_;
};

// GlobalLock / GlobalUnlock; data() is null when the block cannot be locked.
class GlobalLockScope {
 public:
  explicit GlobalLockScope(HGLOBAL block)
      : block_(block), data_(block ? GlobalLock(block) : nullptr) {}
  ~GlobalLockScope() {
    if (data_) GlobalUnlock(block_);
  }
  GlobalLockScope(const GlobalLockScope&) = delete;
  GlobalLockScope& operator=(const GlobalLockScope&) = delete;
  void* data() const { return data_; }
  size_t size() const { return data_ ? GlobalSize(block_) : 0; }

 private:
  HGLOBAL block_;
  void* data_;
};

}  // namespace ui
