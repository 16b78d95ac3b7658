// Arbitrary bytes as a compressed stream: the decoder must give what the
// reference decoder gives, in full 32,000-byte blocks and one final shorter
// call, however the read callback splits the input. The first input byte
// chooses how the read callback splits it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "lzss_decoder.h"
#include "lzss_reference.h"

namespace {

struct Io {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
    uint32_t rng = 0;  // 0: full blocks
    std::vector<uint8_t> output;
    std::vector<int> writes;
} g_io;

int Read(uint8_t* block) {
    size_t n = g_io.size - g_io.pos;
    if (g_io.rng) {
        g_io.rng = g_io.rng * 1103515245u + 12345u;
        // Mostly tiny reads, now and then a large one.
        size_t want = (g_io.rng >> 16) % 8 == 0 ? (g_io.rng >> 8) % kLzssBlockSize + 1 : (g_io.rng >> 16) % 19 + 1;
        if (n > want) n = want;
    }
    if (n > static_cast<size_t>(kLzssBlockSize)) n = kLzssBlockSize;
    if (n) std::memcpy(block, g_io.data + g_io.pos, n);
    g_io.pos += n;
    return static_cast<int>(n);
}

int Write(const uint8_t* block, int count) {
    g_io.writes.push_back(count);
    g_io.output.insert(g_io.output.end(), block, block + count);
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    LzssAllocateBuffers();
    g_io = Io();
    g_io.rng = data[0];
    g_io.data = data + 1;
    g_io.size = size - 1;
    LzssDecode(Read, Write);

    if (g_io.output != lzssref::Decode(data + 1, size - 1)) std::abort();
    // Every write but the last is a full block; the last is shorter.
    if (g_io.writes.empty() || g_io.writes.back() >= kLzssBlockSize) std::abort();
    for (size_t i = 0; i + 1 < g_io.writes.size(); ++i)
        if (g_io.writes[i] != kLzssBlockSize) std::abort();
    return 0;
}
