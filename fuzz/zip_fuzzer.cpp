// The ZIP reader on any bytes, with the password of the encrypted seeds.
#include "archive/core/format_detection.h"
#include "fuzz/fuzz_extract.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzExtract(data, size, L"fuzz.zip", VEK_FORMAT_ZIP);
    return 0;
}
