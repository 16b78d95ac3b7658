// Small program images for tests: a Windows GUI program with one section of
// code, as the packaging tool expects in front of an installer; PE32 (i686)
// by default, PE32+ (x86-64) with magic 0x20B.
#pragma once

#include <cstdint>
#include <vector>

#include "layout.h"

// `size` bytes (at least 1024): headers, one section, filler after it.
// The header fields a test may want to vary come as parameters.
inline std::vector<uint8_t> TinyWindowsImage(size_t size, uint16_t machine = 0x14C, uint16_t magic = 0x10B,
                                             uint16_t subsystem = 2) {
    std::vector<uint8_t> image(size < 1024 ? 1024 : size);
    for (size_t i = 1024; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 131 + (i >> 9));
    auto put16 = [&](size_t at, uint16_t v) {
        image[at] = static_cast<uint8_t>(v);
        image[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    auto put32 = [&](size_t at, uint32_t v) { StoreLE32(&image[at], v); };
    image[0] = 'M';
    image[1] = 'Z';
    put32(0x3C, 0x40);
    image[0x40] = 'P';
    image[0x41] = 'E';
    const size_t file = 0x44, opt = 0x58;
    put16(file, machine);
    put16(file + 2, 1);                        // one section
    const bool plus = magic == 0x20B;          // wider fields from offset 24 on
    put16(file + 16, plus ? 0xF0 : 0xE0);      // optional header size
    put16(file + 18, plus ? 0x0022 : 0x0102);  // executable, 32-bit or large-address aware
    put16(opt, magic);
    put32(opt + 4, 0x200);                    // size of code
    put32(opt + 16, 0x1000);                  // entry point
    put32(opt + 20, 0x1000);                  // base of code
    put32(opt + (plus ? 24 : 28), 0x400000);  // image base
    put32(opt + 32, 0x1000);                  // section alignment
    put32(opt + 36, 0x200);                   // file alignment
    put16(opt + 40, 4);                       // OS version
    put16(opt + 48, 4);                       // subsystem version
    put32(opt + 56, 0x2000);                  // size of image
    put32(opt + 60, 0x200);                   // size of headers
    put16(opt + 68, subsystem);
    const size_t wide = plus ? 8 : 4;      // stack and heap sizes
    put32(opt + 72, 0x100000);             // stack reserve
    put32(opt + 72 + wide, 0x1000);        // stack commit
    put32(opt + 72 + 2 * wide, 0x100000);  // heap reserve
    put32(opt + 72 + 3 * wide, 0x1000);    // heap commit
    put32(opt + 76 + 4 * wide, 16);        // data directories
    const size_t section = opt + (plus ? 0xF0 : 0xE0);
    const char name[8] = ".text";
    for (int i = 0; i < 8; ++i) image[section + i] = static_cast<uint8_t>(name[i]);
    put32(section + 8, 0x200);        // virtual size
    put32(section + 12, 0x1000);      // virtual address
    put32(section + 16, 0x200);       // raw size
    put32(section + 20, 0x200);       // raw offset
    put32(section + 36, 0x60000020);  // code, executable, readable
    image[0x200] = 0xC3;              // ret
    return image;
}
