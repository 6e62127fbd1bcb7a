// The 5 x 5 convolution kernel of the "Custom" effect and its files: the program's own
// text form ("M5x5", five rows, divisor and offset) and Adobe's 54-byte ACF form.
// Reading and writing work on bytes; the dialog opens the files and passes them on.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace viewer {

struct Kernel5x5 {
  std::array<double, 25> coefficients{};  // row by row
  double divisor = 1.0;                   // as entered; 0 is taken as 1 when applied
  double offset = 0.0;

  friend bool operator==(const Kernel5x5&, const Kernel5x5&) = default;
};

// All coefficients 0 except the centre 1, divisor 1, offset 0.
Kernel5x5 IdentityKernel();
// The value button 1029 puts into the divisor.
double CoefficientSum(const Kernel5x5& kernel);

inline constexpr std::string_view kKernelLoadFilter =
    "All files (*.*)|*.*|Kernel files (*.kernel)|*.kernel|Adobe ACF (*.acf)|*.acf||";
inline constexpr std::string_view kKernelSaveFilter = "Kernel files (*.kernel)|*.kernel||";
inline constexpr std::string_view kKernelDefaultExtension = "kernel";

inline constexpr size_t kAcfFileSize = 54;
// Text lines are read up to this many characters; the rest of a longer line counts
// as the next line.
inline constexpr size_t kKernelLineLimit = 1024;
// The reader looks at no more than the first seven lines, so the dialog reads at most
// this many bytes of a file and passes them on.
inline constexpr size_t kKernelReadLimit = 7 * kKernelLineLimit;

enum class KernelRead {
  Complete,    // every value was read: show the kernel and refresh the preview
  Incomplete,  // the text ended early or a line held too few numbers: the values read
               // so far are in the kernel, the dialog is not refreshed
  NotKernel,   // no "M5x5" first line: nothing was loaded
};

// Reads the first bytes of a file (up to kKernelReadLimit of them) into `kernel`.
// Exactly 54 bytes under a path containing ".acf" (in any case, as Windows names are)
// are 27 big-endian signed 16-bit values: the coefficients, the divisor, the offset.
// Anything else is text with CRLF or LF line ends.
KernelRead ReadKernel(std::string_view path, std::string_view bytes, Kernel5x5& kernel);

// The text form with "\n" line ends. The dialog writes it through a text-mode stream,
// which gives the CRLF line ends of Windows text files there.
std::string KernelFileText(const Kernel5x5& kernel);

}  // namespace viewer
