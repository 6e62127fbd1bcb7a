// The file types Orbisk.exe can be made the opener of, and the rules of that
// registration: per user, one program identifier per extension ("Orbisk.png"), and
// what the extension pointed to before, kept to be put back.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace glib {
struct FilterFormatDesc;
}

namespace host {

struct FileType {
  std::string extension;    // lower case, no dot: "png"
  std::string description;  // "Portable Network Graphics"
  friend bool operator==(const FileType&, const FileType&) = default;
};

// Every extension of the readable, enabled formats that may be chosen by extension,
// once (the first format that names it gives the description), sorted. The RAW
// pixel import has no layout of its own to open with and is left out.
std::vector<FileType> AssociableTypes(std::span<glib::FilterFormatDesc* const> formats);

// The file manager's detect string for `types`: EXT="PNG" | EXT="JPG" | ..., with as
// many whole terms as fit in `capacity` bytes with the terminating NUL.
std::string DetectString(std::span<const FileType> types, size_t capacity);

// "Orbisk.png".
std::string ProgIdFor(std::string_view extension);
// The shell's command line for opening a file with the program.
std::string OpenCommand(std::string_view exePath);

// What an extension's key held before Orbisk took it over.
struct PreviousHandler {
  bool keyExisted = false;
  std::optional<std::string> handler;  // its default value, when it had one
  friend bool operator==(const PreviousHandler&, const PreviousHandler&) = default;
};
// As kept in the profile: "!" no key, "-" a key without a default value, "=" and
// the value.
std::string EncodePrevious(const PreviousHandler& previous);
// Nothing for a text that none of the three forms is.
std::optional<PreviousHandler> DecodePrevious(std::string_view text);

}  // namespace host
