// The console over a byte channel: one write per wait, keys from reads,
// the wait for the rest of a key, and the end of input.

#include "console/byte_key_reader.hpp"
#include "console/stream_console.hpp"
#include "screens.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace
{

using console::Key;
using console::ReadOutcome;
using console::StreamConsole;
using namespace std::chrono_literals;

// Plays reads from a script (a chunk of bytes, a time-out, then the end)
// and records each write and each wait that was asked for.
class FakeChannel final : public console::ByteSource, public console::ByteSink
{
  public:
    struct Read {
        ReadOutcome outcome;
        std::string bytes;
    };

    void bytes(std::string chunk) { reads_.push_back({ReadOutcome::bytes, std::move(chunk)}); }
    void time_out() { reads_.push_back({ReadOutcome::timed_out, {}}); }

    console::ReadResult read(std::span<std::uint8_t> buffer,
                             std::optional<std::chrono::milliseconds> timeout) override
    {
        timeouts.push_back(timeout);
        if (reads_.empty()) {
            return {ReadOutcome::ended, 0};
        }
        Read next = reads_.front();
        reads_.pop_front();
        const std::size_t count = std::min(next.bytes.size(), buffer.size());
        std::copy_n(next.bytes.begin(), count, buffer.begin());
        if (count < next.bytes.size()) {
            reads_.push_front({ReadOutcome::bytes, next.bytes.substr(count)});
        }
        return {next.outcome, count};
    }

    bool write(std::string_view bytes) override
    {
        writes.emplace_back(bytes);
        return output_open;
    }

    std::vector<std::string> writes;
    bool output_open = true; // false: the output is gone for good
    std::vector<std::optional<std::chrono::milliseconds>> timeouts;

  private:
    std::deque<Read> reads_;
};

constexpr Key esc = 0x1b;

// The console as a terminal backend assembles it: keys decoded from the
// channel's bytes, text written to it.
struct ConsoleOver {
    explicit ConsoleOver(FakeChannel &channel, std::string_view clear = console::terminal_clear)
        : keys(channel), console(keys, channel, clear)
    {
    }
    console::ByteKeyReader keys;
    StreamConsole console;
};

TEST(StreamConsole, BuffersTextUntilTheNextWaitThenWritesItOnce)
{
    FakeChannel channel;
    channel.bytes("ab");
    ConsoleOver console_over(channel);
    StreamConsole &console = console_over.console;
    console.write_text("one ");
    console.write_text("screen");
    EXPECT_TRUE(channel.writes.empty()) << "nothing goes out before the program waits";
    EXPECT_EQ(console.read_key(), 'a');
    EXPECT_EQ(console.read_key(), 'b') << "a second wait with nothing new writes nothing";
    EXPECT_EQ(channel.writes, std::vector<std::string>{"one screen"});
    EXPECT_EQ(channel.timeouts.size(), 1U) << "both keys came from one read";
}

TEST(StreamConsole, TextLargerThanTheBufferArrivesWholeAndInOrder)
{
    FakeChannel channel;
    ConsoleOver console_over(channel, console::transcript_clear);
    StreamConsole &console = console_over.console;
    const std::string big(10000, 'x');
    console.write_text("before ");
    console.write_text(big);
    console.write_text(" after");
    console.flush();
    std::string joined;
    for (const std::string &w : channel.writes) {
        joined += w;
    }
    EXPECT_EQ(joined, "before " + big + " after");
}

TEST(StreamConsole, PauseShowsThePromptTakesOneKeyAndEndsTheLine)
{
    FakeChannel channel;
    channel.bytes("\x1b[Dn");
    ConsoleOver console_over(channel);
    StreamConsole &console = console_over.console;
    console.pause_screen();
    EXPECT_EQ(console.read_key(), 'n') << "the arrow at the pause was one key";
    EXPECT_EQ(channel.writes, (std::vector<std::string>{screens::pause_prompt, "\n"}));
}

TEST(StreamConsole, WaitsForTheRestOfAKeyOnlyBriefly)
{
    FakeChannel channel;
    channel.bytes("\x1b");
    channel.time_out();
    channel.bytes("\x1b[");
    channel.bytes("B");
    ConsoleOver console_over(channel);
    StreamConsole &console = console_over.console;
    EXPECT_EQ(console.read_key(), esc) << "a lone Esc is a key once the wait runs out";
    EXPECT_EQ(console.read_key(), esc) << "an arrow split across two reads is one key";
    using Timeout = std::optional<std::chrono::milliseconds>;
    EXPECT_EQ(channel.timeouts, (std::vector<Timeout>{std::nullopt, 100ms, std::nullopt, 100ms}))
        << "a new key is awaited without limit, the rest of a started one for 100 ms";
}

TEST(StreamConsole, EndOfInputGivesTheQuitKeyForEverAndPausesReturnAtOnce)
{
    FakeChannel channel;
    channel.bytes("n\xc3");
    ConsoleOver console_over(channel, console::transcript_clear);
    StreamConsole &console = console_over.console;
    EXPECT_EQ(console.read_key(), 'n');
    EXPECT_EQ(console.read_key(), static_cast<Key>(0xc3)) << "a key cut short by the end counts";
    EXPECT_EQ(console.read_key(), 'q');
    // One read for the bytes (the first key waits without limit), one for the
    // rest of the cut key (100 ms), which found the end: no more after that.
    const std::size_t reads = channel.timeouts.size();
    EXPECT_EQ(reads, 2U) << "the source was asked again after it had ended";
    console.pause_screen();
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(console.read_key(), 'q');
    }
    EXPECT_EQ(channel.timeouts.size(), reads) << "nothing more is read once input has ended";
    console.flush();
    EXPECT_EQ(channel.writes.back(), screens::pause_prompt + "\n")
        << "the pause still shows its prompt";
}

TEST(StreamConsole, OutputGoneForGoodEndsTheSessionLikeTheEndOfInput)
{
    FakeChannel channel;
    channel.bytes("nse nse nse ");
    channel.output_open = false;
    ConsoleOver console_over(channel, console::transcript_clear);
    StreamConsole &console = console_over.console;
    console.write_text("menu");
    EXPECT_EQ(console.read_key(), 'q') << "keys are not taken for a screen nobody sees";
    console.pause_screen();
    console.write_text("farewell");
    EXPECT_EQ(console.read_key(), 'q');
    EXPECT_TRUE(channel.timeouts.empty()) << "input was read after the output had gone";
    EXPECT_EQ(channel.writes, std::vector<std::string>{"menu"}) << "each wait tried to write again";
}

TEST(StreamConsole, EmptyInputEndsAtTheFirstRead)
{
    FakeChannel channel;
    ConsoleOver console_over(channel, console::transcript_clear);
    StreamConsole &console = console_over.console;
    EXPECT_EQ(console.read_key(), 'q');
    EXPECT_EQ(console.read_key(), 'q');
    EXPECT_EQ(channel.timeouts.size(), 1U);
}

TEST(StreamConsole, KeysFromAReadLargerThanTheInputBufferAreAllDelivered)
{
    FakeChannel channel;
    std::string many;
    for (int k = 0; k < 9000; ++k) {
        many += static_cast<char>('a' + k % 26);
    }
    channel.bytes(many);
    ConsoleOver console_over(channel, console::transcript_clear);
    StreamConsole &console = console_over.console;
    for (int k = 0; k < 9000; ++k) {
        ASSERT_EQ(console.read_key(), 'a' + k % 26) << "key " << k;
    }
    EXPECT_EQ(console.read_key(), 'q');
}

} // namespace
