// "Filter browser" (command 1315): the list of colour effects, the settings dialog of
// the selected one, a preview of the effect on the part of the current slide the
// preview shows, and OK, Cancel and Apply. Apply changes the document at once and
// keeps the dialog; OK hands the chosen effect back for the viewer to apply.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "formats/Retcode.h"
#include "image/Film.h"
#include "ui/Dialog.h"
#include "viewer/EffectParams.h"
#include "viewer/PreviewMath.h"
#include "viewer/win32/EffectDialogs.h"
#include "viewer/win32/LiteCtrl.h"

namespace viewer {

// The preview's display control: dragging it moves the part of the picture shown.
class CLiteCtrlEx final : public CLiteCtrl {
 public:
  // The result is drawn in the middle, the background around it.
  CLiteCtrlEx() { autoSize_ = false; }
  // The pointer moved by (dx, dy) with the button down; then the button came up.
  std::function<void(int32_t dx, int32_t dy)> onDrag;
  std::function<void()> onDragEnd;

 protected:
  LRESULT WndProc(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  void EndDrag();
  std::optional<POINT> dragAt_;
};

// The preview keeps its own document: slide 0 a copy of the document's current
// slide, slide 1 the result it shows.
class PreviewPictureBar {
 public:
  // The display inside `area` (client coordinates of the dialog).
  bool Create(HWND dialog, const RECT& area);
  HWND hwnd() const { return display_.hwnd(); }
  CLiteCtrlEx& Display() { return display_; }
  // A new copy of the document's current slide; the part shown stays where it was.
  bool TakeCopy(glib::Film& document);
  // The result rebuilt: the visible part scaled to the preview, then the effect on it
  // when one is given, then drawn. `giveUp` runs between the steps and answers true
  // when the result is no longer wanted.
  void Render(const EffectCall* call, const std::function<bool()>& giveUp);

  int32_t ZoomIndex() const { return zoom_; }
  void SetZoomIndex(int32_t index) { zoom_ = index; }
  void Drag(int32_t dx, int32_t dy);

 private:
  bool ShowPart();
  void Paint();

  CLiteCtrlEx display_;
  int32_t zoom_ = kInitialPreviewZoom;
  std::optional<PreviewCentre> centre_;
};

class ColorEffectDialog final : public ui::Dialog {
 public:
  // The dialogs are the settings dialogs to list, in order, not yet created.
  ColorEffectDialog(glib::Film& document, std::vector<ColorEffectDataExchangeEx*> dialogs,
                    bool showApply, HWND parent)
      : document_(document), dialogs_(std::move(dialogs)), showApply_(showApply), parent_(parent) {}

  // IDOK, IDCANCEL, or -1 when the dialog could not be made.
  INT_PTR Run() { return RunModal(parent_, IDD()); }
  // After OK: the effect with the parameter list the colour-effect module gets.
  const std::optional<EffectCall>& Chosen() const { return chosen_; }
  // After Apply changed the document, with the module's answer.
  std::function<void(glib::ERetcode)> onApplied;

 private:
  static UINT IDD();
  bool OnInitDialog() override;
  bool OnOk() override;
  bool OnCommand(WORD id, WORD code) override;
  INT_PTR OnMessage(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) override;
  void LayOut();
  bool CreateSettings();
  void Select(int32_t index);
  ColorEffectDataExchangeEx* Current() const;
  EffectCall CurrentCall() const;
  void RefreshPreview();
  void DragPreview(int32_t dx, int32_t dy);
  // Runs the messages waiting; true when the preview being made is not wanted any
  // more (a newer one waits, or the dialog has ended).
  bool PumpMessages();
  bool Ended() const;
  void Apply();
  void Zoom(bool in);
  void ShowZoom();

  glib::Film& document_;
  std::vector<ColorEffectDataExchangeEx*> dialogs_;
  bool showApply_;
  HWND parent_;
  int32_t current_ = -1;
  PreviewPictureBar preview_;
  bool shown_ = false;
  bool rendering_ = false;
  bool refreshPending_ = false;
  bool recopyPending_ = false;
  std::optional<EffectCall> chosen_;
};

// Command 1315 over the eleven settings dialogs: after OK the effect to apply to every
// slide, with the parameters the module gets; nothing after Cancel.
std::optional<EffectCall> RunFilterBrowser(glib::Film& document, HWND parent,
                                           std::function<void(glib::ERetcode)> onApplied);

}  // namespace viewer
