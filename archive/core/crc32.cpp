#include "archive/core/crc32.h"

#include <cstring>

namespace {

// Four tables: table[k][b] is the CRC of byte b followed by k zero bytes, so four input bytes
// can be folded in with four lookups.
struct CrcTables {
    uint32_t table[4][256];

    constexpr CrcTables() : table() {
        for (uint32_t b = 0; b < 256; ++b) {
            uint32_t c = b;
            for (int bit = 0; bit < 8; ++bit) {
                c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
            }
            table[0][b] = c;
        }
        for (uint32_t b = 0; b < 256; ++b) {
            for (int k = 1; k < 4; ++k) {
                uint32_t prev = table[k - 1][b];
                table[k][b] = (prev >> 8) ^ table[0][prev & 0xFF];
            }
        }
    }
};

constexpr CrcTables kTables;

inline uint32_t FoldByte(uint32_t crc, uint8_t byte) {
    return (crc >> 8) ^ kTables.table[0][(crc ^ byte) & 0xFF];
}

inline uint32_t FoldWord(uint32_t crc, const uint8_t* p) {
    // Little-endian word regardless of the host: the tables are built for that order.
    uint32_t word = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                    (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    crc ^= word;
    return kTables.table[3][crc & 0xFF] ^ kTables.table[2][(crc >> 8) & 0xFF] ^
           kTables.table[1][(crc >> 16) & 0xFF] ^ kTables.table[0][crc >> 24];
}

}  // namespace

uint32_t VekCrc32(uint32_t crc, const void* data, int length) {
    if (data == nullptr) {
        return 0;
    }
    const uint8_t* p = static_cast<const uint8_t*>(data);
    size_t left = length > 0 ? static_cast<size_t>(length) : 0;
    crc = ~crc;
    while (left > 0 && (reinterpret_cast<uintptr_t>(p) & 3) != 0) {
        crc = FoldByte(crc, *p++);
        --left;
    }
    while (left >= 32) {
        for (int i = 0; i < 8; ++i) {
            crc = FoldWord(crc, p);
            p += 4;
        }
        left -= 32;
    }
    while (left >= 4) {
        crc = FoldWord(crc, p);
        p += 4;
        left -= 4;
    }
    while (left > 0) {
        crc = FoldByte(crc, *p++);
        --left;
    }
    return ~crc;
}

const uint32_t* VekCrcTable() {
    return kTables.table[0];
}
