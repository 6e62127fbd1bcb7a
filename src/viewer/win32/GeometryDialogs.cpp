#include "viewer/win32/GeometryDialogs.h"

#include <commctrl.h>

#include <cmath>
#include <string>

#include "ResourceIds.h"
#include "ui/Controls.h"
#include "ui/Handles.h"
#include "ui/Text.h"
#include "viewer/win32/EditDialogParts.h"

namespace viewer {
namespace {

static_assert(IDC_SCALE_IMAGE_WIDTH == scale_ids::kImageWidth);
static_assert(IDC_SCALE_IMAGE_HEIGHT == scale_ids::kImageHeight);
static_assert(IDC_SCALE_NEW_WIDTH == scale_ids::kNewWidth);
static_assert(IDC_SCALE_NEW_HEIGHT == scale_ids::kNewHeight);
static_assert(IDC_SCALE_CONSTRAIN == scale_ids::kConstrain);
static_assert(IDC_SCALE_INTERPOLATION == scale_ids::kInterpolation);
static_assert(IDC_SCALE_RESOLUTION_X == scale_ids::kResolutionX);
static_assert(IDC_SCALE_RESOLUTION_Y == scale_ids::kResolutionY);
static_assert(IDC_SCALE_PRINTED_WIDTH == scale_ids::kPrintedWidth);
static_assert(IDC_SCALE_PRINTED_HEIGHT == scale_ids::kPrintedHeight);
static_assert(IDC_SCALE_UNIT == scale_ids::kUnit);
static_assert(IDC_ROTATE_INTERPOLATE == rotate_ids::kInterpolate);
static_assert(IDC_ROTATE_DIAL == rotate_ids::kDial);
static_assert(IDC_ROTATE_SLIDER == rotate_ids::kSlider);
static_assert(IDC_ROTATE_TEXT == rotate_ids::kAngleText);
static_assert(IDC_ROTATE_EDIT == rotate_ids::kAngleEdit);

void FillList(HWND list, const std::string_view* texts, size_t count, size_t selected) {
  for (size_t i = 0; i < count; ++i)
    SendMessageW(list, CB_ADDSTRING, 0, LPARAM(ui::WideFromUtf8(texts[i]).c_str()));
  SendMessageW(list, CB_SETCURSEL, selected, 0);
}

}  // namespace

// ---- "Scale settings" ----

std::optional<ScaleChoice> ScaleDlg::Run(HWND owner) {
  if (RunModal(owner, IDD_SCALE) != IDOK) return std::nullopt;
  return ScaleChoice{state_.newWidth, state_.newHeight, state_.interpolation, state_.constrain};
}

bool ScaleDlg::OnInitDialog() {
  SetItemText(IDC_SCALE_IMAGE_WIDTH, std::to_wstring(state_.image.width));
  SetItemText(IDC_SCALE_IMAGE_HEIGHT, std::to_wstring(state_.image.height));
  for (int id :
       {IDC_SCALE_NEW_WIDTH, IDC_SCALE_NEW_HEIGHT, IDC_SCALE_RESOLUTION_X, IDC_SCALE_RESOLUTION_Y})
    SendDlgItemMessageW(hwnd(), id, EM_SETLIMITTEXT, 16, 0);
  CheckDlgButton(hwnd(), IDC_SCALE_CONSTRAIN, state_.constrain ? BST_CHECKED : BST_UNCHECKED);
  FillList(GetDlgItem(hwnd(), IDC_SCALE_INTERPOLATION), kInterpolationTexts.data(),
           kInterpolationTexts.size(), size_t(state_.interpolation));
  FillList(GetDlgItem(hwnd(), IDC_SCALE_UNIT), kPrintUnitTexts.data(), kPrintUnitTexts.size(),
           size_t(state_.unit));
  SetNumber(IDC_SCALE_NEW_WIDTH, std::to_string(state_.newWidth));
  SetNumber(IDC_SCALE_NEW_HEIGHT, std::to_string(state_.newHeight));
  SetNumber(IDC_SCALE_RESOLUTION_X, PrintedLengthText(state_.resolutionX));
  SetNumber(IDC_SCALE_RESOLUTION_Y, PrintedLengthText(state_.resolutionY));
  ShowPrintedSize();
  return true;
}

void ScaleDlg::SetNumber(int id, const std::string& text) {
  writing_ = true;
  SetItemText(id, ui::WideFromUtf8(text));
  writing_ = false;
}

bool ScaleDlg::OnCommand(WORD id, WORD code) {
  switch (id) {
    case IDC_SCALE_NEW_WIDTH:
    case IDC_SCALE_NEW_HEIGHT:
    case IDC_SCALE_RESOLUTION_X:
    case IDC_SCALE_RESOLUTION_Y:
      if (code != EN_CHANGE) return false;
      if (!writing_) OnEdited(id);
      return true;
    case IDC_SCALE_CONSTRAIN:
      if (code != BN_CLICKED) return false;
      state_.constrain = IsDlgButtonChecked(hwnd(), IDC_SCALE_CONSTRAIN) == BST_CHECKED;
      return true;
    case IDC_SCALE_INTERPOLATION:
      if (code != CBN_SELCHANGE) return false;
      state_.interpolation = InterpolationIndex(
          int32_t(SendDlgItemMessageW(hwnd(), IDC_SCALE_INTERPOLATION, CB_GETCURSEL, 0, 0)));
      return true;
    case IDC_SCALE_UNIT:
      if (code != CBN_SELCHANGE) return false;
      state_.unit = SendDlgItemMessageW(hwnd(), IDC_SCALE_UNIT, CB_GETCURSEL, 0, 0) == 0
                        ? PrintUnit::Cm
                        : PrintUnit::Inch;
      ShowPrintedSize();
      return true;
  }
  return false;
}

void ScaleDlg::OnEdited(WORD id) {
  const std::string text = ui::Utf8FromWide(ItemText(id));
  // Text that is not (yet) a value in range leaves the state alone; OK refuses it.
  if (id == IDC_SCALE_NEW_WIDTH || id == IDC_SCALE_NEW_HEIGHT) {
    std::optional<int64_t> side = ParseWholeNumber(text);
    if (!side || !ValidNewSide(*side)) return;
    if (id == IDC_SCALE_NEW_WIDTH) {
      EditNewWidth(state_, int32_t(*side));
      SetNumber(IDC_SCALE_NEW_HEIGHT, std::to_string(state_.newHeight));
    } else {
      EditNewHeight(state_, int32_t(*side));
      SetNumber(IDC_SCALE_NEW_WIDTH, std::to_string(state_.newWidth));
    }
  } else {
    std::optional<double> resolution = ParseDecimalNumber(text);
    if (!resolution || !ValidResolution(*resolution)) return;
    if (id == IDC_SCALE_RESOLUTION_X) {
      EditResolutionX(state_, *resolution);
      if (state_.constrain)
        SetNumber(IDC_SCALE_RESOLUTION_Y, PrintedLengthText(state_.resolutionY));
    } else {
      EditResolutionY(state_, *resolution);
      if (state_.constrain)
        SetNumber(IDC_SCALE_RESOLUTION_X, PrintedLengthText(state_.resolutionX));
    }
  }
  ShowPrintedSize();
}

void ScaleDlg::ShowPrintedSize() {
  PrintedSize printed = PrintedSizeOf(state_);
  SetNumber(IDC_SCALE_PRINTED_WIDTH, PrintedLengthText(printed.width));
  SetNumber(IDC_SCALE_PRINTED_HEIGHT, PrintedLengthText(printed.height));
  EnableWindow(GetDlgItem(hwnd(), IDOK), ScaleOkEnabled(state_));
}

bool ScaleDlg::OnOk() {
  ScaleEntries entries{ui::Utf8FromWide(ItemText(IDC_SCALE_NEW_WIDTH)),
                       ui::Utf8FromWide(ItemText(IDC_SCALE_NEW_HEIGHT)),
                       ui::Utf8FromWide(ItemText(IDC_SCALE_RESOLUTION_X)),
                       ui::Utf8FromWide(ItemText(IDC_SCALE_RESOLUTION_Y))};
  if (std::optional<ScaleRefusal> refusal = CheckScaleEntries(entries)) {
    MessageBoxW(hwnd(), ui::WideFromUtf8(refusal->message).c_str(), L"Orbisk",
                MB_OK | MB_ICONWARNING);
    HWND field = GetDlgItem(hwnd(), refusal->id);
    SendMessageW(field, EM_SETSEL, 0, -1);
    SetFocus(field);
    return false;
  }
  // The fields are what the user sees: they win over the last value the state took.
  state_.newWidth = int32_t(*ParseWholeNumber(entries.newWidth));
  state_.newHeight = int32_t(*ParseWholeNumber(entries.newHeight));
  return true;
}

// ---- the rotation dial ----

void CRotationControl::SetAngle(double angle) {
  angle_ = angle;
  if (hwnd()) InvalidateRect(hwnd(), nullptr, FALSE);
}

void CRotationControl::Paint() {
  ui::PaintScope paint(hwnd());
  RECT client{};
  GetClientRect(hwnd(), &client);
  FillRect(paint.dc(), &client, GetSysColorBrush(COLOR_BTNFACE));
  RotationDial dial = RotationDialFor({client.right, client.bottom}, angle_);
  ui::UniquePen outline(CreatePen(PS_SOLID, 1, kDialOutlineColour));
  ui::UniquePen line(CreatePen(PS_SOLID, 1, kDialLineColour));
  {
    ui::SelectScope pen(paint.dc(), outline.get());
    ui::SelectScope brush(paint.dc(), GetStockObject(WHITE_BRUSH));
    Ellipse(paint.dc(), dial.circle.left, dial.circle.top, dial.circle.right, dial.circle.bottom);
  }
  ui::SelectScope pen(paint.dc(), line.get());
  MoveToEx(paint.dc(), dial.centre.x, dial.centre.y, nullptr);
  LineTo(paint.dc(), dial.end.x, dial.end.y);
}

// ---- "Rotate the image clockwise" ----

std::optional<RotateChoice> RotateDlg::Run(HWND owner) {
  ui::InitCommonControlsOnce();
  if (RunModal(owner, IDD_ROTATE) != IDOK) return std::nullopt;
  return RotateChoice{angle_, interpolate_};
}

bool RotateDlg::OnInitDialog() {
  HWND slider = GetDlgItem(hwnd(), IDC_ROTATE_SLIDER);
  SendMessageW(slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, kAngleSliderMax));
  SendMessageW(slider, TBM_SETLINESIZE, 0, 1);
  SendMessageW(slider, TBM_SETPAGESIZE, 0, 100);
  SendDlgItemMessageW(hwnd(), IDC_ROTATE_EDIT, EM_SETLIMITTEXT, 16, 0);
  dial_.CreateIn(hwnd(), TakePlaceholder(hwnd(), IDC_ROTATE_DIAL), IDC_ROTATE_DIAL,
                 L"OrbiskRotationControl");
  CheckDlgButton(hwnd(), IDC_ROTATE_INTERPOLATE, interpolate_ ? BST_CHECKED : BST_UNCHECKED);
  // The stored angle may come from an edited settings file.
  SetAngle(std::isfinite(angle_) ? ClampTypedAngle(angle_) : 0.0, From::kStart);
  return true;
}

