#include "fuzz/fuzz_extract.h"

#include <unistd.h>

#include <cwchar>
#include <filesystem>
#include <memory>
#include <string>

#include "archive/core/extractor_factory.h"
#include "archive/core/format_detection.h"
#include "fuzz/fuzz_host.h"
#include "fuzz/memory_stream.h"

namespace {

// Enough for every seed; a bomb the fuzzer makes stops here instead of filling the disk.
constexpr int64_t kWriteCap = 64 << 20;

const std::filesystem::path& ScratchFolder() {
    static const std::filesystem::path folder = [] {
        std::filesystem::path base = std::filesystem::exists("/dev/shm")
                                         ? std::filesystem::path("/dev/shm")
                                         : std::filesystem::temp_directory_path();
        return base / ("marlox-fuzz-" + std::to_string(getpid()));
    }();
    return folder;
}

}  // namespace

void FuzzExtract(const uint8_t* data, size_t size, const wchar_t* name, int formatType,
                 const char* password) {
    CVekRef<IVekInStream> stream(new CFuzzMemoryStream(data, size, name));
    if (formatType == 0) {
        const wchar_t* extension = std::wcsrchr(name, L'.');
        formatType = DetectFormat(stream.Get(), extension);
        stream->Seek(0, VEK_SEEK_SET);
        if (formatType == 0) {
            return;
        }
    }
    std::unique_ptr<IVekExtractor> extractor(CreateExtractor(formatType));
    if (!extractor) {
        return;
    }
    extractor->SetPassword(password);
    extractor->OpenStream(stream.Get());
    int64_t packedSum = kProgressUnknown;
    int64_t sizeSum = kProgressUnknown;
    if (SVekEntryList* entries = extractor->GetEntryList()) {
        FuzzListEntries(*entries, formatType, &packedSum, &sizeSum);
    }
    CVekRef<CFuzzProgress> sink(new CFuzzProgress(packedSum, sizeSum, kWriteCap));
    extractor->SetProgressSink(sink.Get());
    std::filesystem::create_directories(ScratchFolder());
    std::string folder = ScratchFolder().string();
    std::wstring wideFolder(folder.begin(), folder.end());
    extractor->ExtractAllItemsTo(wideFolder.c_str());
    extractor->SetProgressSink(nullptr);
    extractor->Close();
    std::error_code ignored;
    std::filesystem::remove_all(ScratchFolder(), ignored);
}
