// Bytes to keys: each press is one key, however many bytes it sends.

#include "console/key_decoder.hpp"
#include "terminfo_keys.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace
{

using console::Key;
using console::KeyDecoder;

// A read that brought these bytes, or (with `timeout`) a wait for more
// that ran out.
struct Event {
    std::string bytes;
    bool timeout = false;
};

const Event wait_ran_out{"", true};

// Drives the decoder as the reader does: each byte until it is taken, a
// time-out completes what is pending, and so does the end of input.
std::vector<int> decode(const std::vector<Event> &events)
{
    KeyDecoder decoder;
    std::vector<int> keys;
    for (const Event &event : events) {
        if (event.timeout) {
            if (auto key = decoder.finish()) {
                keys.push_back(*key);
            }
            continue;
        }
        for (std::size_t at = 0; at < event.bytes.size();) {
            const auto step = decoder.feed(static_cast<std::uint8_t>(event.bytes[at]));
            if (step.consumed) {
                ++at;
            }
            if (step.key) {
                keys.push_back(*step.key);
            }
        }
    }
    if (auto key = decoder.finish()) {
        keys.push_back(*key);
    }
    EXPECT_FALSE(decoder.pending());
    return keys;
}

constexpr int esc = 0x1b;
constexpr int signed_byte(int byte)
{
    return static_cast<Key>(static_cast<std::uint8_t>(byte));
}

struct DecoderCase {
    const char *name;
    std::vector<Event> events;
    std::vector<int> keys;
};

const DecoderCase decoder_cases[] = {
    {"plain_bytes", {{"nse q"}}, {'n', 's', 'e', ' ', 'q'}},
    {"control_bytes_and_nul", {{std::string("\0\x03\r\x7f", 4)}}, {0, 3, '\r', 0x7f}},
    {"arrow_up", {{"\x1b[A"}}, {esc}},
    {"arrow_then_letter", {{"\x1b[Bq"}}, {esc, 'q'}},
    {"function_key_with_parameters", {{"\x1b[15~n"}}, {esc, 'n'}},
    {"modified_arrow", {{"\x1b[1;5Cz"}}, {esc, 'z'}},
    {"ss3_function_key", {{"\x1bOPs"}}, {esc, 's'}},
    {"ss3_keypad_arrow", {{"\x1bOA"}}, {esc}},
    {"alt_letter_is_one_press", {{"\x1bne"}}, {esc, 'e'}},
    {"lone_esc_completed_by_the_wait", {{"\x1b"}, wait_ran_out, {"n"}}, {esc, 'n'}},
    {"lone_esc_at_end_of_input", {{"\x1b"}}, {esc}},
    {"two_escs_within_the_wait_are_alt_esc", {{"\x1b\x1b"}, wait_ran_out, {"n"}}, {esc, 'n'}},
    {"two_escs_apart", {{"\x1b"}, wait_ran_out, {"\x1b"}, wait_ran_out}, {esc, esc}},
    {"three_escs", {{"\x1b\x1b\x1b"}, wait_ran_out, {"n"}}, {esc, esc, 'n'}},
    {"escs_pair_up_in_one_read", {{"\x1b\x1b\x1b\x1b\x1b\x1b"}}, {esc, esc, esc}},
    {"escs_pair_up_the_same_across_a_wait",
     {{"\x1b\x1b"}, wait_ran_out, {"\x1b\x1b\x1b\x1b"}},
     {esc, esc, esc}},
    {"alt_backspace_enter_tab", {{"\x1b\x7f\x1b\r\x1b\t\x1b\x08n"}}, {esc, esc, esc, esc, 'n'}},
    {"alt_accented_letter", {{"\x1b\xc3\xa9n"}}, {esc, 'n'}},
    {"esc_before_a_byte_that_starts_no_character", {{"\x1b\xffn"}}, {esc, signed_byte(0xff), 'n'}},
    {"linux_console_f1_to_f5", {{"\x1b[[A\x1b[[Ee"}}, {esc, esc, 'e'}},
    {"rxvt_shifted_keys_end_with_dollar", {{"\x1b[7$\x1b[2$n"}}, {esc, esc, 'n'}},
    {"rxvt_control_keys_end_with_caret_or_at", {{"\x1b[7^\x1b[2@n"}}, {esc, esc, 'n'}},
    {"konsole_ss3_with_a_modifier", {{"\x1bO3P\x1bO5Ss"}}, {esc, esc, 's'}},
    {"rxvt_alt_arrow", {{"\x1b\x1b[A\x1b\x1bOBz"}}, {esc, esc, 'z'}},
    {"alt_linux_f1", {{"\x1b\x1b[[Ai"}}, {esc, 'i'}},
    {"linux_function_key_cut_by_a_control_byte", {{"\x1b[[\x03n"}}, {esc, 3, 'n'}},
    {"csi_cut_by_a_control_byte", {{"\x1b[1\x03n"}}, {esc, 3, 'n'}},
    {"csi_cut_by_a_high_byte", {{"\x1b[\xc3\xa9"}}, {esc, signed_byte(0xc3)}},
    {"csi_completed_by_the_wait", {{"\x1b["}, wait_ran_out, {"A"}}, {esc, 'A'}},
    {"e_acute", {{"\xc3\xa9"}}, {signed_byte(0xc3)}},
    {"euro_sign_three_bytes",
     {{"\xe2\x82\xac"
       "e"}},
     {signed_byte(0xe2), 'e'}},
    {"emoji_four_bytes",
     {{"\xf0\x9f\x98\x80"
       "i"}},
     {signed_byte(0xf0), 'i'}},
    {"truncated_utf8_then_ascii", {{"\xc3n"}}, {signed_byte(0xc3), 'n'}},
    {"truncated_utf8_completed_by_the_wait",
     {{"\xe2\x82"}, wait_ran_out, {"s"}},
     {signed_byte(0xe2), 's'}},
    {"stray_continuation_bytes", {{"\xa9\xa9"}}, {signed_byte(0xa9), signed_byte(0xa9)}},
    {"bytes_that_start_no_character",
     {{"\xc0\xff\xf8"}},
     {signed_byte(0xc0), signed_byte(0xff), signed_byte(0xf8)}},
    {"paste_of_mixed_keys",
     {{"n\x1b[Ae\xc3\xa9s\x1bOQq"}},
     {'n', esc, 'e', signed_byte(0xc3), 's', esc, 'q'}},
    {"arrow_split_across_reads", {{"\x1b"}, {"["}, {"A"}, {"n"}}, {esc, 'n'}},
    {"utf8_split_across_reads", {{"\xe2"}, {"\x82"}, {"\xac"}, {"n"}}, {signed_byte(0xe2), 'n'}},
};

void PrintTo(const DecoderCase &c, std::ostream *out)
{
    *out << c.name;
}

class Decoder : public testing::TestWithParam<DecoderCase>
{
};

TEST_P(Decoder, GroupsBytesIntoKeys)
{
    EXPECT_EQ(decode(GetParam().events), GetParam().keys);
}

INSTANTIATE_TEST_SUITE_P(Table, Decoder, testing::ValuesIn(decoder_cases),
                         [](const auto &test) { return std::string(test.param.name); });

TEST(Decoder, EveryByteAloneIsExactlyOneKeyWithItsOwnCode)
{
    for (int byte = 0; byte < 256; ++byte) {
        const std::vector<int> keys = decode({{std::string(1, static_cast<char>(byte))}});
        ASSERT_EQ(keys.size(), 1U) << "byte " << byte;
        EXPECT_EQ(keys[0], signed_byte(byte)) << "byte " << byte;
    }
}

// Every key string of the terminals people use, alone and with Alt, in one
// read or split anywhere across two: one key, complete without waiting, so
// the letter typed next is a key of its own.
TEST(Decoder, EveryKeyThatTerminfoListsIsOneKey)
{
    std::size_t checked = 0;
    for (const std::string &terminal : terminfo::terminals) {
        const std::vector<terminfo::KeyString> keys = terminfo::key_strings(terminal);
        ASSERT_GT(keys.size(), 20U) << "no key strings for " << terminal
                                    << ": infocmp and Debian's ncurses-term are needed";
        for (const terminfo::KeyString &key : keys) {
            for (const std::string &bytes : {key.bytes, terminfo::with_alt(key.bytes)}) {
                SCOPED_TRACE(terminal + " " + key.capability + " " + testing::PrintToString(bytes));
                const std::vector<int> alone = {signed_byte(static_cast<std::uint8_t>(bytes[0]))};
                EXPECT_EQ(decode({{bytes}}), alone);
                std::vector<int> then_n = alone;
                then_n.push_back('n');
                for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
                    EXPECT_EQ(decode({{bytes.substr(0, cut)}, {bytes.substr(cut) + "n"}}), then_n)
                        << "split after byte " << cut;
                }
                ++checked;
            }
        }
    }
    RecordProperty("key_strings_checked", static_cast<int>(checked));
    std::printf("%zu key strings checked, alone and with Alt\n", checked);
}

TEST(Decoder, PendingOnlyWhileAKeyIsUnfinished)
{
    KeyDecoder decoder;
    EXPECT_FALSE(decoder.pending());
    EXPECT_FALSE(decoder.finish().has_value());
    EXPECT_TRUE(decoder.feed('n').key.has_value());
    EXPECT_FALSE(decoder.pending());
    EXPECT_FALSE(decoder.feed(0x1b).key.has_value());
    EXPECT_TRUE(decoder.pending());
    EXPECT_FALSE(decoder.feed('[').key.has_value());
    EXPECT_TRUE(decoder.pending());
    EXPECT_TRUE(decoder.feed('A').key.has_value());
    EXPECT_FALSE(decoder.pending());
}

} // namespace
