// "Scale settings" and "Rotate the image clockwise": the parameters of the document's
// Stretch and Rotate, with the arithmetic of viewer/EditMath.h behind every field.
#pragma once

#include <windows.h>

#include <optional>

#include "ui/Dialog.h"
#include "ui/Window.h"
#include "viewer/EditMath.h"

namespace viewer {

struct ScaleChoice {
  int32_t width = 0;
  int32_t height = 0;
  int32_t scaleType = 0;
  bool constrain = true;
};

class ScaleDlg final : public ui::Dialog {
 public:
  // `image`: the document's largest width and height; the other two from the settings.
  ScaleDlg(Size image, bool constrain, int32_t scaleType)
      : state_(StartScale(image, constrain, scaleType)) {}
  // What to scale to, or nothing on Cancel.
  std::optional<ScaleChoice> Run(HWND owner);

 private:
  bool OnInitDialog() override;
  bool OnOk() override;
  bool OnCommand(WORD id, WORD code) override;
  // A field the user typed in: the state follows, then the fields it moved.
  void OnEdited(WORD id);
  void ShowSizes();
  void ShowResolutions();
  void ShowPrintedSize();
  void SetNumber(int id, const std::string& text);

  ScaleState state_;
  // Set while the dialog writes its own fields, so that their change notices are not
  // taken for typing.
  bool writing_ = false;
};

// The circle with the angle's line: 0 degrees points up, angles grow clockwise.
class CRotationControl final : public ui::PaintedControl {
 public:
  void SetAngle(double angle);

 private:
  void Paint() override;
  double angle_ = 0;
};

struct RotateChoice {
  double angle = 0;
  bool interpolate = true;
};

class RotateDlg final : public ui::Dialog {
 public:
  RotateDlg(double angle, bool interpolate) : angle_(angle), interpolate_(interpolate) {}
  std::optional<RotateChoice> Run(HWND owner);

 private:
  bool OnInitDialog() override;
  bool OnOk() override;
  bool OnCommand(WORD id, WORD code) override;
  INT_PTR OnMessage(UINT message, WPARAM wparam, LPARAM lparam, bool& handled) override;
  enum class From { kStart, kSlider, kEdit, kChoice };
  // Every control but the one the angle came from shows it.
  void SetAngle(double angle, From from);
  void OnAngleTyped();

  double angle_;
  bool interpolate_;
  bool writing_ = false;
  CRotationControl dial_;
};

}  // namespace viewer
