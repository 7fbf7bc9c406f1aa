#pragma once

#include "console/byte_streams.hpp"
#include "console/key_source.hpp"

// What each platform's backend file (one per platform, chosen by the build)
// provides to the terminal.
namespace console::platform
{

// Key presses from standard input: the keyboard, a pipe or a file.
KeySource &standard_keys();
// Standard output, with the platform's line ends.
ByteSink &standard_output();
bool output_is_terminal() noexcept;

// Silent single-key input on a terminal, with handlers that put the modes
// found here back if the program is ended or suspended; nothing otherwise.
void enter_terminal_mode() noexcept;
// Puts the modes found at start back and removes those handlers.
void restore_terminal_mode() noexcept;

} // namespace console::platform
