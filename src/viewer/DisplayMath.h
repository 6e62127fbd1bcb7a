// View modes, the fit rule, the layout of the display control and its zoom requests.
// The window classes keep a ViewState and the last Layout and apply what these
// functions decide (scroll bars, cursor, scroller size, repaint).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "viewer/Geometry.h"

namespace viewer {

// Stored as the "View" setting. Values outside the list behave as Natural.
enum class ViewMode : int32_t {
  Zoom = 0,
  Natural = 1,
  FitInWindow = 2,
  FitWidth = 3,
  FitHeight = 4,
  BestFit = 5,
};

// Zoom requests outside the open interval (kMinZoom, kMaxZoom) are dropped.
constexpr float kMinZoom = 0.03f;
constexpr float kMaxZoom = 16.0f;

struct ViewState {
  ViewMode mode = ViewMode::Zoom;
  float zoom = 1.0f;
};

// Each returns true when the state changed and the layout must be recomputed.
// BestFit always starts from zoom 1.0.
bool SetViewModeAndZoom(ViewState& state, ViewMode mode, float zoom);
bool SetViewMode(ViewState& state, ViewMode mode);
bool SetZoom(ViewState& state, float zoom);

struct LayoutOptions {
  bool panning = true;     // scrolling and dragging allowed
  bool scrollBars = true;  // "ShowScrollBars"
};

struct Layout {
  Size client;        // the client size the layout was made for
  Size displayed;     // size at which the slide is shown
  float zoom = 1.0f;  // the zoom to store: the fit modes replace it by the scale they show
  // FitInWindow and BestFit: the scroll position goes back to 0, 0, nothing scrolls.
  bool fitsWhole = false;
  bool scrollableX = false;
  bool scrollableY = false;
  Size scrollTotal;  // the scroller's size: the excess over the client while panning
  bool showHorzBar = false;
  bool showVertBar = false;
  bool openHandCursor = false;  // else the class cursor
};

// One pass of the layout for the given client size. Nothing for an image without
// area: the control then keeps its layout.
std::optional<Layout> ComputeLayout(const ViewState& state, Size client, Size image,
                                    LayoutOptions options);

// The layout with the scroll bars' own room taken into account. bareClient is the
// client size without any scroll bar (the current client plus the bars now shown);
// barThickness is the vertical bar's width and the horizontal bar's height. Showing
// a bar shrinks the client, which may call for the other bar, and in the fit modes
// changes the displayed size; a bar is added only while needed, so the answer is
// stable and a WM_SIZE caused by the bars gives the same layout again. When a bar
// would make itself unnecessary (FitWidth of an image just taller than the window),
// the image is fitted to the room the bar would leave and no bar is shown.
std::optional<Layout> ResolveLayout(const ViewState& state, Size bareClient, Size image,
                                    LayoutOptions options, Size barThickness);

// Where CenterView scrolls to: the middle of the zoomed image, 0 on an axis that does
// not exceed the client. Nothing when neither axis is scrollable.
std::optional<Point> CenterViewTarget(float zoom, Size image, Size client, bool scrollableX,
                                      bool scrollableY);

// The zoom shown to the user, rounded to two decimals.
double ZoomPercent(const ViewState& state, Size client, Size image);
// The status-bar text, "%g%%".
std::string FormatZoomPercent(double percent);

// The zoom and fit commands of the viewer window.
enum class ZoomCommand { ZoomIn, ZoomOut, ActualSize, BestFit, FitInWindow, FitWidth, FitHeight };

// zoom 0 keeps the stored zoom (only the mode is set).
struct ZoomRequest {
  ViewMode mode = ViewMode::Zoom;
  float zoom = 0.0f;
};

// ZoomIn and ZoomOut step from the stored zoom in single precision.
ZoomRequest ZoomRequestFor(ZoomCommand command, float storedZoom, float step);
// False for a Zoom request outside (kMinZoom, kMaxZoom), which is dropped silently.
bool IsZoomRequestAccepted(const ZoomRequest& request);
// SetViewModeAndZoom, or SetViewMode for zoom 0; true when the layout must follow.
bool ApplyZoomRequest(ViewState& state, const ZoomRequest& request);
// Tool-bar states: the bounds themselves are allowed here.
bool CanZoomIn(float storedZoom, float step);
bool CanZoomOut(float storedZoom, float step);

// The re-entrance guard of a request: a second request while one is being processed
// is ignored. Each viewer window keeps its own and holds a Scope while it handles one.
class ReentryFlag {
 public:
  class Scope {
   public:
    explicit Scope(ReentryFlag& flag) : flag_(flag), entered_(!flag.busy_) {
      if (entered_) flag_.busy_ = true;
    }
    ~Scope() {
      if (entered_) flag_.busy_ = false;
    }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
    bool Entered() const { return entered_; }

   private:
    ReentryFlag& flag_;
    bool entered_;
  };

  bool Busy() const { return busy_; }

 private:
  bool busy_ = false;
};

}  // namespace viewer
