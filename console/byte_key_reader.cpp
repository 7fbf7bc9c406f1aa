#include "console/byte_key_reader.hpp"

#include <algorithm>
#include <span>

namespace console
{

std::optional<Key> ByteKeyReader::next_key()
{
    for (;;) {
        while (begin_ < end_) {
            const KeyDecoder::Step step = decoder_.feed(input_[begin_]);
            if (step.consumed) {
                ++begin_;
            }
            if (step.key) {
                return step.key;
            }
        }

        if (ended_) {
            return std::nullopt;
        }
        // Only the rest of a started key is waited for with a time limit.
        const std::optional<std::chrono::milliseconds> timeout =
            decoder_.pending() ? std::optional(key_completion_timeout) : std::nullopt;
        const ReadResult result = source_.read(std::span(input_), timeout);
        switch (result.outcome) {
        case ReadOutcome::bytes:
            begin_ = 0;
            end_ = std::min(result.count, input_.size());
            break;
        case ReadOutcome::timed_out:
            if (const std::optional<Key> key = decoder_.finish()) {
                return key;
            }
            break;
        case ReadOutcome::ended:
            ended_ = true;
            // A key whose last bytes never came still counts.
            return decoder_.finish();
        }
    }
}

} // namespace console
