// Console and standard streams on Windows: the console's own key events for
// silent single keys, plain reads for redirected input, virtual terminal
// sequences (or the console API on old consoles) for clearing, CRLF line
// ends.

#include "console/platform.hpp"

#include "console/byte_key_reader.hpp"
#include "console/byte_streams.hpp"
#include "console/key_event.hpp"
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
#include <cstddef>
#include <cstdint>
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

// The console modes found at start, put back on every way out. Written
// before the control handler is installed, read by it on its own thread,
// so it lives at namespace scope.
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

// The character of a key in the console's input code page, as _getch gives
// it: é is 0x82 in code page 850 and 0xE9 in 1252.
std::uint8_t in_console_code_page(wchar_t character) noexcept
{
    std::array<char, 8> encoded{};
    const int length = WideCharToMultiByte(GetConsoleCP(), 0, &character, 1, encoded.data(),
                                           static_cast<int>(encoded.size()), nullptr, nullptr);
    return length > 0 ? static_cast<std::uint8_t>(encoded[0]) : std::uint8_t{'?'};
}

// Key presses from the console's input events: each key-down event is one
// key (n for a repeat count of n), and keys typed ahead wait in the
// console's own queue, each in its own event, never merged nor guessed at.
// Ctrl-C never arrives here: processed input makes it the console's event.
class ConsoleKeys final : public KeySource
{
  public:
    std::optional<Key> next_key() override
    {
        while (presses_left_ == 0) {
            INPUT_RECORD record{};
            DWORD count = 0;
            if (ReadConsoleInputW(input_handle(), &record, 1, &count) == 0 || count == 0) {
                return std::nullopt; // the console is gone
            }
            if (record.EventType != KEY_EVENT) {
                continue; // mouse, focus, menu, window size
            }
            // The console API hands events over as a union tagged by
            // EventType, checked just above.
            // NOLINTBEGIN(cppcoreguidelines-pro-type-union-access)
            const KEY_EVENT_RECORD &key = record.Event.KeyEvent;
            const wchar_t character = key.uChar.UnicodeChar;
            // NOLINTEND(cppcoreguidelines-pro-type-union-access)
            const ConsoleKeyEvent event{key.bKeyDown != 0, key.wRepeatCount, key.wVirtualKeyCode,
                                        static_cast<char16_t>(character)};
            // Only a pressed key's character needs the code page, a call to
            // the console; releases, as many as presses, do not.
            const bool encode = event.key_down && character != 0;
            const EventKeys keys = keys_of(event, encode ? in_console_code_page(character) : 0);
            key_ = keys.key;
            presses_left_ = keys.count;
        }
        --presses_left_;
        return key_;
    }

  private:
    Key key_ = 0;
    std::uint16_t presses_left_ = 0;
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

// Built at compile time: nothing runs before main and no guard is needed.
// NOLINTBEGIN(cppcoreguidelines-avoid-non-const-global-variables)
constinit ConsoleKeys console_keys;
constinit StandardInput standard_input;
constinit ByteKeyReader piped_keys{standard_input};
constinit StandardOutput standard_output_sink;
// NOLINTEND(cppcoreguidelines-avoid-non-const-global-variables)

} // namespace

namespace platform
{

void enter_terminal_mode() noexcept
{
    const HANDLE input = input_handle();
    const HANDLE output = output_handle();
    const bool input_is_console = GetConsoleMode(input, &input_mode_found) != 0;
    const bool output_is_console = GetConsoleMode(output, &output_mode_found) != 0;
    if (!input_is_console && !output_is_console) {
        return;
    }
    SetConsoleCtrlHandler(on_console_event, TRUE);
    if (input_is_console) {
        // Keys one at a time and unseen, as key events rather than escape
        // sequences; Ctrl-C stays the console's, to end the program.
        const DWORD wanted =
            (input_mode_found & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT |
                                                    ENABLE_VIRTUAL_TERMINAL_INPUT)) |
            ENABLE_PROCESSED_INPUT;
        if (SetConsoleMode(input, wanted) != 0) {
            InterlockedExchange(&input_mode_saved, 1);
        }
    }
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

// A console gives key events; a pipe or a file is read as bytes, exactly as
// on other systems.
KeySource &standard_keys()
{
    if (is_console(input_handle())) {
        return console_keys;
    }
    return piped_keys;
}

ByteSink &standard_output()
{
    return standard_output_sink;
}

bool output_is_terminal() noexcept
{
    return is_console(output_handle());
}

} // namespace platform

} // namespace console
