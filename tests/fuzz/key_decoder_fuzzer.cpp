// The key decoder with arbitrary bytes, cut into arbitrary reads, with the
// wait for the rest of a key running out at arbitrary points.

#include "console/key_decoder.hpp"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace
{

[[noreturn]] void broken(const char *invariant)
{
    std::fprintf(stderr, "invariant broken: %s\n", invariant);
    std::abort();
}

struct Chunk {
    std::size_t end;   // the read brings bytes up to here
    bool wait_ran_out; // and then no more bytes came in time
};

// Decodes, checking that every byte is taken exactly once and that every
// key is the code of the first byte of its own group of bytes.
std::vector<console::Key> decode(const std::vector<std::uint8_t> &bytes,
                                 const std::vector<Chunk> &chunks)
{
    console::KeyDecoder decoder;
    std::vector<console::Key> keys;
    std::size_t at = 0;
    std::size_t group_start = 0;
    auto emitted = [&](console::Key key, std::size_t next_group) {
        if (group_start >= bytes.size() || key != static_cast<console::Key>(bytes[group_start])) {
            broken("a key that is not the first byte of its group");
        }
        keys.push_back(key);
        group_start = next_group;
    };
    for (const Chunk &chunk : chunks) {
        bool refused_last = false;
        while (at < chunk.end) {
            const console::KeyDecoder::Step step = decoder.feed(bytes[at]);
            if (!step.consumed) {
                if (refused_last || !step.key) {
                    broken("a byte refused twice, or refused without ending a key");
                }
            }
            refused_last = !step.consumed;
            const std::size_t next = step.consumed ? at + 1 : at;
            if (step.key) {
                emitted(*step.key, next);
            }
            at = next;
        }
        if (chunk.wait_ran_out) {
            if (const auto key = decoder.finish()) {
                emitted(*key, at);
            }
        }
    }
    if (const auto key = decoder.finish()) {
        emitted(*key, at);
    }
    if (decoder.pending() || group_start != bytes.size()) {
        broken("bytes left over at the end");
    }
    return keys;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    FuzzedDataProvider provider(data, size);
    const std::size_t cuts = provider.ConsumeIntegralInRange<std::size_t>(0, 16);
    std::vector<Chunk> chunks;
    std::size_t planned = 0;
    for (std::size_t k = 0; k < cuts; ++k) {
        planned += provider.ConsumeIntegralInRange<std::size_t>(0, 8);
        chunks.push_back({planned, provider.ConsumeBool()});
    }
    const std::vector<std::uint8_t> bytes = provider.ConsumeRemainingBytes<std::uint8_t>();
    for (Chunk &chunk : chunks) {
        chunk.end = std::min(chunk.end, bytes.size());
    }
    chunks.push_back({bytes.size(), false});
    std::vector<Chunk> same_cuts_no_waits = chunks;
    for (Chunk &chunk : same_cuts_no_waits) {
        chunk.wait_ran_out = false;
    }

    const std::vector<console::Key> whole = decode(bytes, {{bytes.size(), false}});
    if (whole.size() > bytes.size()) {
        broken("more keys than bytes");
    }
    // Reads that split a key without the wait running out change nothing.
    if (decode(bytes, same_cuts_no_waits) != whole) {
        broken("splitting the input across reads changed the keys");
    }
    const std::vector<console::Key> with_waits = decode(bytes, chunks);
    if (with_waits.size() < whole.size() || with_waits.size() > bytes.size()) {
        broken("a wait that ran out joined keys, or made more keys than bytes");
    }
    return 0;
}
