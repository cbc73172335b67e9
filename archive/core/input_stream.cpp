#include "archive/core/input_stream.h"

#include <cstdint>
#include <cwchar>
#include <new>

#include "archive/core/in_file_stream.h"
#include "archive/core/multi_volume_stream.h"

namespace {

// Both ends are probed with this many bytes: the size of an end-of-central-directory record
// without a comment.
constexpr unsigned kProbeSize = 22;

// Extensions are ASCII; a plain comparison avoids the locale's idea of case.
bool SameExtension(const wchar_t* extension, const wchar_t* expected) {
    for (; *extension != L'\0' && *expected != L'\0'; ++extension, ++expected) {
        wchar_t c = *extension;
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
        if (c != *expected) {
            return false;
        }
    }
    return *extension == L'\0' && *expected == L'\0';
}

bool StartsWith(const unsigned char* bytes, const char (&signature)[5]) {
    for (int i = 0; i < 4; ++i) {
        if (bytes[i] != static_cast<unsigned char>(signature[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

int DetectSplitKind(const wchar_t* path, IVekInStream* first) {
    if (path == nullptr || first == nullptr) {
        return VEK_SPLIT_NONE;
    }
    const wchar_t* extension = std::wcsrchr(path, L'.');
    if (extension == nullptr) {
        return VEK_SPLIT_NONE;
    }
    unsigned char head[kProbeSize];
    unsigned char tail[kProbeSize];
    if (!first->ReadExact(head, kProbeSize)) {
        return VEK_SPLIT_NONE;
    }
    first->Seek(kProbeSize, VEK_SEEK_END);
    if (!first->ReadExact(tail, kProbeSize)) {
        return VEK_SPLIT_NONE;
    }

    if (SameExtension(extension, L".001")) {
        return VEK_SPLIT_NUMBERED;
    }
    // The last part of a split ZIP ends with a plain end record but starts in the middle of
    // the data; a whole archive starts with a local header.
    if (SameExtension(extension, L".zip") && !StartsWith(head, "PK\x03\x04") &&
        StartsWith(tail, "PK\x05\x06")) {
        return VEK_SPLIT_ZIP;
    }
    if (SameExtension(extension, L".alz") && StartsWith(head, "ALZ\x01") &&
        StartsWith(tail + kProbeSize - 4, "CLZ\x03")) {
        return VEK_SPLIT_ALZ;
    }
    if (SameExtension(extension, L".egg")) {
        // The split header's identifier follows the 14-byte archive header.
        uint32_t id = static_cast<uint32_t>(head[14]) | static_cast<uint32_t>(head[15]) << 8 |
                      static_cast<uint32_t>(head[16]) << 16 | static_cast<uint32_t>(head[17]) << 24;
        if (id == 0x24F5A262u) {
            return VEK_SPLIT_EGG;
        }
    }
    return VEK_SPLIT_NONE;
}

IVekInStream* OpenInputStream(const wchar_t* path) {
    // The count stays 0 throughout so that the caller's first reference is the only one.
    CVekInFileStream* stream = new (std::nothrow) CVekInFileStream();
    if (stream == nullptr) {
        return nullptr;
    }
    if (!stream->Open(path)) {
        delete stream;
        return nullptr;
    }
    int kind = DetectSplitKind(path, stream);
    stream->Seek(0, VEK_SEEK_SET);
    if (kind == VEK_SPLIT_NONE) {
        return stream;
    }
    CVekMultiInFileStream* multi = new (std::nothrow) CVekMultiInFileStream();
    if (multi == nullptr) {
        delete stream;
        return nullptr;
    }
    // Attach takes the set's reference on the first volume.
    multi->Attach(stream, kind);
    return multi;
}
