// Encoder for the payload's stream format (see lzss_decoder.h). Used by the
// packaging tool only; the setup program never compresses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// How hard the encoder looks for matches. Both give streams that every
// decoder of the format reads.
enum class LzssLevel {
    // Fast: hash chains searched where a lazy parse would look, then the
    // parse of least total size over the matches found; where matches run
    // short (program code, prose), the lazy parse alone.
    Normal,
    // Smallest output: the longest match at every position over the whole
    // window, the zeros of the fresh window included, and the parse of
    // least total size over all of them. Three to five times slower.
    Best,
};

// Appends the compressed stream of `data` to `out`. Decoding the result
// with LzssDecode gives `data` back exactly; the stream is never longer than
// size + ceil(size / 8) bytes (all literals). An empty input appends
// nothing. Inputs of 2 GiB or more raise std::length_error. The output
// depends on the data and the level only, so it is the same on every run.
// `progress`, when given, hears the number of input bytes done about once
// per megabyte.
void LzssEncode(const uint8_t* data, size_t size, std::vector<uint8_t>& out, LzssLevel level = LzssLevel::Normal,
                const std::function<void(size_t done)>& progress = {});
