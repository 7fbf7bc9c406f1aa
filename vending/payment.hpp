#pragma once

#include "console/console.hpp"
#include "vending/machine.hpp"

#include <array>
#include <string_view>

namespace vending
{

inline constexpr Amount price = 10;

struct Coin {
    console::Key key; // lower case only
    Amount value;
};

inline constexpr std::array<Coin, 4> coins{{
    {'e', 10}, // 1 euro
    {'s', 5},  // 0.5 euro
    {'z', 2},  // 0.2 euro
    {'i', 1},  // 0.1 euro
}};

inline constexpr std::string_view price_line =
    "PRIX=1EURO ( 1e:[e] | 0.5e:[s] | 0.2e:[z] | 0.1e:[i] )\n";
inline constexpr std::string_view delivery_line = "\nVeuillez prendre votre boisson!\n\n";

// What a key adds to the amount inserted: its coin's value, or 0.
Amount coin_value(console::Key key) noexcept;

// Takes coins until the price is reached or the quit key is read, then gives
// change and the drink. Entered with nothing inserted and a choice other
// than the quit key in machine.i.
void take_payment(console::Console &console, Machine &machine);

} // namespace vending
