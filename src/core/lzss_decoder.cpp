#include "lzss_decoder.h"

#include <cstring>
#include <new>

#include "errors.h"

// How the decoder works
//
// The output block is allocated with the window in front of it: 4,096
// bytes of history (zeros at the start of a stream), then the block's
// 32,000 bytes, then a little slack. The byte `d` back from the write
// position (1..4,096) is therefore always at (write position - d), so a
// match is a plain forward copy within one buffer, whether its source lies
// in this block or in the history. When the block is full it goes to the
// write callback, its last 4,096 bytes become the history of the next
// block, and the bytes of a match that ran past the block's end move to
// the next block's start. The third buffer the interface allocates (the
// window) is kept for that interface only.
//
// Whole groups are decoded on a fast path while the input block holds a
// complete group and the output block has room for eight longest matches;
// the fast path calls no callback. Everything else, the groups at block
// edges included, goes token by token, and the write callback is called
// as soon as a token fills the block, before any further read, so the
// callbacks see exactly the calls of a byte-at-a-time decoder.

namespace {

constexpr unsigned kWindowMask = kLzssWindowSize - 1;
constexpr int kHistory = kLzssWindowSize;
// Room a fast group may need in the output block: eight longest matches.
constexpr int kFastOutputRoom = 8 * kLzssMaxMatch;
// After the block: the rest of a match that fills it, or the overshoot of
// the 8-byte copies (a match copies 24 bytes, a literal run 8).
constexpr int kOutputSlack = 32;
// After the input block: the overshoot of an 8-byte copy of literals.
constexpr int kInputSlack = 16;
// Longest group: a flag byte and eight two-byte matches.
constexpr int kGroupMaxBytes = 1 + 8 * 2;

// The process's one decoder context. Indexes, counts and the history are
// set afresh by every LzssDecode call; only the buffers live across calls.
struct DecoderContext {
    bool held = false;
    uint8_t* input = nullptr;
    int inputCount = 0;
    int inputIndex = 0;
    uint8_t* output = nullptr;  // history, then the block
    uint8_t* window = nullptr;
    // Window index of the block's first byte.
    unsigned blockStart = 0;
    LzssReadProc read = nullptr;
    LzssWriteProc write = nullptr;
};

DecoderContext g_lzss;

inline uint8_t* Block(DecoderContext& d) { return d.output + kHistory; }

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

// Hands a full block to the write callback and starts the next one with
// its history; returns the new write position.
uint8_t* FlushBlock(DecoderContext& d, uint8_t* out) {
    uint8_t* block = Block(d);
    d.write(block, kLzssBlockSize);
    const int over = static_cast<int>(out - block) - kLzssBlockSize;
    std::memcpy(d.output, block + kLzssBlockSize - kHistory, kHistory);
    std::memcpy(block, block + kLzssBlockSize, static_cast<size_t>(over));
    d.blockStart = (d.blockStart + kLzssBlockSize) & kWindowMask;
    return block + over;
}

// Where a match's source starts: `position` is its window index, `bias`
// the window index of address 0 (the block's window index less its address,
// so that the write index is bias + out).
inline const uint8_t* Source(uintptr_t bias, uint8_t* out, unsigned position) {
    unsigned writeIndex = static_cast<unsigned>(bias + reinterpret_cast<uintptr_t>(out));
    return out - (((writeIndex - position - 1) & kWindowMask) + 1);
}

inline uintptr_t Bias(const DecoderContext& d, const uint8_t* block) {
    return d.blockStart - reinterpret_cast<uintptr_t>(block);
}

inline void Copy8(uint8_t* dst, const uint8_t* src) {
    uint64_t v;
    std::memcpy(&v, src, 8);
    std::memcpy(dst, &v, 8);
}

// A match whose source is 1..7 bytes back repeats those bytes. Its first 8
// bytes are built in a register, and since every whole number of periods
// repeats them, they are stored again every `step` bytes (the largest
// multiple of the period up to 8). Nothing is read back from the output.
inline void CopyShortPeriod(uint8_t* out, const uint8_t* src, int length) {
    static const uint8_t kPhase[8][8] = {{0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}, {0, 1, 0, 1, 0, 1, 0, 1},
                                         {0, 1, 2, 0, 1, 2, 0, 1}, {0, 1, 2, 3, 0, 1, 2, 3}, {0, 1, 2, 3, 4, 0, 1, 2},
                                         {0, 1, 2, 3, 4, 5, 0, 1}, {0, 1, 2, 3, 4, 5, 6, 0}};
    static const uint8_t kStep[8] = {8, 8, 8, 6, 8, 5, 6, 7};
    const int back = static_cast<int>(out - src);
    uint64_t pattern;
    if (back == 1) {
        pattern = src[0] * 0x0101010101010101ull;
    } else if (back == 4) {
        uint32_t word;
        std::memcpy(&word, src, 4);
        pattern = word * 0x0000000100000001ull;
    } else {
        uint8_t bytes[8];
        for (int k = 0; k < 8; ++k) bytes[k] = src[kPhase[back][k]];
        std::memcpy(&pattern, bytes, 8);
    }
    const int step = kStep[back];
    for (int j = 0; j < length; j += step) std::memcpy(out + j, &pattern, 8);
}

// Decodes groups while a whole group's input is in the input block and the
// output block has room for its largest output. Returns the new write
// position, with the input index moved past what it decoded.
uint8_t* DecodeFastGroups(DecoderContext& d, uint8_t* out) {
    const uint8_t* in = d.input + d.inputIndex;
    const uint8_t* const inLimit = d.input + d.inputCount - kGroupMaxBytes;
    uint8_t* const block = Block(d);
    uint8_t* const outLimit = block + kLzssBlockSize - kFastOutputRoom;
    const uintptr_t bias = Bias(d, block);

    while (in <= inLimit && out <= outLimit) {
        unsigned flags = *in++;
        int remaining = 8;
        for (;;) {
            // A run of literals (maybe none) is one 8-byte copy; its
            // overshoot is overwritten by what follows or lies past the
            // output.
            const int run = __builtin_ctz(~flags);
            Copy8(out, in);
            in += run;
            out += run;
            remaining -= run;
            if (remaining == 0) break;
            flags >>= run + 1;
            const unsigned position = in[0] | ((in[1] & 0xF0u) << 4);
            const int length = (in[1] & 0x0F) + kLzssMinMatch;
            in += 2;
            const uint8_t* src = Source(bias, out, position);
            if (out - src >= 8) {
                // Each 8-byte step reads only bytes already in place.
                Copy8(out, src);
                Copy8(out + 8, src + 8);
                Copy8(out + 16, src + 16);
            } else {
                CopyShortPeriod(out, src, length);
            }
            out += length;
            if (--remaining == 0) break;
        }
    }
    d.inputIndex = static_cast<int>(in - d.input);
    return out;
}

}  // namespace

