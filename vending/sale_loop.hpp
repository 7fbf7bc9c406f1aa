#pragma once

#include "console/console.hpp"
#include "vending/machine.hpp"

#include <string_view>

namespace vending
{

inline constexpr std::string_view farewell = "\nFin du programme\n";

// Runs sale after sale until the quit key, then says goodbye. Returns the
// process exit status, which is always 0.
int run_sales(console::Console &console);

// The same on a machine state that the caller can watch from its console.
int run_sales(console::Console &console, Machine &machine);

} // namespace vending
