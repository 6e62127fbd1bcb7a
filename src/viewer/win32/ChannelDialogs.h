// "Swap channels" and "Decrease color depth": which samples of a pixel trade places,
// and which pixel type the shown page becomes. The rules are in viewer/EditMath.h.
#pragma once

#include <windows.h>

#include <optional>

#include "ui/Dialog.h"
#include "viewer/EditMath.h"

namespace viewer {

class SwapChannelsDlg final : public ui::Dialog {
 public:
  // `pixelType`: the shown page's first layer; it decides three rows or four.
  explicit SwapChannelsDlg(uint32_t pixelType) : columns_(StartSwap(pixelType)) {}
  // The two columns, or nothing on Cancel.
  std::optional<SwapColumns> Run(HWND owner);

 private:
  bool OnInitDialog() override;
  bool OnCommand(WORD id, WORD code) override;
  // Each list shows the entry its column holds for its row.
  void ShowColumns();

  SwapColumns columns_;
};

struct DepthChoiceResult {
  uint32_t pixelType = 0;
  bool dithering = true;
  bool grayscale = false;
};

class ColourDepthDlg final : public ui::Dialog {
 public:
  ColourDepthDlg(uint32_t bitsPerPixel, bool dithering, bool grayscale)
      : start_(DepthChoicesFor(bitsPerPixel)), dithering_(dithering), grayscale_(grayscale) {}
  std::optional<DepthChoiceResult> Run(HWND owner);

 private:
  bool OnInitDialog() override;
  bool OnOk() override;

  DepthChoiceStart start_;
  bool dithering_;
  bool grayscale_;
  size_t chosen_ = 0;
};

}  // namespace viewer
