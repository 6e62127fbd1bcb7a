// The optional plain-text log of what the viewer loads ("-logfile"), for finding the
// files that fail or crash it. Every write is flushed at once, so the log survives a
// crash in the middle of a load. Without an open file every call does nothing.
#pragma once

#include <cstdio>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "host/HostPlatform.h"

// MinGW's printf family follows C99 rather than the Microsoft runtime; its headers
// name the matching format checks.
#if defined(__MINGW_PRINTF_FORMAT)
#define ORBISK_PRINTF_FORMAT __MINGW_PRINTF_FORMAT
#else
#define ORBISK_PRINTF_FORMAT printf
#endif

namespace host {

class DiagnosticsLog {
 public:
  DiagnosticsLog() = default;
  ~DiagnosticsLog() { Close(); }
  DiagnosticsLog(const DiagnosticsLog&) = delete;
  DiagnosticsLog& operator=(const DiagnosticsLog&) = delete;

  // Creates "orbisk_log_<start time>.txt" in the folder (DefaultLogFolder() when
  // none or empty) and writes the start line. On failure the user is warned
  // "Can't create log file=<path>" and the log stays closed.
  bool Open(std::optional<std::string_view> folder = std::nullopt);
  // Writes the end line and closes the file.
  void Close();
  bool IsOpen() const;
  std::string Path() const;

  // printf formatting; at most kMaxLine characters are written per call.
  void Write(const char* format, ...) __attribute__((format(ORBISK_PRINTF_FORMAT, 2, 3)));
  // The same with a wide format and wide arguments ("%ls" for a wide string), written
  // in the program's 8-bit encoding.
  void WriteWide(const wchar_t* format, ...);
  // "MEM=..% in use; Physical=(total, free), Paging=(..), Virtual=(..) Kbytes".
  void WriteMemoryStatus();

  static constexpr size_t kMaxLine = 4096;

 private:
  void WriteText(std::string_view text);

  mutable std::mutex mutex_;
  std::FILE* file_ = nullptr;
  std::string path_;
};

// The time as ctime prints it, line feed included: "Wed Jun 30 21:49:08 1993\n".
std::string CtimeText(std::time_t time);

// folder (one trailing separator dropped), the separator, "orbisk_log_", the time
// text and ".txt"; then every byte below 32 and every ':' after the second character
// becomes '_'.
std::string LogFilePath(std::string_view folder, std::string_view timeText);

// The memory status line, figures in KiB.
std::string FormatMemoryStatus(const MemoryStatus& status);

}  // namespace host
