#include "viewer/win32/OpenImageDialog.h"

#include <commdlg.h>

#include <memory>
#include <vector>

#include "ResourceIds.h"
#include "filters/FilterManager.h"
#include "formats/FileInfoRecord.h"
#include "image/Film.h"
#include "ui/Text.h"
#include "ui/Window.h"

namespace viewer {
namespace {

// The preview's picture box, in pixels (the template's 108 x 78 units, less the frame).
constexpr int32_t kPreviewWidth = 160;
constexpr int32_t kPreviewHeight = 120;

// The thumbnail shown for the selected file, and the text under it.
void ShowPreview(HWND page, const std::wstring& path) {
  HBITMAP bitmap = nullptr;
  std::wstring text;
  glib::Film film;
  std::u16string name(path.begin(), path.end());
  glib::FileInfoRecord* raw = nullptr;
  if (film.GetFileInfoW(name.c_str(), &raw, glib::kFormatNone) == glib::RCOK && raw) {
    std::unique_ptr<glib::FileInfoRecord, glib::FileInfoRecordDeleter> record(raw);
    text = std::to_wstring(record->width) + L" x " + std::to_wstring(record->height) + L" pixels";
    if (record->typeText) text += L"\n" + ui::WideFromNarrow(record->typeText);
    if (film.LoadThumbnailW(name.c_str(), glib::kFormatNone, true, kPreviewWidth, kPreviewHeight,
                            nullptr) == glib::RCOK)
      bitmap = static_cast<HBITMAP>(film.CreateSlideDIB(0, true));
  }
  HBITMAP old = reinterpret_cast<HBITMAP>(SendDlgItemMessageW(
      page, IDC_PREVIEW_PICTURE, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap)));
  if (old) DeleteObject(old);
  SetDlgItemTextW(page, IDC_PREVIEW_TEXT, text.c_str());
}

UINT_PTR CALLBACK PreviewHook(HWND page, UINT message, WPARAM, LPARAM lparam) noexcept {
  try {
    if (message == WM_NOTIFY) {
      auto* notify = reinterpret_cast<OFNOTIFYW*>(lparam);
      if (notify->hdr.code == CDN_SELCHANGE) {
        wchar_t path[MAX_PATH * 2] = {};
        if (SendMessageW(GetParent(page), CDM_GETFILEPATH, MAX_PATH * 2, LPARAM(path)) > 0 &&
            !(GetFileAttributesW(path) & FILE_ATTRIBUTE_DIRECTORY))
          ShowPreview(page, path);
      }
    } else if (message == WM_DESTROY) {
      HBITMAP old = reinterpret_cast<HBITMAP>(
          SendDlgItemMessageW(page, IDC_PREVIEW_PICTURE, STM_SETIMAGE, IMAGE_BITMAP, 0));
      if (old) DeleteObject(old);
    }
  } catch (...) {
    // A preview that fails leaves the dialog as it is.
  }
  return 0;
}

}  // namespace

std::optional<std::wstring> RunOpenImageDialog(HWND owner, std::wstring& folder) {
  std::string filter;
  glib::FilterManager::Global().BuildOpenFilter(filter, true);
  std::wstring wideFilter = ui::WideFromNarrow(filter);
  for (wchar_t& c : wideFilter)
    if (c == L'|') c = L'\0';
  wideFilter += L'\0';
  std::vector<wchar_t> path(MAX_PATH * 4, L'\0');
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.hInstance = ui::ThisModule();
  dialog.lpstrTitle = L"Open image";
  dialog.lpstrFilter = wideFilter.size() > 1 ? wideFilter.c_str() : nullptr;
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = DWORD(path.size());
  dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
  dialog.lpTemplateName = MAKEINTRESOURCEW(IDD_OPEN_PREVIEW);
  dialog.lpfnHook = &PreviewHook;
  dialog.Flags = OFN_EXPLORER | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_ENABLESIZING |
                 OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  if (!GetOpenFileNameW(&dialog)) return std::nullopt;
  std::wstring chosen(path.data());
  folder = chosen.substr(0, chosen.find_last_of(L"\\/"));
  return chosen;
}

}  // namespace viewer
