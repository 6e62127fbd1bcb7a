#include "host/DiagnosticsLog.h"

#include <algorithm>
#include <cstdarg>
#include <cwchar>

#include "platform/MessageSink.h"

namespace host {

std::string CtimeText(std::time_t time) {
  static const char kDays[] = "SunMonTueWedThuFriSat";
  static const char kMonths[] = "JanFebMarAprMayJunJulAugSepOctNovDec";
  std::tm tm{};
  if (!LocalTime(time, tm) || tm.tm_wday < 0 || tm.tm_wday > 6 || tm.tm_mon < 0 || tm.tm_mon > 11) {
    return "??? ??? ?? ??:??:?? ????\n";
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.3s %.3s%3d %.2d:%.2d:%.2d %d\n", kDays + 3 * tm.tm_wday,
                kMonths + 3 * tm.tm_mon, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec,
                tm.tm_year + 1900);
  return text;
}

std::string LogFilePath(std::string_view folder, std::string_view timeText) {
  if (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) {
    folder.remove_suffix(1);
  }
  std::string path =
      std::string(folder) + PathSeparator() + "orbisk_log_" + std::string(timeText) + ".txt";
  for (size_t i = 0; i < path.size(); ++i) {
    // The colons of the time are not allowed in a Windows file name; a drive's is.
    if (static_cast<unsigned char>(path[i]) < 32 || (path[i] == ':' && i >= 2)) path[i] = '_';
  }
  return path;
}

std::string FormatMemoryStatus(const MemoryStatus& status) {
  auto kib = [](uint64_t bytes) { return static_cast<unsigned long long>(bytes >> 10); };
  char line[256];
  std::snprintf(line, sizeof line,
                "MEM=%u%% in use; Physical=(%llu, %llu), Paging=(%llu, %llu), "
                "Virtual=(%llu, %llu) %sbytes\n",
                unsigned(status.loadPercent), kib(status.totalPhysical),
                kib(status.availablePhysical), kib(status.totalPaging), kib(status.availablePaging),
                kib(status.totalVirtual), kib(status.availableVirtual), "K");
  return line;
}

bool DiagnosticsLog::Open(std::optional<std::string_view> folder) {
  std::time_t now = std::time(nullptr);
  std::string timeText = CtimeText(now);
  std::string path =
      LogFilePath(folder && !folder->empty() ? std::string(*folder) : DefaultLogFolder(), timeText);
  Close();
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (!file) {
    platform::ShowMessage(nullptr, "Can't create log file=" + path, "Warning",
                          platform::mb::kOk | platform::mb::kIconWarning);
    return false;
  }
  {
    std::lock_guard lock(mutex_);
    file_ = file;
    path_ = path;
  }
  WriteText("Orbisk started. Time=" + timeText + "\n");
  return true;
}

void DiagnosticsLog::Close() {
  std::lock_guard lock(mutex_);
  if (!file_) return;
  std::string line = "Orbisk ended. Time=" + CtimeText(std::time(nullptr)) + "\n";
  std::fputs(line.c_str(), file_);
  std::fclose(file_);
  file_ = nullptr;
}

bool DiagnosticsLog::IsOpen() const {
  std::lock_guard lock(mutex_);
  return file_ != nullptr;
}

std::string DiagnosticsLog::Path() const {
  std::lock_guard lock(mutex_);
  return path_;
}

void DiagnosticsLog::WriteText(std::string_view text) {
  std::lock_guard lock(mutex_);
  if (!file_) return;
  std::fwrite(text.data(), 1, text.size(), file_);
  std::fflush(file_);
}

void DiagnosticsLog::Write(const char* format, ...) {
  if (!IsOpen()) return;
  char text[kMaxLine + 1];
  va_list args;
  va_start(args, format);
  int length = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (length < 0) return;
  WriteText(std::string_view(text, std::min(size_t(length), kMaxLine)));
}

void DiagnosticsLog::WriteWide(const wchar_t* format, ...) {
  if (!IsOpen()) return;
  // Zero-filled: a format that overflows leaves the content unspecified.
  wchar_t text[kMaxLine + 1] = {};
  va_list args;
  va_start(args, format);
  std::vswprintf(text, kMaxLine + 1, format, args);
  va_end(args);
  text[kMaxLine] = 0;
  WriteText(NarrowFromWide(text, std::wcslen(text)));
}

void DiagnosticsLog::WriteMemoryStatus() {
  MemoryStatus status;
  if (IsOpen() && QueryMemoryStatus(status)) WriteText(FormatMemoryStatus(status));
}

}  // namespace host
