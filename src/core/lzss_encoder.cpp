#include "lzss_encoder.h"

#include <cstring>
#include <limits>
#include <stdexcept>

#include "lzss_decoder.h"

// How the encoder works
//
// The decoder's window starts as 4,096 zero bytes with the write index at
// 4,078. Seen from the encoder that is a history of zeros in front of the
// data: a match may start at any of the 4,096 history bytes before the
// current one, and the copy runs byte by byte, so it may run on into the
// bytes it produces. Of the leading zeros only the last 18 are kept: any
// other run of zeros is an equal source that leaves the window no later.
//
// Matches come from hash chains searched to a bounded depth; the parse is
// greedy with one step of lookahead: a match is put off by one literal when
// the next position has a match at least two bytes longer.

namespace {

constexpr int kZeroPrefix = kLzssMaxMatch;
constexpr int kPad = 16;  // readable bytes after the data for 8-byte loads
constexpr int kHash3Bits = 14;
constexpr int kHashBits = 15;
constexpr int kChainSize = 2 * kLzssWindowSize;  // ring of chain links
constexpr int kMaxDepth = 64;                     // candidates per chain and search

inline uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

// Number of equal leading bytes of a and b, up to `limit` (at most 18).
inline int MatchLength(const uint8_t* a, const uint8_t* b, int limit) {
    int n = 0;
    while (n < limit) {
        uint64_t diff = Load64(a + n) ^ Load64(b + n);
        if (diff) {
            n += __builtin_ctzll(diff) >> 3;
            return n < limit ? n : limit;
        }
        n += 8;
    }
    return limit;
}

// Longest matches over a history buffer (zero prefix + data + padding).
//
// The cost of a match does not depend on where its source is, so three
// tables serve the three ranges of length: positions whose next 8 bytes
// hash alike are chained (every match of 8 or more bytes is among them), so
// are positions whose next 4 bytes hash alike (matches of 4 to 7), and for
// 3 bytes only the nearest position is kept (one match of 3 is as good as
// another).
class MatchFinder {
public:
    MatchFinder(const uint8_t* hist, int end)
        : hist_(hist), end_(end), head3_(1 << kHash3Bits, -1), head4_(1 << kHashBits, -1),
          head8_(1 << kHashBits, -1), prev4_(kChainSize, -1), prev8_(kChainSize, -1) {}

    // Adds position p to the tables without searching; positions must come
    // in order, each once.
    void Insert(int p) {
        if (p + kLzssMinMatch > end_) return;
        Link(p, Slots(hist_ + p));
    }

    // Longest match for position p, then adds p to the tables. `hint` is a
    // position worth trying first (where the previous match would go on),
    // or -1. Returns 0 when no match of at least 3 bytes exists.
    int FindAndInsert(int p, int hint, int& source) {
        const int limit = end_ - p < kLzssMaxMatch ? end_ - p : kLzssMaxMatch;
        if (limit < kLzssMinMatch) return 0;
        const uint8_t* cur = hist_ + p;
        Slots slots(cur);
        int best = Search(p, limit, cur, slots, hint, source);
        Link(p, slots);
        return best;
    }

private:
    // Table slots of one position, from its next eight bytes.
    struct Slots {
        explicit Slots(const uint8_t* p) {
            uint64_t v = Load64(p);
            h3 = (static_cast<uint32_t>(v & 0xFFFFFF) * 0x9E3779B1u) >> (32 - kHash3Bits);
            h4 = (static_cast<uint32_t>(v) * 0x9E3779B1u) >> (32 - kHashBits);
            h8 = static_cast<unsigned>((v * 0x9E3779B97F4A7C15ull) >> (64 - kHashBits));
        }
        unsigned h3, h4, h8;
    };

    void Link(int p, const Slots& s) {
        head3_[s.h3] = p;
        prev4_[p & (kChainSize - 1)] = head4_[s.h4];
        head4_[s.h4] = p;
        prev8_[p & (kChainSize - 1)] = head8_[s.h8];
        head8_[s.h8] = p;
    }

    bool InWindow(int p, int cand) const { return cand >= 0 && p - cand <= kLzssWindowSize; }

    // Walks one chain for matches longer than `best` whose first `keyBytes`
    // bytes (4 or 8) equal the current ones.
    template <int keyBytes>
    int WalkChain(int p, int limit, const uint8_t* cur, int cand, const std::vector<int>& prev,
                  int best, int& source) const {
        int depth = kMaxDepth;
        for (; InWindow(p, cand) && depth-- > 0; cand = prev[cand & (kChainSize - 1)]) {
            const uint8_t* c = hist_ + cand;
            // A candidate can only win if it also matches at the byte where
            // the best so far stops.
            if (c[best] != cur[best] || std::memcmp(c, cur, keyBytes) != 0) continue;
            int len = keyBytes + MatchLength(c + keyBytes, cur + keyBytes, limit - keyBytes);
            if (len > best) {
                best = len;
                source = cand;
                if (len == limit) break;
            }
        }
        return best;
    }

