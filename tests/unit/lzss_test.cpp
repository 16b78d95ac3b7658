// The stream decoder (block behaviour, edge cases of the format, callbacks
// that fail) checked against the plain reference decoder, and the encoder's
// round trip and compression against the greedy reference encoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <stdexcept>
#include <vector>

#include "../../bench/lzss_reference.h"
#include "../../bench/lzss_tree_reference.h"
#include "errors.h"
#include "lzss_decoder.h"
#include "lzss_encoder.h"

using Bytes = std::vector<uint8_t>;

// --- Allocation failure injection -----------------------------------------
// The decoder's allocator, replaced for one test: every request passes,
// except that the n-th fails, and the test sees which blocks were freed.
namespace {
int g_failNthAlloc = 0;  // 0: never fail
std::vector<void*> g_allocated, g_freed;

uint8_t* CountingAllocate(size_t n) {
    if (g_failNthAlloc > 0 && --g_failNthAlloc == 0) return nullptr;
    uint8_t* p = new (std::nothrow) uint8_t[n]();
    if (p) g_allocated.push_back(p);
    return p;
}
void CountingFree(uint8_t* p) {
    g_freed.push_back(p);
    delete[] p;
}
}  // namespace

namespace {

Bytes ReferenceDecode(const Bytes& in) { return lzssref::Decode(in); }

// --- Callback harness ------------------------------------------------------
// The callbacks carry no context, so the harness is one file-wide object.
struct Io {
    Bytes input;
    size_t inputPos = 0;
    std::vector<int> chunks;  // sizes the read callback returns, cycled; empty: full blocks
    size_t chunkAt = 0;
    int readCalls = 0;
    int throwOnRead = 0;  // 1-based call number that raises, 0: never
    Bytes output;
    std::vector<int> writes;  // count of every write call
    int throwOnWrite = 0;
};
Io g_io;

int ReadProc(uint8_t* block) {
    ++g_io.readCalls;
    if (g_io.throwOnRead == g_io.readCalls) throw std::runtime_error("read failed");
    size_t want = kLzssBlockSize;
    if (!g_io.chunks.empty()) want = g_io.chunks[g_io.chunkAt++ % g_io.chunks.size()];
    size_t n = std::min(want, g_io.input.size() - g_io.inputPos);
    std::copy_n(g_io.input.begin() + g_io.inputPos, n, block);
    g_io.inputPos += n;
    return static_cast<int>(n);
}

int WriteProc(const uint8_t* block, int count) {
    g_io.writes.push_back(count);
    if (g_io.throwOnWrite == static_cast<int>(g_io.writes.size())) throw std::runtime_error("write failed");
    g_io.output.insert(g_io.output.end(), block, block + count);
    return 0;
}

class Lzss : public ::testing::Test {
protected:
    void SetUp() override {
        g_io = Io();
        LzssAllocateBuffers();
    }
    void TearDown() override { LzssReleaseBuffers(); }

    static Bytes Decode(const Bytes& stream, std::vector<int> chunks = {}) {
        g_io = Io();
        g_io.input = stream;
        g_io.chunks = std::move(chunks);
        LzssDecode(ReadProc, WriteProc);
        return g_io.output;
    }
};

Bytes RandomBytes(std::mt19937& rng, size_t n, int alphabet = 256) {
    Bytes v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng() % alphabet);
    return v;
}

// A stream of literals only: groups of eight with flag 0xFF.
Bytes LiteralStream(const Bytes& data) {
    Bytes s;
    for (size_t i = 0; i < data.size(); ++i) {
        if (i % 8 == 0) s.push_back(0xFF);
        s.push_back(data[i]);
    }
    return s;
}

