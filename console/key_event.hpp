#pragma once

#include "console/console.hpp"

#include <cstdint>

namespace console
{

// What a Windows console key event (KEY_EVENT_RECORD) says about the key,
// in plain types so that the mapping can be tested on any system.
struct ConsoleKeyEvent {
    bool key_down = true;
    std::uint16_t repeat_count = 1; // a key held down: one event for n presses
    std::uint16_t virtual_key = 0;  // VK_... code
    char16_t character = 0;         // the UTF-16 character; 0 for keys that have none
};

// The presses one event stands for: `count` times `key`, or none.
struct EventKeys {
    Key key = 0;
    std::uint16_t count = 0;
};

// The key that _getch would give first for the event: its character in the
// console's input code page (`encoded`, its first byte, converted by the
// caller), so that é is never a letter nor a coin; for keys without a
// character the prefix of their two codes, 0 for F1 to F10, 0xE0 for the
// arrows, Home, End, Page Up, Page Down, Insert, Delete, F11 and F12.
// Releases, keys that are only modifiers and other keys without a character
// are no key at all.
EventKeys keys_of(const ConsoleKeyEvent &event, std::uint8_t encoded) noexcept;

} // namespace console
