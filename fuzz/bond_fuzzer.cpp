// The Bond reader on any bytes.
#include "archive/core/format_detection.h"
#include "fuzz/fuzz_extract.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzExtract(data, size, L"fuzz.hv3", VEK_FORMAT_BOND);
    return 0;
}
