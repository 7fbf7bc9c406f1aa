#include "console/stream_console.hpp"

#include <algorithm>
#include <optional>
#include <span>

namespace console
{

StreamConsole::StreamConsole(ByteChannel &channel, bool output_is_terminal) noexcept
    : channel_(channel), clear_sequence_(output_is_terminal ? terminal_clear : transcript_clear)
{
}

void StreamConsole::write_text(std::string_view text)
{
    if (text.size() > output_.size() - output_size_) {
        flush();
    }
    if (text.size() > output_.size()) {
        channel_.write(text);
        return;
    }
    std::copy(text.begin(), text.end(),
              output_.begin() + static_cast<std::ptrdiff_t>(output_size_));
    output_size_ += text.size();
}

void StreamConsole::flush()
{
    if (output_size_ > 0) {
        channel_.write(std::string_view(output_.data(), output_size_));
        output_size_ = 0;
    }
}

Key StreamConsole::read_key()
{
    if (input_ended_) {
        return end_of_input_key;
    }
    flush();
    for (;;) {
        while (input_begin_ < input_end_) {
            const KeyDecoder::Step step = decoder_.feed(input_[input_begin_]);
            if (step.consumed) {
                ++input_begin_;
            }
            if (step.key) {
                return *step.key;
            }
        }

        // Only the rest of a started key is waited for with a time limit.
        const std::optional<std::chrono::milliseconds> timeout =
            decoder_.pending() ? std::optional(key_completion_timeout) : std::nullopt;
        const ReadResult result = channel_.read(std::span(input_), timeout);
        switch (result.outcome) {
        case ReadOutcome::bytes:
            input_begin_ = 0;
            input_end_ = std::min(result.count, input_.size());
            break;
        case ReadOutcome::timed_out:
            if (const std::optional<Key> key = decoder_.finish()) {
                return *key;
            }
            break;
        case ReadOutcome::ended:
            input_ended_ = true;
            // A key whose last bytes never came still counts; the quit key
            // follows on the next read.
            if (const std::optional<Key> key = decoder_.finish()) {
                return *key;
            }
            return end_of_input_key;
        }
    }
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
