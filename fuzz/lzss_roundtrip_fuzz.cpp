// Arbitrary bytes through the encoder at each level and back: both the
// reference decoder and the real one must give the input back, and the
// stream must never be larger than all literals. The normal level searches
// a block the way the block before it suggests, so inputs also go through
// it after a block of short matches (program code), and after that and a
// block of long ones.
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

void CheckAfter(const std::vector<uint8_t>& prefix, const uint8_t* data, size_t size) {
    std::vector<uint8_t> whole = prefix;
    whole.insert(whole.end(), data, data + size);
    std::vector<uint8_t> stream;
    LzssEncode(whole.data(), whole.size(), stream);
    if (lzssref::Decode(stream) != whole) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<uint8_t> shortThenLong = [] {
        std::vector<uint8_t> v = lzssref::X86LikeImage(1 << 16, 1);
        const std::vector<uint8_t> chunk(v.begin(), v.begin() + 1000);
        while (v.size() < (2 << 16)) v.insert(v.end(), chunk.begin(), chunk.end());
        v.resize(2 << 16);
        return v;
    }();
    static const std::vector<uint8_t> shortMatches(shortThenLong.begin(), shortThenLong.begin() + (1 << 16));
    // Every eighth input by its size (the prefixes make a run about ten
    // times slower), so that a failure comes back with the same input.
    if (size % 8 == 0) {
        CheckAfter(shortMatches, data, size);
        CheckAfter(shortThenLong, data, size);
    }

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
