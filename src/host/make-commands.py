#!/usr/bin/env python3
"""Makes the command identifiers and tables and the menu and key resources from the
one command table (Commands.table beside this script). The build runs it:

    make-commands.py Commands.table OUT_DIR

and OUT_DIR receives host/CommandTable.h (the Command enumeration and the table
sizes), host/CommandTable.inc (the rows of the shortcut commands and the built-in
keys) and CommandResources.rc (menu 230 and accelerator table 1223). A mistake in
the table stops the build with the line it is on.
"""
import shlex
import sys
from pathlib import Path

# Key names of the table and their virtual-key codes; letters and digits stand for
# themselves.
KEY_CODES = {
    "Backspace": 0x08, "Enter": 0x0D, "Esc": 0x1B, "Space": 0x20, "PageUp": 0x21,
    "PageDown": 0x22, "End": 0x23, "Home": 0x24, "Left": 0x25, "Up": 0x26, "Right": 0x27,
    "Down": 0x28, "Ins": 0x2D, "Del": 0x2E, "Num*": 0x6A, "Num+": 0x6B, "Num-": 0x6D,
    "Num/": 0x6F,
}
KEY_CODES.update({f"F{n}": 0x6F + n for n in range(1, 25)})

# Accelerator flags, as the resource compiler and host/Accelerator.h spell them.
VIRTKEY, NOINVERT, SHIFT, CONTROL, ALT = 1, 2, 4, 8, 16
MODIFIERS = {"Ctrl": (CONTROL, "kFControl", "CONTROL"), "Shift": (SHIFT, "kFShift", "SHIFT"),
             "Alt": (ALT, "kFAlt", "ALT")}


class TableError(Exception):
    pass


class Command:
    def __init__(self, fields, line):
        if len(fields) != 6:
            raise TableError(f"line {line}: a command has six fields, not {len(fields)}")
        self.constant, ident, self.name, self.enable, self.check, self.text = fields
        try:
            self.id = int(ident)
        except ValueError:
            raise TableError(f"line {line}: identifier {ident!r} is not a number")
        if not 0 <= self.id <= 0xFFFF:
            raise TableError(f"line {line}: identifier {self.id} does not fit in 16 bits")
        self.named = self.name != "-"


def parse(path):
    commands, menu, keys = [], [], []
    section = None
    for number, raw in enumerate(Path(path).read_text(encoding="utf-8").splitlines(), 1):
        if not raw.strip() or raw.lstrip().startswith("#"):
            continue
        if not raw.startswith(" "):
            section = raw.strip()
            if section not in ("commands", "menu", "keys"):
                raise TableError(f"line {number}: unknown section {section!r}")
            continue
        try:
            fields = shlex.split(raw, comments=True)
        except ValueError as error:
            raise TableError(f"line {number}: {error}")
        if section == "commands":
            commands.append(Command(fields, number))
        elif section == "menu":
            menu.append((fields, number))
        elif section == "keys":
            if len(fields) != 2:
                raise TableError(f"line {number}: a key line is a key stroke and a command")
            keys.append((fields[0], fields[1], number))
        else:
            raise TableError(f"line {number}: outside any section")
    return commands, menu, keys


def check_commands(commands):
    seen_constants, seen_ids, seen_names = set(), {}, set()
    for c in commands:
        if c.constant in seen_constants:
            raise TableError(f"{c.constant} stands twice")
        seen_constants.add(c.constant)
        if c.id in seen_ids:
            raise TableError(f"{c.constant} and {seen_ids[c.id]} share identifier {c.id}")
        seen_ids[c.id] = c.constant
        if c.named:
            if c.name in seen_names:
                raise TableError(f"the name {c.name!r} stands twice")
            seen_names.add(c.name)
            if c.text == "-":
                raise TableError(f"{c.constant} is offered for shortcuts but has no menu text")
    return {c.constant: c for c in commands}


def key_stroke(stroke, line):
    parts = stroke.split("+")
    # "Num+" ends in the separator itself.
    if stroke.endswith("Num+"):
        parts = stroke[: -len("Num+")].split("+")[:-1] + ["Num+"]
    *mods, key = parts
    flags, cpp_flags, rc_flags = VIRTKEY | NOINVERT, [], []
    for mod in mods:
        if mod not in MODIFIERS:
            raise TableError(f"line {line}: unknown modifier {mod!r}")
        bit, cpp, rc = MODIFIERS[mod]
        flags |= bit
        cpp_flags.append(cpp)
        rc_flags.append(rc)
    if len(key) == 1 and (key.isdigit() or "A" <= key <= "Z"):
        code = ord(key)
    elif key in KEY_CODES:
        code = KEY_CODES[key]
    else:
        raise TableError(f"line {line}: unknown key {key!r}")
    return flags, code, cpp_flags, rc_flags


def key_command(target, by_constant, line):
    constant, _, offset = target.partition("+")
    if constant not in by_constant:
        raise TableError(f"line {line}: no command {constant!r}")
    return by_constant[constant], int(offset or 0)


