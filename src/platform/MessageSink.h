// Where user-visible warnings go. On Windows the default shows a message box with
// the caption "Orbisk"; natively it writes to standard error. Tests install their
// own sink to see what a user would have been told.
#pragma once

#include <string_view>

namespace platform {

// Message box style bits, mapped onto MB_* values on Windows.
enum MessageKind : unsigned {
  kMessageError = 0,
  kMessageWarning = 1,
  kMessageInformation = 2,
};

using MessageSink = void (*)(MessageKind kind, std::string_view text);

// Installs a sink (null restores the default) and returns the previous one.
MessageSink SetMessageSink(MessageSink sink);

// Shows text through the current sink. Safe from any thread.
void ShowMessage(MessageKind kind, std::string_view text);

}  // namespace platform
