#include "viewer/win32/HistogramDlg.h"

#include <windows.h>

#include <objidl.h>
#include <propidl.h>
// GDI+ after the COM declarations it builds on.
#include <gdiplus.h>
#include <windowsx.h>

#include <algorithm>

#include "ResourceIds.h"
#include "ui/Controls.h"
#include "ui/Handles.h"
#include "ui/Text.h"
#include "viewer/Geometry.h"
#include "viewer/win32/EditDialogParts.h"

namespace viewer {
namespace {

static_assert(IDC_HISTOGRAM_CHANNEL == histogram_ids::kChannelList);
static_assert(IDC_HISTOGRAM_GRAPH == histogram_ids::kGraph);
static_assert(IDC_HISTOGRAM_GRADIENT == histogram_ids::kGradient);
static_assert(IDC_HISTOGRAM_STDDEV == histogram_ids::kStdDev);
static_assert(IDC_HISTOGRAM_MEAN == histogram_ids::kMean);
static_assert(IDC_HISTOGRAM_MEDIAN == histogram_ids::kMedian);
static_assert(IDC_HISTOGRAM_PIXELS == histogram_ids::kPixels);
static_assert(IDC_HISTOGRAM_RANGE == histogram_ids::kRange);
static_assert(IDC_HISTOGRAM_PERCENT == histogram_ids::kPercent);
static_assert(IDC_HISTOGRAM_LOGARITHMIC == histogram_ids::kLogarithmic);
static_assert(IDC_HISTOGRAM_COLOURS == histogram_ids::kColourCount);

// GDI+ is held for as long as the window is open. The document usually holds it too;
// startups nest, so the window does not depend on that.
class GdiplusScope {
 public:
  GdiplusScope() {
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&token_, &input, nullptr) != Gdiplus::Ok) token_ = 0;
  }
  ~GdiplusScope() {
    if (token_) Gdiplus::GdiplusShutdown(token_);
  }
  GdiplusScope(const GdiplusScope&) = delete;
  GdiplusScope& operator=(const GdiplusScope&) = delete;

 private:
  ULONG_PTR token_ = 0;
};

Size ClientSizeOf(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return {client.right, client.bottom};
}

}  // namespace

// ---- the graph ----

void HistogramGraph::Show(const HistogramTable* table, int32_t channel, bool logarithmic) {
  table_ = table;
  channel_ = channel;
  logarithmic_ = logarithmic;
  if (hwnd()) InvalidateRect(hwnd(), nullptr, FALSE);
}

int32_t HistogramGraph::Width() const { return ClientSizeOf(hwnd()).width; }

LRESULT HistogramGraph::WndProc(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_LBUTTONDOWN:
      BeginDrag(GET_X_LPARAM(lparam));
      return 0;
    case WM_MOUSEMOVE:
      if (dragging_) Drag(GET_X_LPARAM(lparam));
      return 0;
    case WM_LBUTTONUP:
      if (dragging_) {
        EndDrag();
        ReleaseCapture();
      }
      return 0;
    case WM_CAPTURECHANGED:
      if (dragging_) EndDrag();
      return 0;
  }
  return PaintedControl::WndProc(message, wparam, lparam);
}

void HistogramGraph::Paint() {
  ui::PaintScope paint(hwnd());
  const Size size = ClientSizeOf(hwnd());
  {
    Gdiplus::Graphics graphics(paint.dc());
    graphics.Clear(Gdiplus::Color(kGraphBackground));
    Gdiplus::Pen grid(Gdiplus::Color(kGraphGridColour), 1.0f);
    grid.SetDashStyle(Gdiplus::DashStyleDot);
    for (int32_t i = 0; i < kGraphGridLines; ++i) {
      const int32_t x = GridLineX(i, size.width);
      graphics.DrawLine(&grid, x, 0, x, size.height);
    }
    graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    if (table_) {
      Gdiplus::Pen bar(Gdiplus::Color(255, 0, 0, 0), 1.0f);
      std::vector<GraphColumn> columns =
          GraphColumns(*table_, channel_, logarithmic_, size.width, size.height);
      for (size_t x = 0; x < columns.size(); ++x) {
        const GraphColumn& column = columns[x];
        if (column.top >= size.height) continue;  // no bar in this column
        bar.SetColor(Gdiplus::Color(255, column.red, column.green, column.blue));
        graphics.DrawLine(&bar, int(x), size.height - 1, int(x), column.top);
      }
    }
  }
  // The band survives a repaint in the middle of a drag.
  if (bandShown_) InvertBand(paint.dc());
}

void HistogramGraph::InvertBand(HDC dc) const {
  const int32_t width = Width();
  const int32_t left = std::clamp(std::min(pressX_, mouseX_), 0, width);
  const int32_t right = std::clamp(std::max(pressX_, mouseX_) + 1, 0, width);
  if (right > left) PatBlt(dc, left, 0, right - left, ClientSizeOf(hwnd()).height, DSTINVERT);
}

void HistogramGraph::BeginDrag(int32_t x) {
  if (dragging_) return;
  SetCapture(hwnd());
  SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32644)));  // IDC_SIZEWE
  dragging_ = true;
  pressX_ = mouseX_ = x;
  ui::WindowDC dc(hwnd());
  InvertBand(dc.dc());
  bandShown_ = true;
}

