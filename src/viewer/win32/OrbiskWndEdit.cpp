// The Edit menu's dialogs: histogram, scale, rotate, swap channels and colour depth.
// Each one pauses a playing animation while it is open, reads the document after its
// dialog closes (a slide show may have moved on meanwhile) and refreshes the view
// only when the document operation succeeded.
#include <windows.h>

#include <algorithm>

#include "formats/PixelType.h"
#include "formats/Retcode.h"
#include "image/Layer.h"
#include "image/Slide.h"
#include "ui/Text.h"
#include "viewer/EditMath.h"
#include "viewer/win32/ChannelDialogs.h"
#include "viewer/win32/GeometryDialogs.h"
#include "viewer/win32/HistogramDlg.h"
#include "viewer/win32/LiteCtrl.h"
#include "viewer/win32/OrbiskWnd.h"

namespace viewer {
namespace {

// A playing animation stands still while a dialog is open and plays on afterwards.
class AnimationPause {
 public:
  explicit AnimationPause(CLiteCtrl& display)
      : display_(display), playing_(display.StopAnimation()) {}
  ~AnimationPause() {
    if (playing_ && !display_.Loading()) display_.StartAnimation();
  }
  AnimationPause(const AnimationPause&) = delete;
  AnimationPause& operator=(const AnimationPause&) = delete;

 private:
  CLiteCtrl& display_;
  bool playing_;
};

// The wait cursor while the document works.
class WaitCursor {
 public:
  WaitCursor() : previous_(SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32514)))) {}
  ~WaitCursor() { SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

// The shown page's first layer; null when there is none.
glib::Layer* ShownFirstLayer(CLiteCtrl& display) {
  glib::Slide* slide = display.GetCurrentSlide();
  return slide ? slide->GetLayer(0) : nullptr;
}

// The largest width and height over the pages.
Size LargestPageSize(const CLiteCtrl& display) {
  Size largest;
  for (uint32_t i = 0; i < display.GetSlideCount(); ++i) {
    largest.width = std::max(largest.width, display.GetSlideWidth(int32_t(i)));
    largest.height = std::max(largest.height, display.GetSlideHeight(int32_t(i)));
  }
  return largest;
}

}  // namespace

void COrbiskWnd::ShowHistogram() {
  if (loadRunning_ || !display_ || !display_->HasImage()) return;
  // The menu that chose the command goes before the counting starts.
  RedrawWindow(TopLevelWindow(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  AnimationPause pause(*display_);
  glib::Layer* layer = ShownFirstLayer(*display_);
  if (!layer) return;
  std::optional<HistogramDlg> dialog;
  {
    WaitCursor wait;
    dialog.emplace(layer->bitmap, display_->CountLayerColours(glib::kCurrentSlide, 0));
  }
  dialog->Run(TopLevelWindow());
}

void COrbiskWnd::ScaleDialog() {
  if (loadRunning_ || !display_) return;
  AnimationPause pause(*display_);
  ScaleDlg dialog(LargestPageSize(*display_), settings_.scaleProportional, settings_.scaleType);
  std::optional<ScaleChoice> choice = dialog.Run(TopLevelWindow());
  if (!choice) return;
  settings_.scaleType = choice->scaleType;
  settings_.scaleProportional = choice->constrain;
  if (loadRunning_ || !display_->HasImage()) return;
  glib::ERetcode rc = glib::RCOK;
  {
    WaitCursor wait;
    rc = display_->Stretch(choice->width, choice->height, glib::EScaleType(choice->scaleType),
                           choice->constrain, 0, -1, 0);
  }
  if (rc != glib::RCOK) return ReportEditFailure(L"The picture could not be scaled.", rc);
  ShowEditedPicture();
}

void COrbiskWnd::RotateDialog() {
  // The dialog opens without a picture too; only a load in progress keeps it away.
  if (loadRunning_ || !display_) return;
  AnimationPause pause(*display_);
  RotateDlg dialog(settings_.angle, settings_.interpolate != 0);
  std::optional<RotateChoice> choice = dialog.Run(TopLevelWindow());
  if (!choice) return;
  settings_.angle = choice->angle;
  settings_.interpolate = choice->interpolate ? 1 : 0;
  if (loadRunning_ || !display_->HasImage()) return;
  glib::ERetcode rc = glib::RCOK;
  {
    WaitCursor wait;
    rc = display_->Rotate(choice->angle, choice->interpolate, 0, -1);
  }
  if (rc != glib::RCOK) return ReportEditFailure(L"The picture could not be rotated.", rc);
  ShowEditedPicture();
}

void COrbiskWnd::SwapChannelsDialog() {
  if (loadRunning_ || !display_ || !display_->HasImage()) return;
  AnimationPause pause(*display_);
  glib::Layer* layer = ShownFirstLayer(*display_);
  // Pictures below 24 bits have no channels of their own to swap.
  if (!layer || SwapRowsFor(layer->bitmap.pixelType) == 0) return;
  std::optional<SwapColumns> columns =
      SwapChannelsDlg(layer->bitmap.pixelType).Run(TopLevelWindow());
  if (!columns || loadRunning_) return;
  layer = ShownFirstLayer(*display_);
  if (!layer || SwapChannels(layer->bitmap, *columns) != glib::RCOK) return;
  display_->MarkChanged(0, -1);
  modified_ = true;
  ShowFrameChange();
}

void COrbiskWnd::ColourDepthDialog() {
  if (loadRunning_ || !display_ || !display_->HasImage()) return;
  AnimationPause pause(*display_);
  const uint32_t type = display_->GetLayerPixelType(glib::kCurrentSlide, 0);
  if (type == glib::kPixelNone || !CanChangeColourDepth(type)) return;
  ColourDepthDlg dialog(glib::BitsPerPixel(type), settings_.dcdUseDithering,
                        settings_.dcdGrayscale);
  std::optional<DepthChoiceResult> choice = dialog.Run(TopLevelWindow());
  if (!choice) return;
  settings_.dcdUseDithering = choice->dithering;
  settings_.dcdGrayscale = choice->grayscale;
  if (loadRunning_ || !display_->HasImage()) return;
  glib::ERetcode rc = glib::RCOK;
  {
    WaitCursor wait;
    rc = display_->ConvertLayer(choice->pixelType, choice->dithering, choice->grayscale,
                                glib::kCurrentSlide, 0);
  }
  if (rc != glib::RCOK) return ReportEditFailure(L"The color depth could not be changed.", rc);
  modified_ = true;
  ShowFrameChange();
}

void COrbiskWnd::ShowEditedPicture() {
  display_->RecalcLayout();
  modified_ = true;
  ShowFrameChange();
}

void COrbiskWnd::ReportEditFailure(const wchar_t* what, uint32_t code) {
  // The view stays as it was; a stop by the user needs no word.
  if (code == glib::USRA) return;
  std::wstring text = std::wstring(what) + L"\n" + ui::WideFromUtf8(glib::RetcodeMessage(code));
  MessageBoxW(TopLevelWindow(), text.c_str(), L"Orbisk", MB_OK | MB_ICONWARNING);
}

}  // namespace viewer
