// Plain reference implementations of the stream format and deterministic
// sample data, shared by the benchmark, the fuzz targets and the unit
// tests. Written for clarity, not speed: the decoder follows the format's
// description step by step, the encoder takes the longest match at every
// step (greedy), searching every earlier occurrence of the next three bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace lzssref {

using Bytes = std::vector<uint8_t>;

// Whole stream in, whole output out; an incomplete token at the end gives
// nothing.
inline Bytes Decode(const uint8_t* in, size_t size) {
    uint8_t window[4096] = {};
    unsigned w = 4078;
    Bytes out;
    size_t i = 0;
    while (i < size) {
        unsigned flags = in[i++];
        for (int bit = 0; bit < 8; ++bit) {
            if (i >= size) return out;
            uint8_t c = in[i++];
            if (flags & (1u << bit)) {
                window[w] = c;
                w = (w + 1) % 4096;
                out.push_back(c);
            } else {
                if (i >= size) return out;
                uint8_t d = in[i++];
                unsigned pos = c + 256 * (d >> 4);
                int len = (d & 0x0F) + 3;
                for (int k = 0; k < len; ++k) {
                    uint8_t b = window[(pos + k) % 4096];
                    window[w] = b;
                    w = (w + 1) % 4096;
                    out.push_back(b);
                }
            }
        }
    }
    return out;
}

inline Bytes Decode(const Bytes& in) { return Decode(in.data(), in.size()); }

// Greedy longest-match encoder. The window's starting zeros are a history
// of 4,096 zero bytes in front of the data; a match may begin anywhere in
// the 4,096 bytes before the current one.
inline Bytes GreedyEncode(const uint8_t* data, size_t size) {
    Bytes out;
    if (size == 0) return out;
    const size_t pre = 4096;
    Bytes hist(pre + size);
    std::memcpy(hist.data() + pre, data, size);
    const size_t end = hist.size();
    const int kHashSize = 1 << 16;
    std::vector<long> head(kHashSize, -1), prev(end, -1);
    auto hash = [&](size_t p) { return ((hist[p] << 8) ^ (hist[p + 1] << 4) ^ hist[p + 2]) & (kHashSize - 1); };
    auto insert = [&](size_t p) {
        if (p + 3 > end) return;
        size_t h = hash(p);
        prev[p] = head[h];
        head[h] = static_cast<long>(p);
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
        size_t maxLen = end - cur < 18 ? end - cur : 18;
        size_t bestLen = 0, bestPos = 0;
        if (maxLen >= 3) {
            for (long cand = head[hash(cur)]; cand >= 0; cand = prev[cand]) {
                size_t c = static_cast<size_t>(cand);
                if (c + 4096 < cur) break;
                size_t len = 0;
                while (len < maxLen && hist[c + len] == hist[cur + len]) ++len;
                if (len > bestLen) {
                    bestLen = len;
                    bestPos = c;
                    if (len == maxLen) break;
                }
            }
        }
        if (bestLen >= 3) {
            token(false);
            unsigned position = (bestPos - 18) % 4096;  // window index of history byte
            out.push_back(static_cast<uint8_t>(position & 0xFF));
            out.push_back(static_cast<uint8_t>(((position >> 4) & 0xF0) | (bestLen - 3)));
            for (size_t k = 0; k < bestLen; ++k) insert(cur + k);
            cur += bestLen;
        } else {
            token(true);
            out.push_back(hist[cur]);
            insert(cur);
            ++cur;
        }
    }
    return out;
}

inline Bytes GreedyEncode(const Bytes& data) { return GreedyEncode(data.data(), data.size()); }

// --- Sample data -------------------------------------------------------------
// Generated from a fixed seed with the generator's raw output only, so the
// same bytes come out on every platform.

