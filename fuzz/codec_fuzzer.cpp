// The codec bridge on any bytes: the first byte picks the format the library is asked to read,
// the rest is written to a file (the library reads archives by name) and opened and extracted.
// A sink cancels once the run has written 8 MiB, so that no input makes the target fill a disk.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "archive/core/extractor_factory.h"
#include "archive/core/format_detection.h"
#include "archive/core/progress.h"

namespace {

constexpr int64_t kWriteCap = 8 << 20;

class CCappedSink : public CVekUnknownImp<IVekProgress> {
  public:
    int32_t OnStartEntry(const SVekEntry*, int*, int* cancel) override {
        Check(cancel);
        return 0;
    }
    int32_t OnProgress(int64_t, int64_t decodedDone, int*, int* cancel) override {
        m_entry = decodedDone;
        Check(cancel);
        return 0;
    }
    int32_t OnCompleteEntry(int) override {
        m_total += m_entry;
        m_entry = 0;
        return 0;
    }
    int32_t OnErrorA(int, const char*, const char*) override { return 0; }
    int32_t OnError(int, const wchar_t*, const wchar_t*) override { return 0; }
    int32_t OnVolumeChange(const wchar_t*) override { return 0; }

  private:
    void Check(int* cancel) {
        if (m_total + m_entry > kWriteCap) {
            *cancel = 1;
        }
    }
    int64_t m_total = 0;
    int64_t m_entry = 0;
};

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
    if (extractor->OpenFile(Wide(file).c_str())) {
        CVekRef<IVekProgress> sink(new CCappedSink());
        extractor->SetProgressSink(sink.Get());
        extractor->ExtractAllItemsTo(Wide(Scratch() / "out").c_str());
        extractor->SetProgressSink(nullptr);
    }
    extractor->Close();
    std::filesystem::remove_all(Scratch(), ignored);
    return 0;
}
