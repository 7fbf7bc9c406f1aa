// The sale cycle against exact transcripts, driven by a scripted console.

#include "screens.hpp"
#include "scripted_console.hpp"
#include "vending/machine.hpp"
#include "vending/menu.hpp"
#include "vending/payment.hpp"
#include "vending/sale_loop.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace
{

using namespace screens;

const std::string pause = "<pause>";
const std::string clear = "<clear>";
// The cycle that reads "q" ends with pause and clear, then the goodbye.
const std::string ending = farewell + pause;
// One whole cycle that the next key "q" at the menu ends: menu, pause, clear.
const std::string quit_at_menu = menu + pause + clear + ending;

struct SaleCase {
    const char *name;
    std::string keys; // every key the user presses, pause keys included
    std::string expected;
};

std::ostream &operator<<(std::ostream &out, const SaleCase &c)
{
    return out << c.name;
}

// A completed sale of a coffee, with what the coins showed (the change line,
// if any), then the pause key ' '.
std::string coffee_sale(const std::string &shown_after_coins)
{
    return menu + request("CAFE NOIR") + price + shown_after_coins + delivery + pause + clear;
}

const SaleCase sale_cases[] = {
    {"quit_as_first_key", "q  ", menu + pause + clear + ending},
    {"exact_euro_coin", "ne q  ", coffee_sale("") + quit_at_menu},
    {"two_half_euros", "nss q  ", coffee_sale("") + quit_at_menu},
    {"ten_tenths", "niiiiiiiiii q  ", coffee_sale("") + quit_at_menu},
    {"five_fifths", "nzzzzz q  ", coffee_sale("") + quit_at_menu},
    {"change_1", "nzzzziz q  ", coffee_sale(change(1)) + quit_at_menu},
    {"change_3", "nzzzzs q  ", coffee_sale(change(3)) + quit_at_menu},
    {"change_5", "nse q  ", coffee_sale(change(5)) + quit_at_menu},
    {"change_9_largest", "nszze q  ", coffee_sale(change(9)) + quit_at_menu},
    {"upper_case_coins_and_other_keys_add_nothing", "nESZIx1 e q  ",
     coffee_sale("") + quit_at_menu},
    {"quit_during_payment_abandons_the_sale", "nsq  ",
     menu + request("CAFE NOIR") + price + pause + clear + ending},
    {"quit_as_first_coin", "nq  ", menu + request("CAFE NOIR") + price + pause + clear + ending},
    {"quit_at_a_pause_is_taken_by_the_pause", "neqq  ", coffee_sale("") + quit_at_menu},
    {"upper_q_is_a_choice_that_leads_to_payment", "Qe q  ",
     menu + price + delivery + pause + clear + quit_at_menu},
    {"non_drink_choice_goes_straight_to_payment", "xss q  ",
     menu + price + delivery + pause + clear + quit_at_menu},
    {"coin_key_as_choice_is_no_coin", "ee q  ",
     menu + price + delivery + pause + clear + quit_at_menu},
    {"byte_above_127_as_choice_selects_nothing",
     "\xc3"
     "e"
     " q  ",
     menu + price + delivery + pause + clear + quit_at_menu},
    // Had the first sale's money been kept, the second would need no coin
    // and "s" would become the next choice.
    {"next_sale_starts_from_nothing", "nse tss q  ",
     coffee_sale(change(5)) + menu + request("THE NATURE") + price + delivery + pause + clear +
         quit_at_menu},
    {"menu_is_the_same_every_cycle", "ne le ce q  ",
     coffee_sale("") + menu + request("CAFE AU LAIT") + price + delivery + pause + clear + menu +
         request("CHOCOLAT au LAIT") + price + delivery + pause + clear + quit_at_menu},
};

class SaleLoop : public testing::TestWithParam<SaleCase>
{
};

TEST_P(SaleLoop, ShowsExactlyTheExpectedScreens)
{
    const SaleCase &c = GetParam();
    ScriptedConsole console(c.keys);
    EXPECT_EQ(vending::run_sales(console), 0);
    EXPECT_EQ(console.transcript(), c.expected);
    EXPECT_EQ(console.keys_left(), 0U) << "the program ended before reading every key";
    EXPECT_EQ(console.reads_past_end(), 0) << "the program wanted more keys than the script has";
}

INSTANTIATE_TEST_SUITE_P(Transcripts, SaleLoop, testing::ValuesIn(sale_cases),
                         [](const auto &test) { return std::string(test.param.name); });

struct ChoiceCase {
    char key;
    const char *drink; // nullptr: the key selects nothing
};

TEST(Choice, EachDrinkInEitherCaseAndNothingElse)
{
    const ChoiceCase cases[] = {
        {'N', "CAFE NOIR"},
        {'n', "CAFE NOIR"},
        {'L', "CAFE AU LAIT"},
        {'l', "CAFE AU LAIT"},
        {'T', "THE NATURE"},
        {'t', "THE NATURE"},
        {'C', "CHOCOLAT au LAIT"},
        {'c', "CHOCOLAT au LAIT"},
        {'S', "SODA"},
        {'s', "SODA"},
        {'B', "BIERE sans alcool"},
        {'b', "BIERE sans alcool"},
        {'e', nullptr},
        {'i', nullptr},
        {'z', nullptr},
        {'x', nullptr},
        {'q', nullptr},
        {'Q', nullptr},
        {'0', nullptr},
        {'\0', nullptr},
        {'\x1b', nullptr},
        {'O', nullptr},
        {'M', nullptr},
        {static_cast<char>(0xc3), nullptr}, // first byte of an accented letter
        {static_cast<char>(0xee), nullptr}, // 'n' with its high bit set
    };
    for (const ChoiceCase &c : cases) {
        ScriptedConsole console("");
        vending::acknowledge_choice(console, static_cast<console::Key>(c.key));
        const std::string expected = c.drink != nullptr ? request(c.drink) : "";
        EXPECT_EQ(console.transcript(), expected) << "key code " << int(c.key);
    }
}

struct PaymentCase {
    const char *keys; // keys read during payment
    int prix;         // amount left when the phase returns
    int rendu;
    std::string shown;
};

TEST(Payment, KeepsTheAmountAndChangeConsistent)
{
    const PaymentCase cases[] = {
        {"e", 0, 0, price + delivery},
        {"se", 0, 5, price + change(5) + delivery},
        {"zzzzzi", 0, 0, price + delivery}, // exactly 10 before the last key: it is not read
        {"iiiiiiiiie", 0, 9, price + change(9) + delivery},
        {"ssq", 0, 0, price + delivery}, // the quit after a completed payment is never read
        {"szq", 7, 0, price},            // abandoned: the money stays, unmentioned
        {"q", 0, 0, price},
    };
    for (const PaymentCase &c : cases) {
        ScriptedConsole console(c.keys);
        vending::Machine machine;
        machine.i = 'n';
        vending::take_payment(console, machine);
        EXPECT_EQ(machine.prix, c.prix) << c.keys;
        EXPECT_EQ(machine.rendu, c.rendu) << c.keys;
        EXPECT_EQ(console.transcript(), c.shown) << c.keys;
        EXPECT_EQ(console.reads_past_end(), 0) << c.keys;
    }
}

TEST(Payment, ChangeShowsEveryPossibleValue)
{
    // The amount before the last coin is at most 9, and the largest coin is 10.
    for (int before = 0; before <= 9; ++before) {
        std::string keys(static_cast<std::size_t>(before), 'i');
        keys += 'e';
        ScriptedConsole console(keys);
        vending::Machine machine;
        machine.i = 'n';
        vending::take_payment(console, machine);
        const std::string expected = price + (before > 0 ? change(before) : "") + delivery;
        EXPECT_EQ(console.transcript(), expected) << before << " tenths before the euro coin";
        EXPECT_EQ(machine.rendu, before);
    }
}

TEST(Payment, PreviousChangeStaysUntilTheNextOverpaidSale)
{
    ScriptedConsole console("see");
    vending::Machine machine;
    machine.i = 'n';
    vending::take_payment(console, machine);
    machine.i = 'n';
    vending::take_payment(console, machine);
    EXPECT_EQ(machine.rendu, 5);
    EXPECT_EQ(console.transcript(), price + change(5) + delivery + price + delivery);
}

} // namespace