// English-like prose: words drawn with a skewed frequency from a fixed
// vocabulary plus made-up words, sentences, commas, paragraphs, CRLF lines
// wrapped near 72 columns.
inline Bytes EnglishLikeText(size_t size, uint32_t seed = 1) {
    static const char* kCommon[] = {"the",
                                    "of",
                                    "and",
                                    "to",
                                    "a",
                                    "in",
                                    "is",
                                    "that",
                                    "for",
                                    "it",
                                    "as",
                                    "was",
                                    "with",
                                    "be",
                                    "by",
                                    "on",
                                    "not",
                                    "he",
                                    "this",
                                    "are",
                                    "or",
                                    "his",
                                    "from",
                                    "at",
                                    "which",
                                    "but",
                                    "have",
                                    "an",
                                    "had",
                                    "they",
                                    "you",
                                    "were",
                                    "their",
                                    "one",
                                    "all",
                                    "we",
                                    "can",
                                    "her",
                                    "has",
                                    "there",
                                    "been",
                                    "if",
                                    "more",
                                    "when",
                                    "will",
                                    "would",
                                    "who",
                                    "so",
                                    "no",
                                    "setup",
                                    "program",
                                    "directory",
                                    "file",
                                    "install",
                                    "window",
                                    "system",
                                    "user",
                                    "folder",
                                    "product",
                                    "version",
                                    "documentation",
                                    "technology",
                                    "demo"};
    static const char* kSyllables[] = {"ka", "ro",  "ten", "mi", "sul", "ve", "dor", "an",  "qui",
                                       "lo", "pra", "is",  "ne", "tor", "ba", "el",  "ium", "ger"};
    std::mt19937 rng(seed);
    const size_t nCommon = sizeof kCommon / sizeof kCommon[0];
    std::vector<std::string> vocab(kCommon, kCommon + nCommon);
    for (int i = 0; i < 2000; ++i) {
        std::string w;
        int n = 1 + rng() % 4;
        for (int s = 0; s < n; ++s) w += kSyllables[rng() % 18];
        vocab.push_back(w);
    }
    Bytes out;
    size_t column = 0;
    bool sentenceStart = true;
    int wordsInSentence = 0;
    while (out.size() < size) {
        // Skewed choice: small indexes (common words) far more often.
        uint32_t r = rng() % 1000000;
        size_t idx =
            static_cast<size_t>((static_cast<uint64_t>(r) * r / 1000000) * r / 1000000 * vocab.size() / 1000000);
        std::string w = vocab[idx];
        if (sentenceStart) w[0] = static_cast<char>(w[0] - 'a' + 'A');
        sentenceStart = false;
        ++wordsInSentence;
        uint32_t p = rng() % 100;
        if (wordsInSentence > 4 && p < 12) {
            w += '.';
            sentenceStart = true;
            wordsInSentence = 0;
        } else if (p < 18) {
            w += ',';
        }
        if (column + w.size() + 1 > 72) {
            out.push_back('\r');
            out.push_back('\n');
            column = 0;
            if (sentenceStart && rng() % 4 == 0) {
                out.push_back('\r');
                out.push_back('\n');
            }
        } else if (column > 0) {
            out.push_back(' ');
            ++column;
        }
        out.insert(out.end(), w.begin(), w.end());
        column += w.size();
    }
    out.resize(size);
    return out;
}

