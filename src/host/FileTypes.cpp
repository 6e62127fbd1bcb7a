#include "host/FileTypes.h"

#include <algorithm>

#include "formats/FilterFormatDesc.h"
#include "formats/FormatRegistry.h"

namespace host {
namespace {

// "|Portable Network Graphics|*.png" -> "Portable Network Graphics".
std::string DescriptionOf(std::string_view filterText) {
  if (!filterText.empty() && filterText.front() == '|') filterText.remove_prefix(1);
  return std::string(filterText.substr(0, filterText.find('|')));
}

bool IsPlainExtension(std::string_view extension) {
  return !extension.empty() && extension.size() <= 16 &&
         std::all_of(extension.begin(), extension.end(), [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
         });
}

}  // namespace

std::vector<FileType> AssociableTypes(std::span<glib::FilterFormatDesc* const> formats) {
  std::vector<FileType> types;
  for (const glib::FilterFormatDesc* desc : formats) {
    if (!desc || !desc->CanRead || !desc->Enabled || desc->Id == glib::kFormatRAW) continue;
    std::string description = DescriptionOf(desc->FilterText.view());
    std::string_view extensions = desc->Extensions.view();
    while (!extensions.empty()) {
      size_t end = std::min(extensions.find('\n'), extensions.size());
      std::string_view extension = extensions.substr(0, end);
      extensions.remove_prefix(std::min(end + 1, extensions.size()));
      bool known = std::any_of(types.begin(), types.end(),
                               [&](const FileType& type) { return type.extension == extension; });
      if (IsPlainExtension(extension) && !known)
        types.push_back({std::string(extension), description});
    }
  }
  std::sort(types.begin(), types.end(),
            [](const FileType& a, const FileType& b) { return a.extension < b.extension; });
  return types;
}

std::string ProgIdFor(std::string_view extension) { return "Orbisk." + std::string(extension); }

std::string OpenCommand(std::string_view exePath) {
  return "\"" + std::string(exePath) + "\" \"%1\"";
}

std::string EncodePrevious(const PreviousHandler& previous) {
  if (previous.handler) return "=" + *previous.handler;
  return previous.keyExisted ? "-" : "!";
}

std::optional<PreviousHandler> DecodePrevious(std::string_view text) {
  if (text == "!") return PreviousHandler{};
  if (text == "-") return PreviousHandler{true, std::nullopt};
  if (!text.empty() && text.front() == '=')
    return PreviousHandler{true, std::string(text.substr(1))};
  return std::nullopt;
}

std::string DetectString(std::span<const FileType> types, size_t capacity) {
  std::string detect;
  for (const FileType& type : types) {
    std::string term = "EXT=\"";
    for (char c : type.extension) term += char(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    term += '"';
    size_t length = detect.size() + (detect.empty() ? 0 : 3) + term.size();
    if (length + 1 > capacity) break;
    if (!detect.empty()) detect += " | ";
    detect += term;
  }
  return detect;
}

}  // namespace host
