// The display control: a child window and a glib::Film at once, so loading, editing
// and paging act on the control itself. It lays the current slide out by view mode
// and zoom (DisplayMath), draws it with a fast or a quality stretch (PaintMath),
// scrolls it with a CScroller and lets the user pan it with the hand cursors.
//
// CLiteCtrlExEx is the viewer's own control: it reports double-clicks and mouse moves
// to its owner and opens the navigation window from the box between the scroll bars.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "image/Film.h"
#include "ui/Handles.h"
#include "ui/Window.h"
#include "viewer/DisplayMath.h"
#include "viewer/NavigationMath.h"
#include "viewer/ScrollMath.h"
#include "viewer/ViewerTexts.h"
#include "viewer/win32/Scroller.h"

namespace viewer {

class CLiteCtrl : public ui::Window, public glib::Film {
 public:
  CLiteCtrl();
  ~CLiteCtrl() override;

  // A child window (or, for the navigation window, an owned popup).
  bool CreateView(HWND parent, UINT id, bool popup = false);

  // ---- view mode and zoom ----
  void SetViewModeAndZoom(ViewMode mode, float zoom);
  void SetViewMode(ViewMode mode);
  void SetZoom(float zoom);
  float GetZoom() const { return state_.zoom; }
  ViewMode GetViewMode() const { return state_.mode; }
  double GetZoomPercent() const;
  void CenterView();
  void SetFrozen(bool frozen) { frozen_ = frozen; }
  void SetStretchMode(glib::StretchMode mode) { stretchMode_ = mode; }
  void SetPanning(bool panning, bool scrollBars);
  void SetAutoSize(bool autoSize) { autoSize_ = autoSize; }
  // A picture smaller than the window in its middle (the default) or at its top left.
  void SetCentred(bool centred);
  void RecalcLayout();

  // ---- what the viewer reads ----
  bool HasImage() const;
  Size ImageSize() const;
  ImageFacts Facts() const;
  int32_t SlideCount() const { return int32_t(GetSlideCount()); }
  Point ScrollPosition() const { return scroller_.Position(); }
  bool ScrollableX() const { return layout_ && layout_->scrollableX; }
  bool ScrollableY() const { return layout_ && layout_->scrollableY; }
  RECT ImageRect() const { return imageRect_; }
  void ScrollTo(Point target) { scroller_.ScrollTo(target); }

  // ---- the load worker ----
  // While loading, the document is being replaced: the control shows only its
  // background and keeps its layout. Safe from any thread.
  void LoadingBegun();
  void LoadingEnded();
  // The hourglass while a load prepares, before the picture is let go.
  void ShowWaitCursor();
  bool Loading() const { return loading_.load(); }

  // Full screen hides the pointer after a while; any movement shows it again.
  void SetPointerHidden(bool hidden);

  // Film operations that replace the content lay the control out again.
  glib::ERetcode LoadW(const char16_t* path, uint32_t format, glib::ImageLoad* params) override;
  glib::ERetcode Load(const char* path, uint32_t format, glib::ImageLoad* params) override;
  glib::ERetcode LoadMemory(const void* data, uint32_t size, uint32_t format,
                            glib::ImageLoad* params) override;
  glib::ERetcode LoadThumbnailW(const char16_t* path, uint32_t format, bool fallBack,
                                int32_t maxWidth, int32_t maxHeight,
                                glib::ImageLoad* params) override;
  glib::ERetcode LoadThumbnail(const char* path, uint32_t format, bool fallBack, int32_t maxWidth,
                               int32_t maxHeight, glib::ImageLoad* params) override;
  glib::ERetcode LoadResource(void* module, uint16_t id, const char* type, uint32_t format,
                              glib::ImageLoad* params) override;
  void Clear() override;

  // Animation: the display's one timer runs exactly while an animation plays; each
  // frame stays for its own delay. Start refuses fewer than two frames, Stop refuses
  // when nothing plays; both go to the first frame. Window thread only; a new load
  // (Clear, from any thread) stops it.
  bool StartAnimation();
  bool StopAnimation();
  bool AnimationPlays() const { return animating_; }

 protected:
  LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  virtual void OnMouseMove(Point mouse);
  void OnPaint();
  Size ClientSize() const;
  HCURSOR CurrentCursor() const;
  bool OnSetCursor(LPARAM lparam);
  // Called after a content change; posts itself when off the window's thread.
  void ContentChanged(bool cleared);
  // The answer of a load of the document; a new picture after a good one.
  glib::ERetcode Loaded(glib::ERetcode rc);
  void ResetLayout();

  ViewState state_;
  std::optional<Layout> layout_;
  CScroller scroller_;
  DragTracker drag_;
  RECT imageRect_{};
  glib::StretchMode stretchMode_ = glib::kStretchColorOnColor;
  bool autoSize_ = true;
  bool panning_ = true;
  bool scrollBars_ = true;
  bool frozen_ = false;
  bool centred_ = true;
  bool inLayout_ = false;
  bool pointerHidden_ = false;
  std::atomic<bool> loading_{false};
  std::atomic<bool> waiting_{false};
  std::atomic<bool> animating_{false};
  void OnAnimationTick();
  // Held while the window's thread reads the document; a load takes it once to know
  // that no reader is left before it replaces the document.
  mutable std::recursive_mutex filmLock_;
  HCURSOR openHand_ = nullptr;
  HCURSOR grab_ = nullptr;
  HCURSOR classCursor_ = nullptr;
};

class NavigationWindow;

class CLiteCtrlExEx final : public CLiteCtrl {
 public:
  explicit CLiteCtrlExEx(HWND owner);
  ~CLiteCtrlExEx() override;

  // The colours of the navigation window's frame, from the look in use.
  void SetNavigationFrame(COLORREF first, COLORREF second);

 protected:
  LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;
  void OnMouseMove(Point mouse) override;

 private:
  std::optional<RECT> CornerBoxInWindow() const;
  void PaintCornerBox();
  void OpenNavigation();

  HWND owner_;
  ui::UniqueBitmap cornerPicture_;
  std::unique_ptr<NavigationWindow> navigation_;
  std::optional<std::pair<COLORREF, COLORREF>> navigationFrame_;
};

}  // namespace viewer
