#include "platform/MessageSink.h"

#include <atomic>
#include <cstdio>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace platform {
namespace {

void DefaultSink(MessageKind kind, std::string_view text) {
#if defined(_WIN32)
  UINT style = MB_OK;
  if (kind == kMessageError) style |= MB_ICONERROR;
  if (kind == kMessageWarning) style |= MB_ICONWARNING;
  if (kind == kMessageInformation) style |= MB_ICONINFORMATION;
  MessageBoxA(nullptr, std::string(text).c_str(), "Orbisk", style);
#else
  (void)kind;
  std::fprintf(stderr, "Orbisk: %.*s\n", int(text.size()), text.data());
#endif
}

std::atomic<MessageSink> currentSink{nullptr};

}  // namespace

MessageSink SetMessageSink(MessageSink sink) { return currentSink.exchange(sink); }

void ShowMessage(MessageKind kind, std::string_view text) {
  MessageSink sink = currentSink.load();
  (sink ? sink : DefaultSink)(kind, text);
}

}  // namespace platform
