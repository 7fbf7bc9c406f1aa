#include "console/key_decoder.hpp"

namespace console
{
namespace
{

constexpr std::uint8_t escape_byte = 0x1b;

constexpr bool in_range(std::uint8_t byte, std::uint8_t low, std::uint8_t high) noexcept
{
    return byte >= low && byte <= high;
}

// How many continuation bytes a UTF-8 lead byte announces; 0 for a byte that
// is a key on its own (ASCII, or a byte that cannot start a valid character).
constexpr std::uint8_t utf8_continuations(std::uint8_t lead) noexcept
{
    if (in_range(lead, 0xc2, 0xdf)) {
        return 1;
    }
    if (in_range(lead, 0xe0, 0xef)) {
        return 2;
    }
    if (in_range(lead, 0xf0, 0xf4)) {
        return 3;
    }
    return 0;
}

constexpr Key as_key(std::uint8_t byte) noexcept
{
    return static_cast<Key>(byte);
}

} // namespace

KeyDecoder::Step KeyDecoder::complete(bool consumed) noexcept
{
    state_ = State::ground;
    return Step{as_key(first_), consumed};
}

// After Esc: a sequence, or Alt held with another key (Esc then that key).
KeyDecoder::Step KeyDecoder::after_escape(std::uint8_t byte) noexcept
{
    if (byte == '[') {
        state_ = State::csi_start;
        return Step{};
    }
    if (byte == 'O') {
        state_ = State::ss3;
        return Step{};
    }
    continuations_ = utf8_continuations(byte);
    if (continuations_ > 0) {
        state_ = State::utf8; // Alt with an accented letter
        return Step{};
    }
    // Alt with any other key, Backspace, Enter and Tab included, is one
    // press. A byte that starts no character is a key of its own.
    return complete(byte < 0x80);
}

KeyDecoder::Step KeyDecoder::feed(std::uint8_t byte) noexcept
{
    switch (state_) {
    case State::ground:
        first_ = byte;
        if (byte == escape_byte) {
            state_ = State::escape;
            return Step{};
        }
        continuations_ = utf8_continuations(byte);
        if (continuations_ > 0) {
            state_ = State::utf8;
            return Step{};
        }
        return Step{as_key(byte), true};

    case State::escape:
        if (byte == escape_byte) {
            // Alt with a key that itself starts with Esc (rxvt's Alt+arrow).
            state_ = State::alt_escape;
            return Step{};
        }
        return after_escape(byte);

    case State::alt_escape:
        if (byte == escape_byte) {
            // A third Esc: the two before were Alt with Esc, this one starts
            // the next key. (Splitting pairs the same way whether or not the
            // wait runs out between them keeps the wait from joining keys.)
            return complete(false);
        }
        return after_escape(byte);

    case State::csi_start:
        // The Linux console's F1 to F5: Esc [ [ and one letter.
        if (byte == '[') {
            state_ = State::linux_function_key;
            return Step{};
        }
        state_ = State::csi;
        [[fallthrough]];

    case State::csi:
        // rxvt ends its shifted keys with '$', where a sequence would have an
        // intermediate byte: as input, it ends the key.
        if (byte == '$') {
            return complete(true);
        }
        // Parameter and intermediate bytes go on; a final byte ends the key.
        if (in_range(byte, 0x20, 0x3f)) {
            return Step{};
        }
        // A byte that has no place in a sequence cuts it short and is a key
        // of its own, so garbage cannot swallow the keys that follow.
        return complete(in_range(byte, 0x40, 0x7e));

    case State::ss3:
        // konsole puts a modifier between Esc O and the final letter.
        if (in_range(byte, 0x30, 0x3f)) {
            return Step{};
        }
        return complete(in_range(byte, 0x40, 0x7e));

    case State::linux_function_key:
        return complete(in_range(byte, 0x40, 0x7e));

    case State::utf8:
        if (in_range(byte, 0x80, 0xbf)) {
            if (--continuations_ == 0) {
                return complete(true);
            }
            return Step{};
        }
        // A truncated character still counts as one key.
        return complete(false);
    }
    return Step{as_key(byte), true};
}

std::optional<Key> KeyDecoder::finish() noexcept
{
    if (state_ == State::ground) {
        return std::nullopt;
    }
    state_ = State::ground;
    return as_key(first_);
}

} // namespace console