void RotateDlg::SetAngle(double angle, From from) {
  angle_ = angle;
  SetItemText(IDC_ROTATE_TEXT, ui::WideFromUtf8(AngleText(angle)));
  dial_.SetAngle(angle);
  if (from != From::kSlider)
    SendDlgItemMessageW(hwnd(), IDC_ROTATE_SLIDER, TBM_SETPOS, TRUE, SliderFromAngle(angle));
  if (from != From::kEdit) {
    writing_ = true;
    SetItemText(IDC_ROTATE_EDIT, ui::WideFromUtf8(PrintedLengthText(angle)));
    writing_ = false;
  }
  std::optional<size_t> checked = CheckedRightAngle(angle);
  for (size_t i = 0; i < kRightAngles.size(); ++i)
    CheckDlgButton(hwnd(), kRightAngles[i].id, checked == i ? BST_CHECKED : BST_UNCHECKED);
}

void RotateDlg::OnAngleTyped() {
  std::optional<double> typed = ParseDecimalNumber(ui::Utf8FromWide(ItemText(IDC_ROTATE_EDIT)));
  if (!typed) return;  // not a number (yet): the angle stays
  const double angle = ClampTypedAngle(*typed);
  if (angle != *typed) {
    // Out of range: the edit shows the limit it was held to.
    SetAngle(angle, From::kStart);
    SendDlgItemMessageW(hwnd(), IDC_ROTATE_EDIT, EM_SETSEL, 16, 16);
    return;
  }
  SetAngle(angle, From::kEdit);
}