// Something like a 32-bit program image: a header, functions of typical
// x86 instruction sequences (frames, loads and stores relative to the frame
// pointer, calls to a set of functions and imports, short branches,
// alignment padding), string tables, pointer tables, relocation blocks and
// zero-filled section padding.
inline Bytes X86LikeImage(size_t size, uint32_t seed = 2) {
    std::mt19937 rng(seed);
    Bytes out;
    auto put = [&](std::initializer_list<int> bytes) {
        for (int b : bytes) out.push_back(static_cast<uint8_t>(b));
    };
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto padTo = [&](size_t align, uint8_t fill) {
        while (out.size() % align) out.push_back(fill);
    };
    std::vector<uint32_t> globals, imports;
    for (int i = 0; i < 300; ++i) globals.push_back(0x00410000u + (rng() % 0x8000) * 4);
    for (int i = 0; i < 120; ++i) imports.push_back(0x00450000u + i * 4);
    std::vector<size_t> functions;

    put({'M', 'Z', 0x90, 0});
    out.resize(1024, 0);
    while (out.size() < size) {
        uint32_t section = rng() % 100;
        if (section < 80) {
            // A batch of functions.
            for (int f = 0; f < 20; ++f) {
                functions.push_back(out.size());
                put({0x55, 0x8B, 0xEC});
                if (rng() % 2) put({0x83, 0xEC, static_cast<int>(4 * (1 + rng() % 16))});
                if (rng() % 2) put({0x53, 0x56, 0x57});
                int n = 5 + rng() % 40;
                for (int i = 0; i < n; ++i) {
                    int disp = static_cast<int>(0x100 - 4 * (1 + rng() % 12));
                    switch (rng() % 12) {
                        case 0: put({0x8B, 0x45, disp}); break;  // mov eax,[ebp-x]
                        case 1: put({0x89, 0x45, disp}); break;  // mov [ebp-x],eax
                        case 2: put({0x8B, 0x4D, 8 + 4 * static_cast<int>(rng() % 4)}); break;
                        case 3: put({0x50}); break;  // push eax
                        case 4: {                    // call rel32
                            put({0xE8});
                            size_t target = functions[rng() % functions.size()];
                            put32(static_cast<uint32_t>(target - (out.size() + 4)));
                            break;
                        }
                        case 5:
                            put({0xFF, 0x15});
                            put32(imports[rng() % imports.size()]);
                            break;
                        case 6:
                            put({0xA1});
                            put32(globals[rng() % globals.size()]);
                            break;
                        case 7:
                            put({0x68});
                            put32(globals[rng() % globals.size()]);
                            break;
                        case 8: put({0x85, 0xC0, 0x74, static_cast<int>(rng() % 64)}); break;
                        case 9: put({0x83, 0xC4, 4 * static_cast<int>(1 + rng() % 6)}); break;
                        case 10: put({0x33, 0xC0}); break;
                        case 11: put({0x8D, 0x45, disp, 0x50}); break;
                    }
                }
                if (rng() % 2) put({0x5F, 0x5E, 0x5B});
                put({0x8B, 0xE5, 0x5D, 0xC3});
                padTo(16, 0xCC);
            }
        } else if (section < 88) {
            // Names of imported functions and messages.
            static const char* kWords[] = {"Create", "File",    "Window", "Get",   "Set",      "Reg",  "Key",
                                           "Value",  "Message", "Box",    "Close", "Handle",   "Read", "Write",
                                           "Path",   "Name",    "Ex",     "A",     "Directory"};
            for (int i = 0; i < 60; ++i) {
                put({static_cast<int>(rng() % 256), 0});
                int n = 2 + rng() % 3;
                for (int k = 0; k < n; ++k) {
                    const char* w = kWords[rng() % 19];
                    out.insert(out.end(), w, w + std::strlen(w));
                }
                put({0});
                padTo(2, 0);
            }
        } else if (section < 93) {
            // A table of pointers.
            int n = 64 + rng() % 128;
            for (int i = 0; i < n; ++i) put32(globals[rng() % globals.size()]);
        } else if (section < 96) {
            // Relocation block: page address, size, ascending 12-bit offsets.
            put32(static_cast<uint32_t>(0x1000 * (out.size() / 4096)));
            put32(8 + 2 * 64);
            uint32_t off = 0;
            for (int i = 0; i < 64; ++i) {
                off += 1 + rng() % 60;
                uint16_t e = static_cast<uint16_t>(0x3000 | (off & 0xFFF));
                put({e & 0xFF, e >> 8});
            }
        } else {
            // Section padding.
            padTo(512, 0);
            out.resize(out.size() + 512 * (1 + rng() % 4), 0);
        }
    }
    out.resize(size);
    return out;
}

}  // namespace lzssref
