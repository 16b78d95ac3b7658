#include "lzss_encoder.h"

#include <cstring>

#include "lzss_decoder.h"

// The decoder's window starts as 4,096 zero bytes with the write index at
// 4,078. Seen from the encoder that is a virtual history of 4,096 zeros in
// front of the data: data byte i sits at history index 4,096 + i, its window
// index is (history index - 18) mod 4,096, and a match may start anywhere in
// the 4,096 history bytes before the current one (copies are byte by byte,
// so it may run into the bytes it is producing).
namespace {

constexpr int kHashBits = 15;
constexpr int kHashSize = 1 << kHashBits;
constexpr int kNoPos = -1;

inline unsigned Hash3(const uint8_t* p) {
    uint32_t v = p[0] | (p[1] << 8) | (p[2] << 16);
    return (v * 2654435761u) >> (32 - kHashBits);
}

}  // namespace

void LzssEncode(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
    if (size == 0) return;
    const size_t pre = kLzssWindowSize;
    std::vector<uint8_t> hist(pre + size);
    std::memcpy(hist.data() + pre, data, size);
    const size_t end = hist.size();

    std::vector<int> head(kHashSize, kNoPos);
    std::vector<int> prev(end, kNoPos);
    auto insert = [&](size_t p) {
        if (p + 3 > end) return;
        unsigned h = Hash3(&hist[p]);
        prev[p] = head[h];
        head[h] = static_cast<int>(p);
    };
    for (size_t p = 0; p < pre; ++p) insert(p);

    size_t flagAt = 0;
    int bit = 8;
    auto token = [&](bool literal) {
        if (bit == 8) {
            flagAt = out.size();
            out.push_back(0);
            bit = 0;
        }
        if (literal) out[flagAt] |= static_cast<uint8_t>(1u << bit);
        ++bit;
    };

    size_t cur = pre;
    while (cur < end) {
        size_t maxLen = end - cur < kLzssMaxMatch ? end - cur : kLzssMaxMatch;
        size_t bestLen = 0, bestPos = 0;
        if (maxLen >= kLzssMinMatch) {
            for (int cand = head[Hash3(&hist[cur])]; cand != kNoPos; cand = prev[cand]) {
                size_t c = static_cast<size_t>(cand);
                if (c + kLzssWindowSize < cur) break;
                size_t len = 0;
                while (len < maxLen && hist[c + len] == hist[cur + len]) ++len;
                if (len > bestLen) {
                    bestLen = len;
                    bestPos = c;
                    if (len == maxLen) break;
                }
            }
        }
        if (bestLen >= kLzssMinMatch) {
            token(false);
            unsigned position = (bestPos + kLzssWindowSize - (kLzssWindowSize - kLzssStartIndex)) &
                                (kLzssWindowSize - 1);
            out.push_back(static_cast<uint8_t>(position & 0xFF));
            out.push_back(static_cast<uint8_t>(((position >> 4) & 0xF0) | (bestLen - kLzssMinMatch)));
            for (size_t k = 0; k < bestLen; ++k) insert(cur + k);
            cur += bestLen;
        } else {
            token(true);
            out.push_back(hist[cur]);
            insert(cur);
            ++cur;
        }
    }
}
