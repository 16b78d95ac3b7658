// Encoder for the payload's stream format (see lzss_decoder.h). Used by the
// packaging tool only; the setup program never compresses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

// Appends the compressed stream of `data` to `out`. Decoding the result
// with LzssDecode gives `data` back exactly; the stream is never longer than
// size + ceil(size / 8) bytes (all literals). An empty input appends
// nothing. Inputs of 2 GiB or more raise std::length_error. `progress`, when
// given, hears the number of input bytes done about once per megabyte.
void LzssEncode(const uint8_t* data, size_t size, std::vector<uint8_t>& out,
                const std::function<void(size_t done)>& progress = {});