// Random groups: random flags, literals, matches with positions near the
// write index (overlapping copies) or anywhere, sometimes cut short.
Bytes RandomStream(std::mt19937& rng, size_t groups) {
    Bytes s;
    unsigned w = 4078;
    for (size_t g = 0; g < groups; ++g) {
        uint8_t flags = static_cast<uint8_t>(rng());
        s.push_back(flags);
        for (int bit = 0; bit < 8; ++bit) {
            if (flags & (1 << bit)) {
                s.push_back(static_cast<uint8_t>(rng() % 4));
                w = (w + 1) % 4096;
            } else {
                unsigned pos = rng() % 2 ? (w - 1 - rng() % 20) % 4096 : rng() % 4096;
                unsigned len = rng() % 16;
                s.push_back(static_cast<uint8_t>(pos & 0xFF));
                s.push_back(static_cast<uint8_t>(((pos >> 4) & 0xF0) | len));
                w = (w + len + 3) % 4096;
            }
        }
    }
    return s;
}

// --- Decoder: fixed streams -----------------------------------------------

TEST_F(Lzss, FixedStreams) {
    Bytes thirtyFive;
    for (int i = 0; i < 35; ++i) thirtyFive.push_back(static_cast<uint8_t>(0x40 + i));
    // 35 literals fill window indexes 4078..4095 and 0..16; a match at 4,095
    // of length 18 then reads 4095, 0, 1, ... 16.
    // The last group holds three literals and the match.
    Bytes wrapStream = LiteralStream(thirtyFive);
    wrapStream[4 * 9] = 0x07;
    wrapStream.insert(wrapStream.end(), {0xFF, 0xFF});
    Bytes wrapExpected = thirtyFive;
    wrapExpected.push_back(thirtyFive[17]);
    wrapExpected.insert(wrapExpected.end(), thirtyFive.begin() + 18, thirtyFive.end());

    // Three literals, then a match at the index just written (4,080).
    Bytes prevStream = {0x07, 'x', 'y', 'z', 0xF0, 0xFF};
    Bytes prevExpected = {'x', 'y'};
    prevExpected.insert(prevExpected.end(), 19, 'z');

    Bytes eightLiterals = {0xFF, 1, 2, 3, 4, 5, 6, 7, 8};

    struct Case {
        const char* name;
        Bytes stream;
        Bytes expected;
    } cases[] = {
        {"empty", {}, {}},
        {"flag byte alone", {0x00}, {}},
        {"flag byte 0xFF alone", {0xFF}, {}},
        {"zero match at start", {0x00, 0x00, 0x00}, {0, 0, 0}},
        {"literal then match len 3", {0x01, 0x61, 0xEE, 0xF0}, Bytes(4, 0x61)},
        {"literal then match len 18", {0x01, 0x61, 0xEE, 0xFF}, Bytes(19, 0x61)},
        {"match at write index - 1", prevStream, prevExpected},
        {"match at 4095 wraps", wrapStream, wrapExpected},
        {"eight literals", eightLiterals, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"ends after first match byte", {0x01, 'a', 0xEE}, {'a'}},
        {"ends after the flag of group 2", {0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 0x00}, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"untouched window reads zero", {0x01, 'q', 0x00, 0x02}, {'q', 0, 0, 0, 0, 0}},
        // Match at the write index itself reads the oldest (zero) byte.
        {"match at write index", {0x01, 'q', 0xEF, 0xF0}, {'q', 0, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Decode(c.stream), c.expected) << c.name;
        EXPECT_EQ(ReferenceDecode(c.stream), c.expected) << c.name << " (reference)";
        EXPECT_EQ(g_io.writes.back(), static_cast<int>(c.expected.size())) << c.name;
    }
}

TEST_F(Lzss, SixteenBytesAfterZeroFlagAreEightMatches) {
    std::mt19937 rng(3);
    for (int round = 0; round < 50; ++round) {
        Bytes s = {0x00};
        size_t total = 0;
        for (int m = 0; m < 8; ++m) {
            s.push_back(static_cast<uint8_t>(rng()));
            s.push_back(static_cast<uint8_t>(rng()));
            total += (s.back() & 0x0F) + 3;
        }
        Bytes out = Decode(s);
        EXPECT_EQ(out.size(), total);
        EXPECT_EQ(out, ReferenceDecode(s));
    }
}

// --- Decoder: blocks handed to the write callback --------------------------

TEST_F(Lzss, OutputBlocksAreFullExceptTheFinalOne) {
    struct Case {
        size_t length;
        std::vector<int> writes;
    } cases[] = {
        {0, {0}},
        {1, {1}},
        {31999, {31999}},
        {32000, {32000, 0}},
        {32001, {32000, 1}},
        {64000, {32000, 32000, 0}},
        {64001, {32000, 32000, 1}},
    };
    std::mt19937 rng(11);
    for (const Case& c : cases) {
        Bytes data = RandomBytes(rng, c.length);
        EXPECT_EQ(Decode(LiteralStream(data)), data) << c.length;
        EXPECT_EQ(g_io.writes, c.writes) << c.length;
    }
    // The same through long matches: 64,001 zero bytes.
    Bytes zeros;
    for (int i = 0; i < 64001 / 18 / 8 + 1; ++i) {
        zeros.push_back(0);
        for (int m = 0; m < 8; ++m) zeros.insert(zeros.end(), {0x00, 0x0F});
    }
    Bytes out = Decode(zeros);
    EXPECT_EQ(g_io.writes.size(), out.size() / 32000 + 1);
    for (size_t i = 0; i + 1 < g_io.writes.size(); ++i) EXPECT_EQ(g_io.writes[i], 32000);
    EXPECT_EQ(out, ReferenceDecode(zeros));
}

TEST_F(Lzss, ShortReadsGiveIdenticalOutputAndBlocks) {
    std::mt19937 rng(5);
    Bytes stream = RandomStream(rng, 12000);
    Bytes expected = ReferenceDecode(stream);
    ASSERT_GT(expected.size(), 70000u);
    std::vector<int> randomSizes;
    for (int i = 0; i < 97; ++i) randomSizes.push_back(1 + rng() % 40000);
    std::vector<std::vector<int>> policies = {{}, {1}, {2}, {3}, {17}, {31999}, {1, 31999, 7}, randomSizes};
    std::vector<int> fullWrites;
    for (const auto& policy : policies) {
        EXPECT_EQ(Decode(stream, policy), expected) << "policy size " << policy.size();
        if (fullWrites.empty()) fullWrites = g_io.writes;
        EXPECT_EQ(g_io.writes, fullWrites);
    }
}

TEST_F(Lzss, ReadCallbackClaimingMoreThanABlockIsClamped) {
    // A misbehaving callback must not make the decoder read past its block.
    g_io = Io();
    auto liar = [](uint8_t* block) -> int {
        static int calls = 0;
        if (++calls % 2 == 0) return 0;
        std::fill_n(block, kLzssBlockSize, 0xFF);
        return 1 << 30;
    };
    LzssDecode(liar, WriteProc);
    EXPECT_EQ(g_io.output.size(), kLzssBlockSize / 9 * 8 + (kLzssBlockSize % 9 ? kLzssBlockSize % 9 - 1 : 0));
}

TEST_F(Lzss, RandomStreamsMatchTheReference) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 60; ++round) {
        Bytes s = round % 3 == 0 ? RandomBytes(rng, rng() % 70000) : RandomStream(rng, rng() % 9000);
        if (round % 5 == 1 && !s.empty()) s.resize(rng() % s.size());  // cut anywhere
        std::vector<int> chunks;
        if (round % 2) chunks = {1 + static_cast<int>(rng() % 5000), 1, 32000};
        EXPECT_EQ(Decode(s, chunks), ReferenceDecode(s)) << "round " << round;
    }
}

