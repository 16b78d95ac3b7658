// Decoder of the payload's compressed streams: LZSS with a 4,096-byte
// window that starts all zero, write index 4,078, absolute 12-bit match
// positions and match lengths 3..18. Input and output go through 32,000-byte
// blocks and two callbacks; there is one decoder context per process.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kLzssBlockSize = 32000;
constexpr int kLzssWindowSize = 4096;
constexpr int kLzssStartIndex = 4078;
constexpr int kLzssMinMatch = 3;
constexpr int kLzssMaxMatch = 18;

// Fills the block (capacity 32,000 bytes) from its start; returns the number
// of bytes placed, 0 when the stream's input is exhausted.
using LzssReadProc = int (*)(uint8_t* block);
// Consumes `count` (0..32,000) bytes from the start of the block. The result
// is ignored.
using LzssWriteProc = int (*)(const uint8_t* block, int count);

// Allocates the input block, output block and window (in that order) unless
// already held. On failure frees what it got and raises EOutOfMemory.
void LzssAllocateBuffers();
// Frees whatever is held; harmless when nothing is.
void LzssReleaseBuffers();
// True between LzssAllocateBuffers and LzssReleaseBuffers.
bool LzssBuffersHeld();

// Where the buffers come from and go: zeroed nothrow array new and delete
// by default. Allocate returns nullptr for a failed allocation. Tests put
// in their own to make one fail; one without both functions restores the
// default. Only while no buffers are held.
struct LzssAllocator {
    uint8_t* (*Allocate)(size_t size);
    void (*Free)(uint8_t* block);
};
void LzssSetAllocator(const LzssAllocator& allocator);
// Decodes one whole stream. Does nothing when the buffers are not held.
// Output arrives in 32,000-byte blocks and one final call with the
// remainder (0 included). An exception raised by a callback leaves at once,
// without the final call.
void LzssDecode(LzssReadProc readProc, LzssWriteProc writeProc);
