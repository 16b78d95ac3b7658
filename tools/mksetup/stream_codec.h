// One payload stream at a time: compress a file's bytes, or decode a stream
// through the setup program's own decoder (lzss_decoder.h), so what the tool
// checks is exactly what the installer will produce.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

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
    uint32_t Crc = 0;          // finished checksum of the decoded bytes
    uint64_t Size = 0;         // number of decoded bytes
    uint64_t Compressed = 0;   // compressed bytes consumed
};

// Decodes one stream of exactly `compressedSize` bytes taken from `reader`
// (fewer when the reader runs dry: the stream then ends early, as in the
// installer). Needs an LzssBufferHold alive. An exception from a callback
// ends the decoding and propagates.
DecodedStream DecodeStream(uint64_t compressedSize, const CompressedReader& reader, const DecodedWriter& writer);

// The compressed stream of `data` (an empty input gives an empty stream);
// `progress` hears the input bytes done now and then.
std::vector<uint8_t> CompressStream(const uint8_t* data, size_t size,
                                    const std::function<void(uint64_t done)>& progress = {});
