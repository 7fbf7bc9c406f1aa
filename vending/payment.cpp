#include "vending/payment.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

namespace vending
{
namespace
{

// "\nRendu O.<rendu>0euro\n": the amount in tenths followed by a written 0
// reads as euros with the letter O standing before the point.
void write_change_line(console::Console &console, Amount rendu)
{
    constexpr std::string_view before = "\nRendu O.";
    constexpr std::string_view after = "0euro\n";
    std::array<char, before.size() + 16 + after.size()> text{};
    char *end = std::copy(before.begin(), before.end(), text.begin());
    end = std::to_chars(end, end + 16, rendu).ptr;
    end = std::copy(after.begin(), after.end(), end);
    console.write_text(std::string_view(text.data(), static_cast<std::size_t>(end - text.data())));
}

} // namespace

Amount coin_value(console::Key key) noexcept
{
    const auto coin = std::ranges::find(coins, key, &Coin::key);
    return coin != coins.end() ? coin->value : 0;
}

void take_payment(console::Console &console, Machine &machine)
{
    console.write_text(price_line);
    // The choice key that led here is never counted as a coin.
    while (machine.prix < price && machine.i != quit_key) {
        machine.i = console.read_key();
        machine.prix += coin_value(machine.i);
    }
    if (machine.prix > price) {
        machine.rendu = machine.prix - price;
        write_change_line(console, machine.rendu);
    }
    // A sale abandoned with the quit key gets neither change nor drink.
    if (machine.i != quit_key) {
        machine.prix = 0;
        console.write_text(delivery_line);
    }
}

} // namespace vending
