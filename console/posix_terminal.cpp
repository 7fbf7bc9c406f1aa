// Terminal and standard streams on POSIX systems: termios for silent
// single-key input, signal handlers that put the terminal back.

#include "console/platform.hpp"

#include "console/byte_key_reader.hpp"
#include "console/byte_streams.hpp"
#include "console/stream_console.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <ctime>
#include <optional>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace console
{
namespace
{

constexpr int input_fd = STDIN_FILENO;
constexpr int output_fd = STDOUT_FILENO;

// Signal handlers can reach no other state than this, so it lives at
// namespace scope; it is written before the handlers are installed.
// NOLINTBEGIN(cppcoreguidelines-avoid-non-const-global-variables)
termios original_modes = {};
termios single_key_modes = {};
volatile std::sig_atomic_t single_key_active = 0;
volatile std::sig_atomic_t continued = 0; // a SIGCONT came since it was cleared
// NOLINTEND(cppcoreguidelines-avoid-non-const-global-variables)

// Handled while the terminal is ours: those whose default action ends the
// program (the terminal is put back, then the program dies of the same
// signal so the parent sees the real cause), then suspend and continue.
// What was in place before is kept, to be put back as found.
constexpr std::array handled_signal_numbers = {SIGINT,  SIGTERM, SIGHUP, SIGQUIT,
                                               SIGPIPE, SIGTSTP, SIGCONT};
// NOLINTNEXTLINE(cppcoreguidelines-avoid-non-const-global-variables)
std::array<struct sigaction, handled_signal_numbers.size()> actions_found = {};

sigset_t only(int signal_number) noexcept
{
    sigset_t set{};
    sigemptyset(&set);
    sigaddset(&set, signal_number);
    return set;
}

sigset_t handled_signals() noexcept
{
    sigset_t set{};
    sigemptyset(&set);
    for (const int signal_number : handled_signal_numbers) {
        sigaddset(&set, signal_number);
    }
    return set;
}

void set_handler(int signal_number, void (*handler)(int)) noexcept
{
    struct sigaction action = {};
    action.sa_handler = handler;
    // The handlers block one another: however close together signals come,
    // each handler sees the terminal as the one before it left it.
    action.sa_mask = handled_signals();
    action.sa_flags = 0;
    sigaction(signal_number, &action, nullptr);
}

// Only the foreground job may change the terminal; a background job that
// tried would be stopped by SIGTTOU. A terminal that is not the controlling
// one has no foreground job, and no such rule.
bool in_foreground() noexcept
{
    const int saved_errno = errno;
    const pid_t foreground = tcgetpgrp(input_fd);
    const bool ours = foreground == getpgrp() || (foreground < 0 && errno == ENOTTY);
    errno = saved_errno;
    return ours;
}

// Async-signal-safe: sets the modes if the terminal is ours to set.
void put_modes(const termios &modes) noexcept
{
    const int saved_errno = errno;
    if (single_key_active != 0 && in_foreground()) {
        tcsetattr(input_fd, TCSANOW, &modes);
    }
    errno = saved_errno;
}

extern "C" void on_ending_signal(int signal_number)
{
    put_modes(original_modes);
    set_handler(signal_number, SIG_DFL);
    // Blocked while this handler runs; unblocking it alone delivers it with
    // its default action at once, before any other signal still pending.
    static_cast<void>(raise(signal_number));
    const sigset_t this_signal = only(signal_number);
    sigprocmask(SIG_UNBLOCK, &this_signal, nullptr);
}

extern "C" void on_suspend(int /*signal_number*/)
{
    const int saved_errno = errno;
    put_modes(original_modes);
    set_handler(SIGTSTP, SIG_DFL);
    static_cast<void>(raise(SIGTSTP));
    const sigset_t suspend = only(SIGTSTP);
    // Stops here until the shell continues us. The kernel refuses the stop
    // to a job that no shell could continue (the terminal's session leader,
    // an orphaned job): then this returns at once.
    sigprocmask(SIG_UNBLOCK, &suspend, nullptr);
    sigprocmask(SIG_BLOCK, &suspend, nullptr);
    set_handler(SIGTSTP, on_suspend);
    // Continued in the foreground, or not stopped at all: keys are single
    // and silent again. Continued in the background: the shell's terminal.
    put_modes(single_key_modes);
    errno = saved_errno;
}

// Runs on every continue, also after a stop that was not ours (SIGSTOP,
// SIGTTIN): keys must again be silent and not held until Enter.
extern "C" void on_resume(int /*signal_number*/)
{
    continued = 1;
    put_modes(single_key_modes);
}

void put_back_actions_found() noexcept
{
    for (std::size_t k = 0; k < handled_signal_numbers.size(); ++k) {
        sigaction(handled_signal_numbers[k], &actions_found[k], nullptr);
    }
}

void (*handler_for(int signal_number))(int)
{
    switch (signal_number) {
    case SIGTSTP:
        return on_suspend;
    case SIGCONT:
        return on_resume;
    default:
        return on_ending_signal;
    }
}

// Started in the background (`vending &`), the program waits stopped, as a
// job that reads the terminal does, until the shell brings it to the
// foreground: the modes to put back are the shell's only then. False when
// it can never be: the stop is refused (an orphaned job) or SIGTTIN is
// ignored; the terminal is then left alone. A continue that our handler did
// not see (SIGCONT ignored from the start) shows in the foreground check.
bool wait_for_foreground() noexcept
{
    while (!in_foreground()) {
        continued = 0;
        kill(0, SIGTTIN);
        if (continued == 0 && !in_foreground()) {
            return false;
        }
    }
    return true;
}

// Waits until the descriptor is ready; false on time-out. The time-out is a
// deadline: signals that interrupt the wait do not extend it. A descriptor
// left non-blocking by another program is waited on rather than taken for
// ended.
bool wait_ready(pollfd entry, std::optional<std::chrono::milliseconds> timeout) noexcept
{
    using std::chrono::milliseconds;
    using std::chrono::nanoseconds;
    const auto now = []() noexcept {
        timespec time{};
        clock_gettime(CLOCK_MONOTONIC, &time);
        return std::chrono::seconds(time.tv_sec) + nanoseconds(time.tv_nsec);
    };
    const nanoseconds deadline = timeout ? now() + *timeout : nanoseconds::zero();
    for (;;) {
        int timeout_ms = -1;
        if (timeout) {
            const nanoseconds left = std::max(deadline - now(), nanoseconds::zero());
            timeout_ms = static_cast<int>(std::chrono::ceil<milliseconds>(left).count());
        }
        const int ready = poll(&entry, 1, timeout_ms);
        if (ready >= 0) {
            return ready > 0;
        }
        if (errno != EINTR) {
            return true; // let the read or write report the problem
        }
    }
}

class StandardInput final : public ByteSource
{
  public:
    ReadResult read(std::span<std::uint8_t> buffer,
                    std::optional<std::chrono::milliseconds> timeout) override
    {
        if (timeout && !wait_ready({input_fd, POLLIN, 0}, timeout)) {
            return ReadResult{ReadOutcome::timed_out, 0};
        }
        for (;;) {
            const ssize_t count = ::read(input_fd, buffer.data(), buffer.size());
            if (count > 0) {
                return ReadResult{ReadOutcome::bytes, static_cast<std::size_t>(count)};
            }
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                wait_ready({input_fd, POLLIN, 0}, std::nullopt);
                continue;
            }
            return ReadResult{ReadOutcome::ended, 0};
        }
    }
};

class StandardOutput final : public ByteSink
{
  public:
    bool write(std::string_view bytes) override
    {
        while (!bytes.empty()) {
            const ssize_t count = ::write(output_fd, bytes.data(), bytes.size());
            if (count > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(count));
            } else if (count < 0 && errno == EINTR) {
                continue;
            } else if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                wait_ready({output_fd, POLLOUT, 0}, std::nullopt);
            } else {
                return false; // EPIPE with SIGPIPE ignored, EIO, a full disk...
            }
        }
        return true;
    }
};

