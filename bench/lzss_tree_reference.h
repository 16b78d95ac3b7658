// Classic reference encoders of the stream format, for the benchmark: every
// position of the window kept in a binary search tree keyed by its next 18
// bytes (one tree per first byte), the longest match found while the
// position is inserted. As in the classic form the window holds the last
// 4,078 positions (the window's size less the longest match), the zeros of
// the fresh window count as the 18 positions before the first byte, and a
// node whose key equals the new one in all 18 bytes is replaced by it.
//
//   TreeGreedyEncode:  the longest match at every step, else a literal.
//   TreeOptimalEncode: the longest match at every position, then the parse
//                      of least total size (literal 9 bits, match 17 bits)
//                      over those matches and all their shorter prefixes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace lzssref {

class ClassicTree {
public:
    static constexpr int kWindow = 4096;
    static constexpr int kKey = 18;
    static constexpr int kReach = kWindow - kKey;  // farthest source: 4,078 back

    // `hist` holds 18 zero bytes, the data, then 18 readable bytes.
    explicit ClassicTree(const uint8_t* hist) : h_(hist) {
        for (int i = 0; i < kNodes; ++i) parent_[i] = left_[i] = right_[i] = kNil;
    }

    // Drops position q - 4,079 (it leaves the reach of q), then inserts q
    // and returns the longest match of q's key among the positions held,
    // its source in `source` (0 when no byte matches).
    int Insert(int q, int& source) {
        if (q > kReach) Delete(q - kReach - 1);
        const int id = q & (kWindow - 1);
        const uint8_t* key = h_ + q;
        pos_[id] = q;
        left_[id] = right_[id] = kNil;
        int node = kWindow + key[0];
        bool toRight = true;
        int best = 0;
        for (;;) {
            int& link = toRight ? right_[node] : left_[node];
            if (link == kNil) {
                link = id;
                parent_[id] = node;
                return best;
            }
            node = link;
            const uint8_t* other = h_ + pos_[node];
            int i = 1;
            while (i < kKey && key[i] == other[i]) ++i;
            if (i > best) {
                best = i;
                source = pos_[node];
                if (i == kKey) break;
            }
            toRight = key[i] >= other[i];
        }
        // Same key: the new position takes the old one's place.
        parent_[id] = parent_[node];
        left_[id] = left_[node];
        right_[id] = right_[node];
        parent_[left_[node]] = id;
        parent_[right_[node]] = id;
        ReplaceChild(parent_[node], node, id);
        parent_[node] = kNil;
        return best;
    }

private:
    static constexpr int kNil = kWindow + 256;
    static constexpr int kNodes = kNil + 1;

    void ReplaceChild(int p, int from, int to) {
        if (right_[p] == from)
            right_[p] = to;
        else
            left_[p] = to;
    }

    void Delete(int q) {
        const int id = q & (kWindow - 1);
        if (parent_[id] == kNil || pos_[id] != q) return;
        int r;
        if (right_[id] == kNil) {
            r = left_[id];
        } else if (left_[id] == kNil) {
            r = right_[id];
        } else {
            // The greatest key of the left subtree takes the place.
            r = left_[id];
            if (right_[r] != kNil) {
                while (right_[r] != kNil) r = right_[r];
                right_[parent_[r]] = left_[r];
                parent_[left_[r]] = parent_[r];
                left_[r] = left_[id];
                parent_[left_[id]] = r;
            }
            right_[r] = right_[id];
            parent_[right_[id]] = r;
        }
        parent_[r] = parent_[id];
        ReplaceChild(parent_[id], id, r);
        parent_[id] = kNil;
    }

    const uint8_t* h_;
    int parent_[kNodes], left_[kNodes], right_[kNodes];
    int pos_[kWindow] = {};
};

namespace detail {

// The history the tree reads: 18 zeros, the data, 18 zeros of padding.
inline std::vector<uint8_t> TreeHistory(const uint8_t* data, size_t size) {
    std::vector<uint8_t> hist(ClassicTree::kKey + size + ClassicTree::kKey, 0);
    if (size) std::memcpy(hist.data() + ClassicTree::kKey, data, size);
    return hist;
}

class Tokens {
public:
    void Literal(uint8_t c) {
        Flag(1);
        out_.push_back(c);
    }
    void Match(int source, int length) {
        Flag(0);
        unsigned pos = static_cast<unsigned>(source - ClassicTree::kKey + 4078) % 4096;
        out_.push_back(static_cast<uint8_t>(pos & 0xFF));
        out_.push_back(static_cast<uint8_t>(((pos >> 4) & 0xF0) | (length - 3)));
    }
    std::vector<uint8_t> Take() { return std::move(out_); }

private:
    void Flag(unsigned literal) {
        if (bit_ == 8) {
            flagAt_ = out_.size();
            out_.push_back(0);
            bit_ = 0;
        }
        out_[flagAt_] |= static_cast<uint8_t>(literal << bit_);
        ++bit_;
    }
    std::vector<uint8_t> out_;
    size_t flagAt_ = 0;
    int bit_ = 8;
};

}  // namespace detail

inline std::vector<uint8_t> TreeGreedyEncode(const uint8_t* data, size_t size) {
    std::vector<uint8_t> hist = detail::TreeHistory(data, size);
    const int key = ClassicTree::kKey;
    const int end = static_cast<int>(key + size);
    std::vector<ClassicTree> tree(1, ClassicTree(hist.data()));  // on the heap: 70 KB
    detail::Tokens tokens;
    int source = 0;
    for (int q = 0; q < key; ++q) tree[0].Insert(q, source);
    int p = key;
    int len = p < end ? tree[0].Insert(p, source) : 0;
    int src = source;
    while (p < end) {
        if (len > end - p) len = end - p;
        int step = 1;
        if (len >= 3) {
            tokens.Match(src, len);
            step = len;
        } else {
            tokens.Literal(hist[p]);
        }
        for (int k = 1; k <= step && p + k < end; ++k) len = tree[0].Insert(p + k, source);
        src = source;
        p += step;
    }
    return tokens.Take();
}

inline std::vector<uint8_t> TreeOptimalEncode(const uint8_t* data, size_t size) {
    std::vector<uint8_t> hist = detail::TreeHistory(data, size);
    const int key = ClassicTree::kKey;
    const int n = static_cast<int>(size);
    std::vector<ClassicTree> tree(1, ClassicTree(hist.data()));
    int source = 0;
    for (int q = 0; q < key; ++q) tree[0].Insert(q, source);
    std::vector<uint8_t> longest(n);
    std::vector<int> from(n);
    for (int i = 0; i < n; ++i) {
        int len = tree[0].Insert(key + i, source);
        longest[i] = static_cast<uint8_t>(len < n - i ? len : n - i);
        from[i] = source;
    }
    // cost[i]: least bits for data[i..n); step[i]: the first token's length.
    std::vector<uint32_t> cost(n + 1, 0);
    std::vector<uint8_t> step(n, 1);
    for (int i = n - 1; i >= 0; --i) {
        uint32_t best = 9 + cost[i + 1];
        for (int l = 3; l <= longest[i]; ++l) {
            if (17 + cost[i + l] < best) {
                best = 17 + cost[i + l];
                step[i] = static_cast<uint8_t>(l);
            }
        }
        cost[i] = best;
    }
    detail::Tokens tokens;
    for (int i = 0; i < n; i += step[i]) {
        if (step[i] == 1)
            tokens.Literal(data[i]);
        else
            tokens.Match(from[i], step[i]);
    }
    return tokens.Take();
}

}  // namespace lzssref
