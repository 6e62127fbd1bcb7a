#include "support/Exiftool.h"

#include <cctype>
#include <cstdio>
#include <sstream>

namespace testing_support {
namespace {

bool Run(const std::string& command, std::string& out) {
#if defined(_WIN32)
  (void)command;
  (void)out;
  return false;
#else
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return false;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  return pclose(pipe) == 0;
#endif
}

}  // namespace

bool HaveExiftool() {
  static const bool have = [] {
    std::string version;
    return Run("exiftool -ver 2>/dev/null", version);
  }();
  return have;
}

std::vector<ExiftoolTag> Exiftool(const std::string& options, const std::string& path) {
  std::vector<ExiftoolTag> tags;
  std::string out;
  if (!Run("exiftool -G1 -a -D -s " + options + " '" + path + "' 2>/dev/null", out)) return tags;
  // "[Group]      270 Name                            : value"
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    size_t close = line.find(']'), colon = line.find(" : ");
    if (line.empty() || line[0] != '[' || close == std::string::npos || colon == std::string::npos)
      continue;
    std::istringstream head(line.substr(close + 1, colon - close - 1));
    ExiftoolTag tag;
    std::string id;
    head >> id >> tag.name;
    if (id.empty() || !std::isdigit(uint8_t(id[0]))) continue;
    tag.group = line.substr(1, close - 1);
    tag.id = std::stoi(id);
    tag.value = line.substr(colon + 3);
    tags.push_back(std::move(tag));
  }
  return tags;
}

}  // namespace testing_support
