// Whole sessions with arbitrary bytes as keys. At every step the machine
// may hold only a sane amount and show only its own texts; once the bytes
// are used up the session must end.

#include "console/console.hpp"
#include "vending/machine.hpp"
#include "vending/menu.hpp"
#include "vending/payment.hpp"
#include "vending/sale_loop.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace
{

[[noreturn]] void broken(const char *invariant)
{
    std::fprintf(stderr, "invariant broken: %s\n", invariant);
    std::abort();
}

bool is_fixed_text(std::string_view text)
{
    if (text == vending::menu_title || text == vending::menu_prompt ||
        text == vending::price_line || text == vending::delivery_line ||
        text == vending::farewell) {
        return true;
    }
    for (const vending::Drink &drink : vending::catalogue) {
        if (text == drink.menu_line.view() || text == drink.payment_request.view()) {
            return true;
        }
    }
    return false;
}

// The digit of a change line "\nRendu O.<d>0euro\n", or -1 for any other text.
int change_digit(std::string_view text)
{
    constexpr std::string_view before = "\nRendu O.";
    constexpr std::string_view after = "0euro\n";
    if (text.size() != before.size() + 1 + after.size() || !text.starts_with(before) ||
        !text.ends_with(after)) {
        return -1;
    }
    const char digit = text[before.size()];
    return digit >= '0' && digit <= '9' ? digit - '0' : -1;
}

class CheckingConsole final : public console::Console
{
  public:
    CheckingConsole(const std::uint8_t *keys, std::size_t size, const vending::Machine &machine)
        : keys_(keys), size_(size), machine_(machine)
    {
    }

    void write_text(std::string_view text) override
    {
        check_amount();
        if (is_fixed_text(text)) {
            return;
        }
        const int digit = change_digit(text);
        if (digit < 1 || digit > 9) {
            broken("a text that is not the machine's own, or change outside 1..9");
        }
        if (machine_.rendu != digit || machine_.rendu != machine_.prix - vending::price) {
            broken("the change shown is not the amount minus the price");
        }
    }

    console::Key read_key() override
    {
        check_amount();
        if (next_ < size_) {
            return static_cast<console::Key>(keys_[next_++]);
        }
        // After the end at most: the pause it fell in, the choice that
        // quits, that cycle's pause and the last pause.
        if (++reads_past_end_ > 4) {
            broken("the session went on after its input ended");
        }
        return console::end_of_input_key;
    }

    void pause_screen() override { static_cast<void>(read_key()); }
    void clear_screen() override { check_amount(); }

  private:
    void check_amount() const
    {
        if (machine_.prix < 0 || machine_.prix > 19) {
            broken("the amount inserted left 0..19");
        }
    }

    const std::uint8_t *keys_;
    std::size_t size_;
    std::size_t next_ = 0;
    int reads_past_end_ = 0;
    const vending::Machine &machine_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    vending::Machine machine;
    CheckingConsole console(data, size, machine);
    if (vending::run_sales(console, machine) != 0) {
        broken("the exit status is not 0");
    }
    return 0;
}
