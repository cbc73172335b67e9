#include "archive/formats/sevenzip/hard_links.h"

#include <memory>
#include <new>
#include <string>

#include "archive/core/errors.h"
#include "archive/core/paths.h"
#include "archive/platform/files.h"

namespace sevenzip {

namespace {

constexpr uint32_t kCopyChunk = 65536;

// A link's name as the entries spell theirs: '\' separators, no leading "./".
std::wstring EntrySpelling(const wchar_t* linkName) {
    std::wstring name(linkName);
    for (wchar_t& c : name) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    while (name.compare(0, 2, L".\\") == 0) {
        name.erase(0, 2);
    }
    while (!name.empty() && (name.back() == L'\r' || name.back() == L'\n')) {
        name.pop_back();
    }
    return name;
}

}  // namespace

int32_t ResolveHardLink(const SVekEntryList& entries, const int32_t* links, int32_t index,
                        const wchar_t* linkName) {
    if (linkName == nullptr || *linkName == L'\0') {
        return kDanglingLink;
    }
    const std::wstring name = EntrySpelling(linkName);
    for (int32_t i = index - 1; i >= 0; --i) {
        const SVekEntry* entry = entries.At(i);
        if (entry != nullptr && entry->name != nullptr && !entry->IsFolder() &&
            name == entry->name) {
            return links[i] == kNotALink ? i : links[i];
        }
    }
    return kDanglingLink;
}

int CopyFileInto(const wchar_t* source, IVekOutStream* out,
                 const std::function<bool(unsigned)>& progress, unsigned* code) {
    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kCopyChunk]);
    vek::platform::FileHandle file =
        buffer != nullptr ? vek::platform::OpenFileForReading(SanitizePath(source).c_str(), false)
                          : vek::platform::kInvalidFile;
    if (file == vek::platform::kInvalidFile) {
        *code = VEKERR_READ_DATA;
        return 0;
    }
    int result = 1;
    for (;;) {
        uint32_t got = 0;
        if (!vek::platform::ReadFileData(file, buffer.get(), kCopyChunk, &got)) {
            *code = VEKERR_READ_DATA;
            result = 0;
            break;
        }
        if (got == 0) {
            break;
        }
        unsigned written = 0;
        if (!out->Write(buffer.get(), got, &written) || written != got) {
            *code = VEKERR_WRITE;
            result = 0;
            break;
        }
        if (!progress(got)) {
            result = -1;
            break;
        }
    }
    vek::platform::CloseFile(file);
    return result;
}

}  // namespace sevenzip
