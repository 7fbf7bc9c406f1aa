#pragma once

#include "console/console.hpp"

#include <array>
#include <string_view>

namespace vending
{

struct Drink {
    char menu_key;              // shown in upper case; both cases select
    std::string_view menu_line; // its line of the menu screen
    std::string_view payment_request;
};

// In menu order. Every drink costs the same, so no price is kept here.
inline constexpr std::array<Drink, 6> catalogue{{
    {'N', "\n - CAFE NOIR          <N>", "\nVeuillez payer votre CAFE NOIR !\n"},
    {'L', "\n - CAFE AU LAIT       <L>", "\nVeuillez payer votre CAFE AU LAIT !\n"},
    {'T', "\n - THE NATURE         <T>", "\nVeuillez payer votre THE NATURE !\n"},
    {'C', "\n - CHOCOLAT au LAIT   <C>", "\nVeuillez payer votre CHOCOLAT au LAIT !\n"},
    {'S', "\n - SODA               <S>", "\nVeuillez payer votre SODA !\n"},
    // Only the last line ends the screen with a line feed.
    {'B', "\n - BIERE sans alcool  <B>\n", "\nVeuillez payer votre BIERE sans alcool !\n"},
}};

inline constexpr std::string_view menu_title = "------DISTRIBUTEUR DE BOISSONS------\n";
inline constexpr std::string_view menu_prompt = "Faites votre choix et validez ...\n";

// The drink a key selects, in either case, or nullptr.
const Drink *find_drink(console::Key key) noexcept;

void show_menu(console::Console &console);

// Writes the selected drink's payment request; a key that selects no drink
// writes nothing (what follows is the sale loop's decision).
void acknowledge_choice(console::Console &console, console::Key key);

} // namespace vending
