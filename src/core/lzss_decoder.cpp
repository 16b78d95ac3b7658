#include "lzss_decoder.h"

#include <cstring>
#include <new>

#include "errors.h"

// How the decoder works
//
// Decoded bytes go straight into the output block. The window is not
// updated byte by byte: every byte of the window that the current block has
// not overwritten yet still holds what it held when the block started, and
// every byte the block has written is also in the output block. A match
// whose source is `d` bytes back (1..4,096) therefore reads from the output
// block when the block already holds that byte, else from the window. The
// block's bytes are folded into the window each time the block is handed to
// the write callback.
//
// Whole groups are decoded on a fast path while the input block holds a
// complete group and the output block has room for eight longest matches (so
// no callback can fall due inside the group); everything else, the groups
// at block edges included, goes byte by byte, so the callbacks are called
// exactly when a byte-at-a-time decoder would call them.

namespace {

constexpr unsigned kWindowMask = kLzssWindowSize - 1;
// Room a fast group may need in the output block: eight longest matches
// plus the overshoot of an 8-byte-wide copy.
constexpr int kFastOutputRoom = 8 * kLzssMaxMatch + 8;
// Input a fast group may read: a flag byte and eight two-byte matches, or
// the overshoot of an 8-byte copy of literals that starts at the 16th byte.
constexpr int kFastInputBytes = 1 + 15 + 8;

// The process's one decoder context. Indexes, counts and the window's
// contents are set afresh by every LzssDecode call; only the buffers live
// across calls.
struct DecoderContext {
    bool held = false;
    uint8_t* input = nullptr;
    int inputCount = 0;
    int inputIndex = 0;
    uint8_t* output = nullptr;
    int outputCount = 0;
    uint8_t* window = nullptr;
    // Window index of the output block's first byte; the write index is
    // (blockStart + outputCount) mod 4,096.
    unsigned blockStart = 0;
    LzssReadProc read = nullptr;
    LzssWriteProc write = nullptr;
};

DecoderContext g_lzss;

uint8_t* DefaultAllocate(size_t size) { return new (std::nothrow) uint8_t[size](); }
void DefaultFree(uint8_t* block) { delete[] block; }
LzssAllocator g_allocator = {DefaultAllocate, DefaultFree};

void FreeBuffers() {
    if (g_lzss.input) g_allocator.Free(g_lzss.input);
    if (g_lzss.output) g_allocator.Free(g_lzss.output);
    if (g_lzss.window) g_allocator.Free(g_lzss.window);
    g_lzss.input = g_lzss.output = g_lzss.window = nullptr;
    g_lzss.held = false;
}

// Next input byte into `c`; false at the end of the stream's input.
inline bool TakeByte(DecoderContext& d, uint8_t& c) {
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

// Stores the output block's bytes into the window (only the last 4,096
// can matter) and moves the block's start past them.
void FoldBlockIntoWindow(DecoderContext& d) {
    int count = d.outputCount;
    const uint8_t* src = d.output;
    unsigned at = d.blockStart;
    d.blockStart = (d.blockStart + count) & kWindowMask;
    if (count > kLzssWindowSize) {
        src += count - kLzssWindowSize;
        at = (at + count - kLzssWindowSize) & kWindowMask;
        count = kLzssWindowSize;
    }
    int first = kLzssWindowSize - static_cast<int>(at);
    if (first > count) first = count;
    std::memcpy(d.window + at, src, first);
    std::memcpy(d.window, src + first, count - first);
}

inline void PutByte(DecoderContext& d, uint8_t c) {
    d.output[d.outputCount++] = c;
    if (d.outputCount == kLzssBlockSize) {
        FoldBlockIntoWindow(d);
        d.outputCount = 0;
        d.write(d.output, kLzssBlockSize);
    }
}

// Distance (1..4,096) from the write index back to window index `pos`.
inline int DistanceBack(unsigned writeIndex, unsigned pos) {
    return static_cast<int>(((writeIndex - pos - 1) & kWindowMask) + 1);
}

// One match, byte by byte, with a write call wherever the block fills.
void CopyMatchExact(DecoderContext& d, unsigned pos, int length) {
    for (int k = 0; k < length; ++k) {
        unsigned src = (pos + k) & kWindowMask;
        int back = DistanceBack(d.blockStart + d.outputCount, src);
        PutByte(d, back <= d.outputCount ? d.output[d.outputCount - back] : d.window[src]);
    }
}

inline void Copy8(uint8_t* dst, const uint8_t* src) {
    uint64_t v;
    std::memcpy(&v, src, 8);
    std::memcpy(dst, &v, 8);
}

// Decodes groups while a whole group's input is in the input block and the
// output block has room for its largest output. Returns with the context's
// indexes moved past what it decoded.
void DecodeFastGroups(DecoderContext& d) {
    const uint8_t* in = d.input + d.inputIndex;
    const uint8_t* const inLimit = d.input + d.inputCount - kFastInputBytes;
    uint8_t* const out0 = d.output;
    uint8_t* out = out0 + d.outputCount;
    uint8_t* const outLimit = out0 + kLzssBlockSize - kFastOutputRoom;
    const uint8_t* const window = d.window;
    const unsigned blockStart = d.blockStart;

    while (in <= inLimit && out <= outLimit) {
        unsigned flags = *in++;
        int remaining = 8;
        for (;;) {
            // A run of literals is one 8-byte copy (the overshoot is
            // overwritten later or lies past the block's end).
            int run = __builtin_ctz(~flags);
            if (run) {
                Copy8(out, in);
                in += run;
                out += run;
                flags >>= run;
                remaining -= run;
                if (remaining == 0) break;
            }
            unsigned pos = in[0] | ((in[1] & 0xF0u) << 4);
            int length = (in[1] & 0x0F) + kLzssMinMatch;
            in += 2;
            int written = static_cast<int>(out - out0);
            int back = DistanceBack(blockStart + written, pos);
            if (back <= written) {
                const uint8_t* src = out - back;
                if (back >= 8) {
                    // Each 8-byte step reads only bytes already in place.
                    Copy8(out, src);
                    Copy8(out + 8, src + 8);
                    Copy8(out + 16, src + 16);
                } else if (back == 1) {
                    std::memset(out, src[0], kLzssMaxMatch);
                } else {
                    for (int k = 0; k < length; ++k) out[k] = src[k];
                }
            } else {
                // The first bytes come from the window as it was when the
                // block started, the rest from this block.
                int fromWindow = back - written;
                if (fromWindow > length) fromWindow = length;
                int k = 0;
                for (; k < fromWindow; ++k) out[k] = window[(pos + k) & kWindowMask];
                for (; k < length; ++k) out[k] = out[k - back];
            }
            out += length;
            flags >>= 1;
            if (--remaining == 0) break;
        }
    }
    d.inputIndex = static_cast<int>(in - d.input);
    d.outputCount = static_cast<int>(out - out0);
}

}  // namespace

void LzssAllocateBuffers() {
    if (g_lzss.held) return;
    g_lzss.input = g_allocator.Allocate(kLzssBlockSize);
    if (g_lzss.input) g_lzss.output = g_allocator.Allocate(kLzssBlockSize);
    if (g_lzss.output) g_lzss.window = g_allocator.Allocate(kLzssWindowSize);
    if (!g_lzss.window) {
        FreeBuffers();
        throw EOutOfMemory();
    }
    g_lzss.held = true;
}

void LzssReleaseBuffers() { FreeBuffers(); }

bool LzssBuffersHeld() { return g_lzss.held; }

void LzssSetAllocator(const LzssAllocator& allocator) {
    g_allocator = allocator.Allocate && allocator.Free ? allocator : LzssAllocator{DefaultAllocate, DefaultFree};
}

void LzssDecode(LzssReadProc readProc, LzssWriteProc writeProc) {
    DecoderContext& d = g_lzss;
    if (!d.held) return;
    d.inputIndex = d.inputCount = kLzssBlockSize;
    d.outputCount = 0;
    std::memset(d.window, 0, kLzssWindowSize);
    d.blockStart = kLzssStartIndex;
    d.read = readProc;
    d.write = writeProc;

    for (;;) {
        // At a group boundary.
        if (d.inputCount - d.inputIndex >= kFastInputBytes &&
            kLzssBlockSize - d.outputCount >= kFastOutputRoom) {
            DecodeFastGroups(d);
        }
        uint8_t flags;
        if (!TakeByte(d, flags)) break;
        int bit = 0;
        for (; bit < 8; ++bit, flags >>= 1) {
            uint8_t c;
            if (!TakeByte(d, c)) break;
            if (flags & 1) {
                PutByte(d, c);
            } else {
                uint8_t e;
                if (!TakeByte(d, e)) break;
                CopyMatchExact(d, c | ((e & 0xF0u) << 4), (e & 0x0F) + kLzssMinMatch);
            }
        }
        if (bit < 8) break;
    }
    d.write(d.output, d.outputCount);
}