def rc_string(text):
    return '"' + text.replace('"', '""') + '"'


def cpp_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def menu_resource(menu, by_constant):
    """Menu 230 as the resource compiler takes it; indentation in the table is only
    for the reader, popups end with 'end'."""
    out = ["IDR_MAIN_MENU MENU", "BEGIN"]
    depth = 1
    for fields, line in menu:
        indent = "  " * depth
        word = fields[0]
        if word == "popup":
            if len(fields) != 2:
                raise TableError(f"line {line}: popup takes one text")
            out += [f"{indent}POPUP {rc_string(fields[1])}", f"{indent}BEGIN"]
            depth += 1
        elif word == "end":
            if depth == 1:
                raise TableError(f"line {line}: end without popup")
            depth -= 1
            out.append("  " * depth + "END")
        elif word == "separator":
            out.append(f"{indent}MENUITEM SEPARATOR")
        else:
            if word not in by_constant:
                raise TableError(f"line {line}: no command {word!r}")
            command = by_constant[word]
            if command.text == "-":
                raise TableError(f"line {line}: {word} has no menu text")
            options = [o.upper() for o in fields[1:]]
            if any(o != "GRAYED" for o in options):
                raise TableError(f"line {line}: only 'grayed' may follow a command")
            suffix = "".join(f", {o}" for o in options)
            out.append(f"{indent}MENUITEM {rc_string(command.text)}, {command.id}{suffix}")
    if depth != 1:
        raise TableError("a popup of the menu has no end")
    return out + ["END"]


def generate(table, out_dir):
    commands, menu, keys = parse(table)
    by_constant = check_commands(commands)
    named = [c for c in commands if c.named]
    menu_commands = {fields[0] for fields, _ in menu}
    for c in named:
        if c.constant not in menu_commands:
            raise TableError(f"{c.constant} is offered for shortcuts but not in the menu")

    header = [
        "// Made by make-commands.py from Commands.table; edit the table, not this file.",
        "#pragma once",
        "",
        "#include <cstddef>",
        "#include <cstdint>",
        "",
        "namespace host {",
        "",
        "enum Command : uint16_t {",
    ]
    header += [f"  kCmd{c.constant} = {c.id}," for c in commands]
    header += [
        "};",
        "",
        f"inline constexpr size_t kShortcutCommandCount = {len(named)};",
        f"inline constexpr size_t kDefaultAcceleratorCount = {len(keys)};",
        "",
        "}  // namespace host",
    ]

    rows = ["// Made by make-commands.py from Commands.table; edit the table, not this file.",
            "// Rows of kShortcutCommands: identifier, name, menu text, enable and check rule."]
    rows.append("#ifdef ORBISK_SHORTCUT_COMMAND_ROWS")
    for c in named:
        check = "CheckRule::kNone" if c.check == "-" else f"CheckRule::k{c.check}"
        rows.append(f"{{kCmd{c.constant}, {cpp_string(c.name)}, {cpp_string(c.text)}, "
                    f"EnableRule::k{c.enable}, {check}}},")
    rows.append("#endif")
    rows.append("// Rows of kDefaultAccelerators: flags, virtual key, command.")
    rows.append("#ifdef ORBISK_DEFAULT_ACCELERATOR_ROWS")
    rc_keys = ["IDR_ACCELERATORS ACCELERATORS", "BEGIN"]
    for stroke, target, line in keys:
        flags, code, cpp_flags, rc_flags = key_stroke(stroke, line)
        command, offset = key_command(target, by_constant, line)
        cmd = f"kCmd{command.constant}" if not offset else \
            f"Command(kCmd{command.constant} + {offset})"
        cpp = " | ".join(["kFVirtKey", "kFNoInvert"] + cpp_flags)
        rows.append(f"{{uint8_t({cpp}), 0x{code:02X}, {cmd}}},  // {stroke}")
        rc_keys.append(f"  0x{code:02X}, {command.id + offset}, VIRTKEY, "
                       + "".join(f"{f}, " for f in rc_flags) + "NOINVERT")
    rows.append("#endif")
    rc_keys.append("END")

    resources = ["// Made by make-commands.py from Commands.table; edit the table, not this file.",
                 "// Included by Orbisk.rc, which gives the code page and the identifiers.", ""]
    resources += menu_resource(menu, by_constant) + [""] + rc_keys

    out = Path(out_dir)
    (out / "host").mkdir(parents=True, exist_ok=True)
    write(out / "host" / "CommandTable.h", header)
    write(out / "host" / "CommandTable.inc", rows)
    write(out / "CommandResources.rc", resources)


def write(path, lines):
    text = "\n".join(lines) + "\n"
    # Unchanged outputs keep their time, so nothing that includes them rebuilds.
    if path.exists() and path.read_text(encoding="utf-8") == text:
        return
    path.write_text(text, encoding="utf-8")


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        generate(argv[1], argv[2])
    except TableError as error:
        print(f"{argv[1]}: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