// Built at compile time: nothing runs before main and no guard is needed.
// NOLINTBEGIN(cppcoreguidelines-avoid-non-const-global-variables)
constinit StandardInput standard_input;
constinit ByteKeyReader standard_key_reader{standard_input};
constinit StandardOutput standard_output_sink;
// NOLINTEND(cppcoreguidelines-avoid-non-const-global-variables)

} // namespace

namespace platform
{

void enter_terminal_mode() noexcept
{
    if (isatty(input_fd) == 0) {
        return;
    }
    const sigset_t handled = handled_signals();
    sigset_t previous{};
    sigprocmask(SIG_BLOCK, &handled, &previous);
    for (std::size_t k = 0; k < handled_signal_numbers.size(); ++k) {
        const int signal_number = handled_signal_numbers[k];
        sigaction(signal_number, nullptr, &actions_found[k]);
        // A signal the parent chose to ignore (nohup, a background job)
        // stays ignored: it must not end the program now.
        if (actions_found[k].sa_handler != SIG_IGN) {
            set_handler(signal_number, handler_for(signal_number));
        }
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (!wait_for_foreground()) {
        put_back_actions_found();
        return;
    }

    sigprocmask(SIG_BLOCK, &handled, &previous);
    if (tcgetattr(input_fd, &original_modes) == 0) {
        single_key_modes = original_modes;
        // Keys come one at a time and unseen. Output processing and the
        // signal keys (Ctrl-C, Ctrl-Z) stay as they were.
        single_key_modes.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        single_key_modes.c_cc[VMIN] = 1;
        single_key_modes.c_cc[VTIME] = 0;
        if (tcsetattr(input_fd, TCSANOW, &single_key_modes) == 0) {
            single_key_active = 1;
        }
    }
    if (single_key_active == 0) {
        put_back_actions_found();
    }
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

void restore_terminal_mode() noexcept
{
    if (single_key_active == 0) {
        return;
    }
    // No handler may switch the modes back behind our back from here on.
    const sigset_t handled = handled_signals();
    sigset_t previous{};
    sigprocmask(SIG_BLOCK, &handled, &previous);
    put_modes(original_modes);
    single_key_active = 0;
    put_back_actions_found();
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

KeySource &standard_keys()
{
    return standard_key_reader;
}

ByteSink &standard_output()
{
    return standard_output_sink;
}

bool output_is_terminal() noexcept
{
    return isatty(output_fd) != 0;
}

} // namespace platform

} // namespace console
