#include "viewer/win32/SaveImageDialog.h"

#include <commctrl.h>
#include <dlgs.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "ResourceIds.h"
#include "host/RegistryProfileStore.h"
#include "image/Film.h"
#include "ui/Text.h"
#include "ui/Window.h"

namespace viewer {
namespace {

constexpr char kDefaultSection[] = "Settings";
constexpr size_t kMaxSectionLength = 1024;
constexpr char kWindowPlacement[] = "SWindowPlacement";
constexpr char kInitialDir[] = "SInitialDir";
constexpr char kFormatValue[] = "SFormat";
constexpr uint32_t kInitialFormat = 0x0C4A5047;  // JPEG
constexpr DWORD kPathBufferLength = 32768;
constexpr int kMargin = 6;
constexpr int kStatusHeight = 16;
constexpr int kProgressHeight = 12;

// What a format adds to the save filter: its text up to the third bar, without the
// leading one ("Windows Bitmap|*.bmp;*.dib").
std::string FilterEntry(std::string_view text) {
  size_t cut = 0;
  for (int bars = 0; bars < 3 && cut != std::string_view::npos; ++bars)
    cut = text.find('|', bars == 0 ? 0 : cut + 1);
  std::string entry(text.substr(0, cut));
  if (!entry.empty() && entry.front() == '|') entry.erase(0, 1);
  return entry;
}

RECT ChildRect(HWND parent, int id) {
  RECT rect{};
  HWND child = GetDlgItem(parent, id);
  if (!child) return rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

}  // namespace

SaveImageDialog::SaveImageDialog(Options options) : options_(std::move(options)) {
  if (options_.section.empty()) options_.section = kDefaultSection;
  if (options_.section.size() > kMaxSectionLength) options_.section.resize(kMaxSectionLength);
  film_ = options_.film;
  if (!film_) {
    ownFilm_ = std::make_unique<glib::Film>();
    film_ = ownFilm_.get();
  }
}

SaveImageDialog::SaveImageDialog(std::string section, std::wstring initialDir, glib::Film* film,
                                 bool saveNow)
    : SaveImageDialog(Options{
          std::move(section), std::move(initialDir), {}, {}, 0, {}, nullptr, film, saveNow}) {}

SaveImageDialog::~SaveImageDialog() = default;

int32_t SaveImageDialog::PageCount() const { return int32_t(film_->GetSlideCount()); }

bool SaveImageDialog::BuildFilter(std::wstring& filter) {
  const std::string& given = options_.filter;
  std::string text;
  // Building the standard filter also loads the plug-ins the list is made from.
  std::string standard;
  glib::FilterManager::Global().BuildSaveFilter(standard, true, options_.predicate, true);
  bool custom = !given.empty() && given.front() != '+';
  if (custom) {
    text = given;
  } else {
    text = standard;
    if (given.size() > 1 && !text.empty()) {
      // The caller's entries follow the image formats, before the closing bars.
      if (text.size() >= 2 && text.compare(text.size() - 2, 2, "||") == 0)
        text.resize(text.size() - 2);
      std::string extra = given.substr(1);
      while (!extra.empty() && extra.back() == '|') extra.pop_back();
      if (!extra.empty() && extra.front() != '|') text += '|';
      text += extra + "||";
    }
  }
  BuildItems();
  if (custom) {
    // Only the formats whose entries the caller's filter holds, in its order.
    std::vector<std::pair<size_t, ListItem>> found;
    for (ListItem& item : items_) {
      size_t at = text.find(FilterEntry(item.filterText));
      if (at != std::string::npos) found.emplace_back(at, std::move(item));
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    items_.clear();
    for (auto& [at, item] : found) items_.push_back(std::move(item));
  }
  if (items_.empty() || text.empty()) return false;
  filter = ui::WideFromNarrow(text);
  for (wchar_t& c : filter)
    if (c == L'|') c = L'\0';
  filter += L'\0';
  return true;
}

void SaveImageDialog::BuildItems() {
  items_.clear();
  for (const glib::FilterFormatDesc* desc : glib::FilterManager::Global().Formats()) {
    if (!desc->SaveImageData || (options_.predicate && !options_.predicate(*desc))) continue;
    std::string_view extensions = desc->Extensions.view();
    std::string first(extensions.substr(0, extensions.find('\n')));
    items_.push_back({desc->Id, "." + first, std::string(desc->FilterText.view())});
  }
  // The order of the sorted filter, so that entry n is filter index n + 1.
  std::stable_sort(items_.begin(), items_.end(), [](const ListItem& a, const ListItem& b) {
    return a.filterText < b.filterText;
  });
}

bool SaveImageDialog::Run(HWND parent) {
  path_.clear();
  record_.reset();
  saveResult_ = glib::RCOK;
  std::wstring filter;
  if (!BuildFilter(filter)) {
    MessageBoxA(nullptr, "Where are filters ?", "ERROR", MB_ICONERROR);
    return false;
  }
  host::RegistryProfileStore store(HKEY_CURRENT_USER, SaveDialogKey(options_.section));
  std::wstring initialDir = options_.initialDir;
  if (initialDir.empty()) initialDir = ui::WideFromNarrow(store.GetString(kInitialDir, ""));
  format_ = uint32_t(store.GetInt(kFormatValue, int32_t(kInitialFormat)));
  parameters_.LoadOptions(options_.section);

  DWORD filterIndex = 1;
  auto remembered = std::find_if(items_.begin(), items_.end(),
                                 [&](const ListItem& item) { return item.format == format_; });
  if (remembered != items_.end()) filterIndex = DWORD(remembered - items_.begin()) + 1;
  format_ = items_[filterIndex - 1].format;
  std::wstring defaultExt = options_.defaultExt;
  if (defaultExt.empty())
    defaultExt = ui::WideFromNarrow(items_[filterIndex - 1].extension.substr(1));

  std::vector<wchar_t> file(kPathBufferLength, L'\0');
  std::copy_n(options_.fileName.begin(),
              std::min<size_t>(options_.fileName.size(), file.size() - 1), file.begin());
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = parent;
  dialog.hInstance = ui::ThisModule();
  dialog.lpstrTitle = L"Save Image as...";
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = filterIndex;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = DWORD(file.size());
  dialog.lpstrInitialDir = initialDir.empty() ? nullptr : initialDir.c_str();
  dialog.lpstrDefExt = defaultExt.c_str();
  dialog.lpTemplateName = MAKEINTRESOURCEW(IDD_SAVE_OPTIONS);
  dialog.lpfnHook = &SaveImageDialog::HookProc;
  dialog.lCustData = LPARAM(this);
  dialog.Flags = options_.flags | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_EXPLORER |
                 OFN_ENABLESIZING | OFN_EXTENSIONDIFFERENT | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE;
  ofn_ = &dialog;
  BOOL chosen = GetSaveFileNameW(&dialog);
  ofn_ = nullptr;
  page_ = nullptr;
  if (!chosen) {
    record_.reset();
    return false;
  }
  path_ = file.data();
  return true;
}

UINT_PTR CALLBACK SaveImageDialog::HookProc(HWND page, UINT message, WPARAM wparam,
                                            LPARAM lparam) noexcept {
  try {
    auto* self = reinterpret_cast<SaveImageDialog*>(GetWindowLongPtrW(page, GWLP_USERDATA));
    if (message == WM_INITDIALOG) {
      auto* dialog = reinterpret_cast<OPENFILENAMEW*>(lparam);
      self = reinterpret_cast<SaveImageDialog*>(dialog->lCustData);
      SetWindowLongPtrW(page, GWLP_USERDATA, LONG_PTR(self));
      self->page_ = page;
    }
    return self ? self->OnMessage(message, wparam, lparam) : 0;
  } catch (...) {
    return 0;
  }
}

UINT_PTR SaveImageDialog::OnMessage(UINT message, WPARAM, LPARAM lparam) {
  switch (message) {
    case WM_INITDIALOG:
      parameters_.Create(page_, IDC_SAVE_OPTIONS, ChildRect(page_, IDC_SAVE_OPTIONS));
      return TRUE;
    case WM_SIZE:
      Layout();
      return 0;
    case WM_NOTIFY: {
      auto* notify = reinterpret_cast<OFNOTIFYW*>(lparam);
      switch (notify->hdr.code) {
        case CDN_INITDONE:
          OnInitDone();
          return 0;
        case CDN_TYPECHANGE:
          OnTypeChange(notify->lpOFN ? notify->lpOFN->nFilterIndex : 0);
          return 0;
        case CDN_FILEOK: {
          // Non-zero keeps the dialog open.
          LONG_PTR refuse = OnFileOk() ? 0 : 1;
          SetWindowLongPtrW(page_, DWLP_MSGRESULT, refuse);
          return UINT_PTR(refuse);
        }
        default:
          return 0;
      }
    }
    default:
      return 0;
  }
}

void SaveImageDialog::OnInitDone() {
  RestorePlacement();
  OnTypeChange(ofn_ ? ofn_->nFilterIndex : 0);
  Layout();
}

void SaveImageDialog::OnTypeChange(DWORD filterIndex) {
  bool listed = filterIndex >= 1 && filterIndex <= items_.size();
  format_ = listed ? items_[filterIndex - 1].format : glib::kFormatNone;
  parameters_.BuildItems(format_, PageCount());
  if (listed && options_.defaultExt.empty()) {
    std::wstring extension = ui::WideFromNarrow(items_[filterIndex - 1].extension.substr(1));
    SendMessageW(GetParent(page_), CDM_SETDEFEXT, 0, LPARAM(extension.c_str()));
  }
}

void SaveImageDialog::Layout() {
  if (!page_) return;
  RECT client{};
  GetClientRect(page_, &client);
  RECT standard = ChildRect(page_, stc32);
  int left = standard.right + kMargin;
  int width = client.right - left - kMargin;
  if (width < 40) return;  // squeezed: the template's places stay
  RECT label = ChildRect(page_, IDC_SAVE_OPTIONS_LABEL);
  int labelHeight = label.bottom - label.top;
  MoveWindow(GetDlgItem(page_, IDC_SAVE_OPTIONS_LABEL), left, kMargin, width, labelHeight, TRUE);
  int top = kMargin + labelHeight + 2;
  int bottom = client.bottom - kMargin - kStatusHeight - kProgressHeight - 2 * kMargin;
  if (bottom > top) parameters_.Move({left, top, left + width, bottom});
  MoveWindow(GetDlgItem(page_, IDC_SAVE_PROGRESS), left, bottom + kMargin, width, kProgressHeight,
             TRUE);
  MoveWindow(GetDlgItem(page_, IDC_SAVE_STATUS), left, bottom + 2 * kMargin + kProgressHeight,
             width, kStatusHeight, TRUE);
}

void SaveImageDialog::RestorePlacement() {
  host::RegistryProfileStore store(HKEY_CURRENT_USER, SaveDialogKey(options_.section));
  std::optional<std::vector<uint8_t>> bytes = store.GetBinary(kWindowPlacement);
  if (!bytes || bytes->size() != sizeof(WINDOWPLACEMENT)) return;
  WINDOWPLACEMENT placement{};
  std::copy(bytes->begin(), bytes->end(), reinterpret_cast<uint8_t*>(&placement));
  if (placement.length != sizeof placement) return;
  // Never restored minimised or hidden.
  if (placement.showCmd != SW_SHOWMAXIMIZED) placement.showCmd = SW_SHOWNORMAL;
  placement.flags = 0;
  // A placement from another screen layout must still show the dialog.
  RECT wanted = placement.rcNormalPosition;
  if (!MonitorFromRect(&wanted, MONITOR_DEFAULTTONULL)) return;
  SetWindowPlacement(GetParent(page_), &placement);
}

void SaveImageDialog::SaveSettings() {
  host::RegistryProfileStore store(HKEY_CURRENT_USER, SaveDialogKey(options_.section));
  WINDOWPLACEMENT placement{};
  placement.length = sizeof placement;
  if (GetWindowPlacement(GetParent(page_), &placement))
    store.SetBinary(kWindowPlacement,
                    {reinterpret_cast<const uint8_t*>(&placement), sizeof placement});
  wchar_t folder[MAX_PATH * 2] = {};
  LRESULT length = SendMessageW(GetParent(page_), CDM_GETFOLDERPATH, MAX_PATH * 2, LPARAM(folder));
  std::wstring folderText = length > 0 ? std::wstring(folder) : std::wstring();
  if (folderText.size() > 1) store.SetString(kInitialDir, ui::NarrowFromWide(folderText));
  store.SetInt(kFormatValue, int32_t(format_));
  parameters_.SaveOptions(options_.section);
}

bool SaveImageDialog::OnFileOk() {
  parameters_.CommitEdit();
  if (ofn_ && ofn_->lpstrFile) path_ = ofn_->lpstrFile;
  SaveSettings();
  if (format_ == glib::kFormatNone) return true;
  if (!options_.saveNow) {
    record_ = parameters_.CreateImageSave(film_->GetCurrentIndex());
    return true;
  }
  saveResult_ = SaveFilmNow();
  return true;
}

glib::ERetcode SaveImageDialog::SaveFilmNow() {
  glib::RecordPtr<glib::ImageSave> record = parameters_.CreateImageSave(film_->GetCurrentIndex());
  if (!record) return glib::NSUP;
  HWND progress = GetDlgItem(page_, IDC_SAVE_PROGRESS);
  SendMessageW(progress, PBM_SETRANGE32, 0, 10000);
  SendMessageW(progress, PBM_SETPOS, 0, 0);
  ShowWindow(progress, SW_SHOW);
  film_->GetProgress(savedCallback_, savedContext_);
  film_->SetProgress(&SaveImageDialog::ProgressEntry, uintptr_t(this));
  std::u16string path(path_.begin(), path_.end());
  glib::ERetcode rc = film_->SaveW(path.c_str(), record.get());
  film_->SetProgress(savedCallback_, savedContext_);
  ShowWindow(progress, SW_HIDE);
  return rc;
}

bool ORBISK_CDECL SaveImageDialog::ProgressEntry(ClbData* data) noexcept {
  try {
    auto* self = data ? reinterpret_cast<SaveImageDialog*>(data->context) : nullptr;
    return self ? self->OnProgress(data) : true;
  } catch (...) {
    return true;
  }
}

bool SaveImageDialog::OnProgress(ClbData* data) {
  if (data->step < 1 || data->stepCount < 1) {
    // Events and waits belong to whoever watched the Film before.
    if (!savedCallback_) return true;
    uintptr_t ours = data->context;
    data->context = savedContext_;
    bool answer = savedCallback_(data);
    data->context = ours;
    return answer;
  }
  double percent = 100.0 * std::min(data->step, data->stepCount) / data->stepCount;
  char line[64];
  std::snprintf(line, sizeof line, "%0.2f%%", percent);
  std::wstring text = ui::WideFromNarrow(line);
  // The step text comes from a plug-in: read no further than a line's worth.
  if (data->text) text += L" " + ui::WideFromNarrow({data->text, strnlen(data->text, 256)});
  SetDlgItemTextW(page_, IDC_SAVE_STATUS, text.c_str());
  SendDlgItemMessageW(page_, IDC_SAVE_PROGRESS, PBM_SETPOS, WPARAM(percent * 100), 0);
  UpdateWindow(page_);
  return true;
}

}  // namespace viewer
