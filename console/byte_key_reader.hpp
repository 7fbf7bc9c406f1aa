#pragma once

#include "console/byte_streams.hpp"
#include "console/key_decoder.hpp"
#include "console/key_source.hpp"

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace console
{

// A sequence whose bytes arrive within this time is one key; a lone Esc is
// recognised once it has passed.
inline constexpr std::chrono::milliseconds key_completion_timeout{100};

// Key presses from a byte stream: reads in blocks, decodes, and waits only
// briefly for the rest of a key that has started.
class ByteKeyReader final : public KeySource
{
  public:
    constexpr explicit ByteKeyReader(ByteSource &source) noexcept : source_(source) {}

    std::optional<Key> next_key() override;

  private:
    ByteSource &source_;
    KeyDecoder decoder_;
    bool ended_ = false; // the source said no byte will ever come
    std::array<std::uint8_t, 4096> input_{};
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

} // namespace console
