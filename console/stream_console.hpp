#pragma once

#include "console/byte_streams.hpp"
#include "console/console.hpp"
#include "console/key_source.hpp"

#include <array>
#include <cstddef>
#include <string_view>

namespace console
{

// The pause prompt of the French command interpreter that the machine's
// users know from its home platform.
inline constexpr std::string_view pause_prompt = "Appuyez sur une touche pour continuer...";

// Home, erase the screen, erase the scroll-back: what `clear` does.
inline constexpr std::string_view terminal_clear = "\x1b[H\x1b[2J\x1b[3J";
// A saved transcript gets page breaks instead of escape codes.
inline constexpr std::string_view transcript_clear = "\f";

// The console operations over a key source and a byte sink. Output is
// buffered and goes out in one write just before each wait for a key, so a
// screen is never seen half drawn. Once input has ended, or output is gone
// for good, every key read is the quit key and every pause returns at once.
class StreamConsole final : public Console
{
  public:
    StreamConsole(KeySource &keys, ByteSink &screen, std::string_view clear_sequence) noexcept;

    void write_text(std::string_view text) override;
    Key read_key() override;
    void pause_screen() override;
    void clear_screen() override;

    // Sends whatever is buffered.
    void flush();

  private:
    void send(std::string_view bytes);

    KeySource &keys_;
    ByteSink &screen_;
    std::string_view clear_sequence_;
    bool ended_ = false; // input has ended, or output is gone for good

    std::array<char, 4096> output_{};
    std::size_t output_size_ = 0;
};

} // namespace console
