#pragma once

#include "console/console.hpp"

namespace vending
{

using console::Key;

// Amounts are whole tenths of a euro, so no fractional arithmetic is needed.
using Amount = int;

inline constexpr Key quit_key = 'q';
static_assert(console::end_of_input_key == quit_key,
              "a scripted session that runs out of keys must end like a user who quits");

// Holds "no key read yet": anything but the quit key lets the first cycle run.
inline constexpr Key no_key_yet = '\0';

// The state every phase of a sale shares, alive from start to exit.
struct Machine {
    Key i = no_key_yet; // the last key read, whichever phase read it
    Amount prix = 0;    // money inserted in the current sale
    Amount rendu = 0;   // change given on the last overpaid sale
};

} // namespace vending
