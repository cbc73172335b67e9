// The codec bridge on any bytes: the first byte picks the format the library is asked to read,
// the rest is written to a file (the library reads archives by name) and opened and extracted.
// The host lists the entries and follows the progress; it cancels once the run has written
// 8 MiB.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "archive/core/extractor_factory.h"
#include "archive/core/format_detection.h"
#include "fuzz/fuzz_host.h"

namespace {

constexpr int64_t kWriteCap = 8 << 20;

const std::filesystem::path& Scratch() {
    static const std::filesystem::path folder =
        std::filesystem::path(std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp") /
        ("marlox-codec-fuzz-" + std::to_string(getpid()));
    return folder;
}

std::wstring Wide(const std::filesystem::path& path) {
    std::string text = path.string();
    return std::wstring(text.begin(), text.end());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int kTypes[] = {VEK_FORMAT_7Z,  VEK_FORMAT_RAR, VEK_FORMAT_TAR,  VEK_FORMAT_CAB,
                                 VEK_FORMAT_ISO, VEK_FORMAT_LZH, VEK_FORMAT_NSIS, VEK_FORMAT_SPLIT};
    if (size < 1) {
        return 0;
    }
    int type = kTypes[data[0] % (sizeof(kTypes) / sizeof(kTypes[0]))];
    std::error_code ignored;
    std::filesystem::remove_all(Scratch(), ignored);
    std::filesystem::create_directories(Scratch() / "out");
    std::filesystem::path file = Scratch() / (type == VEK_FORMAT_SPLIT ? "input.001" : "input");
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fwrite(data + 1, 1, size - 1, f);
        std::fclose(f);
    }
    std::unique_ptr<IVekExtractor> extractor(CreateExtractor(type));
    extractor->SetPassword("secret");
    int opened = extractor->OpenFile(Wide(file).c_str());
    int64_t packedSum = kProgressUnknown;
    int64_t sizeSum = kProgressUnknown;
    if (SVekEntryList* entries = extractor->GetEntryList();
        entries != nullptr && entries->count > 0) {
        FuzzListEntries(*entries, type, &packedSum, &sizeSum);
    }
    if (opened) {
        CVekRef<IVekProgress> sink(new CFuzzProgress(packedSum, sizeSum, kWriteCap));
        extractor->SetProgressSink(sink.Get());
        extractor->ExtractAllItemsTo(Wide(Scratch() / "out").c_str());
        extractor->SetProgressSink(nullptr);
    }
    extractor->Close();
    std::filesystem::remove_all(Scratch(), ignored);
    return 0;
}
