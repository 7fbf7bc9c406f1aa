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
    KeySource(const KeySource &) = delete;
    KeySource &operator=(const KeySource &) = delete;
    KeySource(KeySource &&) = delete;
    KeySource &operator=(KeySource &&) = delete;

    // Waits for the next key press; nothing once no key can ever come.
    virtual std::optional<Key> next_key() = 0;

  protected:
    // Never deleted through the interface, so the destructor need not be
    // virtual and the program needs no operator delete.
    KeySource() = default;
    ~KeySource() = default;
};

} // namespace console