TEST_F(Lzss, DecodingTwiceGivesTheSameBytes) {
    // The second stream must not see the first one's window.
    std::mt19937 rng(9);
    Bytes stream = RandomStream(rng, 600);
    Bytes first = Decode(stream);
    Bytes other = Decode(RandomStream(rng, 900));
    EXPECT_NE(first, other);
    EXPECT_EQ(Decode(stream), first);
}

// --- Decoder: buffers and failing callbacks ---------------------------------

TEST_F(Lzss, WithoutBuffersNothingIsCalled) {
    LzssReleaseBuffers();
    EXPECT_FALSE(LzssBuffersHeld());
    Decode({0x01, 'a'});
    EXPECT_EQ(g_io.readCalls, 0);
    EXPECT_TRUE(g_io.writes.empty());
}

TEST_F(Lzss, AllocateAndReleaseAreIdempotent) {
    EXPECT_TRUE(LzssBuffersHeld());
    LzssAllocateBuffers();
    EXPECT_TRUE(LzssBuffersHeld());
    EXPECT_EQ(Decode({0x01, 'a'}), Bytes{'a'});
    LzssReleaseBuffers();
    LzssReleaseBuffers();
    EXPECT_FALSE(LzssBuffersHeld());
    LzssAllocateBuffers();
    EXPECT_EQ(Decode({0x01, 'b'}), Bytes{'b'});
}

