// The tagged chunks Bond archives are built of: a 16-byte header (tag, property size, child
// size, data size), then the properties, the child chunks and the data, in that order.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "archive/core/streams.h"

constexpr uint32_t MakeBondTag(const char (&text)[5]) {
    return static_cast<uint32_t>(static_cast<uint8_t>(text[0])) |
           (static_cast<uint32_t>(static_cast<uint8_t>(text[1])) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(text[2])) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(text[3])) << 24);
}

class CBondChunk {
  public:
    struct SProperty {
        uint32_t tag;
        std::vector<uint8_t> value;
    };

    // Reads the header, the properties, the children and the data area. Every area must be
    // filled exactly and lie inside the file; nesting deeper than a sane bound is refused.
    bool ReadChunk(IVekInStream* stream, int depth = 0);
    bool ReadHeader(IVekInStream* stream);
    bool ReadProperties(IVekInStream* stream);
    bool ReadChildren(IVekInStream* stream, int depth = 0);

    const SProperty* FindProperty(uint32_t tag) const;
    // Copies the first property of that tag when its size is exactly size.
    bool CopyProperty(uint32_t tag, void* buffer, uint32_t size) const;

    uint32_t tag = 0;
    uint32_t propertySize = 0;
    uint32_t childSize = 0;
    uint32_t dataSize = 0;
    std::vector<SProperty> properties;
    std::vector<std::unique_ptr<CBondChunk>> children;
    std::vector<uint8_t> data;
};
