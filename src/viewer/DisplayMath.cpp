#include "viewer/DisplayMath.h"

#include <cmath>
#include <cstdio>

namespace viewer {
namespace {

// x87 builds keep intermediate results wider than float; the zoom bounds are decided
// on the value rounded to single precision, as it is stored.
float ToSingle(float value) {
  volatile float stored = value;
  return stored;
}

struct Shown {
  Size displayed;
  float zoom = 1.0f;
  bool fitsWhole = false;
};

Shown FitInWindowSize(Size client, Size image) {
  Size fitted = FitInto(client, image).value_or(image);
  return {fitted, float(double(fitted.width) / image.width), true};
}

// The displayed size by view mode; image sides are positive here.
Shown ShownSize(const ViewState& state, Size client, Size image) {
  const int64_t w = image.width, h = image.height;
  switch (state.mode) {
    case ViewMode::Zoom:
      return {{ClampSide(RoundHalfUp(w * double(state.zoom))),
               ClampSide(RoundHalfUp(h * double(state.zoom)))},
              state.zoom};
    case ViewMode::FitInWindow:
      return FitInWindowSize(client, image);
    case ViewMode::FitWidth:
      return {{client.width, ClampSide(client.width * h / w)}, float(double(client.width) / w)};
    case ViewMode::FitHeight:
      return {{ClampSide(client.height * w / h), client.height}, float(double(client.height) / h)};
    case ViewMode::BestFit:
      if (image.width <= client.width && image.height <= client.height) return {image, 1.0f, true};
      return FitInWindowSize(client, image);
    case ViewMode::Natural:
    default:
      return {image, state.zoom};
  }
}

bool HasArea(Size s) { return s.width > 0 && s.height > 0; }

}  // namespace

bool SetViewModeAndZoom(ViewState& state, ViewMode mode, float zoom) {
  if (mode == state.mode && zoom == state.zoom) return false;
  state.mode = mode;
  state.zoom = mode == ViewMode::BestFit ? 1.0f : zoom;
  return true;
}

bool SetViewMode(ViewState& state, ViewMode mode) {
  if (mode == state.mode) return false;
  state.mode = mode;
  if (mode == ViewMode::BestFit) state.zoom = 1.0f;
  return true;
}

bool SetZoom(ViewState& state, float zoom) {
  if (zoom == state.zoom) return false;
  state.zoom = zoom;
  return true;
}

std::optional<Layout> ComputeLayout(const ViewState& state, Size client, Size image,
                                    LayoutOptions options) {
  if (!HasArea(image)) return std::nullopt;
  client = NonNegative(client);
  Shown shown = ShownSize(state, client, image);
  Layout layout;
  layout.client = client;
  layout.displayed = shown.displayed;
  layout.zoom = shown.zoom;
  layout.fitsWhole = shown.fitsWhole;
  if (layout.fitsWhole) return layout;

  const int32_t excessX = std::max(shown.displayed.width - client.width, 0);
  const int32_t excessY = std::max(shown.displayed.height - client.height, 0);
  layout.scrollableX = excessX > 0;
  layout.scrollableY = excessY > 0;
  if (options.panning) layout.scrollTotal = {excessX, excessY};
  const bool bars = options.panning && options.scrollBars;
  layout.showHorzBar = bars && layout.scrollableX;
  layout.showVertBar = bars && layout.scrollableY;
  layout.openHandCursor = layout.scrollableX || layout.scrollableY;
  return layout;
}

std::optional<Layout> ResolveLayout(const ViewState& state, Size bareClient, Size image,
                                    LayoutOptions options, Size barThickness) {
  bareClient = NonNegative(bareClient);
  barThickness = NonNegative(barThickness);
  if (!options.panning || !options.scrollBars) {
    return ComputeLayout(state, bareClient, image, options);
  }
  // Bars are only ever added, so this settles within three passes.
  bool horz = false, vert = false;
  std::optional<Layout> layout;
  for (int pass = 0; pass < 3; ++pass) {
    Size client{std::max(bareClient.width - (vert ? barThickness.width : 0), 0),
                std::max(bareClient.height - (horz ? barThickness.height : 0), 0)};
    layout = ComputeLayout(state, client, image, options);
    if (!layout) return layout;
    const bool needHorz = horz || layout->showHorzBar;
    const bool needVert = vert || layout->showVertBar;
    if (needHorz == horz && needVert == vert) break;
    horz = needHorz;
    vert = needVert;
  }
  // A bar that turned out unnecessary stays hidden; the window keeps its room.
  layout->client = {
      std::max(bareClient.width - (layout->showVertBar ? barThickness.width : 0), 0),
      std::max(bareClient.height - (layout->showHorzBar ? barThickness.height : 0), 0)};
  return layout;
}

std::optional<Point> CenterViewTarget(float zoom, Size image, Size client, bool scrollableX,
                                      bool scrollableY) {
  if (!scrollableX && !scrollableY) return std::nullopt;
  client = NonNegative(client);
  auto centre = [zoom](int32_t side, int32_t clientSide) {
    int32_t displayed = ClampSide(RoundHalfUp(side * double(zoom)));
    return displayed > clientSide ? (displayed - clientSide) / 2 : 0;
  };
  return Point{centre(image.width, client.width), centre(image.height, client.height)};
}

double ZoomPercent(const ViewState& state, Size client, Size image) {
  double percent = state.zoom * 100.0;
  const bool fitting = state.mode == ViewMode::FitInWindow || state.mode == ViewMode::BestFit;
  if (fitting && (image.width > client.width || image.height > client.height)) {
    if (auto fitted = FitInto(client, image)) {
      percent = double(fitted->width) / image.width * 100.0;
    }
  }
  if (!std::isfinite(percent)) return 0.0;
  return std::trunc(percent * 100.0 + 0.5) / 100.0;
}

std::string FormatZoomPercent(double percent) {
  char text[64];
  std::snprintf(text, sizeof text, "%g%%", percent);
  return text;
}

ZoomRequest ZoomRequestFor(ZoomCommand command, float storedZoom, float step) {
  switch (command) {
    case ZoomCommand::ZoomIn:
      return {ViewMode::Zoom, ToSingle(storedZoom + step)};
    case ZoomCommand::ZoomOut:
      return {ViewMode::Zoom, ToSingle(storedZoom - step)};
    case ZoomCommand::ActualSize:
      return {ViewMode::Zoom, 1.0f};
    case ZoomCommand::BestFit:
      return {ViewMode::BestFit, 0.0f};
    case ZoomCommand::FitInWindow:
      return {ViewMode::FitInWindow, 0.0f};
    case ZoomCommand::FitWidth:
      return {ViewMode::FitWidth, 0.0f};
    case ZoomCommand::FitHeight:
      return {ViewMode::FitHeight, 0.0f};
  }
  return {ViewMode::Zoom, 0.0f};
}

bool IsZoomRequestAccepted(const ZoomRequest& request) {
  if (request.mode != ViewMode::Zoom) return true;
  return request.zoom > kMinZoom && request.zoom < kMaxZoom;
}

bool ApplyZoomRequest(ViewState& state, const ZoomRequest& request) {
  if (request.zoom != 0.0f) return SetViewModeAndZoom(state, request.mode, request.zoom);
  return SetViewMode(state, request.mode);
}

bool CanZoomIn(float storedZoom, float step) { return ToSingle(storedZoom + step) <= kMaxZoom; }

bool CanZoomOut(float storedZoom, float step) { return ToSingle(storedZoom - step) >= kMinZoom; }

}  // namespace viewer
