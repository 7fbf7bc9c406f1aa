#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace console
{

enum class ReadOutcome : std::uint8_t {
    bytes,     // at least one byte was read
    timed_out, // the wait ran out before any byte came
    ended,     // no byte will ever come: end of file, hang-up or a read error
};

struct ReadResult {
    ReadOutcome outcome = ReadOutcome::ended;
    std::size_t count = 0;
};

// Raw input: the keyboard of a terminal, a pipe or a file.
class ByteSource
{
  public:
    ByteSource(const ByteSource &) = delete;
    ByteSource &operator=(const ByteSource &) = delete;
    ByteSource(ByteSource &&) = delete;
    ByteSource &operator=(ByteSource &&) = delete;

    // Waits for input, at most `timeout` when one is given. Interruptions by
    // signals are retried inside; they are not an end of input.
    virtual ReadResult read(std::span<std::uint8_t> buffer,
                            std::optional<std::chrono::milliseconds> timeout) = 0;

  protected:
    // Never deleted through the interface, so the destructor need not be
    // virtual and the program needs no operator delete.
    ByteSource() = default;
    ~ByteSource() = default;
};

// Raw output: the screen, a pipe or a file.
class ByteSink
{
  public:
    ByteSink(const ByteSink &) = delete;
    ByteSink &operator=(const ByteSink &) = delete;
    ByteSink(ByteSink &&) = delete;
    ByteSink &operator=(ByteSink &&) = delete;

    // Writes all of the bytes. False when the output is gone for good (a
    // closed pipe, a terminal that hung up): nobody will see any more.
    virtual bool write(std::string_view bytes) = 0;

  protected:
    // Never deleted through the interface, so the destructor need not be
    // virtual and the program needs no operator delete.
    ByteSink() = default;
    ~ByteSink() = default;
};

} // namespace console
