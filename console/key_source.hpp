#pragma once

#include "console/console.hpp"

#include <optional>

namespace console
{

// Where key presses come from: decoded input bytes, or a platform's own
// keyboard call.
class KeySource
{
  public:
    KeySource() = default;
    KeySource(const KeySource &) = delete;
    KeySource &operator=(const KeySource &) = delete;
    KeySource(KeySource &&) = delete;
    KeySource &operator=(KeySource &&) = delete;
    virtual ~KeySource() = default;

    // Waits for the next key press; nothing once no key can ever come.
    virtual std::optional<Key> next_key() = 0;
};

} // namespace console
