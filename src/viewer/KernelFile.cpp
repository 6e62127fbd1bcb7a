#include "viewer/KernelFile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <numeric>

namespace viewer {

Kernel5x5 IdentityKernel() {
  Kernel5x5 kernel;
  kernel.coefficients[12] = 1.0;
  return kernel;
}

double CoefficientSum(const Kernel5x5& kernel) {
  return std::accumulate(kernel.coefficients.begin(), kernel.coefficients.end(), 0.0);
}

namespace {

bool MentionsAcf(std::string_view path) {
  constexpr std::string_view kAcf = ".acf";
  auto same = [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  };
  return std::search(path.begin(), path.end(), kAcf.begin(), kAcf.end(), same) != path.end();
}

void ReadAcf(std::string_view bytes, Kernel5x5& kernel) {
  auto value = [&](size_t i) {
    const auto hi = static_cast<uint8_t>(bytes[2 * i]), lo = static_cast<uint8_t>(bytes[2 * i + 1]);
    return double(int16_t(uint16_t(hi << 8 | lo)));
  };
  for (size_t i = 0; i < kernel.coefficients.size(); ++i) kernel.coefficients[i] = value(i);
  kernel.divisor = value(25);
  kernel.offset = value(26);
}

// Hands out the text line by line as a C runtime's line reader would with a buffer of
// kKernelLineLimit characters: a line ends after its '\n' or at the limit.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : rest_(text) {}
  bool Next(std::string_view& line) {
    if (rest_.empty()) return false;
    size_t end = rest_.find('\n');
    end = end == std::string_view::npos ? rest_.size() : end + 1;
    end = std::min(end, kKernelLineLimit);
    line = rest_.substr(0, end);
    rest_.remove_prefix(end);
    return true;
  }

 private:
  std::string_view rest_;
};

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Reads up to `count` numbers separated by blanks into `out`, as "%g %g ..." would
// scan them; returns how many were read before the first thing that is not a number.
size_t ScanNumbers(std::string_view line, double* out, size_t count) {
  const char* p = line.data();
  const char* end = line.data() + line.size();
  size_t read = 0;
  while (read < count) {
    while (p < end && IsBlank(*p)) ++p;
    if (p < end && *p == '+') ++p;  // from_chars takes no plus sign
    double value = 0.0;
    auto [next, error] = std::from_chars(p, end, value);
    if (error != std::errc() || next == p) break;
    out[read++] = value;
    p = next;
  }
  return read;
}

}  // namespace

KernelRead ReadKernel(std::string_view path, std::string_view bytes, Kernel5x5& kernel) {
  if (bytes.size() == kAcfFileSize && MentionsAcf(path)) {
    ReadAcf(bytes, kernel);
    return KernelRead::Complete;
  }
  LineReader lines(bytes);
  std::string_view line;
  if (!lines.Next(line) || !line.starts_with("M5x5")) return KernelRead::NotKernel;
  bool complete = true;
  for (size_t row = 0; row < 5; ++row) {
    if (!lines.Next(line)) return KernelRead::Incomplete;
    complete &= ScanNumbers(line, &kernel.coefficients[row * 5], 5) == 5;
  }
  if (!lines.Next(line)) return KernelRead::Incomplete;
  double last[2];
  const size_t read = ScanNumbers(line, last, 2);
  if (read > 0) kernel.divisor = last[0];
  if (read > 1) kernel.offset = last[1];
  return complete && read == 2 ? KernelRead::Complete : KernelRead::Incomplete;
}

namespace {

// "%g", or "%3g" with a width of three, in every locale.
void AppendNumber(std::string& out, double value, size_t width) {
  char buffer[32];
  auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
  const size_t length = error == std::errc() ? size_t(end - buffer) : 0;
  if (length < width) out.append(width - length, ' ');
  out.append(buffer, length);
}

}  // namespace

std::string KernelFileText(const Kernel5x5& kernel) {
  std::string out = "M5x5\n";
  for (size_t row = 0; row < 5; ++row) {
    for (size_t column = 0; column < 5; ++column) {
      if (column > 0) out += ' ';
      AppendNumber(out, kernel.coefficients[row * 5 + column], column > 0 ? 3 : 0);
    }
    out += '\n';
  }
  AppendNumber(out, kernel.divisor, 0);
  out += ' ';
  AppendNumber(out, kernel.offset, 3);
  out += '\n';
  return out;
}

}  // namespace viewer
