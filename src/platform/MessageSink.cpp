#include "platform/MessageSink.h"

#include <atomic>
#include <cstdio>
#include <string>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace platform {
namespace {

int DefaultSink(const Message& message) {
#if defined(_WIN32)
  return MessageBoxA(static_cast<HWND>(message.owner), std::string(message.text).c_str(),
                     std::string(message.caption).c_str(), message.style);
#else
  std::fprintf(stderr, "[%.*s] %.*s\n", int(message.caption.size()), message.caption.data(),
               int(message.text.size()), message.text.data());
  // Without a user the first button is the answer, as Enter would give.
  uint32_t buttons = message.style & 0xF;
  return buttons == mb::kYesNo || buttons == mb::kYesNoCancel ? answer::kYes : answer::kOk;
#endif
}

std::atomic<MessageSink> currentSink{nullptr};

}  // namespace

MessageSink SetMessageSink(MessageSink sink) { return currentSink.exchange(sink); }

int ShowMessage(void* owner, std::string_view text, std::string_view caption, uint32_t style) {
  MessageSink sink = currentSink.load();
  return (sink ? sink : DefaultSink)(Message{owner, text, caption, style});
}

}  // namespace platform