TEST_F(Lzss, FailedAllocationFreesWhatItGotAndRaises) {
    LzssReleaseBuffers();
    for (int failing = 1; failing <= 3; ++failing) {
        g_allocated.clear();
        g_freed.clear();
        g_failNthAlloc = failing;
        LzssSetAllocator({CountingAllocate, CountingFree});
        EXPECT_THROW(LzssAllocateBuffers(), EOutOfMemory) << failing;
        LzssSetAllocator({nullptr, nullptr});
        g_failNthAlloc = 0;
        EXPECT_EQ(g_allocated.size(), static_cast<size_t>(failing - 1));
        for (void* p : g_allocated) EXPECT_NE(std::find(g_freed.begin(), g_freed.end(), p), g_freed.end()) << failing;
        EXPECT_FALSE(LzssBuffersHeld());
        Decode({0x01, 'a'});
        EXPECT_EQ(g_io.readCalls, 0);
    }
    LzssAllocateBuffers();
    EXPECT_EQ(Decode({0x01, 'a'}), Bytes{'a'});
}

TEST_F(Lzss, CallbackErrorsPropagateWithoutFinalWrite) {
    std::mt19937 rng(21);
    Bytes data = RandomBytes(rng, 70000);
    Bytes stream = LiteralStream(data);
    struct Case {
        const char* name;
        int throwOnRead, throwOnWrite;
    } cases[] = {
        {"first read", 1, 0},
        {"fifth read, after one full block", 5, 0},
        {"first write", 0, 1},
        {"second write", 0, 2},
    };
    for (const Case& c : cases) {
        g_io = Io();
        g_io.input = stream;
        g_io.chunks = {9000};
        g_io.throwOnRead = c.throwOnRead;
        g_io.throwOnWrite = c.throwOnWrite;
        EXPECT_THROW(LzssDecode(ReadProc, WriteProc), std::runtime_error) << c.name;
        // Only full blocks were written: no final call with the remainder.
        for (int n : g_io.writes) EXPECT_EQ(n, kLzssBlockSize) << c.name;
        EXPECT_TRUE(LzssBuffersHeld()) << c.name;
        // The next stream decodes normally.
        EXPECT_EQ(Decode(stream), data) << c.name;
    }
}

// --- Encoder ---------------------------------------------------------------

Bytes TextLike(std::mt19937& rng, size_t n) { return lzssref::EnglishLikeText(n, rng()); }

// Noise of `period` bytes repeated to at least `size` bytes.
Bytes Periodic(std::mt19937& rng, size_t period, size_t size) {
    Bytes block = RandomBytes(rng, period), v;
    while (v.size() < size) v.insert(v.end(), block.begin(), block.end());
    return v;
}

