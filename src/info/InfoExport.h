// The information list as groups of items, and its export: one row or all of it as
// text for the clipboard, and the whole list saved as a text file or a simple HTML
// page. The panel and the command-line program share it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace glib {
class FlmPictureInfo;
}

namespace info {

struct InfoItem {
  std::string name;
  std::string value;
};

struct InfoCatalog {
  std::string title;
  int icon = 0;
  bool collapsed = false;
  std::vector<InfoItem> items;
};

// Marks a group header row in an item index.
constexpr uint32_t kHeaderItem = 65535;

class InfoCatalogs {
 public:
  void Clear() { catalogs_.clear(); }
  // Walks the model's rows: a "[Title]" row starts the group of its icon (or returns
  // to the existing group with that icon); any other row becomes an item of the
  // current group, replacing the value of an item of the same name. Rows before the
  // first group are dropped.
  void Build(const glib::FlmPictureInfo& model);
  // The group with this icon, made when there is none yet.
  InfoCatalog& AddCatalog(int icon, std::string_view title);
  // Returns the item's index; with replace on an item of that name keeps its place.
  size_t SetItem(InfoCatalog& catalog, std::string_view name, std::string_view value, bool replace);

  std::vector<InfoCatalog>& Catalogs() { return catalogs_; }
  const std::vector<InfoCatalog>& Catalogs() const { return catalogs_; }

 private:
  std::vector<InfoCatalog> catalogs_;
};

// "title\r\n", then "name\tvalue\r\n" per item, for every group (collapsed ones too).
std::string TextForm(const std::vector<InfoCatalog>& catalogs);
// One row: the title of a header (item kHeaderItem) or "name\tvalue", with "\r\n";
// empty for a row that does not exist.
std::string RowText(const std::vector<InfoCatalog>& catalogs, uint32_t group, uint32_t item);
// The HTML page, handed out paragraph by paragraph.
void WriteHtmlForm(const std::vector<InfoCatalog>& catalogs,
                   const std::function<void(std::string_view)>& write);
std::string HtmlForm(const std::vector<InfoCatalog>& catalogs);

// Saves the list under the chosen path: ".txt" is appended to a path without any
// "."; the HTML form is written when the path contains ".htm" (as typed: the test is
// case-sensitive), else the text form. `narrow` turns the list's UTF-8 into the
// encoding written to the file. Returns the path written, or "" when the file could
// not be opened.
std::u16string SaveInfo(std::u16string_view chosen, const std::vector<InfoCatalog>& catalogs,
                        const std::function<std::string(std::string_view)>& narrow);

}  // namespace info