void HistogramGraph::Drag(int32_t x) {
  {
    ui::WindowDC dc(hwnd());
    if (bandShown_) InvertBand(dc.dc());
    mouseX_ = x;
    InvertBand(dc.dc());
    bandShown_ = true;
  }
  std::optional<LevelRange> range = DraggedRange(pressX_, mouseX_, Width());
  if (range && onRange) onRange(*range);
}

void HistogramGraph::EndDrag() {
  dragging_ = false;
  if (bandShown_) {
    ui::WindowDC dc(hwnd());
    InvertBand(dc.dc());
    bandShown_ = false;
  }
  SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));  // IDC_ARROW
  if (onRange) onRange(LevelRange{});
}

// ---- the gradient bar ----

void GradientBar::Show(int32_t channel) {
  channel_ = channel;
  if (hwnd()) InvalidateRect(hwnd(), nullptr, FALSE);
}

void GradientBar::Paint() {
  ui::PaintScope paint(hwnd());
  const Size size = ClientSizeOf(hwnd());
  if (size.width <= 0 || size.height <= 0) return;
  Gdiplus::Graphics graphics(paint.dc());
  Gdiplus::Rect area(0, 0, size.width, size.height);
  Gdiplus::LinearGradientBrush brush(area, Gdiplus::Color(kGradientStartColour),
                                     Gdiplus::Color(GradientEndColour(channel_)),
                                     Gdiplus::LinearGradientModeHorizontal);
  graphics.FillRectangle(&brush, area);
}

// ---- the dialog ----

HistogramDlg::HistogramDlg(const glib::CoreBitmap& bitmap, int64_t distinctColours)
    : table_(FillHistogram(bitmap)),
      bitsPerPixel_(glib::BitsPerPixel(bitmap.pixelType)),
      colours_(distinctColours) {}

void HistogramDlg::Run(HWND owner) {
  GdiplusScope gdiplus;
  ui::InitCommonControlsOnce();
  RunModal(owner, IDD_HISTOGRAM);
}

bool HistogramDlg::OnInitDialog() {
  HWND list = GetDlgItem(hwnd(), IDC_HISTOGRAM_CHANNEL);
  for (std::string_view text : kChannelListTexts)
    SendMessageW(list, CB_ADDSTRING, 0, LPARAM(ui::WideFromUtf8(text).c_str()));
  SendMessageW(list, CB_SETCURSEL, 0, 0);
  const bool channels = ChannelControlsEnabled(bitsPerPixel_);
  EnableWindow(list, channels);
  EnableWindow(GetDlgItem(hwnd(), IDC_HISTOGRAM_LOGARITHMIC), channels);
  SetItemText(IDC_HISTOGRAM_COLOURS, ui::WideFromUtf8(ColourCountText(colours_)));

  graph_.CreateIn(hwnd(), TakePlaceholder(hwnd(), IDC_HISTOGRAM_GRAPH), IDC_HISTOGRAM_GRAPH,
                  L"OrbiskHistogramGraph");
  gradient_.CreateIn(hwnd(), TakePlaceholder(hwnd(), IDC_HISTOGRAM_GRADIENT),
                     IDC_HISTOGRAM_GRADIENT, L"OrbiskHistogramGradient");
  graph_.onRange = [this](LevelRange range) {
    range_ = range;
    ShowStats();
  };
  ShowChannel();
  return true;
}

bool HistogramDlg::OnCommand(WORD id, WORD code) {
  if (id == IDC_HISTOGRAM_CHANNEL && code == CBN_SELCHANGE) {
    LRESULT entry = SendDlgItemMessageW(hwnd(), IDC_HISTOGRAM_CHANNEL, CB_GETCURSEL, 0, 0);
    channel_ = ChannelOfListEntry(int32_t(entry));
    ShowChannel();
    return true;
  }
  if (id == IDC_HISTOGRAM_LOGARITHMIC && code == BN_CLICKED) {
    logarithmic_ = IsDlgButtonChecked(hwnd(), IDC_HISTOGRAM_LOGARITHMIC) == BST_CHECKED;
    ShowChannel();
    return true;
  }
  return false;
}

void HistogramDlg::ShowChannel() {
  graph_.Show(&table_, channel_, logarithmic_);
  gradient_.Show(channel_);
  ShowStats();
}

void HistogramDlg::ShowStats() {
  HistogramTexts texts = StatsTexts(ComputeStats(table_, channel_, range_), range_);
  SetItemText(IDC_HISTOGRAM_MEAN, ui::WideFromUtf8(texts.mean));
  SetItemText(IDC_HISTOGRAM_STDDEV, ui::WideFromUtf8(texts.stdDev));
  SetItemText(IDC_HISTOGRAM_MEDIAN, ui::WideFromUtf8(texts.median));
  SetItemText(IDC_HISTOGRAM_PIXELS, ui::WideFromUtf8(texts.pixels));
  SetItemText(IDC_HISTOGRAM_RANGE, ui::WideFromUtf8(texts.range));
  SetItemText(IDC_HISTOGRAM_PERCENT, ui::WideFromUtf8(texts.percent));
}

}  // namespace viewer