TEST(LzssEncoder, RoundTripsEveryKindOfInput) {
    std::mt19937 rng(77);
    Bytes mixed = TextLike(rng, 30000);
    Bytes noise = RandomBytes(rng, 20000);
    mixed.insert(mixed.end(), noise.begin(), noise.end());
    mixed.insert(mixed.end(), 9000, 0);
    Bytes tail = TextLike(rng, 40000);
    mixed.insert(mixed.end(), tail.begin(), tail.end());
    struct Case {
        const char* name;
        Bytes data;
    } cases[] = {
        {"empty", {}},
        {"one byte", {'a'}},
        {"one zero", {0}},
        {"two zeros", {0, 0}},
        {"three zeros", {0, 0, 0}},
        {"zeros", Bytes(100000, 0)},
        {"one value", Bytes(5000, 'x')},
        {"text", TextLike(rng, 200000)},
        {"x86", lzssref::X86LikeImage(200000)},
        {"noise", RandomBytes(rng, 100000)},
        {"small alphabet", RandomBytes(rng, 100000, 3)},
        {"mixed", mixed},
        // Noise repeated with a period at the window's edge: only matches
        // exactly 4,096 bytes back (or nearer) are in the window.
        {"period 4095", Periodic(rng, 4095, 30000)},
        {"period 4096", Periodic(rng, 4096, 30000)},
        {"period 4097", Periodic(rng, 4097, 30000)},
    };
    LzssAllocateBuffers();
    for (const Case& c : cases) {
        Bytes stream;
        LzssEncode(c.data.data(), c.data.size(), stream);
        EXPECT_LE(stream.size(), c.data.size() + (c.data.size() + 7) / 8) << c.name;
        EXPECT_EQ(ReferenceDecode(stream), c.data) << c.name;
        g_io = Io();
        g_io.input = stream;
        LzssDecode(ReadProc, WriteProc);
        EXPECT_EQ(g_io.output, c.data) << c.name;
    }
    LzssReleaseBuffers();
}

TEST(LzssEncoder, NeverLargerThanGreedyLongestMatch) {
    std::mt19937 rng(31);
    Bytes mixed = lzssref::X86LikeImage(60000, 9);
    Bytes text = TextLike(rng, 60000);
    mixed.insert(mixed.end(), text.begin(), text.end());
    struct Case {
        const char* name;
        Bytes data;
    } cases[] = {
        {"text", TextLike(rng, 300000)},    {"x86", lzssref::X86LikeImage(300000, 5)},
        {"x86 then text", mixed},           {"small alphabet", RandomBytes(rng, 100000, 4)},
        {"noise", RandomBytes(rng, 30000)},
    };
    for (const Case& c : cases) {
        Bytes ours;
        LzssEncode(c.data.data(), c.data.size(), ours);
        EXPECT_LE(ours.size(), lzssref::GreedyEncode(c.data).size()) << c.name;
    }
}

TEST(LzssEncoder, KeepsTheWholeWindowWhenBlocksChangeCharacter) {
    // Blocks are searched one way after a block of short matches (program
    // code) and another after one of long matches. Pieces of 20 bytes at
    // the end of one part (of several blocks), all starting with the same
    // 7 bytes, repeated in the next in reverse order, must still come out
    // as one match of 18 bytes per piece, however each block was searched.
    std::mt19937 rng(61);
    const size_t kPartBytes = 1 << 16;
    const size_t kPiece = 20, kPieces = 100;  // the last piece 3,980 bytes back
    Bytes noise = RandomBytes(rng, kPiece * kPieces);
    for (size_t k = 0; k < kPieces; ++k) std::memcpy(&noise[k * kPiece], "prefix:", 7);
    Bytes pieces;
    for (size_t k = kPieces; k-- > 0;)
        pieces.insert(pieces.end(), noise.begin() + k * kPiece, noise.begin() + (k + 1) * kPiece);
    const Bytes chunk = RandomBytes(rng, 1000);
    Bytes longMatches;  // a chunk repeated: every match 18 bytes
    while (longMatches.size() < kPartBytes - noise.size())
        longMatches.insert(longMatches.end(), chunk.begin(), chunk.end());
    longMatches.resize(kPartBytes - noise.size());
    const Bytes shortMatches = lzssref::X86LikeImage(kPartBytes - noise.size(), 3);
    struct Case {
        const char* name;
        std::vector<const Bytes*> blocks;  // each followed by the noise
    } cases[] = {
        {"short then long", {&shortMatches, &shortMatches, &longMatches}},
        {"long then short", {&longMatches, &longMatches, &shortMatches}},
        {"short throughout", {&shortMatches, &shortMatches, &shortMatches}},
        {"long throughout", {&longMatches, &longMatches, &longMatches}},
    };
    for (const Case& c : cases) {
        Bytes data;
        for (const Bytes* b : c.blocks) {
            data.insert(data.end(), b->begin(), b->end());
            data.insert(data.end(), noise.begin(), noise.end());
        }
        Bytes head, whole, again;
        LzssEncode(data.data(), data.size(), head);
        data.insert(data.end(), pieces.begin(), pieces.end());
        LzssEncode(data.data(), data.size(), whole);
        EXPECT_EQ(ReferenceDecode(whole), data) << c.name;
        // A match of 18 bytes a piece, the other 2 bytes joining the next
        // piece's common start: about 24 bits a piece (34 where a piece's
        // match is only found as far as its common start goes).
        EXPECT_LE(whole.size() - head.size(), kPieces * 26 / 8) << c.name;
        // The same bytes every time.
        LzssEncode(data.data(), data.size(), again);
        EXPECT_EQ(again, whole) << c.name;
    }
}

