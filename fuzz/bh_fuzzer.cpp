// The BH reader on any bytes, method 1 (-lh5-) included.
#include "archive/core/format_detection.h"
#include "fuzz/fuzz_extract.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzExtract(data, size, L"fuzz.bh", VEK_FORMAT_BH);
    return 0;
}
