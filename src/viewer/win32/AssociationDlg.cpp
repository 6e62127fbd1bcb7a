#include "viewer/win32/AssociationDlg.h"

#include <commctrl.h>

#include "ResourceIds.h"
#include "filters/FilterManager.h"
#include "host/FileTypeRegistry.h"
#include "platform/Module.h"
#include "ui/Text.h"

namespace viewer {
namespace {

// Orbisk.exe beside this library, and its icon for every type.
host::FileTypeRegistry ProgramRegistry() {
  std::string exe =
      platform::ModuleFolder(reinterpret_cast<const void*>(&ProgramRegistry)) + "Orbisk.exe";
  return host::FileTypeRegistry(exe, exe + ",0");
}

}  // namespace

std::vector<host::FileType> ReadableFileTypes() {
  glib::FilterManager& manager = glib::FilterManager::Global();
  manager.FindById(glib::kFormatBMP);  // the plug-ins are loaded by now
  std::vector<glib::FilterFormatDesc*> formats;
  for (glib::FilterFormatDesc* desc : manager.Formats()) formats.push_back(desc);
  return host::AssociableTypes(formats);
}

bool AssociateAllFileTypes() {
  host::FileTypeRegistry registry = ProgramRegistry();
  bool all = true;
  for (const host::FileType& type : ReadableFileTypes()) all = registry.Associate(type) && all;
  host::FileTypeRegistry::NotifyShell();
  return all;
}

void RestoreAllFileTypes() {
  host::FileTypeRegistry registry = ProgramRegistry();
  for (const host::FileType& type : ReadableFileTypes()) registry.Restore(type.extension);
  host::FileTypeRegistry::NotifyShell();
}

void ShowAssociationFailure(HWND owner) {
  MessageBoxW(owner, L"Some file types could not be registered.", L"Orbisk",
              MB_ICONWARNING | MB_TOPMOST);
}

bool AssociationDlg::Run(HWND owner) {
  failed_ = false;
  types_ = ReadableFileTypes();
  bool ok = RunModal(owner, IDD_ASSOCIATE) == IDOK;
  if (ok && failed_) {
    ShowAssociationFailure(owner);
  }
  return ok && !failed_;
}

bool AssociationDlg::OnInitDialog() {
  HWND list = GetDlgItem(hwnd(), IDC_ASSOCIATE_LIST);
  ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  RECT area{};
  GetClientRect(list, &area);
  const int extensionWidth = (area.right - area.left) / 4;
  wchar_t extensionTitle[] = L"Extension", typeTitle[] = L"File type";
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = extensionTitle;
  column.cx = extensionWidth;
  SendMessageW(list, LVM_INSERTCOLUMNW, 0, LPARAM(&column));
  column.pszText = typeTitle;
  column.cx = area.right - area.left - extensionWidth - GetSystemMetrics(SM_CXVSCROLL);
  SendMessageW(list, LVM_INSERTCOLUMNW, 1, LPARAM(&column));
  host::FileTypeRegistry registry = ProgramRegistry();
  for (size_t i = 0; i < types_.size(); ++i) {
    std::wstring extension = L"." + ui::WideFromUtf8(types_[i].extension);
    std::wstring description = ui::WideFromUtf8(types_[i].description);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = int(i);
    item.pszText = extension.data();
    int row = int(SendMessageW(list, LVM_INSERTITEMW, 0, LPARAM(&item)));
    LVITEMW cell{};
    cell.iSubItem = 1;
    cell.pszText = description.data();
    SendMessageW(list, LVM_SETITEMTEXTW, WPARAM(row), LPARAM(&cell));
    ListView_SetCheckState(list, row, registry.IsOurs(types_[i].extension));
  }
  return true;
}

void AssociationDlg::TickAll(bool tick) {
  HWND list = GetDlgItem(hwnd(), IDC_ASSOCIATE_LIST);
  for (int row = 0; row < ListView_GetItemCount(list); ++row)
    ListView_SetCheckState(list, row, tick);
}

bool AssociationDlg::OnCommand(WORD id, WORD code) {
  if (code != BN_CLICKED || (id != IDC_ASSOCIATE_ALL && id != IDC_ASSOCIATE_NONE)) return false;
  TickAll(id == IDC_ASSOCIATE_ALL);
  return true;
}

bool AssociationDlg::OnOk() {
  HWND list = GetDlgItem(hwnd(), IDC_ASSOCIATE_LIST);
  host::FileTypeRegistry registry = ProgramRegistry();
  for (size_t i = 0; i < types_.size() && int(i) < ListView_GetItemCount(list); ++i) {
    const bool ticked = ListView_GetCheckState(list, int(i)) != 0;
    const bool ours = registry.IsOurs(types_[i].extension);
    if (ticked && !ours) {
      failed_ = !registry.Associate(types_[i]) || failed_;
    } else if (!ticked && ours) {
      registry.Restore(types_[i].extension);
    }
  }
  host::FileTypeRegistry::NotifyShell();
  return true;
}

}  // namespace viewer
