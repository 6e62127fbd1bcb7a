// Debian's exiftool as an independent reader of metadata, for oracle tests.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

struct ExiftoolTag {
  std::string group;  // family 1: "IFD0", "ExifIFD", "GPS", "IPTC", ...
  int id = -1;        // the tag or dataset number
  std::string name;
  std::string value;  // as printed; lists joined with ", "
};

// Whether exiftool can be run here (never on Windows).
bool HaveExiftool();
// exiftool's listing of a file ("-G1 -a -D -s" and the options), tags without a
// number (composite ones) left out; empty when exiftool cannot be run.
std::vector<ExiftoolTag> Exiftool(const std::string& options, const std::string& path);

}  // namespace testing_support
