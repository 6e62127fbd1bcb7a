#include "viewer/win32/SaveImageParametersControl.h"

#include "host/RegistryProfileStore.h"
#include "ui/Text.h"

namespace viewer {
namespace {

using host::save::RowKind;

constexpr char kDialogRoot[] = "software\\Quintel\\Dorvane\\";

std::string HostProgramName() {
  wchar_t path[MAX_PATH + 1] = {};
  DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name(path, length);
  size_t slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name.erase(0, slash + 1);
  size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos && dot > 0) name.erase(dot);
  return ui::NarrowFromWide(name);
}

}  // namespace

std::string SaveDialogKey(const std::string& section) {
  return kDialogRoot + HostProgramName() + "\\" + section;
}

ui::PropertyEditor::Row SaveImageParametersControl::EditorRow(const host::save::Row& row) const {
  ui::PropertyEditor::Row shown;
  shown.kind = ui::PropertyEditor::Kind(uint8_t(row.kind));
  shown.label = ui::WideFromUtf8(row.label);
  shown.value = ui::WideFromUtf8(host::save::CellText(row, values_));
  for (const host::save::Choice& choice : row.choices)
    shown.choices.push_back(ui::WideFromUtf8(choice.label));
  shown.minimum = row.minimum;
  shown.maximum = row.maximum;
  return shown;
}

void SaveImageParametersControl::BuildItems(uint32_t format, int32_t pageCount) {
  format_ = format;
  pageCount_ = pageCount;
  rows_ = format == glib::kFormatNone ? std::vector<host::save::Row>{}
                                      : host::save::BuildRows(format, pageCount, values_);
  std::vector<ui::PropertyEditor::Row> shown;
  shown.reserve(rows_.size());
  for (const host::save::Row& row : rows_) shown.push_back(EditorRow(row));
  editor_.onChange = [this](const ui::PropertyEditor::Change& change) { OnChange(change); };
  editor_.SetRows(std::move(shown));
}

void SaveImageParametersControl::OnChange(const ui::PropertyEditor::Change& change) {
  if (change.row < 0 || size_t(change.row) >= rows_.size()) return;
  const host::save::Row& row = rows_[size_t(change.row)];
  bool accepted = true;
  if (row.kind == RowKind::kCombobox) {
    if (change.choice >= 0 && size_t(change.choice) < row.choices.size())
      values_.Set(row.option, row.choices[size_t(change.choice)].value);
  } else {
    // The table checks numbers against the row's range; a refusal keeps the value.
    std::string name = host::save::Options()[row.option].name;
    accepted = host::save::SetFromText(values_, name, ui::Utf8FromWide(change.text)).empty();
  }
  if (!accepted) MessageBeep(MB_ICONWARNING);
  editor_.SetValueText(change.row, ui::WideFromUtf8(host::save::CellText(row, values_)));
  if (row.option != host::save::kMode_JPG) return;
  // Each JPEG mode has its own depths and its own depth option.
  std::vector<host::save::Row> rebuilt = host::save::BuildRows(format_, pageCount_, values_);
  if (rebuilt.size() != rows_.size()) return;
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rebuilt[i].option == rows_[i].option) continue;
    rows_[i] = rebuilt[i];
    editor_.SetRow(int(i), EditorRow(rows_[i]));
  }
}

void SaveImageParametersControl::LoadOptions(const std::string& section) {
  host::RegistryProfileStore store(HKEY_CURRENT_USER, SaveDialogKey(section));
  values_.Load(store);
}

bool SaveImageParametersControl::SaveOptions(const std::string& section) const {
  host::RegistryProfileStore store(HKEY_CURRENT_USER, SaveDialogKey(section));
  return values_.Save(store);
}

glib::RecordPtr<glib::ImageSave> SaveImageParametersControl::CreateImageSave(
    int32_t currentPage) const {
  if (format_ == glib::kFormatNone) return nullptr;
  return host::save::CreateImageSave(format_, values_, currentPage);
}

}  // namespace viewer
