// Terminal and standard streams on POSIX systems: termios for silent
// single-key input, signal handlers that put the terminal back.

#include "console/platform.hpp"

#include "console/byte_key_reader.hpp"
#include "console/byte_streams.hpp"
#include "console/stream_console.hpp"

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
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
// NOLINTEND(cppcoreguidelines-avoid-non-const-global-variables)

// Handled while the terminal is ours: those whose default action ends the
// program (the terminal is put back, then the program dies of the same
// signal so the parent sees the real cause), then suspend and continue.
// What was in place before is kept, to be put back as found.
constexpr std::array handled_signal_numbers = {SIGINT,  SIGTERM, SIGHUP, SIGQUIT,
                                               SIGPIPE, SIGTSTP, SIGCONT};
// NOLINTNEXTLINE(cppcoreguidelines-avoid-non-const-global-variables)
std::array<struct sigaction, handled_signal_numbers.size()> actions_found = {};

void set_handler(int signal_number, void (*handler)(int)) noexcept
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    sigaction(signal_number, &action, nullptr);
}

extern "C" void on_ending_signal(int signal_number)
{
    if (single_key_active != 0) {
        tcsetattr(input_fd, TCSANOW, &original_modes);
    }
    set_handler(signal_number, SIG_DFL);
    // Still blocked while this handler runs: it is delivered, with its
    // default action, the moment the handler returns.
    static_cast<void>(raise(signal_number));
}

extern "C" void on_suspend(int /*signal_number*/)
{
    const int saved_errno = errno;
    if (single_key_active != 0) {
        tcsetattr(input_fd, TCSANOW, &original_modes);
    }
    set_handler(SIGTSTP, SIG_DFL);
    sigset_t suspend{};
    sigemptyset(&suspend);
    sigaddset(&suspend, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &suspend, nullptr);
    static_cast<void>(raise(SIGTSTP)); // stops here until the shell continues us
    set_handler(SIGTSTP, on_suspend);
    errno = saved_errno;
}

// Runs on every continue, also after a stop that was not ours (SIGSTOP):
// keys must again be silent and not held until Enter.
extern "C" void on_resume(int /*signal_number*/)
{
    const int saved_errno = errno;
    if (single_key_active != 0) {
        tcsetattr(input_fd, TCSANOW, &single_key_modes);
    }
    errno = saved_errno;
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

// Waits until the descriptor is ready; false on time-out. A descriptor left
// non-blocking by another program is waited on rather than taken for ended.
bool wait_ready(pollfd entry, std::optional<std::chrono::milliseconds> timeout) noexcept
{
    const int timeout_ms = timeout ? static_cast<int>(timeout->count()) : -1;
    for (;;) {
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
    if (isatty(input_fd) == 0 || tcgetattr(input_fd, &original_modes) != 0) {
        return;
    }
    single_key_modes = original_modes;
    // Keys come one at a time and unseen. Output processing and the signal
    // keys (Ctrl-C, Ctrl-Z) stay as they were.
    single_key_modes.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    single_key_modes.c_cc[VMIN] = 1;
    single_key_modes.c_cc[VTIME] = 0;

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
    if (tcsetattr(input_fd, TCSANOW, &single_key_modes) == 0) {
        single_key_active = 1;
    } else {
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
    tcsetattr(input_fd, TCSANOW, &original_modes);
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
