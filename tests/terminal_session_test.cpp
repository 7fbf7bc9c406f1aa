// The built program on a pseudo-terminal: silent single keys, the exact
// screen bytes, and the terminal left as it was found on every way out.

#include "child_process.hpp"
#include "screens.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <termios.h>
#include <thread>

namespace
{

using namespace screens;
using namespace std::chrono_literals;
using child::on_terminal;
using child::same_modes;
using child::TerminalSession;

const std::string prompt = "Appuyez sur une touche pour continuer...";
const std::string clear = "\x1b[H\x1b[2J\x1b[3J";

bool single_key_mode(const termios &modes)
{
    return (modes.c_lflag & (ICANON | ECHO)) == 0 && (modes.c_lflag & ISIG) != 0 &&
           (modes.c_oflag & OPOST) != 0;
}

// Waits for the program to have switched the terminal to single-key input,
// which it does before it reads its first key.
void wait_for_single_key_mode(const TerminalSession &session)
{
    for (int tries = 0; tries < 500 && !single_key_mode(session.modes()); ++tries) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(single_key_mode(session.modes()));
}

TEST(TerminalSession, OneWholeSaleShowsExactlyTheseBytesAndNoEcho)
{
    TerminalSession session;
    ASSERT_TRUE((session.modes_at_start().c_lflag & (ICANON | ECHO)) == (ICANON | ECHO));
    std::string screen = session.read_until(on_terminal(menu));
    wait_for_single_key_mode(session);

    session.type("n");
    screen += session.read_until(on_terminal(price));
    session.type("s");
    screen += session.read_for(300ms); // a coin shows nothing, not even itself
    session.type("e");
    screen += session.read_until(prompt);
    session.type("x");
    screen += session.read_until(on_terminal(menu));
    screen += session.read_for(200ms);

    const std::string expected =
        on_terminal(menu + request("CAFE NOIR") + price + change(5) + delivery + prompt + "\n") +
        clear + on_terminal(menu);
    EXPECT_EQ(screen, expected);

    session.type("q");
    session.read_until(prompt);
    session.type(" ");
    session.read_until(on_terminal(farewell) + prompt);
    session.type(" ");
    const child::Ending ending = session.wait();
    EXPECT_TRUE(ending.finished);
    EXPECT_EQ(ending.exit_status, 0);
    EXPECT_TRUE(same_modes(session.modes(), session.modes_at_start()))
        << "terminal modes differ after quitting";
}

TEST(TerminalSession, ArrowOrAccentedLetterAtThePauseIsOneKey)
{
    for (const std::string key : {"\x1b[A", "\x1bOB", "\xc3\xa9", "\x1b[15~"}) {
        SCOPED_TRACE(testing::PrintToString(key));
        TerminalSession session;
        session.read_until(on_terminal(menu));
        wait_for_single_key_mode(session);
        session.type("ne");
        session.read_until(prompt);
        session.type(key);
        // Had the rest of the key been taken as more keys, the next menu
        // would be answered with a payment request or a price line.
        std::string after = session.read_until(on_terminal(menu));
        after += session.read_for(300ms);
        EXPECT_EQ(after, on_terminal("\n") + clear + on_terminal(menu));
        session.type("q");
        EXPECT_EQ(session.read_until(prompt), prompt);
        session.type("  ");
        EXPECT_EQ(session.wait().exit_status, 0);
    }
}

TEST(TerminalSession, LoneEscIsAKeyWithoutWaitingForAnother)
{
    TerminalSession session;
    session.read_until(on_terminal(menu));
    wait_for_single_key_mode(session);
    session.type("\x1b");
    // Esc selects no drink, so the price line follows on its own.
    EXPECT_EQ(session.read_until(on_terminal(price), 2s), on_terminal(price));
    session.type("q  ");
    EXPECT_EQ(session.wait().exit_status, 0);
}

struct Interruption {
    const char *name;
    const char *keys; // typed, or nullptr to send `signal` from outside
    int signal;
};

TEST(TerminalSession, EndingSignalsRestoreTheTerminalAndKillByThatSignal)
{
    const Interruption cases[] = {
        {"Ctrl-C", "\x03", SIGINT},
        {"Ctrl-\\", "\x1c", SIGQUIT},
        {"SIGTERM", nullptr, SIGTERM},
        {"SIGHUP", nullptr, SIGHUP},
        {"SIGINT during payment", "n\x03", SIGINT},
    };
    for (const Interruption &c : cases) {
        SCOPED_TRACE(c.name);
        TerminalSession session;
        session.read_until(on_terminal(menu));
        wait_for_single_key_mode(session);
        if (c.keys != nullptr) {
            session.type(c.keys);
        } else {
            kill(session.program(), c.signal);
        }
        const child::Ending ending = session.wait();
        EXPECT_TRUE(ending.finished);
        EXPECT_EQ(ending.signal, c.signal);
        EXPECT_TRUE(same_modes(session.modes(), session.modes_at_start()));
    }
}

TEST(TerminalSession, SignalsIgnoredAtStartStayIgnored)
{
    // Under nohup, or as a background job, these must not end the program.
    TerminalSession session({SIGHUP, SIGINT});
    session.read_until(on_terminal(menu));
    wait_for_single_key_mode(session);
    kill(session.program(), SIGHUP);
    session.type("\x03"); // Ctrl-C: ignored too, and read as no key at all
    std::this_thread::sleep_for(200ms);
    EXPECT_NE(session.program_state(), '?') << "the program died of an ignored signal";
    session.type("q  ");
    const child::Ending ending = session.wait();
    EXPECT_TRUE(ending.finished);
    EXPECT_EQ(ending.exit_status, 0);
    EXPECT_TRUE(same_modes(session.modes(), session.modes_at_start()));
}

TEST(TerminalSession, CtrlZRestoresTheTerminalAndContinueMakesKeysSilentAgain)
{
    TerminalSession session;
    session.read_until(on_terminal(menu));
    wait_for_single_key_mode(session);

    session.type("\x1a");
    for (int tries = 0; tries < 500 && session.program_state() != 'T'; ++tries) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(session.program_state(), 'T') << "Ctrl-Z did not stop the program";
    EXPECT_TRUE(same_modes(session.modes(), session.modes_at_start()))
        << "the shell gets the terminal back as it was";

    kill(session.program(), SIGCONT);
    wait_for_single_key_mode(session);
    session.type("l");
    std::string shown = session.read_until(on_terminal(price));
    shown += session.read_for(200ms);
    EXPECT_EQ(shown, on_terminal(request("CAFE AU LAIT") + price)) << "no echo after continuing";

    session.type("e q  ");
    EXPECT_EQ(session.wait().exit_status, 0);
    EXPECT_TRUE(same_modes(session.modes(), session.modes_at_start()));
}

} // namespace
