// The built program on a pseudo-terminal: silent single keys, the exact
// screen bytes, and the terminal left as it was found on every way out,
// whatever the job control of the shell does to it.

#include "child_process.hpp"
#include "screens.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <string>
#include <termios.h>
#include <thread>
#include <vector>

namespace
{

using namespace screens;
using namespace std::chrono_literals;
using child::on_terminal;
using child::same_modes;
using child::Start;
using child::TerminalSession;

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

// The menu is on the screen and keys are single and silent.
void reach_the_menu(TerminalSession &session)
{
    session.read_until(on_terminal(menu));
    wait_for_single_key_mode(session);
}

// Quits from the menu and checks the end: status 0, the terminal as the
// shell handed it over, and no process left behind.
void quit_from_the_menu(TerminalSession &session)
{
    session.type("q");
    EXPECT_EQ(session.read_until(pause_prompt), pause_prompt);
    session.type(" ");
    session.read_until(on_terminal(farewell) + pause_prompt);
    session.type(" ");
    const child::Ending ending = session.wait();
    EXPECT_TRUE(ending.finished);
    EXPECT_EQ(ending.exit_status, 0);
    EXPECT_TRUE(same_modes(session.modes(), session.modes_at_start()))
        << "terminal modes differ after quitting";
    EXPECT_EQ(session.program_state(), '?') << "the program is still there";
}

// A sale of CAFE AU LAIT shows exactly its texts: no key is echoed.
void buy_a_cafe_au_lait(TerminalSession &session)
{
    session.type("l");
    std::string shown = session.read_until(on_terminal(price));
    shown += session.read_for(200ms);
    EXPECT_EQ(shown, on_terminal(request("CAFE AU LAIT") + price)) << "keys were echoed";
    session.type("e");
    session.read_until(pause_prompt);
    session.type(" ");
    session.read_until(on_terminal(menu));
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
    screen += session.read_until(pause_prompt);
    session.type("x");
    screen += session.read_until(on_terminal(menu));
    screen += session.read_for(200ms);

    const std::string expected = on_terminal(menu + request("CAFE NOIR") + price + change(5) +
                                             delivery + pause_prompt + "\n") +
                                 clear + on_terminal(menu);
    EXPECT_EQ(screen, expected);
    quit_from_the_menu(session);
}

TEST(TerminalSession, ArrowFunctionKeyAltKeyOrAccentedLetterAtThePauseIsOneKey)
{
    for (const std::string key : {"\x1b[A", "\x1bOB", "\xc3\xa9", "\x1b[15~", "\x1b[[A",
                                  "\x1b\x1b[D", "\x1b\x7f", "\x1b[7$"}) {
        SCOPED_TRACE(testing::PrintToString(key));
        TerminalSession session;
        reach_the_menu(session);
        session.type("ne");
        session.read_until(pause_prompt);
        session.type(key);
        // Had the rest of the key been taken as more keys, the next menu
        // would be answered with a payment request or a price line.
        std::string after = session.read_until(on_terminal(menu));
        after += session.read_for(300ms);
        EXPECT_EQ(after, on_terminal("\n") + clear + on_terminal(menu));
        quit_from_the_menu(session);
    }
}

TEST(TerminalSession, LoneEscIsAKeyWithoutWaitingForAnother)
{
    TerminalSession session;
    reach_the_menu(session);
    session.type("\x1b");
    // Esc selects no drink, so the price line follows on its own.
    EXPECT_EQ(session.read_until(on_terminal(price), 2s), on_terminal(price));
    session.type("q  ");
    EXPECT_EQ(session.wait().exit_status, 0);
}

TEST(TerminalSession, TheWaitForTheRestOfAKeyIsADeadlineThatSignalsDoNotExtend)
{
    TerminalSession session;
    reach_the_menu(session);
    session.type("\x1b");
    const auto typed = std::chrono::steady_clock::now();
    std::string shown;
    // A continue every 20 ms interrupts the wait again and again.
    while (!shown.ends_with(on_terminal(price)) && std::chrono::steady_clock::now() - typed < 3s) {
        kill(session.program(), SIGCONT);
        shown += session.read_for(20ms);
    }
    const auto waited = std::chrono::steady_clock::now() - typed;
    EXPECT_EQ(shown, on_terminal(price));
    EXPECT_LT(waited, 600ms)
        << "the lone Esc waited "
        << std::chrono::duration_cast<std::chrono::milliseconds>(waited).count() << " ms";
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
        reach_the_menu(session);
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
    TerminalSession session(Start::foreground, {SIGHUP, SIGINT});
    reach_the_menu(session);
    kill(session.program(), SIGHUP);
    session.type("\x03"); // Ctrl-C: ignored too, and read as no key at all
    std::this_thread::sleep_for(200ms);
    const char state = session.program_state();
    EXPECT_TRUE(state != '?' && state != 'Z') << "the program died of an ignored signal";
    session.type("q  ");
    const child::Ending ending = session.wait();
    EXPECT_TRUE(ending.finished);
    EXPECT_EQ(ending.exit_status, 0);
    EXPECT_TRUE(same_modes(session.modes(), session.modes_at_start()));
}

TEST(TerminalSession, CtrlZGivesTheShellItsTerminalAndFgMakesKeysSilentAgain)
{
    TerminalSession session;
    reach_the_menu(session);

    session.type("\x1a");
    ASSERT_TRUE(session.wait_stopped()) << "Ctrl-Z did not stop the program";
    EXPECT_TRUE(same_modes(session.modes(), session.modes_at_start()))
        << "the shell gets the terminal back as it was";

    session.fg();
    wait_for_single_key_mode(session);
    session.type("l");
    std::string shown = session.read_until(on_terminal(price));
    shown += session.read_for(200ms);
    EXPECT_EQ(shown, on_terminal(request("CAFE AU LAIT") + price)) << "no echo after continuing";
    session.type("e ");
    session.read_until(on_terminal(menu));
    quit_from_the_menu(session);
}

TEST(TerminalSession, CtrlZThenBgThenFg)
{
    TerminalSession session;
    reach_the_menu(session);
    session.type("\x1a");
    ASSERT_TRUE(session.wait_stopped());

    // Continued in the background, it leaves the shell's terminal alone and
    // stops again as soon as it waits for a key, as any job reading the
    // terminal does.
    session.bg();
    ASSERT_TRUE(session.wait_stopped()) << "running in the background";
    EXPECT_TRUE(same_modes(session.modes(), session.modes_at_start()))
        << "a background job changed the shell's terminal";

    session.fg();
    wait_for_single_key_mode(session);
    buy_a_cafe_au_lait(session);
    quit_from_the_menu(session);
}

TEST(TerminalSession, StartedInTheBackgroundItWaitsStoppedAndTakesTheModesAtFg)
{
    // A parent may leave SIGCONT ignored: the continue still comes.
    for (const std::vector<int> &ignored : {std::vector<int>{}, std::vector<int>{SIGCONT}}) {
        SCOPED_TRACE(ignored.empty() ? "SIGCONT handled" : "SIGCONT ignored at start");
        // The shell's line editor has the terminal while the job starts.
        TerminalSession session(Start::background, ignored);
        ASSERT_TRUE(session.wait_stopped()) << "a background job did not wait for the foreground";
        EXPECT_EQ(session.read_for(200ms), "") << "the background job wrote to the terminal";
        EXPECT_TRUE(same_modes(session.modes(), session.editor_modes()))
            << "a background job changed the shell's terminal";

        session.fg(); // the shell gives the terminal over in its ordinary modes
        reach_the_menu(session);
        buy_a_cafe_au_lait(session);
        quit_from_the_menu(session); // those modes, not the line editor's, are put back
    }
}

struct JobKill {
    const char *name;
    Start start;
    int signal;
};

TEST(TerminalSession, AStoppedOrBackgroundJobDiesOfKillAtOnceAndLeavesTheTerminalAlone)
{
    const JobKill cases[] = {
        {"Ctrl-Z then kill %1", Start::foreground, SIGTERM},
        {"Ctrl-Z then kill -HUP %1", Start::foreground, SIGHUP},
        {"Ctrl-Z then kill -INT %1", Start::foreground, SIGINT},
        {"& then kill %1", Start::background, SIGTERM},
        {"& then kill -INT %1", Start::background, SIGINT},
    };
    for (const JobKill &c : cases) {
        SCOPED_TRACE(c.name);
        TerminalSession session(c.start);
        if (c.start == Start::foreground) {
            reach_the_menu(session);
            session.type("\x1a");
        }
        ASSERT_TRUE(session.wait_stopped());
        // Back at the prompt, the shell's line editor owns the terminal.
        session.set_modes(session.editor_modes());
        session.kill_job(c.signal);
        const child::Ending ending = session.wait(2s);
        EXPECT_TRUE(ending.finished) << "the job did not die; state " << session.program_state();
        EXPECT_EQ(ending.signal, c.signal);
        EXPECT_TRUE(same_modes(session.modes(), session.editor_modes()))
            << "the job changed the terminal that the shell had";
        EXPECT_EQ(session.program_state(), '?');
    }
}

TEST(TerminalSession, AsSessionLeaderARefusedStopKeepsKeysSilentAndSingle)
{
    // tmux new-session vending, ssh -t host vending, exec vending: no shell
    // could continue it, so the kernel refuses Ctrl-Z's stop.
    TerminalSession session(Start::session_leader);
    reach_the_menu(session);
    session.type("\x1a");
    EXPECT_FALSE(session.wait_stopped(300ms));
    EXPECT_TRUE(single_key_mode(session.modes())) << "left in line mode after a refused stop";
    buy_a_cafe_au_lait(session);
    quit_from_the_menu(session);
}

struct Burst {
    const char *name;
    int first;
    int second;
};

TEST(TerminalSession, TwoSignalsMicrosecondsApartLeaveTheTerminalAsFound)
{
    const Burst bursts[] = {
        {"INT then TSTP", SIGINT, SIGTSTP},   {"TSTP then INT", SIGTSTP, SIGINT},
        {"TERM then TSTP", SIGTERM, SIGTSTP}, {"TSTP then TERM", SIGTSTP, SIGTERM},
        {"CONT then TERM", SIGCONT, SIGTERM}, {"HUP then CONT", SIGHUP, SIGCONT},
        {"TERM then INT", SIGTERM, SIGINT},   {"QUIT then HUP", SIGQUIT, SIGHUP},
    };
    for (const Burst &burst : bursts) {
        // From both pending at once to the second coming while the handler
        // of the first is at work.
        for (const auto apart : {0us, 20us, 40us, 60us, 80us, 100us, 150us, 200us}) {
            SCOPED_TRACE(std::string(burst.name) + ", " + std::to_string(apart.count()) +
                         " us apart");
            TerminalSession session;
            reach_the_menu(session);
            kill(session.program(), burst.first);
            const auto first_sent = std::chrono::steady_clock::now();
            while (std::chrono::steady_clock::now() - first_sent < apart) {
            }
            kill(session.program(), burst.second);
            if (session.wait_stopped(500ms)) {
                EXPECT_TRUE(same_modes(session.modes(), session.modes_at_start()))
                    << "stopped without giving the terminal back";
                session.fg(); // the ending signal still pending then ends it
            }
            const child::Ending ending = session.wait(2s);
            ASSERT_TRUE(ending.finished) << "still alive; state " << session.program_state();
            EXPECT_TRUE(ending.signal == burst.first || ending.signal == burst.second)
                << "died of signal " << ending.signal;
            EXPECT_TRUE(same_modes(session.modes(), session.modes_at_start()))
                << "the terminal was left altered";
        }
    }
}

} // namespace
