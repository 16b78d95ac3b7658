#include "lzss_encoder.h"

#include <cstring>
#include <limits>
#include <stdexcept>
#include <type_traits>

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
// A literal costs 9 bits (its byte and a flag bit), a match 17 bits whatever
// its length and source, so the stream's size is fixed by how many tokens of
// each kind the parse uses. The encoder therefore only needs the longest
// match known at each position (every shorter length is a prefix of it, from
// the same source) and then chooses the parse of least total size over them
// by dynamic programming, block by block (a block's last token may run into
// the next block). The levels differ in where they search and how:
//
//   Normal: hash chains searched to a bounded depth, only where a parse
//           would look that takes the longest match or, when it is at most
//           8 bytes long, puts it off by one literal when the next position
//           has one at least two bytes longer (after a longer match that
//           rarely pays for the search). Where the match after a match
//           also holds for up to 4 bytes before its start, those earlier
//           starts are known too, so the first match can be cut short for
//           a longer second one. The dynamic programming never does worse
//           than that parse. Where the previous block's matches were
//           under 7.25 bytes on average (program code, prose: a match put
//           off for a longer one is then seldom worth it), the block is
//           parsed lazily only, its tokens written as the search goes,
//           looking one byte ahead only after matches of up to 4 bytes,
//           and searching the 4-byte chain alone (the 8-byte one is not
//           kept meanwhile): about 1.7 times faster there, for 0.7 to 1%
//           more output. Its blocks are small (16 Ki positions), so that
//           the choice follows the data closely: program files switch
//           between code and tables within a few kilobytes.
//   Best:   the exact longest match at every position, from binary search
//           trees of the window's positions (one per hash of their first
//           three bytes), ordered by their next 18 bytes with the newest
//           position at the root: inserting a position walks the path of
//           the keys nearest to it, which holds its longest match.

namespace {

constexpr int kZeroPrefix = kLzssMaxMatch;
constexpr int kPad = 32;               // readable bytes after the data: 18-byte keys, 8-byte loads
constexpr int kBlock = 1 << 16;        // positions per parse block at the best level, and at most
constexpr int kNormalBlock = 1 << 14;  // positions per block at the normal level
constexpr int kNormalDepth = 64;       // chain links followed per chain and search
constexpr int kReachBack = 4;          // bytes a next match is tried earlier (normal level)
constexpr int kLazyMax = 8;            // longest match after which the next position is searched (normal level)
constexpr int kShortLazyMax = 4;       // the same where matches run short (lazy parse only)
constexpr int kShortMean4 = 29;        // four times the mean match length below which matches run short

// Which way a search goes: that of blocks of short matches, or the other.
constexpr std::true_type kShortWay{};
constexpr std::false_type kLongWay{};

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

inline bool InWindow(int p, int cand) { return cand >= 0 && p - cand <= kLzssWindowSize; }

// Hash chains: positions whose next 8 bytes hash alike are chained (every
// match of 8 or more bytes is among them), so are positions whose next 4
// bytes hash alike (matches of 4 to 7), and for 3 bytes only the nearest
// position is kept (one match of 3 is as good as another).
class ChainFinder {
public:
    ChainFinder(const uint8_t* hist, int end, int depth)
        : hist_(hist),
          end_(end),
          depth_(depth),
          head3_(1 << kHash3Bits, kNone),
          head4_(1 << kHashBits, kNone),
          head8_(1 << kHashBits, kNone),
          prev4_(kChainSize, kNone),
          prev8_(kChainSize, kNone) {}

    // Calls with kShort (the searches of blocks of short matches) leave the
    // 8-byte chain alone. Before calls without it follow, this gives the
    // chain the positions of the last window (before `next`, the first
    // position not yet added), as if it had been kept all along.
    void KeepChain8(bool on, int next) {
        if (on && !chain8_) {
            for (int p = next > kLzssWindowSize ? next - kLzssWindowSize : 0; p < next; ++p) {
                if (p + kLzssMinMatch > end_) break;
                Link8(p, Slots(hist_ + p).h8);
            }
        }
        chain8_ = on;
    }

    // Adds position p without searching; positions come in order, each once.
    template <bool kShort = false>
    void Insert(int p) {
        if (p + kLzssMinMatch > end_) return;
        Link<kShort>(p, Slots(hist_ + p));
    }

