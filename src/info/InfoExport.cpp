#include "info/InfoExport.h"

#include <cstdlib>

#include "formats/StdioFileStream.h"
#include "info/PictureInfo.h"

namespace info {

void InfoCatalogs::Build(const glib::FlmPictureInfo& model) {
  catalogs_.clear();
  InfoCatalog* current = nullptr;
  for (size_t i = 0; i < model.Size(); ++i) {
    std::string_view name = model.Name(i);
    if (!name.empty() && name.front() == '[') {
      std::string_view title = name.substr(1);
      if (!title.empty() && title.back() == ']') title.remove_suffix(1);
      current = &AddCatalog(std::atoi(model.Value(i).c_str()), title);
    } else if (current) {
      SetItem(*current, name, model.Value(i), true);
    }
  }
}

InfoCatalog& InfoCatalogs::AddCatalog(int icon, std::string_view title) {
  for (InfoCatalog& catalog : catalogs_)
    if (catalog.icon == icon) return catalog;
  InfoCatalog& catalog = catalogs_.emplace_back();
  catalog.title = title;
  catalog.icon = icon;
  return catalog;
}

size_t InfoCatalogs::SetItem(InfoCatalog& catalog, std::string_view name, std::string_view value,
                             bool replace) {
  if (replace) {
    for (size_t i = 0; i < catalog.items.size(); ++i) {
      if (catalog.items[i].name == name) {
        catalog.items[i].value = value;
        return i;
      }
    }
  }
  catalog.items.push_back({std::string(name), std::string(value)});
  return catalog.items.size() - 1;
}

std::string TextForm(const std::vector<InfoCatalog>& catalogs) {
  std::string text;
  for (const InfoCatalog& catalog : catalogs) {
    text += catalog.title + "\r\n";
    for (const InfoItem& item : catalog.items) text += item.name + "\t" + item.value + "\r\n";
  }
  return text;
}

std::string RowText(const std::vector<InfoCatalog>& catalogs, uint32_t group, uint32_t item) {
  if (group >= catalogs.size()) return {};
  const InfoCatalog& catalog = catalogs[group];
  if (item == kHeaderItem) return catalog.title + "\r\n";
  if (item >= catalog.items.size()) return {};
  return catalog.items[item].name + "\t" + catalog.items[item].value + "\r\n";
}

void WriteHtmlForm(const std::vector<InfoCatalog>& catalogs,
                   const std::function<void(std::string_view)>& write) {
  write(
      "<html>\r\n<head>\r\n"
      "<meta http-equiv=Content-Type content=\"text/html; charset=windows-1251\">\r\n"
      "<title>File type</title>\r\n</head>\r\n");
  for (const InfoCatalog& catalog : catalogs) {
    write("<p>" + catalog.title + "</p>\r\n");
    for (const InfoItem& item : catalog.items)
      write("<p>" + item.name + "\t" + item.value + "</p>\r\n");
  }
  write("</body>\r\n</html>\r\n");
}

std::string HtmlForm(const std::vector<InfoCatalog>& catalogs) {
  std::string html;
  WriteHtmlForm(catalogs, [&](std::string_view part) { html += part; });
  return html;
}

std::u16string SaveInfo(std::u16string_view chosen, const std::vector<InfoCatalog>& catalogs,
                        const std::function<std::string(std::string_view)>& narrow) {
  std::u16string path(chosen);
  if (path.find(u'.') == std::u16string::npos) path += u".txt";
  VStdioFileStream file;
  if (!file.Open(path.c_str(), u"wb")) return {};
  bool ok = true;
  auto write = [&](std::string_view part) {
    std::string bytes = narrow(part);
    if (!bytes.empty() && file.Write(bytes.data(), 1, bytes.size()) != bytes.size()) ok = false;
  };
  if (chosen.find(u".htm") != std::u16string_view::npos) {
    WriteHtmlForm(catalogs, write);
  } else {
    write(TextForm(catalogs));
  }
  file.Close();
  return ok ? path : std::u16string();
}

}  // namespace info
