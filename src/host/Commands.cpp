#include "host/Commands.h"

#include <algorithm>

namespace host {

const std::array<NamedCommand, kShortcutCommandCount> kShortcutCommands{{
#define ORBISK_SHORTCUT_COMMAND_ROWS
#include "host/CommandTable.inc"
#undef ORBISK_SHORTCUT_COMMAND_ROWS
}};

const NamedCommand* FindShortcutCommand(uint32_t id) {
  auto it = std::find_if(kShortcutCommands.begin(), kShortcutCommands.end(),
                         [id](const NamedCommand& command) { return command.id == id; });
  return it == kShortcutCommands.end() ? nullptr : &*it;
}

const std::array<AccelEntry, kDefaultAcceleratorCount> kDefaultAccelerators{{
#define ORBISK_DEFAULT_ACCELERATOR_ROWS
#include "host/CommandTable.inc"
#undef ORBISK_DEFAULT_ACCELERATOR_ROWS
}};

}  // namespace host
