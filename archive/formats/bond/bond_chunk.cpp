#include "archive/formats/bond/bond_chunk.h"

#include <cstring>
#include <new>

#include "archive/core/byte_order.h"

namespace {

// Chunks nested deeper than this are not an archive but an attempt to exhaust the stack.
constexpr int kMaxDepth = 32;

// Whether size more bytes lie between the stream's position and the end of the file: declared
// sizes are never trusted with an allocation before this holds.
bool FitsInFile(IVekInStream* stream, uint64_t size) {
    int64_t position = stream->GetPosition();
    uint64_t total = stream->GetSize();
    return position >= 0 && static_cast<uint64_t>(position) <= total &&
           size <= total - static_cast<uint64_t>(position);
}

bool ReadBytes(IVekInStream* stream, std::vector<uint8_t>& into, uint32_t size) {
    if (!FitsInFile(stream, size)) {
        return false;
    }
    into.resize(size);
    // Read in pieces: ReadExact takes an unsigned count, and a piece keeps each read bounded.
    uint32_t done = 0;
    while (done < size) {
        uint32_t piece = size - done < (1u << 20) ? size - done : (1u << 20);
        if (!stream->ReadExact(into.data() + done, piece)) {
            return false;
        }
        done += piece;
    }
    return true;
}

}  // namespace

bool CBondChunk::ReadHeader(IVekInStream* stream) {
    uint8_t header[16];
    if (!stream->ReadExact(header, sizeof(header))) {
        return false;
    }
    tag = ReadLe32(header);
    propertySize = ReadLe32(header + 4);
    childSize = ReadLe32(header + 8);
    dataSize = ReadLe32(header + 12);
    return true;
}

bool CBondChunk::ReadProperties(IVekInStream* stream) {
    properties.clear();
    if (!FitsInFile(stream, propertySize)) {
        return false;
    }
    uint64_t read = 0;
    while (read < propertySize) {
        uint8_t head[8];
        if (propertySize - read < sizeof(head) || !stream->ReadExact(head, sizeof(head))) {
            return false;
        }
        SProperty property{ReadLe32(head), {}};
        uint32_t size = ReadLe32(head + 4);
        read += sizeof(head);
        if (property.tag == 0 || size > propertySize - read ||
            !ReadBytes(stream, property.value, size)) {
            return false;
        }
        read += size;
        properties.push_back(std::move(property));
    }
    return true;
}

bool CBondChunk::ReadChildren(IVekInStream* stream, int depth) {
    children.clear();
    if (depth >= kMaxDepth || !FitsInFile(stream, childSize)) {
        return false;
    }
    int64_t start = stream->GetPosition();
    uint64_t read = 0;
    while (read < childSize) {
        std::unique_ptr<CBondChunk> child(new (std::nothrow) CBondChunk());
        if (!child || !child->ReadChunk(stream, depth + 1)) {
            return false;
        }
        read = static_cast<uint64_t>(stream->GetPosition() - start);
        if (read > childSize) {
            return false;  // the child overran the area its parent declared
        }
        children.push_back(std::move(child));
    }
    return true;
}

bool CBondChunk::ReadChunk(IVekInStream* stream, int depth) {
    return ReadHeader(stream) && ReadProperties(stream) && ReadChildren(stream, depth) &&
           ReadBytes(stream, data, dataSize);
}

const CBondChunk::SProperty* CBondChunk::FindProperty(uint32_t wanted) const {
    for (const SProperty& property : properties) {
        if (property.tag == wanted) {
            return &property;
        }
    }
    return nullptr;
}

bool CBondChunk::CopyProperty(uint32_t wanted, void* buffer, uint32_t size) const {
    const SProperty* property = FindProperty(wanted);
    if (property == nullptr || property->value.size() != size) {
        return false;
    }
    std::memcpy(buffer, property->value.data(), size);
    return true;
}
