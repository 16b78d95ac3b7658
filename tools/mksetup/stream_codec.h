// One payload stream at a time: compress a file's bytes, or decode a stream
// through the setup program's own decoder (lzss_decoder.h), so what the tool
// checks is exactly what the installer will produce.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "lzss_encoder.h"

// Holds the decoder's buffers for its lifetime (allocate once, release
// however the holder is left).
class LzssBufferHold {
public:
    LzssBufferHold();
    ~LzssBufferHold();
    LzssBufferHold(const LzssBufferHold&) = delete;
    LzssBufferHold& operator=(const LzssBufferHold&) = delete;
};

// Fills `block` with up to `capacity` compressed bytes; 0 at the end.
using CompressedReader = std::function<size_t(uint8_t* block, size_t capacity)>;
// Receives decoded bytes in order.
using DecodedWriter = std::function<void(const uint8_t* data, size_t size)>;

struct DecodedStream {
    uint32_t Crc = 0;         // finished checksum of the decoded bytes
    uint64_t Size = 0;        // number of decoded bytes
    uint64_t Compressed = 0;  // compressed bytes consumed
};

// Decodes one stream of exactly `compressedSize` bytes taken from `reader`
// (fewer when the reader runs dry: the stream then ends early, as in the
// installer). Needs an LzssBufferHold alive. An exception from a callback
// ends the decoding and propagates.
DecodedStream DecodeStream(uint64_t compressedSize, const CompressedReader& reader, const DecodedWriter& writer);

// The compressed stream of `data` (an empty input gives an empty stream);
// `progress` hears the input bytes done now and then.
std::vector<uint8_t> CompressStream(const uint8_t* data, size_t size, LzssLevel level = LzssLevel::Normal,
                                    const std::function<void(uint64_t done)>& progress = {});

// One input's bytes, their checksum and their compressed stream.
struct CompressedInput {
    std::vector<uint8_t> Data;
    uint32_t Crc = 0;  // finished CRC-32 of Data
    std::vector<uint8_t> Stream;
};

// Compresses inputs 0 .. count-1 on up to `threads` threads (0: one per
// processor): `load(i)` gives input i's bytes and runs on a worker thread;
// `take(i, input)` receives them on the calling thread in order 0, 1, ...,
// so the result does not depend on the number of threads. A few inputs per
// thread, and of those finished but not yet taken no more than about 256 MB,
// are held at a time. An exception from `load` or the encoder is
// raised on the calling thread in input i's turn, as a one-thread run
// raises it; one from `take` ends the run. Either way the workers stop
// after their current input.
// `waiting(i, done)`, when given, runs on the calling thread now and then
// while input i is being compressed, with its bytes done so far.
void CompressInOrder(size_t count, LzssLevel level, unsigned threads,
                     const std::function<std::vector<uint8_t>(size_t)>& load,
                     const std::function<void(size_t, CompressedInput&)>& take,
                     const std::function<void(size_t, uint64_t)>& waiting = {});
