#include "archive/core/format_detection.h"

#include <cstring>
#include <cwctype>
#include <memory>
#include <new>

namespace {

struct Signature {
    unsigned offset;
    const char* bytes;
    unsigned length;
    int type;
};

// Tested in this order; the first match wins. LZH is matched separately (two pieces).
const Signature kSignatures[] = {
    {0, "\x50\x4B\x03\x04", 4, VEK_FORMAT_ZIP},
    {0, "\x50\x4B\x05\x06", 4, VEK_FORMAT_ZIP},
    {0, "\x50\x4B\x07\x08", 4, VEK_FORMAT_ZIP},
    {0, "\x50\x4B\x30\x30\x50\x4B\x03\x04", 8, VEK_FORMAT_ZIP},
    {0, "ALZ\x01", 4, VEK_FORMAT_ALZ},
    {0, "Rar!", 4, VEK_FORMAT_RAR},
    {0, "\x37\x7A\xBC\xAF\x27\x1C", 6, VEK_FORMAT_7Z},
    {0, "HV30", 4, VEK_FORMAT_BOND},
    {2, "-lh", 3, VEK_FORMAT_LZH},  // and '-' at offset 6
    {0, "MSCF", 4, VEK_FORMAT_CAB},
    {0, "\x1F\x8B\x08", 3, VEK_FORMAT_GZIP},
    {0, "BZh", 3, VEK_FORMAT_BZIP2},
    {0, "\x42\x48\x05\x07", 4, VEK_FORMAT_BH},
    {0, "EGGA", 4, VEK_FORMAT_EGG},
    {0, "\xEF\xBE\xAD\xDENullsoftInst", 16, VEK_FORMAT_NSIS},
};

constexpr unsigned kProbeSize = 16;
constexpr unsigned kScanSize = 1024;
constexpr unsigned kSelfExtractorScan = 614400;
constexpr int64_t kIsoDescriptor = 0x8000;

// Case-insensitive comparison of the extension's first characters with a lower-case suffix.
bool ExtensionStartsWith(const wchar_t* extension, const wchar_t* expected) {
    for (; *expected != L'\0'; ++extension, ++expected) {
        if (*extension == L'\0' ||
            std::towlower(static_cast<wint_t>(*extension)) != static_cast<wint_t>(*expected)) {
            return false;
        }
    }
    return true;
}

// Signatures at offsets 0 to lastOffset; the buffer holds at least lastOffset + 16 bytes.
int ScanBuffer(const uint8_t* data, size_t lastOffset) {
    for (size_t offset = 0; offset <= lastOffset; ++offset) {
        int type = MatchSignature(data + offset);
        if (type != VEK_FORMAT_UNKNOWN) {
            return type;
        }
    }
    return VEK_FORMAT_UNKNOWN;
}

}  // namespace

int MatchSignature(const uint8_t* probe) {
    for (const Signature& signature : kSignatures) {
        if (std::memcmp(probe + signature.offset, signature.bytes, signature.length) != 0) {
            continue;
        }
        if (signature.type == VEK_FORMAT_LZH && probe[6] != '-') {
            continue;
        }
        return signature.type;
    }
    return VEK_FORMAT_UNKNOWN;
}

int DetectFormat(IVekInStream* stream, const wchar_t* extension) {
    int64_t start = stream->GetPosition();
    uint8_t probe[kProbeSize];
    if (!stream->ReadExact(probe, kProbeSize)) {
        return VEK_FORMAT_UNKNOWN;
    }
    int type = MatchSignature(probe);
    if (type != VEK_FORMAT_UNKNOWN) {
        // A 7z archive cut into a numbered set is opened as the set.
        if (type == VEK_FORMAT_7Z && extension != nullptr &&
            ExtensionStartsWith(extension, L".001")) {
            return VEK_FORMAT_SPLIT;
        }
        return type;
    }
    if (probe[0] == 'M' && probe[1] == 'Z') {
        return ScanSelfExtractor(stream);
    }
    if (extension != nullptr) {
        if (ExtensionStartsWith(extension, L".tar")) {
            return VEK_FORMAT_TAR;
        }
        if (ExtensionStartsWith(extension, L".iso")) {
            uint8_t descriptor[kProbeSize];
            if (stream->Seek(kIsoDescriptor, VEK_SEEK_SET) == kIsoDescriptor &&
                stream->ReadExact(descriptor, kProbeSize) && descriptor[0] == 1 &&
                std::memcmp(descriptor + 1, "CD001", 5) == 0) {
                return VEK_FORMAT_ISO;
            }
        }
        if (ExtensionStartsWith(extension, L".001")) {
            return VEK_FORMAT_SPLIT;
        }
    }
    uint8_t window[kScanSize];
    stream->Seek(start, VEK_SEEK_SET);
    if (!stream->ReadExact(window, kScanSize)) {
        return VEK_FORMAT_UNKNOWN;
    }
    return ScanBuffer(window, kScanSize - 17);
}

int ScanSelfExtractor(IVekInStream* stream) {
    stream->Seek(0, VEK_SEEK_SET);
    uint64_t size = stream->GetSize();
    unsigned n = size < kSelfExtractorScan ? static_cast<unsigned>(size) : kSelfExtractorScan;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[n > 0 ? n : 1]);
    if (!buffer || n < 18 || !stream->ReadExact(buffer.get(), n)) {
        return VEK_FORMAT_UNKNOWN;
    }
    return ScanBuffer(buffer.get(), n - 18);
}

int CodecLibraryFormat(int formatType) {
    switch (formatType) {
        case VEK_FORMAT_LZH:
            return 0x06;
        case VEK_FORMAT_RAR:
            return 0x03;
        case VEK_FORMAT_7Z:
            return 0x07;
        case VEK_FORMAT_TAR:
            return 0xEE;
        case VEK_FORMAT_CAB:
            return 0x08;
        case VEK_FORMAT_ISO:
            return 0xE7;
        case VEK_FORMAT_SPLIT:
            return 0xEA;
        case VEK_FORMAT_NSIS:
            return 0x09;
        default:
            return 0;
    }
}
