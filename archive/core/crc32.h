// CRC-32 of decoded data: the standard reflected polynomial 0xEDB88320 with the register
// inverted before and after, as zlib's crc32 computes it.
#pragma once

#include <cstdint>

// Continues crc over length bytes; start from 0. A null data pointer returns 0.
uint32_t VekCrc32(uint32_t crc, const void* data, int length);

// The standard 256-entry table (entry b is the CRC step of byte b), for ciphers that step a
// CRC register of their own one byte at a time.
const uint32_t* VekCrcTable();