TEST(LzssEncoder, UsesTheWholeWindowAndNothingBeyond) {
    // Noise repeated every `period` bytes compresses only through matches
    // `period` bytes back; 4,096 back is the oldest byte still in the window.
    std::mt19937 rng(41);
    struct Case {
        size_t period;
        bool compresses;
    } cases[] = {{4000, true}, {4095, true}, {4096, true}, {4097, false}, {4200, false}};
    for (const Case& c : cases) {
        Bytes block = RandomBytes(rng, c.period), data;
        while (data.size() < 8 * c.period) data.insert(data.end(), block.begin(), block.end());
        Bytes stream;
        LzssEncode(data.data(), data.size(), stream);
        EXPECT_EQ(stream.size() < data.size() / 3, c.compresses) << c.period;
        EXPECT_EQ(ReferenceDecode(stream), data) << c.period;
    }
}

TEST(LzssEncoder, ZerosAndRepeatsUseLongMatches) {
    // Every match is 18 bytes long: 2 bytes per 18 plus a flag per 8 tokens.
    Bytes stream;
    LzssEncode(Bytes(18 * 800, 0).data(), 18 * 800, stream);
    EXPECT_EQ(stream.size(), 800u * 2 + 100);
    stream.clear();
    Bytes x(1 + 18 * 800, 'x');
    LzssEncode(x.data(), x.size(), stream);
    EXPECT_LE(stream.size(), 2 + 800u * 2 + 101);
}

TEST(LzssEncoder, BestLevelRoundTripsAndBeatsTheBitOptimalParse) {
    // The best level's parse is optimal over a superset of the classic
    // parse's matches (the whole window and the fresh window's zeros), so
    // it is never larger; it must still decode with the same decoder.
    std::mt19937 rng(53);
    Bytes zerosThenText(5000, 0);
    Bytes text = TextLike(rng, 60000);
    zerosThenText.insert(zerosThenText.end(), text.begin(), text.end());
    Bytes periodic = Periodic(rng, 4096, 40000);
    struct Case {
        const char* name;
        Bytes data;
    } cases[] = {
        {"empty", {}},
        {"one byte", {'a'}},
        {"three zeros", {0, 0, 0}},
        {"zeros", Bytes(50000, 0)},
        {"text", TextLike(rng, 150000)},
        {"x86", lzssref::X86LikeImage(150000, 7)},
        {"noise", RandomBytes(rng, 30000)},
        {"small alphabet", RandomBytes(rng, 60000, 3)},
        {"zeros then text", zerosThenText},
        {"period 4096", periodic},
    };
    LzssAllocateBuffers();
    for (const Case& c : cases) {
        Bytes best, normal;
        LzssEncode(c.data.data(), c.data.size(), best, LzssLevel::Best);
        LzssEncode(c.data.data(), c.data.size(), normal);
        EXPECT_LE(best.size(), normal.size()) << c.name;
        EXPECT_LE(best.size(), lzssref::TreeOptimalEncode(c.data.data(), c.data.size()).size()) << c.name;
        g_io = Io();
        g_io.input = best;
        g_io.chunks = {4321};
        LzssDecode(ReadProc, WriteProc);
        EXPECT_EQ(g_io.output, c.data) << c.name;
    }
    LzssReleaseBuffers();
}

TEST(LzssEncoder, AppendsToExistingOutput) {
    Bytes out = {0xAB};
    const uint8_t data[] = {'h', 'i'};
    LzssEncode(data, 2, out);
    EXPECT_EQ(out, (Bytes{0xAB, 0x03, 'h', 'i'}));
}

}  // namespace
