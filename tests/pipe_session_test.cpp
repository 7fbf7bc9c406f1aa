// The built program fed through a pipe, as in `printf 'nse ' | vending`.

#include "child_process.hpp"
#include "screens.hpp"
#include "terminfo_keys.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

namespace
{

using namespace screens;
using namespace std::chrono_literals;

const std::string pause_taken = pause_prompt + "\n";
const std::string page_break = "\f";
const std::string goodbye = farewell + pause_taken;

struct PipeCase {
    const char *name;
    std::string input;
    std::string transcript;
    std::vector<std::string> arguments{};
};

void PrintTo(const PipeCase &c, std::ostream *out)
{
    *out << c.name;
}

const PipeCase pipe_cases[] = {
    {"one_sale_then_quit", "nse q  ",
     menu + request("CAFE NOIR") + price + change(5) + delivery + pause_taken + page_break + menu +
         pause_taken + page_break + goodbye},
    {"arguments_are_ignored",
     "nse q  ",
     menu + request("CAFE NOIR") + price + change(5) + delivery + pause_taken + page_break + menu +
         pause_taken + page_break + goodbye,
     {"--help", "-x", "q"}},
    {"empty_input_quits_at_once", "", menu + pause_taken + page_break + goodbye},
    {"input_ends_mid_payment", "ns",
     menu + request("CAFE NOIR") + price + pause_taken + page_break + goodbye},
    {"input_ends_at_the_pause", "ne",
     menu + request("CAFE NOIR") + price + delivery + pause_taken + page_break + menu +
         pause_taken + page_break + goodbye},
    {"input_ends_inside_an_escape_sequence", "\x1b[1;",
     menu + price + pause_taken + page_break + goodbye},
    {"arrow_and_accented_letter_are_single_keys", "\x1b[Ae \xc3\xa9zzzzz\x1bOPq ",
     menu + price + delivery + pause_taken + page_break + menu + price + delivery + pause_taken +
         page_break + menu + pause_taken + page_break + goodbye},
    {"quit_during_payment_ends_the_program", "bsqxyignored after the end",
     menu + request("BIERE sans alcool") + price + pause_taken + page_break + goodbye},
};

class PipedSession : public testing::TestWithParam<PipeCase>
{
};

TEST_P(PipedSession, PrintsTheExactTranscriptAndExitsWithZero)
{
    const PipeCase &c = GetParam();
    const child::PipedRun run = child::run_piped(c.input, c.arguments);
    ASSERT_TRUE(run.ending.finished) << "still running after its input ended";
    EXPECT_EQ(run.ending.exit_status, 0);
    EXPECT_EQ(run.output, c.transcript);
}

INSTANTIATE_TEST_SUITE_P(Transcripts, PipedSession, testing::ValuesIn(pipe_cases),
                         [](const auto &test) { return std::string(test.param.name); });

TEST(PipedSession, KeysFromAFileWorkAsFromAPipe)
{
    // `vending < keys.txt`: a file is always ready to read, and its end
    // comes as a plain end of file.
    for (const PipeCase &c : pipe_cases) {
        SCOPED_TRACE(c.name);
        const child::PipedRun run =
            child::run_piped(c.input, c.arguments, 20s, child::InputFrom::file);
        ASSERT_TRUE(run.ending.finished);
        EXPECT_EQ(run.ending.exit_status, 0);
        EXPECT_EQ(run.output, c.transcript);
    }
}

TEST(PipedSession, ArbitraryBytesEndCleanlyWithBoundedOutput)
{
    // Every byte value but the quit key, many times over in a scrambled
    // order, so the whole input is read and its end is what stops the run.
    std::string noise;
    unsigned state = 12345;
    while (noise.size() < 50000) {
        state = state * 1103515245U + 12345U;
        const auto byte = static_cast<char>((state >> 16) & 0xff);
        if (byte != 'q') {
            noise += byte;
        }
    }
    const child::PipedRun run = child::run_piped(noise);
    ASSERT_TRUE(run.ending.finished);
    EXPECT_EQ(run.ending.exit_status, 0);
    EXPECT_TRUE(run.output.ends_with(goodbye));
    // A cycle takes at least three keys (a choice, a coin, the pause) and no
    // key is the quit key, so the menus are bounded by the bytes read: a
    // byte taken for several keys, or a cycle that read none, breaks it.
    std::size_t menus = 0;
    for (auto at = run.output.find(menu); at != std::string::npos;
         at = run.output.find(menu, at + menu.size())) {
        ++menus;
    }
    EXPECT_GE(menus, 2U);
    EXPECT_LE(menus, noise.size() / 3 + 1);
}

TEST(PipedSession, EveryKeyThatTerminfoListsIsOneKeyAtThePause)
{
    // Had any key string split, its second half would answer the next menu.
    std::string keys;
    std::string expected;
    for (const std::string &terminal : terminfo::terminals) {
        const std::vector<terminfo::KeyString> strings = terminfo::key_strings(terminal);
        ASSERT_GT(strings.size(), 20U) << "no key strings for " << terminal;
        for (const terminfo::KeyString &key : strings) {
            for (const std::string &bytes : {key.bytes, terminfo::with_alt(key.bytes)}) {
                keys += "ne" + bytes;
                expected +=
                    menu + request("CAFE NOIR") + price + delivery + pause_taken + page_break;
            }
        }
    }
    expected += menu + pause_taken + page_break + goodbye;
    const child::PipedRun run = child::run_piped(keys);
    ASSERT_TRUE(run.ending.finished);
    EXPECT_EQ(run.ending.exit_status, 0);
    EXPECT_TRUE(run.output == expected)
        << "the transcripts differ from byte "
        << std::ranges::mismatch(run.output, expected).in1 - run.output.begin();
}

TEST(PipedSession, OutputGoneForGoodEndsTheProgramWithStatusZero)
{
    // With SIGPIPE ignored, the program must notice itself that nobody reads.
    const child::AbandonedRun run = child::run_with_reader_leaving("nse ");
    ASSERT_TRUE(run.ending.finished) << "still running, unseen, long after its reader left";
    EXPECT_EQ(run.ending.exit_status, 0);
    EXPECT_LT(run.after_reader_left, 1s);
}

TEST(PipedSession, AThousandSalesInARow)
{
    std::string keys;
    std::string expected;
    for (int sale = 0; sale < 1000; ++sale) {
        keys += "czzzzs ";
        expected += menu + request("CHOCOLAT au LAIT") + price + change(3) + delivery +
                    pause_taken + page_break;
    }
    expected += menu + pause_taken + page_break + goodbye;
    const child::PipedRun run = child::run_piped(keys);
    ASSERT_TRUE(run.ending.finished);
    EXPECT_EQ(run.ending.exit_status, 0);
    EXPECT_EQ(run.output, expected);
}

} // namespace
