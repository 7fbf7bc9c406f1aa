#include "vending/sale_loop.hpp"

#include "vending/menu.hpp"
#include "vending/payment.hpp"

namespace vending
{

int run_sales(console::Console &console)
{
    Machine machine;
    return run_sales(console, machine);
}

int run_sales(console::Console &console, Machine &machine)
{
    // Only the most recent key decides: a quit key taken by a pause is not it.
    while (machine.i != quit_key) {
        show_menu(console);
        machine.i = console.read_key();
        acknowledge_choice(console, machine.i);
        // Any key but quit leads to payment, even one that names no drink.
        if (machine.i != quit_key) {
            take_payment(console, machine);
        }
        console.pause_screen();
        console.clear_screen();
    }
    console.write_text(farewell);
    console.pause_screen();
    return 0;
}

} // namespace vending