void LzssAllocateBuffers() {
    if (g_lzss.held) return;
    // Zeroed: the input's read-ahead room and the history in front of the
    // output start as zeros.
    g_lzss.input = g_allocator.Allocate(kLzssBlockSize + kInputSlack);
    if (g_lzss.input) g_lzss.output = g_allocator.Allocate(kHistory + kLzssBlockSize + kOutputSlack);
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
    std::memset(d.output, 0, kHistory);
    d.blockStart = kLzssStartIndex;
    d.read = readProc;
    d.write = writeProc;
    uint8_t* const block = Block(d);
    uint8_t* out = block;

    for (;;) {
        // At a group boundary.
        if (d.inputCount - d.inputIndex >= kGroupMaxBytes && out - block <= kLzssBlockSize - kFastOutputRoom) {
            out = DecodeFastGroups(d, out);
            // The last group may have filled the block exactly.
            if (out - block >= kLzssBlockSize) out = FlushBlock(d, out);
        }
        uint8_t flags;
        if (!TakeByte(d, flags)) break;
        int bit = 0;
        for (; bit < 8; ++bit, flags >>= 1) {
            uint8_t c;
            if (!TakeByte(d, c)) break;
            if (flags & 1) {
                *out++ = c;
            } else {
                uint8_t e;
                if (!TakeByte(d, e)) break;
                const uint8_t* src = Source(Bias(d, block), out, c | ((e & 0xF0u) << 4));
                const int length = (e & 0x0F) + kLzssMinMatch;
                for (int k = 0; k < length; ++k) out[k] = src[k];
                out += length;
            }
            if (out - block >= kLzssBlockSize) out = FlushBlock(d, out);
        }
        if (bit < 8) break;
    }
    d.write(block, static_cast<int>(out - block));
}
