#pragma once

#include "console/console.hpp"

#include <cstddef>
#include <string>
#include <string_view>

// Plays a fixed script of keys and records what the machine shows, with
// "<pause>" and "<clear>" standing for the two screen operations. When the
// script runs out it answers the quit key, as the real console does at the
// end of input, and counts those reads so a test can tell.
class ScriptedConsole final : public console::Console
{
  public:
    explicit ScriptedConsole(std::string_view keys) : keys_(keys) {}

    void write_text(std::string_view text) override { transcript_ += text; }

    console::Key read_key() override
    {
        if (next_ == keys_.size()) {
            ++reads_past_end_;
            return console::end_of_input_key;
        }
        return static_cast<console::Key>(keys_[next_++]);
    }

    void pause_screen() override
    {
        transcript_ += "<pause>";
        static_cast<void>(read_key());
    }

    void clear_screen() override { transcript_ += "<clear>"; }

    [[nodiscard]] const std::string &transcript() const { return transcript_; }
    [[nodiscard]] std::size_t keys_left() const { return keys_.size() - next_; }
    [[nodiscard]] int reads_past_end() const { return reads_past_end_; }

  private:
    std::string keys_;
    std::size_t next_ = 0;
    int reads_past_end_ = 0;
    std::string transcript_;
};
