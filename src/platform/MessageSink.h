// Where message boxes go. On Windows the default is MessageBoxA; natively the text
// goes to standard error and the default button is answered. Tests install their
// own sink to see what a user would have been told, and to answer questions.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

// Style bits and answers, with the values of their Win32 counterparts.
namespace mb {
constexpr uint32_t kOk = 0x0;
constexpr uint32_t kOkCancel = 0x1;
constexpr uint32_t kYesNoCancel = 0x3;
constexpr uint32_t kYesNo = 0x4;
constexpr uint32_t kIconError = 0x10;
constexpr uint32_t kIconQuestion = 0x20;
constexpr uint32_t kIconWarning = 0x30;
constexpr uint32_t kIconInformation = 0x40;
constexpr uint32_t kTaskModal = 0x2000;
constexpr uint32_t kTopMost = 0x40000;
}  // namespace mb

namespace answer {
constexpr int kOk = 1;
constexpr int kCancel = 2;
constexpr int kYes = 6;
constexpr int kNo = 7;
}  // namespace answer

struct Message {
  void* owner;  // HWND of the owning window, or null
  std::string_view text;
  std::string_view caption;
  uint32_t style;  // mb:: bits
};

// Returns the button the user chose (answer:: values).
using MessageSink = int (*)(const Message& message);

// Installs a sink (null restores the default) and returns the previous one.
MessageSink SetMessageSink(MessageSink sink);

// Shows a message box through the current sink. Safe from any thread.
int ShowMessage(void* owner, std::string_view text, std::string_view caption, uint32_t style);

}  // namespace platform
