#include "archive/formats/zip/zip_descriptor.h"

#include <cstring>
#include <memory>
#include <new>

#include "archive/core/byte_order.h"

namespace {

constexpr uint32_t kDescriptorSignature = 0x08074B50;
// The longest form: signature, CRC and two 64-bit sizes; then the next record's signature.
constexpr unsigned kLongestForm = 24;
constexpr unsigned kLookahead = kLongestForm + 4;
constexpr unsigned kFirstWindow = 4096;
constexpr unsigned kLargestWindow = 1u << 20;

struct SForm {
    bool signature;
    bool wide;
};
// With the signature first: those are the forms the tools write, and the signature makes a
// chance match in the data far less likely.
constexpr SForm kForms[] = {{true, false}, {true, true}, {false, false}, {false, true}};

unsigned FormLength(const SForm& form) {
    return (form.signature ? 4u : 0u) + 4u + (form.wide ? 16u : 8u);
}

// Whether bytes (available of them) begin with a descriptor of this form for packedSize stored
// bytes.
bool Match(const uint8_t* bytes, size_t available, uint64_t packedSize, const SForm& form,
           SZipDescriptor* out) {
    if (available < FormLength(form)) {
        return false;
    }
    const uint8_t* p = bytes;
    if (form.signature) {
        if (ReadLe32(p) != kDescriptorSignature) {
            return false;
        }
        p += 4;
    }
    uint64_t packed = form.wide ? ReadLe64(p + 4) : ReadLe32(p + 4);
    if (packed != packedSize) {
        return false;
    }
    out->crc = ReadLe32(p);
    out->packedSize = packed;
    out->size = form.wide ? ReadLe64(p + 12) : ReadLe32(p + 8);
    return true;
}

// What may follow a descriptor: the next record, or nothing (the end of the input, or the input
// cut inside the next record's signature).
bool FollowedByRecord(const uint8_t* bytes, size_t available) {
    static const uint8_t kRecords[][2] = {{3, 4}, {1, 2}, {5, 6}, {6, 6}, {6, 7}, {5, 5}};
    if (available >= 4) {
        if (bytes[0] != 'P' || bytes[1] != 'K') {
            return false;
        }
        for (const auto& record : kRecords) {
            if (bytes[2] == record[0] && bytes[3] == record[1]) {
                return true;
            }
        }
        return false;
    }
    static const char kPk[] = "PK";
    size_t pk = available < 2 ? available : 2;
    return std::memcmp(bytes, kPk, pk) == 0 && (available < 3 || bytes[2] == 3 || bytes[2] == 1);
}

}  // namespace

bool FindZipDescriptor(IVekInStream* input, uint64_t dataOffset, SZipDescriptor* found) {
    uint64_t size = input->GetSize();
    if (dataOffset >= size) {
        return false;
    }
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kLargestWindow + kLookahead]);
    if (!buffer) {
        return false;
    }
    // Small windows first: most entries are small, and every window is read whole.
    unsigned window = kFirstWindow;
    for (uint64_t start = dataOffset; start < size; start += window) {
        if (window < kLargestWindow && start != dataOffset) {
            window *= 2;
        }
        uint64_t left = size - start;
        unsigned count = left < static_cast<uint64_t>(window) + kLookahead
                             ? static_cast<unsigned>(left)
                             : window + kLookahead;
        if (input->Seek(static_cast<int64_t>(start), VEK_SEEK_SET) != static_cast<int64_t>(start) ||
            !input->ReadExact(buffer.get(), count)) {
            return false;
        }
        unsigned positions = count < window ? count : window;
        for (unsigned i = 0; i < positions; ++i) {
            const uint8_t* at = buffer.get() + i;
            size_t available = count - i;
            uint64_t packedSize = start + i - dataOffset;
            for (const SForm& form : kForms) {
                unsigned length = FormLength(form);
                if (Match(at, available, packedSize, form, found) &&
                    FollowedByRecord(at + length, available - length)) {
                    found->end = start + i + length;
                    return true;
                }
            }
        }
    }
    return false;
}

bool ReadZipDescriptorAt(IVekInStream* input, uint64_t position, uint64_t packedSize, uint64_t size,
                         SZipDescriptor* found) {
    uint8_t bytes[kLongestForm];
    uint64_t total = input->GetSize();
    if (position >= total) {
        return false;
    }
    uint64_t left = total - position;
    unsigned count = left < kLongestForm ? static_cast<unsigned>(left) : kLongestForm;
    if (input->Seek(static_cast<int64_t>(position), VEK_SEEK_SET) !=
            static_cast<int64_t>(position) ||
        !input->ReadExact(bytes, count)) {
        return false;
    }
    for (const SForm& form : kForms) {
        if (Match(bytes, count, packedSize, form, found) && found->size == size) {
            found->end = position + FormLength(form);
            return true;
        }
    }
    return false;
}
