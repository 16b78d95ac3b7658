// Arbitrary bytes through the encoder at each level and back: both the
// reference decoder and the real one must give the input back, and the
// stream must never be larger than all literals.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "lzss_decoder.h"
#include "lzss_encoder.h"
#include "lzss_reference.h"

namespace {

const std::vector<uint8_t>* g_stream;
size_t g_pos;
std::vector<uint8_t> g_output;

int Read(uint8_t* block) {
    size_t n = g_stream->size() - g_pos;
    if (n > 777) n = 777;  // uneven reads across the stream
    if (n) std::memcpy(block, g_stream->data() + g_pos, n);
    g_pos += n;
    return static_cast<int>(n);
}

int Write(const uint8_t* block, int count) {
    g_output.insert(g_output.end(), block, block + count);
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> original(data, data + size);
    LzssAllocateBuffers();
    for (LzssLevel level : {LzssLevel::Normal, LzssLevel::Best}) {
        std::vector<uint8_t> stream;
        LzssEncode(data, size, stream, level);
        if (stream.size() > size + (size + 7) / 8) std::abort();
        if (lzssref::Decode(stream) != original) std::abort();

        g_stream = &stream;
        g_pos = 0;
        g_output.clear();
        LzssDecode(Read, Write);
        if (g_output != original) std::abort();
    }
    return 0;
}
