// The conversions between host names in UTF-8 and the code page 1252 of
// stored names. Only the packaging tool calls them; in a file of their own
// they stay out of the setup program.
#include <cstdint>

#include "payload_names.h"

namespace {

// Characters 0x80-0x9F of code page 1252; 0 where the code page has none.
const uint16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 0x88
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 0x98
};

// The code page's byte for a character, or -1.
int ByteFor(uint32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (int i = 0; i < 32; ++i) {
        if (kHighControls[i] != 0 && kHighControls[i] == cp) return 0x80 + i;
    }
    return -1;
}

void AppendUtf8(uint32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 character at `pos`; returns its length, 0 when the bytes
// there are no valid UTF-8 (overlong forms, surrogates and values beyond
// U+10FFFF included).
size_t DecodeUtf8(const std::string& s, size_t pos, uint32_t* cp) {
    const unsigned char lead = static_cast<unsigned char>(s[pos]);
    size_t length;
    uint32_t value, minimum;
    if (lead < 0x80) {
        *cp = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (s.size() - pos < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        const unsigned char next = static_cast<unsigned char>(s[pos + i]);
        if ((next & 0xC0) != 0x80) return 0;
        value = value << 6 | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *cp = value;
    return length;
}

}  // namespace

Utf8Conversion Utf8ToCodePage1252(const std::string& utf8, std::string* out, std::string* bad) {
    std::string result;
    result.reserve(utf8.size());
    for (size_t pos = 0; pos < utf8.size();) {
        uint32_t cp = 0;
        const size_t length = DecodeUtf8(utf8, pos, &cp);
        if (length == 0) {
            if (bad) {
                // By hand: the C library's printf engine would add some 25 KB
                // to any program of ours that links this file.
                const char* hex = "0123456789ABCDEF";
                const unsigned char b = static_cast<unsigned char>(utf8[pos]);
                *bad = std::string("\\x") + hex[b >> 4] + hex[b & 15];
            }
            return Utf8Conversion::NotUtf8;
        }
        const int byte = ByteFor(cp);
        if (byte < 0) {
            if (bad) *bad = utf8.substr(pos, length);
            return Utf8Conversion::NotInCodePage;
        }
        result += static_cast<char>(byte);
        pos += length;
    }
    *out = result;
    return Utf8Conversion::Ok;
}

std::string CodePage1252ToUtf8(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const uint32_t cp = c >= 0x80 && c < 0xA0 && kHighControls[c - 0x80] ? kHighControls[c - 0x80] : c;
        AppendUtf8(cp, out);
    }
    return out;
}
