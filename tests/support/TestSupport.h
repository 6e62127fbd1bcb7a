// Small helpers shared by the test programs.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace testing_support {

// A fresh folder under the system's temporary folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// The tests/data folder of the source tree.
std::filesystem::path DataDir();

// The bytes of a file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// Writes the bytes as the whole file.
void WriteFile(const std::string& path, std::string_view bytes);
// The text with every carriage return taken out, for comparing line by line.
std::string WithoutCarriageReturns(std::string text);
// A text file's lines as the program wrote them, without the carriage returns.
inline std::string ReadText(const std::string& path) {
  return WithoutCarriageReturns(ReadFile(path));
}

}  // namespace testing_support
