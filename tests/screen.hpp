#pragma once

// A terminal emulator's screen (libvterm's), to compare what a user sees
// rather than the bytes that produced it: two programs may draw the same
// screen with different cursor moves.

#include <string>
#include <string_view>
#include <vector>

struct VTerm;

namespace screen
{

class Screen
{
  public:
    Screen(int rows, int columns);
    ~Screen();
    Screen(const Screen &) = delete;
    Screen &operator=(const Screen &) = delete;

    // Bytes from the program, as a terminal receives them.
    void feed(std::string_view bytes);
    // What the terminal answers to the program's queries (cursor position
    // reports and the like), to be sent back to it; emptied by the call.
    std::string take_answers();

    // Each row's text, without trailing blanks, and without the blank rows
    // below the last written one.
    [[nodiscard]] std::vector<std::string> rows() const;
    // The same, one row a line: for messages.
    [[nodiscard]] std::string text() const;

  private:
    VTerm *terminal_;
    int rows_;
    int columns_;
    std::string answers_;
};

// What a terminal of that size shows after receiving `output` on a fresh
// screen: the expected side of a comparison.
std::vector<std::string> rendered(std::string_view output, int rows, int columns);

} // namespace screen
