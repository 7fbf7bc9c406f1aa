#pragma once

#include <string_view>

namespace console
{

// One key press, as the character code of its first byte. Keys above 127
// (a UTF-8 lead byte) are negative, so they never equal a plain letter.
using Key = signed char;

// What read_key answers once no further key can be had. It is the vending
// machine's quit key, so a scripted session that runs out of keys ends
// through the normal farewell instead of waiting or looping for ever.
inline constexpr Key end_of_input_key = 'q';

// The only four things the vending machine asks of the screen and keyboard.
// Keeping it this small lets a scripted console stand in for the terminal.
class Console
{
  public:
    Console(const Console &) = delete;
    Console &operator=(const Console &) = delete;
    Console(Console &&) = delete;
    Console &operator=(Console &&) = delete;

    // Shows text at the cursor; it is on screen before the next wait for a key.
    virtual void write_text(std::string_view text) = 0;
    // Waits for one key press, without echo and without Enter.
    virtual Key read_key() = 0;
    // Shows the French pause prompt and consumes one key.
    virtual void pause_screen() = 0;
    // Empties the screen and puts the cursor at its top left.
    virtual void clear_screen() = 0;

  protected:
    // Never deleted through the interface, so the destructor need not be
    // virtual and the program needs no operator delete.
    Console() = default;
    ~Console() = default;
};

} // namespace console