    // Longest match for position p (0 when none of 3 bytes or more), then
    // adds p. `hint` is a source worth trying first, or -1. Inlined, as is
    // Search: as calls they took about a tenth of the normal level's time.
    template <bool kShort = false>
    __attribute__((always_inline)) int Find(int p, int hint, int& source) {
        const int limit = end_ - p < kLzssMaxMatch ? end_ - p : kLzssMaxMatch;
        if (limit < kLzssMinMatch) return 0;
        const uint8_t* cur = hist_ + p;
        Slots slots(cur);
        int best = Search<kShort>(p, limit, cur, slots, hint, source);
        Link<kShort>(p, slots);
        return best;
    }

    // Like Find<true> (a search of a block of short matches), but for a
    // match of at least `need` bytes (5 to 18) only: returns 0 without
    // looking at shorter ones, and the same as Find<true> when there is one.
    __attribute__((always_inline)) int FindAtLeast(int p, int need, int& source) {
        const int limit = end_ - p < kLzssMaxMatch ? end_ - p : kLzssMaxMatch;
        if (limit < need) {
            Insert<true>(p);
            return 0;
        }
        const uint8_t* cur = hist_ + p;
        Slots slots(cur);
        // Candidates must match at the byte before `need` to count.
        const int best = WalkChain<4>(p, limit, cur, head4_[slots.h4], prev4_, need - 1, source);
        Link<true>(p, slots);
        return best >= need ? best : 0;
    }

private:
    static constexpr int kHash3Bits = 15;
    // An empty table entry lies so far before every position that one
    // unsigned comparison finds it outside the window, as it finds a
    // position that left the window: one branch per candidate, not two.
    static constexpr int kNone = -(1 << 30);

    static bool Near(int p, int cand) {
        return static_cast<unsigned>(p) - static_cast<unsigned>(cand) <= static_cast<unsigned>(kLzssWindowSize);
    }

    static constexpr int kHashBits = 16;
    static constexpr int kChainSize = 2 * kLzssWindowSize;  // ring of chain links

    struct Slots {
        explicit Slots(const uint8_t* p) {
            uint64_t v = Load64(p);
            h3 = (static_cast<uint32_t>(v & 0xFFFFFF) * 0x9E3779B1u) >> (32 - kHash3Bits);
            h4 = (static_cast<uint32_t>(v) * 0x9E3779B1u) >> (32 - kHashBits);
            h8 = static_cast<unsigned>((v * 0x9E3779B97F4A7C15ull) >> (64 - kHashBits));
        }
        unsigned h3, h4, h8;
    };

    template <bool kShort>
    void Link(int p, const Slots& s) {
        head3_[s.h3] = p;
        prev4_[p & (kChainSize - 1)] = head4_[s.h4];
        head4_[s.h4] = p;
        if (!kShort) Link8(p, s.h8);
    }

    void Link8(int p, unsigned h8) {
        prev8_[p & (kChainSize - 1)] = head8_[h8];
        head8_[h8] = p;
    }