bool RotateDlg::OnCommand(WORD id, WORD code) {
  if (id == IDC_ROTATE_EDIT) {
    if (code == EN_CHANGE && !writing_) OnAngleTyped();
    return code == EN_CHANGE;
  }
  if (id == IDC_ROTATE_INTERPOLATE && code == BN_CLICKED) {
    interpolate_ = IsDlgButtonChecked(hwnd(), IDC_ROTATE_INTERPOLATE) == BST_CHECKED;
    return true;
  }
  for (const RightAngleChoice& choice : kRightAngles) {
    if (id == choice.id && code == BN_CLICKED) {
      SetAngle(choice.angle, From::kChoice);
      return true;
    }
  }
  return false;
}

INT_PTR RotateDlg::OnMessage(UINT message, WPARAM, LPARAM lparam, bool& handled) {
  handled = message == WM_HSCROLL &&
            reinterpret_cast<HWND>(lparam) == GetDlgItem(hwnd(), IDC_ROTATE_SLIDER);
  if (!handled) return FALSE;
  LRESULT position = SendDlgItemMessageW(hwnd(), IDC_ROTATE_SLIDER, TBM_GETPOS, 0, 0);
  SetAngle(AngleFromSlider(int32_t(position)), From::kSlider);
  return TRUE;
}

bool RotateDlg::OnOk() {
  interpolate_ = IsDlgButtonChecked(hwnd(), IDC_ROTATE_INTERPOLATE) == BST_CHECKED;
  return true;
}

}  // namespace viewer
