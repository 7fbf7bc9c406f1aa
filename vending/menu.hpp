#pragma once

#include "console/console.hpp"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

namespace vending
{

// A text put together at compile time and kept whole in the program, so
// that it is still written by one call, with nothing built at run time.
class FixedText
{
  public:
    consteval void append(std::string_view part) noexcept
    {
        for (const char c : part) {
            chars_[size_++] = c; // past the end: not a constant, does not compile
        }
    }

    [[nodiscard]] constexpr std::string_view view() const noexcept
    {
        return {chars_.data(), size_};
    }

  private:
    std::array<char, 48> chars_{};
    std::size_t size_ = 0;
};

struct Drink {
    char menu_key;       // shown in upper case; both cases select
    FixedText menu_line; // its line of the menu screen
    FixedText payment_request;
};

// Names are filled with spaces to this width, so the keys stand in a column.
inline constexpr std::size_t name_width = 19;

// The cursor waits below the menu: the last line ends the screen.
enum class LastLine : bool { no, yes };

consteval Drink make_drink(std::string_view name, char menu_key,
                           LastLine last = LastLine::no) noexcept
{
    Drink drink{menu_key, {}, {}};
    drink.menu_line.append("\n - ");
    drink.menu_line.append(name);
    for (std::size_t filled = name.size(); filled < name_width; ++filled) {
        drink.menu_line.append(" ");
    }
    drink.menu_line.append("<");
    drink.menu_line.append(std::string_view(&menu_key, 1));
    drink.menu_line.append(">");
    if (last == LastLine::yes) {
        drink.menu_line.append("\n");
    }
    drink.payment_request.append("\nVeuillez payer votre ");
    drink.payment_request.append(name);
    drink.payment_request.append(" !\n");
    return drink;
}

// In menu order. Every drink costs the same, so no price is kept here.
inline constexpr std::array<Drink, 6> catalogue{{
    make_drink("CAFE NOIR", 'N'),
    make_drink("CAFE AU LAIT", 'L'),
    make_drink("THE NATURE", 'T'),
    make_drink("CHOCOLAT au LAIT", 'C'),
    make_drink("SODA", 'S'),
    make_drink("BIERE sans alcool", 'B', LastLine::yes),
}};

static_assert(std::ranges::all_of(
                  catalogue,
                  [](const Drink &d) {
                      return d.menu_line.view()[std::string_view("\n - ").size() + name_width] ==
                             '<';
                  }),
              "every name fits its column, so the keys stand one under the other");

inline constexpr std::string_view menu_title = "------DISTRIBUTEUR DE BOISSONS------\n";
inline constexpr std::string_view menu_prompt = "Faites votre choix et validez ...\n";

// The drink a key selects, in either case, or nullptr.
const Drink *find_drink(console::Key key) noexcept;

void show_menu(console::Console &console);

// Writes the selected drink's payment request; a key that selects no drink
// writes nothing (what follows is the sale loop's decision).
void acknowledge_choice(console::Console &console, console::Key key);

} // namespace vending
