#pragma once

#include "console/console.hpp"

#include <cstdint>
#include <optional>

namespace console
{

// Groups raw input bytes into key presses. An arrow or function key arrives
// as an escape sequence and an accented letter as several UTF-8 bytes; each
// must count as one key, or one press would act as several choices or coins.
// Pure: no I/O and no clock. The reader decides when the wait for the rest of
// a key has run out and then calls finish().
class KeyDecoder
{
  public:
    struct Step {
        std::optional<Key> key; // a key completed by this byte
        bool consumed = true;   // false: the byte starts the next key, feed it again
    };

    Step feed(std::uint8_t byte) noexcept;

    // No more bytes came in time (or input ended): what was started is a key.
    std::optional<Key> finish() noexcept;

    // True while a key has started and may still take more bytes.
    [[nodiscard]] bool pending() const noexcept { return state_ != State::ground; }

  private:
    enum class State : std::uint8_t {
        ground,
        escape,             // Esc
        alt_escape,         // Esc Esc
        csi_start,          // Esc [
        csi,                // Esc [ and parameters
        linux_function_key, // Esc [ [
        ss3,                // Esc O
        utf8,
    };

    Step complete(bool consumed) noexcept;
    Step after_escape(std::uint8_t byte) noexcept;

    State state_ = State::ground;
    std::uint8_t first_ = 0;         // the byte that started the pending key
    std::uint8_t continuations_ = 0; // UTF-8 bytes still expected
};

} // namespace console