    // Walks one chain for matches longer than `best` whose first `keyBytes`
    // bytes (4 or 8) equal the current ones.
    template <int keyBytes>
    int WalkChain(int p, int limit, const uint8_t* cur, int cand, const std::vector<int>& prev, int best,
                  int& source) const {
        int depth = depth_;
        for (; Near(p, cand) && depth-- > 0; cand = prev[cand & (kChainSize - 1)]) {
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

    template <bool kShort>
    __attribute__((always_inline)) int Search(int p, int limit, const uint8_t* cur, const Slots& slots, int hint,
                                              int& source) const {
        int best = 0;
        if (InWindow(p, hint)) {
            best = MatchLength(hist_ + hint, cur, limit);
            if (best < kLzssMinMatch)
                best = 0;
            else
                source = hint;
            if (best == limit) return best;
        }
        if (kShort && limit >= 4) {
            best = WalkChain<4>(p, limit, cur, head4_[slots.h4], prev4_, best, source);
            if (best >= 4) return best;
        }
        if (!kShort && limit >= 8) {
            best = WalkChain<8>(p, limit, cur, head8_[slots.h8], prev8_, best, source);
            if (best >= 8) return best;
        }
        if (!kShort && limit >= 4) {
            // After the 8-byte chain, a match on the 4-byte chain has at
            // most 7 bytes: one of 7 ends the walk.
            const int most = limit < 8 ? limit : 7;
            best = WalkChain<4>(p, most, cur, head4_[slots.h4], prev4_, best, source);
            if (best >= 4) return best;
        }
        if (best) return best;
        int cand = head3_[slots.h3];
        if (Near(p, cand) && ((Load32(hist_ + cand) ^ Load32(cur)) & 0xFFFFFF) == 0) {
            source = cand;
            return kLzssMinMatch;
        }
        return 0;
    }

    const uint8_t* hist_;
    int end_;
    int depth_;
    bool chain8_ = true;
    std::vector<int> head3_, head4_, head8_;
    std::vector<int> prev4_, prev8_;
};

// Binary search trees of the window's positions, one per hash of the first
// three bytes, ordered by the next 18 bytes and with positions decreasing
// along every path (the newest at the root). Inserting a position splits
// its tree around the new key along the path of the keys nearest to it;
// the longest match is among them. A key equal in all 18 bytes takes the
// older position's place. Positions that left the window are cut off where
// the walk meets them: everything below is older still.
class TreeFinder {
public:
    TreeFinder(const uint8_t* hist, int end)
        : hist_(hist), end_(end), head_(1 << kHashBits, -1), children_(2 * kRing, -1) {}

    void Insert(int p) {
        int source;
        Find(p, source);
    }

    // Longest match for position p (0 when none of 3 bytes or more), then
    // adds p; positions come in order, each once.
    int Find(int p, int& source) {
        const int limit = end_ - p < kLzssMaxMatch ? end_ - p : kLzssMaxMatch;
        if (limit < kLzssMinMatch) return 0;
        const uint8_t* cur = hist_ + p;
        const unsigned h = (((Load32(cur) & 0xFFFFFF) * 0x9E3779B1u) >> (32 - kHashBits));
        int cand = head_[h];
        head_[h] = p;
        // Where the next smaller and the next greater key are linked in.
        int* smaller = &children_[2 * (p & (kRing - 1))];
        int* greater = smaller + 1;
        int lenSmaller = 0, lenGreater = 0, best = 0;
        for (int depth = kMaxDepth;; --depth) {
            if (!InWindow(p, cand) || depth == 0) {
                *smaller = *greater = -1;
                break;
            }
            int* pair = &children_[2 * (cand & (kRing - 1))];
            const uint8_t* c = hist_ + cand;
            // Every key between the two bounds shares their common prefix.
            int len = lenSmaller < lenGreater ? lenSmaller : lenGreater;
            len += MatchLength(c + len, cur + len, kLzssMaxMatch - len);
            if (len > best) {
                best = len;
                source = cand;
            }
            if (len == kLzssMaxMatch) {
                *smaller = pair[0];
                *greater = pair[1];
                break;
            }
            if (c[len] < cur[len]) {
                *smaller = cand;
                smaller = pair + 1;
                cand = *smaller;
                lenSmaller = len;
            } else {
                *greater = cand;
                greater = pair;
                cand = *greater;
                lenGreater = len;
            }
        }
        if (best > limit) best = limit;
        return best >= kLzssMinMatch ? best : 0;
    }

private:
    static constexpr int kHashBits = 16;
    static constexpr int kRing = 2 * kLzssWindowSize;  // children of the last 8,192 positions
    // Paths are short on real data; the bound keeps contrived data from
    // making a walk long (it can then miss a match, never give a wrong one).
    static constexpr int kMaxDepth = 512;

    const uint8_t* hist_;
    int end_;
    std::vector<int> head_;
    std::vector<int> children_;  // smaller, greater per position
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
        unsigned pos = static_cast<unsigned>(source - kZeroPrefix + kLzssStartIndex) & (kLzssWindowSize - 1);
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

// The longest match known at each position of a block, and the parse of
// least total size over them and all their shorter prefixes.
class BlockParser {
public:
    BlockParser()
        : length_(kBlock), source_(kBlock), cost_(kBlock + kLzssMaxMatch + 1), next_(kBlock + kLzssMaxMatch + 1) {}

    uint8_t* Length() { return length_.data(); }
    int* Source() { return source_.data(); }

    // Writes the cheapest tokens for block positions [0, n), the block
    // starting at history index `start`; a last match may run past n (what
    // lies past the block is counted as free). Returns where the tokens end.
    //
    // A match may end anywhere up to its longest length, but only two kinds
    // of end can be best: its longest length, or a position that has a
    // match of its own. Any other position is followed by a literal, so
    // ending one byte later is cheaper. next[i] is the first position from
    // i on that has a match (positions past the block count as such).
    int Write(const uint8_t* hist, int start, int n, TokenWriter& writer) {
        const uint8_t* length = length_.data();
        uint32_t* cost = cost_.data();
        int* next = next_.data();
        for (int i = n; i <= n + kLzssMaxMatch; ++i) {
            cost[i] = 0;
            next[i] = i;
        }
        uint32_t after = 0;  // cost[i + 1], kept out of memory
        for (int i = n - 1; i >= 0; --i) {
            // Whether i has a match is as good as random, so it is not
            // branched on: a length is 0 or at least 3, and with 0 the
            // inner loop does not run (next[i + 3] is at least i + 3).
            const int longest = length[i];
            const uint32_t none = static_cast<uint32_t>(longest < kLzssMinMatch) * 0xFFFFFFFFu;
            uint32_t best = Min(9 + after, (17 + cost[i + longest]) | none);
            for (int j = next[i + kLzssMinMatch]; j < i + longest; j = next[j + 1]) best = Min(best, 17 + cost[j]);
            next[i] =
                static_cast<int>((static_cast<uint32_t>(next[i + 1]) & none) | (static_cast<uint32_t>(i) & ~none));
            cost[i] = after = best;
        }
        int i = 0;
        while (i < n) {
            const int longest = length[i];
            int end = i + 1;
            if (longest >= kLzssMinMatch) {
                if (17 + cost[i + longest] == cost[i]) {
                    end = i + longest;
                } else {
                    for (int j = next[i + kLzssMinMatch]; j < i + longest; j = next[j + 1]) {
                        if (17 + cost[j] == cost[i]) {
                            end = j;
                            break;
                        }
                    }
                }
            }
            if (end > i + 1)
                writer.Match(source_[i], end - i);
            else
                writer.Literal(hist[start + i]);
            i = end;
        }
        return start + i;
    }

private:
    static uint32_t Min(uint32_t a, uint32_t b) { return a < b ? a : b; }

    std::vector<uint8_t> length_;
    std::vector<int> source_;
    std::vector<uint32_t> cost_;
    std::vector<int> next_;
};

// Tells the caller's progress callback, if any, about once per megabyte.
class Progress {
public:
    explicit Progress(const std::function<void(size_t done)>& callback) : callback_(callback) {}
    void At(int done) const {
        if (!callback_ || done < next_) return;
        callback_(static_cast<size_t>(done));
        next_ = done + (1 << 20);
    }

private:
    const std::function<void(size_t done)>& callback_;
    mutable int next_ = 1 << 20;
};

// Best: the longest match at every position.
uint8_t* ParseEveryPosition(const uint8_t* hist, int begin, int end, uint8_t* at, const Progress& progress) {
    TreeFinder finder(hist, end);
    for (int p = 0; p < begin; ++p) finder.Insert(p);
    TokenWriter writer(at);
    BlockParser parser;
    uint8_t* length = parser.Length();
    int* source = parser.Source();
    int p = begin;     // first position not yet written
    int next = begin;  // first position not yet given to the finder
    while (p < end) {
        for (; next < p; ++next) finder.Insert(next);
        const int n = end - p < kBlock ? end - p : kBlock;
        for (int i = 0; i < n; ++i) length[i] = static_cast<uint8_t>(finder.Find(p + i, source[i]));
        next = p + n;
        p = parser.Write(hist, p, n, writer);
        progress.At(p - begin);
    }
    return writer.End();
}

// Normal: searches where a lazy parse would look; elsewhere a match is known
// only where the next match reaches back into the one before it.
uint8_t* ParseSearched(const uint8_t* hist, int begin, int end, uint8_t* at, const Progress& progress) {
    ChainFinder finder(hist, end, kNormalDepth);
    for (int p = 0; p < begin; ++p) finder.Insert(p);
    TokenWriter writer(at);
    BlockParser parser;
    uint8_t* length = parser.Length();
    int* source = parser.Source();
    int p = begin;
    int next = begin;
    // Where the matches of a block ran short on average (program code,
    // prose), a match of 5 to 8 bytes is seldom worth putting off for a
    // longer one a byte later (about 1 to 5 times in a hundred), and the
    // dynamic programming gains little over the lazy parse: the next block
    // is parsed lazily only, looking one byte ahead only after matches of
    // up to 4 bytes. Where they ran long (sources, documents) both pay
    // more often, and the size of such data depends on them.
    bool shortMatches = false;
    while (p < end) {
        const int start = p;
        const int n = end - p < kNormalBlock ? end - p : kNormalBlock;
        std::memset(length, 0, static_cast<size_t>(n));
        int taken = 0;     // matches the lazy parse took
        int takenLen = 0;  // and their bytes
        // Searches block position i (positions come in order, each once),
        // the way `Short` (kShortWay or kLongWay) says.
        auto search = [&](auto Short, int i, int hint) __attribute__((always_inline)) {
            for (; next < start + i; ++next) finder.template Insert<decltype(Short)::value>(next);
            const int len = finder.template Find<decltype(Short)::value>(start + i, hint, source[i]);
            length[i] = static_cast<uint8_t>(len);
            next = start + i + 1;
            return len;
        };
        // Looks at block position i only for a match of at least `need`
        // bytes (in a block of short matches); the length is not kept.
        auto searchAtLeast = [&](int i, int need) __attribute__((always_inline)) {
            for (; next < start + i; ++next) finder.Insert<true>(next);
            const int len = finder.FindAtLeast(start + i, need, source[i]);
            next = start + i + 1;
            return len;
        };
        int i = 0;
        if (shortMatches) {
            search(kShortWay, 0, -1);
            // The lazy parse alone, its tokens written as it goes.
            while (i < n) {
                const int len = length[i];
                if (len < kLzssMinMatch) {
                    writer.Literal(hist[start + i]);
                    if (++i < n) search(kShortWay, i, -1);
                    continue;
                }
                if (len <= kShortLazyMax && i + 1 < n) {
                    const int later = searchAtLeast(i + 1, len + 2);
                    if (later) {
                        writer.Literal(hist[start + i]);
                        length[++i] = static_cast<uint8_t>(later);
                        continue;
                    }
                }
                ++taken;
                takenLen += len;
                writer.Match(source[i], len);
                const int hint = source[i] + len;
                i += len;
                if (i < n) search(kShortWay, i, hint);
            }
            p = start + i;
            for (; next < p; ++next) finder.Insert<true>(next);
        } else {
            search(kLongWay, 0, -1);
            while (i < n) {
                const int len = length[i];
                if (len < kLzssMinMatch) {
                    if (++i < n) search(kLongWay, i, -1);
                    continue;
                }
                if (len <= kLazyMax && i + 1 < n && search(kLongWay, i + 1, -1) >= len + 2) {
                    ++i;
                    continue;
                }
                ++taken;
                takenLen += len;
                const int after = i + len;
                const int hint = source[i] + len;
                const int first = i;
                i = after;
                if (i >= n || search(kLongWay, i, hint) < kLzssMinMatch) continue;
                // The next match may reach back into this one: then this
                // one can end early and the next start there, longer.
                const int from = source[i];
                for (int k = 1; k <= kReachBack && i - k > first + 1 && from - k >= 0; ++k) {
                    if (hist[from - k] != hist[start + i - k]) break;
                    const int grown = length[i] + k < kLzssMaxMatch ? length[i] + k : kLzssMaxMatch;
                    if (grown > length[i - k]) {
                        length[i - k] = static_cast<uint8_t>(grown);
                        source[i - k] = from - k;
                    }
                }
            }
            p = parser.Write(hist, start, n, writer);
            for (; next < p; ++next) finder.Insert(next);
        }
        progress.At(p - begin);
        shortMatches = taken != 0 && 4 * takenLen < kShortMean4 * taken;
        finder.KeepChain8(!shortMatches, next);
    }
    return writer.End();
}

}  // namespace

void LzssEncode(const uint8_t* data, size_t size, std::vector<uint8_t>& out, LzssLevel level,
                const std::function<void(size_t done)>& progress) {
    if (size == 0) return;
    // Positions are ints; the container's sizes are 32-bit anyway.
    if (size > static_cast<size_t>(std::numeric_limits<int>::max()) - kZeroPrefix - kPad)
        throw std::length_error("LzssEncode: input of 2 GiB or more");
    std::vector<uint8_t> hist(kZeroPrefix + size + kPad, 0);
    std::memcpy(hist.data() + kZeroPrefix, data, size);
    const int end = static_cast<int>(kZeroPrefix + size);

    // Worst case: every byte a literal, one flag byte per eight.
    const size_t base = out.size();
    out.resize(base + size + (size + 7) / 8);
    uint8_t* at = out.data() + base;
    uint8_t* stop = level == LzssLevel::Best ? ParseEveryPosition(hist.data(), kZeroPrefix, end, at, Progress(progress))
                                             : ParseSearched(hist.data(), kZeroPrefix, end, at, Progress(progress));
    out.resize(static_cast<size_t>(stop - out.data()));
}
