// The data descriptor that follows an entry's data when its sizes and CRC were not known as its
// local header was written (a ZIP written to a pipe): with or without its signature, with 32- or
// 64-bit sizes.
#pragma once

#include <cstdint>

#include "archive/core/streams.h"

struct SZipDescriptor {
    uint32_t crc = 0;
    uint64_t packedSize = 0;
    uint64_t size = 0;
    uint64_t end = 0;  // position of the first byte after the descriptor
};

// Looks for the descriptor of data that begins at dataOffset: the first position p at or after
// it holding a descriptor whose packed size is p - dataOffset and which is followed by a record
// signature or the end of the input. Leaves the input's position anywhere.
bool FindZipDescriptor(IVekInStream* input, uint64_t dataOffset, SZipDescriptor* found);

// Reads the descriptor at position, where the data that ends there held packedSize stored bytes
// that decoded to size bytes; only a descriptor saying exactly that is taken.
bool ReadZipDescriptorAt(IVekInStream* input, uint64_t position, uint64_t packedSize, uint64_t size,
                         SZipDescriptor* found);
