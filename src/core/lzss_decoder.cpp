#include "lzss_decoder.h"

#include <cstring>
#include <new>

#include "errors.h"

namespace {

// The process's one decoder context. Indexes and counts are set afresh by
// every LzssDecode call; only the buffers live across calls.
struct DecoderContext {
    bool held = false;
    uint8_t* input = nullptr;
    int inputCount = 0;
    int inputIndex = 0;
    uint8_t* output = nullptr;
    int outputCount = 0;
    uint8_t* window = nullptr;
    unsigned writeIndex = 0;
    LzssReadProc read = nullptr;
    LzssWriteProc write = nullptr;
};

DecoderContext g_lzss;

void FreeBuffers() {
    delete[] g_lzss.input;
    delete[] g_lzss.output;
    delete[] g_lzss.window;
    g_lzss.input = g_lzss.output = g_lzss.window = nullptr;
    g_lzss.held = false;
}

// Next input byte into `c`; false at the end of the stream's input.
bool TakeByte(uint8_t& c) {
    DecoderContext& d = g_lzss;
    if (d.inputIndex >= d.inputCount) {
        int got = d.read(d.input);
        if (got <= 0) {
            d.inputCount = 0;
            return false;
        }
        // A callback that claims more than the block holds must not make
        // the decoder read past it.
        d.inputCount = got < kLzssBlockSize ? got : kLzssBlockSize;
        d.inputIndex = 0;
    }
    c = d.input[d.inputIndex++];
    return true;
}

void PutByte(uint8_t c) {
    DecoderContext& d = g_lzss;
    d.window[d.writeIndex] = c;
    d.writeIndex = (d.writeIndex + 1) & (kLzssWindowSize - 1);
    d.output[d.outputCount++] = c;
    if (d.outputCount == kLzssBlockSize) {
        d.write(d.output, kLzssBlockSize);
        d.outputCount = 0;
    }
}

}  // namespace

void LzssAllocateBuffers() {
    if (g_lzss.held) return;
    g_lzss.input = new (std::nothrow) uint8_t[kLzssBlockSize];
    if (g_lzss.input) g_lzss.output = new (std::nothrow) uint8_t[kLzssBlockSize];
    if (g_lzss.output) g_lzss.window = new (std::nothrow) uint8_t[kLzssWindowSize];
    if (!g_lzss.window) {
        FreeBuffers();
        throw EOutOfMemory();
    }
    g_lzss.held = true;
}

void LzssReleaseBuffers() { FreeBuffers(); }

bool LzssBuffersHeld() { return g_lzss.held; }

void LzssDecode(LzssReadProc readProc, LzssWriteProc writeProc) {
    DecoderContext& d = g_lzss;
    if (!d.held) return;
    d.inputIndex = d.inputCount = kLzssBlockSize;
    d.outputCount = 0;
    std::memset(d.window, 0, kLzssWindowSize);
    d.writeIndex = kLzssStartIndex;
    d.read = readProc;
    d.write = writeProc;

    unsigned flags = 0;  // flag byte in the low bits, 0x100 marks spent bits
    for (;;) {
        flags >>= 1;
        if (!(flags & 0x100)) {
            uint8_t f;
            if (!TakeByte(f)) break;
            flags = 0xFF00u | f;
        }
        uint8_t c;
        if (!TakeByte(c)) break;
        if (flags & 1) {
            PutByte(c);
        } else {
            uint8_t e;
            if (!TakeByte(e)) break;
            unsigned position = c | ((e & 0xF0u) << 4);
            int length = (e & 0x0F) + kLzssMinMatch;
            for (int k = 0; k < length; ++k)
                PutByte(d.window[(position + k) & (kLzssWindowSize - 1)]);
        }
    }
    d.write(d.output, d.outputCount);
}
