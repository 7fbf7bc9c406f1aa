#include "console/stream_console.hpp"

#include <algorithm>
#include <optional>

namespace console
{

StreamConsole::StreamConsole(KeySource &keys, ByteSink &screen,
                             std::string_view clear_sequence) noexcept
    : keys_(keys), screen_(screen), clear_sequence_(clear_sequence)
{
}

void StreamConsole::write_text(std::string_view text)
{
    if (text.size() > output_.size() - output_size_) {
        flush();
    }
    if (text.size() > output_.size()) {
        send(text);
        return;
    }
    std::copy(text.begin(), text.end(),
              output_.begin() + static_cast<std::ptrdiff_t>(output_size_));
    output_size_ += text.size();
}

void StreamConsole::send(std::string_view bytes)
{
    // Nobody can see the machine any more: the session ends as when the
    // keys run out, instead of running on unseen.
    if (!screen_.write(bytes)) {
        ended_ = true;
    }
}

void StreamConsole::flush()
{
    if (output_size_ > 0) {
        send(std::string_view(output_.data(), output_size_));
        output_size_ = 0;
    }
}

Key StreamConsole::read_key()
{
    if (!ended_) {
        flush();
        if (!ended_) {
            if (const std::optional<Key> key = keys_.next_key()) {
                return *key;
            }
            ended_ = true;
        }
    }
    return end_of_input_key;
}

void StreamConsole::pause_screen()
{
    write_text(pause_prompt);
    static_cast<void>(read_key());
    write_text("\n");
}

void StreamConsole::clear_screen()
{
    write_text(clear_sequence_);
}

} // namespace console
