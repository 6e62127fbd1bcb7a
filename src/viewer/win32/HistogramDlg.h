// The histogram window: the level distribution of the shown page by channel, drawn
// with GDI+, the statistics over a level range the user drags out on the graph, and
// the number of distinct colours. What it shows is decided by viewer/Histogram.h.
#pragma once

#include <windows.h>

#include <functional>

#include "formats/CoreBitmap.h"
#include "ui/Dialog.h"
#include "ui/Window.h"
#include "viewer/Histogram.h"

namespace viewer {

// `Histo`: the bars of one channel over a pale yellow grid. Dragging with the left
// button shows an inverted band and reports the range under it; releasing the button
// reports the whole scale again.
class HistogramGraph final : public ui::PaintedControl {
 public:
  void Show(const HistogramTable* table, int32_t channel, bool logarithmic);
  std::function<void(LevelRange)> onRange;

 protected:
  LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void Paint() override;
  void BeginDrag(int32_t x);
  void Drag(int32_t x);
  void EndDrag();
  // Inverts the band between the press and the mouse: a second call removes it.
  void InvertBand(HDC dc) const;
  int32_t Width() const;

  const HistogramTable* table_ = nullptr;
  int32_t channel_ = kCombinedChannel;
  bool logarithmic_ = false;
  bool dragging_ = false;
  bool bandShown_ = false;
  int32_t pressX_ = 0;
  int32_t mouseX_ = 0;
};

// `Gradi`: black to the channel's colour, left to right.
class GradientBar final : public ui::PaintedControl {
 public:
  void Show(int32_t channel);

 private:
  void Paint() override;
  int32_t channel_ = kCombinedChannel;
};

class HistogramDlg final : public ui::Dialog {
 public:
  // The counts are taken from the bitmap now; the dialog keeps no pointer to it.
  HistogramDlg(const glib::CoreBitmap& bitmap, int64_t distinctColours);
  void Run(HWND owner);

 private:
  bool OnInitDialog() override;
  bool OnCommand(WORD id, WORD code) override;
  void ShowChannel();
  void ShowStats();

  HistogramTable table_;
  uint32_t bitsPerPixel_;
  int64_t colours_;
  int32_t channel_ = kCombinedChannel;
  bool logarithmic_ = false;
  LevelRange range_;
  HistogramGraph graph_;
  GradientBar gradient_;
};

}  // namespace viewer
