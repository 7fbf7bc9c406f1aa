#pragma once

#include "console/console.hpp"
#include "console/stream_console.hpp"

namespace console
{

// Owns the terminal for the life of the program. On a terminal it switches
// to silent single-key input, and puts back the modes it found on every way
// out: normal return, and the signals or events that end or suspend the
// program. With input from a pipe or a file it changes no terminal setting.
// The platform's part of this comes from its backend file (platform.hpp).
// Create exactly one, in main.
class Terminal
{
  public:
    Terminal();
    ~Terminal();
    Terminal(const Terminal &) = delete;
    Terminal &operator=(const Terminal &) = delete;
    Terminal(Terminal &&) = delete;
    Terminal &operator=(Terminal &&) = delete;

    Console &console() noexcept { return console_; }

  private:
    StreamConsole console_;
};

} // namespace console
