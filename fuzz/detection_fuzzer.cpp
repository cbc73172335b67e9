// Detection and whatever reader it picks, under several extensions.
#include "archive/core/format_detection.h"
#include "fuzz/fuzz_extract.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte picks the name, so that the extension rules are reached too.
    static const wchar_t* const kNames[] = {L"a.gz",  L"a.tgz", L"a.bz2", L"a.tar",
                                            L"a.iso", L"a.001", L"a.exe", L"a"};
    FuzzExtract(data + 1, size - 1, kNames[data[0] % 8], 0);
    return 0;
}
