// Arbitrary bytes as the end of a setup file: the checked trailer reader
// accepts no file whose trailer checksum does not match, and what it
// accepts re-encodes to the bytes it was read from.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "crc32.h"
#include "errors.h"
#include "layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryByteSource source(data, size);
    SetupTrailer t;
    try {
        t = ReadTrailer(source, true);
    } catch (const ESetupError&) {
        return 0;
    }
    if (size < kTrailerDistance) std::abort();
    const uint8_t* at = data + size - kTrailerDistance;
    if (Crc32Of(at, kTrailerSize) != LoadLE32(at + kTrailerSize)) std::abort();
    uint8_t again[kTrailerSize];
    EncodeTrailer(t, again);
    if (std::memcmp(again, at, kTrailerSize) != 0) std::abort();
    try {
        CheckSignature(t);
    } catch (const ESetupError&) {}
    return 0;
}
