#include "vending/menu.hpp"

#include <algorithm>

namespace vending
{
namespace
{

constexpr console::Key lower_case(char upper) noexcept
{
    return static_cast<console::Key>(upper - 'A' + 'a');
}

} // namespace

const Drink *find_drink(console::Key key) noexcept
{
    const auto found = std::ranges::find_if(catalogue, [key](const Drink &drink) {
        return key == drink.menu_key || key == lower_case(drink.menu_key);
    });
    return found != catalogue.end() ? &*found : nullptr;
}

void show_menu(console::Console &console)
{
    console.write_text(menu_title);
    console.write_text(menu_prompt);
    for (const Drink &drink : catalogue) {
        console.write_text(drink.menu_line.view());
    }
}

void acknowledge_choice(console::Console &console, console::Key key)
{
    if (const Drink *drink = find_drink(key)) {
        console.write_text(drink->payment_request.view());
    }
}

} // namespace vending
