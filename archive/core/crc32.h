// CRC-32 of decoded data: the standard reflected polynomial 0xEDB88320 with the register
// inverted before and after, as zlib's crc32 computes it.
#pragma once

#include <cstdint>

// Continues crc over length bytes; start from 0. A null data pointer returns 0.
uint32_t VekCrc32(uint32_t crc, const void* data, int length);
