// Windows console key events to keys, as _getch gives them: characters in
// the console's code page, function and editing keys by their prefix code.

#include "console/key_event.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <iconv.h>
#include <ostream>
#include <string>

namespace
{

using console::ConsoleKeyEvent;
using console::EventKeys;
using console::Key;

// What the console's conversion gives for a character in a code page: here
// the C library's tables, which nobody here wrote, stand in for Windows'.
std::uint8_t in_code_page(char16_t character, const char *code_page)
{
    const iconv_t converter = iconv_open(code_page, "UTF-16LE");
    EXPECT_NE(converter, reinterpret_cast<iconv_t>(-1)) << "no iconv table for " << code_page;
    char input[2] = {static_cast<char>(character & 0xff), static_cast<char>(character >> 8)};
    char output[4] = {};
    char *in = input;
    char *out = output;
    std::size_t in_left = sizeof input;
    std::size_t out_left = sizeof output;
    EXPECT_NE(iconv(converter, &in, &in_left, &out, &out_left), static_cast<std::size_t>(-1));
    iconv_close(converter);
    return static_cast<std::uint8_t>(output[0]);
}

constexpr Key as_key(int byte)
{
    return static_cast<Key>(static_cast<std::uint8_t>(byte));
}

struct EventCase {
    const char *name;
    ConsoleKeyEvent event;
    const char *code_page;
    Key key;
    int count; // 0: no key
};

void PrintTo(const EventCase &c, std::ostream *out)
{
    *out << c.name;
}

// Virtual-key codes of the keys below.
constexpr std::uint16_t vk_escape = 0x1b;
constexpr std::uint16_t vk_n = 'N';
constexpr std::uint16_t vk_e = 'E';
constexpr std::uint16_t vk_oem = 0xba; // where accented letters sit on many layouts

const EventCase event_cases[] = {
    {"lower_case_letter", {true, 1, vk_n, u'n'}, "CP850", 'n', 1},
    {"upper_case_letter", {true, 1, vk_n, u'N'}, "CP850", 'N', 1},
    {"e_acute_in_cp850", {true, 1, vk_oem, u'\u00e9'}, "CP850", as_key(0x82), 1},
    {"e_acute_in_cp1252", {true, 1, vk_oem, u'\u00e9'}, "CP1252", as_key(0xe9), 1},
    {"o_acute_coded_e0_in_cp850", {true, 1, vk_oem, u'\u00d3'}, "CP850", as_key(0xe0), 1},
    {"alpha_coded_e0_in_cp437", {true, 1, vk_oem, u'\u03b1'}, "CP437", as_key(0xe0), 1},
    {"a_grave_coded_e0_in_cp1252", {true, 1, vk_oem, u'\u00e0'}, "CP1252", as_key(0xe0), 1},
    {"esc", {true, 1, vk_escape, u'\x1b'}, "CP850", 27, 1},
    {"esc_without_its_character", {true, 1, vk_escape, 0}, "CP850", 27, 1},
    {"accented_letter_without_a_virtual_key", {true, 1, 0, u'\u00e9'}, "CP437", as_key(0x82), 1},
    {"f1", {true, 1, 0x70, 0}, "CP850", 0, 1},
    {"f5", {true, 1, 0x74, 0}, "CP850", 0, 1},
    {"f10", {true, 1, 0x79, 0}, "CP850", 0, 1},
    {"f11", {true, 1, 0x7a, 0}, "CP850", as_key(0xe0), 1},
    {"f12", {true, 1, 0x7b, 0}, "CP850", as_key(0xe0), 1},
    {"arrow_up", {true, 1, 0x26, 0}, "CP850", as_key(0xe0), 1},
    {"arrow_left", {true, 1, 0x25, 0}, "CP850", as_key(0xe0), 1},
    {"home", {true, 1, 0x24, 0}, "CP850", as_key(0xe0), 1},
    {"page_down", {true, 1, 0x22, 0}, "CP850", as_key(0xe0), 1},
    {"insert", {true, 1, 0x2d, 0}, "CP850", as_key(0xe0), 1},
    {"delete", {true, 1, 0x2e, 0}, "CP850", as_key(0xe0), 1},
    {"shift_alone", {true, 1, 0x10, 0}, "CP850", 0, 0},
    {"ctrl_alone", {true, 1, 0x11, 0}, "CP850", 0, 0},
    {"alt_alone", {true, 1, 0x12, 0}, "CP850", 0, 0},
    {"caps_lock", {true, 1, 0x14, 0}, "CP850", 0, 0},
    {"left_shift", {true, 1, 0xa0, 0}, "CP850", 0, 0},
    {"windows_key", {true, 1, 0x5b, 0}, "CP850", 0, 0},
    {"print_screen_has_no_code", {true, 1, 0x2c, 0}, "CP850", 0, 0},
    {"key_up", {false, 1, vk_n, u'n'}, "CP850", 0, 0},
    {"key_up_of_an_arrow", {false, 1, 0x26, 0}, "CP850", 0, 0},
    {"held_key_repeats", {true, 3, vk_e, u'e'}, "CP850", 'e', 3},
    {"held_arrow_repeats", {true, 2, 0x28, 0}, "CP850", as_key(0xe0), 2},
    {"repeat_count_zero_is_one_press", {true, 0, vk_e, u'e'}, "CP850", 'e', 1},
    {"ctrl_letter_has_its_control_character", {true, 1, vk_n, u'\x0e'}, "CP850", 0x0e, 1},
};

class KeyEvent : public testing::TestWithParam<EventCase>
{
};

TEST_P(KeyEvent, GivesTheKeyThatGetchWouldGive)
{
    const EventCase &c = GetParam();
    const EventKeys keys = console::keys_of(c.event, in_code_page(c.event.character, c.code_page));
    EXPECT_EQ(keys.count, c.count);
    if (c.count > 0) {
        EXPECT_EQ(static_cast<int>(keys.key), static_cast<int>(c.key));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, KeyEvent, testing::ValuesIn(event_cases),
                         [](const auto &test) { return std::string(test.param.name); });

} // namespace
