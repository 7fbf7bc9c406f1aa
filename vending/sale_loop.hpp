#pragma once

#include "console/console.hpp"

#include <string_view>

namespace vending
{

inline constexpr std::string_view farewell = "\nFin du programme\n";

// Runs sale after sale until the quit key, then says goodbye. Returns the
// process exit status, which is always 0.
int run_sales(console::Console &console);

} // namespace vending
