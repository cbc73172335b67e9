// The EGG reader on any bytes, solid and non-solid alike.
#include "archive/core/format_detection.h"
#include "fuzz/fuzz_extract.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzExtract(data, size, L"fuzz.egg", VEK_FORMAT_EGG);
    return 0;
}
