// The checksum that guards every region of installer and uninstaller files:
// reflected CRC-32, polynomial 0xEDB88320, started from 0 and complemented
// at the end. Empty input gives 0xFFFFFFFF, "abc" gives 0x359A672F.
#pragma once

#include <cstddef>
#include <cstdint>

extern const uint32_t kCrc32Table[256];

inline uint32_t Crc32Update(uint8_t byte, uint32_t crc) { return kCrc32Table[(crc ^ byte) & 0xFFu] ^ (crc >> 8); }

inline uint32_t Crc32Finish(uint32_t crc) { return crc ^ 0xFFFFFFFFu; }

// Folds a block of bytes into a running value; the same result as calling
// Crc32Update for each byte in order, only faster.
uint32_t Crc32Block(const void* data, size_t size, uint32_t crc);

// Checksum of one whole region, finished.
inline uint32_t Crc32Of(const void* data, size_t size) { return Crc32Finish(Crc32Block(data, size, 0)); }