    int Search(int p, int limit, const uint8_t* cur, const Slots& slots, int hint,
               int& source) const {
        int best = 0;
        if (InWindow(p, hint)) {
            best = MatchLength(hist_ + hint, cur, limit);
            if (best < kLzssMinMatch) best = 0;
            else source = hint;
            if (best == limit) return best;
        }
        if (limit >= 8) {
            best = WalkChain<8>(p, limit, cur, head8_[slots.h8], prev8_, best, source);
            if (best >= 8) return best;
        }
        if (limit >= 4) {
            best = WalkChain<4>(p, limit, cur, head4_[slots.h4], prev4_, best, source);
            if (best >= 4) return best;
        }
        if (best) return best;
        int cand = head3_[slots.h3];
        if (InWindow(p, cand) && ((Load32(hist_ + cand) ^ Load32(cur)) & 0xFFFFFF) == 0) {
            source = cand;
            return kLzssMinMatch;
        }
        return 0;
    }

    const uint8_t* hist_;
    int end_;
    std::vector<int> head3_, head4_, head8_;
    std::vector<int> prev4_, prev8_;
};

// Writes tokens into room reserved beforehand, grouping eight flag bits
// into each flag byte.
class TokenWriter {
public:
    explicit TokenWriter(uint8_t* at) : at_(at) {}

    void Literal(uint8_t c) {
        Flag(1);
        *at_++ = c;
    }

    // `source` is a history index (zero prefix included).
    void Match(int source, int length) {
        Flag(0);
        unsigned pos = static_cast<unsigned>(source - kZeroPrefix + kLzssStartIndex) &
                       (kLzssWindowSize - 1);
        at_[0] = static_cast<uint8_t>(pos & 0xFF);
        at_[1] = static_cast<uint8_t>(((pos >> 4) & 0xF0) | (length - kLzssMinMatch));
        at_ += 2;
    }

    uint8_t* End() const { return at_; }

private:
    void Flag(unsigned literal) {
        if (bit_ == 8) {
            flag_ = at_++;
            *flag_ = 0;
            bit_ = 0;
        }
        *flag_ |= static_cast<uint8_t>(literal << bit_);
        ++bit_;
    }

    uint8_t* at_;
    uint8_t* flag_ = nullptr;
    int bit_ = 8;
};

}  // namespace

void LzssEncode(const uint8_t* data, size_t size, std::vector<uint8_t>& out,
                const std::function<void(size_t done)>& progress) {
    if (size == 0) return;
    // Positions are ints; the container's sizes are 32-bit anyway.
    if (size > static_cast<size_t>(std::numeric_limits<int>::max()) - kZeroPrefix - kPad)
        throw std::length_error("LzssEncode: input of 2 GiB or more");
    std::vector<uint8_t> hist(kZeroPrefix + size + kPad, 0);
    std::memcpy(hist.data() + kZeroPrefix, data, size);
    const int end = static_cast<int>(kZeroPrefix + size);

    MatchFinder finder(hist.data(), end);
    for (int p = 0; p < kZeroPrefix; ++p) finder.Insert(p);

    // Worst case: every byte a literal, one flag byte per eight.
    const size_t base = out.size();
    out.resize(base + size + (size + 7) / 8);
    TokenWriter writer(out.data() + base);

    int p = kZeroPrefix;
    int src = 0;
    int len = finder.FindAndInsert(p, -1, src);
    int report = progress ? p + (1 << 20) : end;
    while (p < end) {
        if (p >= report) {
            progress(static_cast<size_t>(p - kZeroPrefix));
            report = p + (1 << 20);
        }
        if (len < kLzssMinMatch) {
            writer.Literal(hist[p]);
            ++p;
            if (p < end) len = finder.FindAndInsert(p, -1, src);
            continue;
        }
        if (p + 1 < end) {
            if (len + 2 <= kLzssMaxMatch) {
                int nextSrc = 0;
                int nextLen = finder.FindAndInsert(p + 1, src + 1, nextSrc);
                if (nextLen >= len + 2) {
                    writer.Literal(hist[p]);
                    ++p;
                    len = nextLen;
                    src = nextSrc;
                    continue;
                }
            } else {
                finder.Insert(p + 1);
            }
        }
        writer.Match(src, len);
        for (int q = p + 2; q < p + len; ++q) finder.Insert(q);
        const int hint = src + len;
        p += len;
        if (p < end) len = finder.FindAndInsert(p, hint, src);
    }
    out.resize(static_cast<size_t>(writer.End() - out.data()));
}
