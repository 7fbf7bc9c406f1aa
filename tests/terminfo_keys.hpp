#pragma once

// What real terminals send for their keys, read from the terminfo database
// with infocmp: data that nobody here typed in.

#include <string>
#include <vector>

namespace terminfo
{

// Terminals that people use, from xterm to the Windows terminal.
inline const std::vector<std::string> terminals = {
    "xterm-256color",  "linux",         "rxvt-unicode-256color",
    "screen-256color", "tmux-256color", "vte-256color",
    "putty-256color",  "kitty",         "alacritty",
    "konsole",         "st-256color",   "Eterm",
    "cygwin",          "ms-terminal",   "mintty",
};

struct KeyString {
    std::string terminal;
    std::string capability; // e.g. kf1, kcuu1, kUP5
    std::string bytes;      // what the terminal sends
};

// Every key capability of the entry (the k... strings), without the mouse
// and focus reports, which are not keys. Empty when the entry is unknown.
std::vector<KeyString> key_strings(const std::string &terminal);

// The bytes a terminfo string value stands for (\E, ^X, \n, \072, ...).
std::string unescape(const std::string &value);

// What the terminals above send with Alt held: Esc, then the key.
std::string with_alt(const std::string &bytes);

} // namespace terminfo
