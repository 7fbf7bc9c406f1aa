// Console and standard streams on Windows: _getch for silent single keys on
// a console, plain reads for redirected input, virtual terminal sequences
// (or the console API on old consoles) for clearing, CRLF line ends.

#include "console/platform.hpp"

#include "console/byte_key_reader.hpp"
#include "console/byte_streams.hpp"
#include "console/getch_keys.hpp"
#include "console/stream_console.hpp"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <conio.h>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string_view>

namespace console
{
namespace
{

HANDLE input_handle() noexcept
{
    return GetStdHandle(STD_INPUT_HANDLE);
}

HANDLE output_handle() noexcept
{
    return GetStdHandle(STD_OUTPUT_HANDLE);
}

bool is_console(HANDLE handle) noexcept
{
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetConsoleMode(handle, &mode) != 0;
}

// The console modes found at start, put back on every way out. _getch
// switches the input mode to raw while it waits, so the program may end
// with it switched. Written before the control handler is installed, read
// by it on its own thread, so it lives at namespace scope.
// NOLINTBEGIN(cppcoreguidelines-avoid-non-const-global-variables)
DWORD input_mode_found = 0;
DWORD output_mode_found = 0;
volatile LONG input_mode_saved = 0;
volatile LONG output_mode_saved = 0;
// A console that cannot take escape sequences is cleared through its API.
bool clear_through_console_api = false;
// NOLINTEND(cppcoreguidelines-avoid-non-const-global-variables)

void restore_console_modes() noexcept
{
    if (InterlockedExchange(&input_mode_saved, 0) != 0) {
        SetConsoleMode(input_handle(), input_mode_found);
    }
    if (InterlockedExchange(&output_mode_saved, 0) != 0) {
        SetConsoleMode(output_handle(), output_mode_found);
    }
}

// Ctrl-C, Ctrl-Break, closing the window, logging off: put the console back,
// then let the default handler end the process as it always does.
BOOL WINAPI on_console_event(DWORD /*event*/)
{
    restore_console_modes();
    return FALSE;
}

// What `cls` does on a console without escape sequences: blank the whole
// buffer, scroll-back included, and home the cursor.
void clear_with_console_api() noexcept
{
    const HANDLE output = output_handle();
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(output, &info) == 0) {
        return;
    }
    const auto cells = static_cast<DWORD>(info.dwSize.X) * static_cast<DWORD>(info.dwSize.Y);
    const COORD home{0, 0};
    DWORD written = 0;
    FillConsoleOutputCharacterA(output, ' ', cells, home, &written);
    FillConsoleOutputAttribute(output, info.wAttributes, cells, home, &written);
    SetConsoleCursorPosition(output, home);
}

class RuntimeKeyboard final : public GetchRuntime
{
  public:
    int read_code() override
    {
        const int code = _getch();
        return code == EOF ? -1 : code;
    }

    bool code_waiting() override { return _kbhit() != 0; }

    void interrupt() override
    {
        // Raise the real console event: the handler above restores the
        // console and the default one ends the process with the status a
        // Ctrl-C gives. Unless this process ignores Ctrl-C.
        if (GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0) != 0) {
            Sleep(2000);
        }
    }
};

class StandardInput final : public ByteSource
{
  public:
    ReadResult read(std::span<std::uint8_t> buffer,
                    std::optional<std::chrono::milliseconds> timeout) override
    {
        const HANDLE input = input_handle();
        if (timeout && !wait_for_pipe(input, *timeout)) {
            return ReadResult{ReadOutcome::timed_out, 0};
        }
        DWORD count = 0;
        const auto wanted = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), 1U << 20U));
        if (ReadFile(input, buffer.data(), wanted, &count, nullptr) == 0 || count == 0) {
            return ReadResult{ReadOutcome::ended, 0}; // end of file, or the pipe closed
        }
        return ReadResult{ReadOutcome::bytes, count};
    }

  private:
    // Only a pipe can make a reader wait; a file has its bytes at hand.
    static bool wait_for_pipe(HANDLE input, std::chrono::milliseconds timeout) noexcept
    {
        if (GetFileType(input) != FILE_TYPE_PIPE) {
            return true;
        }
        const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(timeout.count());
        for (;;) {
            DWORD available = 0;
            if (PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr) == 0 ||
                available > 0) {
                return true; // bytes, or a closed pipe that the read will report
            }
            if (GetTickCount64() >= deadline) {
                return false;
            }
            Sleep(1);
        }
    }
};

class StandardOutput final : public ByteSink
{
  public:
    bool write(std::string_view bytes) override
    {
        if (clear_through_console_api) {
            for (auto at = bytes.find(terminal_clear); at != std::string_view::npos;
                 at = bytes.find(terminal_clear)) {
                if (!write_lines(bytes.substr(0, at))) {
                    return false;
                }
                clear_with_console_api();
                bytes.remove_prefix(at + terminal_clear.size());
            }
        }
        return write_lines(bytes);
    }

  private:
    // Line ends on Windows are CRLF, on the screen as in a saved transcript.
    static bool write_lines(std::string_view bytes) noexcept
    {
        std::array<char, 8192> converted{};
        std::size_t used = 0;
        for (const char c : bytes) {
            if (used + 2 > converted.size()) {
                if (!write_all(std::string_view(converted.data(), used))) {
                    return false;
                }
                used = 0;
            }
            if (c == '\n') {
                converted[used++] = '\r';
            }
            converted[used++] = c;
        }
        return write_all(std::string_view(converted.data(), used));
    }

    static bool write_all(std::string_view bytes) noexcept
    {
        const HANDLE output = output_handle();
        while (!bytes.empty()) {
            DWORD written = 0;
            if (WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                          nullptr) == 0 ||
                written == 0) {
                return false; // a closed pipe, a closed console
            }
            bytes.remove_prefix(written);
        }
        return true;
    }
};

} // namespace

namespace platform
{

void enter_terminal_mode() noexcept
{
    const bool input_is_console = GetConsoleMode(input_handle(), &input_mode_found) != 0;
    const HANDLE output = output_handle();
    const bool output_is_console = GetConsoleMode(output, &output_mode_found) != 0;
    if (!input_is_console && !output_is_console) {
        return;
    }
    InterlockedExchange(&input_mode_saved, input_is_console ? 1 : 0);
    SetConsoleCtrlHandler(on_console_event, TRUE);
    if (!output_is_console) {
        return;
    }
    const DWORD wanted =
        output_mode_found | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING;
    if (wanted == output_mode_found) {
        return;
    }
    if (SetConsoleMode(output, wanted) != 0) {
        InterlockedExchange(&output_mode_saved, 1);
    } else {
        clear_through_console_api = true; // a console from before escape sequences
    }
}

void restore_terminal_mode() noexcept
{
    restore_console_modes();
    SetConsoleCtrlHandler(on_console_event, FALSE);
}

// _getch reads the console even when input is redirected, so a pipe or a
// file is read as bytes instead, exactly as on other systems.
KeySource &standard_keys()
{
    if (is_console(input_handle())) {
        static RuntimeKeyboard keyboard;
        static GetchKeys keys{keyboard};
        return keys;
    }
    static StandardInput input{};
    static ByteKeyReader keys{input};
    return keys;
}

ByteSink &standard_output()
{
    static StandardOutput output;
    return output;
}

bool output_is_terminal() noexcept
{
    return is_console(output_handle());
}

} // namespace platform

} // namespace console
