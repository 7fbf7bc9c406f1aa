#include "console/key_event.hpp"

#include <algorithm>
#include <array>

namespace console
{
namespace
{

constexpr std::uint16_t vk_escape = 0x1b;
constexpr Key escape_key = 27;
// Virtual-key codes of F1 to F10 (VK_F1 to VK_F10).
constexpr std::uint16_t vk_f1 = 0x70;
constexpr std::uint16_t vk_f10 = 0x79;

// Page Up, Page Down, End, Home, the four arrows, Insert, Delete, F11, F12.
constexpr std::array<std::uint16_t, 12> extended_keys = {
    0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x2d, 0x2e, 0x7a, 0x7b,
};

// Shift, Ctrl, Alt and the lock keys, in their general and left/right
// forms, and the Windows keys: held with other keys, never keys themselves.
constexpr std::array<std::uint16_t, 14> modifier_keys = {
    0x10, 0x11, 0x12, 0x14, 0x90, 0x91, 0xa0, 0xa1, 0xa2, 0xa3, 0xa4, 0xa5, 0x5b, 0x5c,
};

constexpr std::uint8_t function_key_prefix = 0x00;
constexpr std::uint8_t extended_key_prefix = 0xe0;

constexpr bool is_one_of(std::uint16_t code, const auto &codes) noexcept
{
    return std::ranges::find(codes, code) != codes.end();
}

} // namespace

EventKeys keys_of(const ConsoleKeyEvent &event, std::uint8_t encoded) noexcept
{
    if (!event.key_down || is_one_of(event.virtual_key, modifier_keys)) {
        return {};
    }
    const auto presses = std::max<std::uint16_t>(event.repeat_count, 1);
    if (event.character != 0) {
        return {static_cast<Key>(encoded), presses};
    }
    // Some consoles (Wine's) send Esc without its character.
    if (event.virtual_key == vk_escape) {
        return {escape_key, presses};
    }
    if (event.virtual_key >= vk_f1 && event.virtual_key <= vk_f10) {
        return {static_cast<Key>(function_key_prefix), presses};
    }
    if (is_one_of(event.virtual_key, extended_keys)) {
        return {static_cast<Key>(extended_key_prefix), presses};
    }
    return {};
}

} // namespace console
