// The ALZ reader on any bytes, bzip2-variant and encrypted entries included, with the password
// of the encrypted seeds.
#include "archive/core/format_detection.h"
#include "fuzz/fuzz_extract.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzExtract(data, size, L"fuzz.alz", VEK_FORMAT_ALZ);
    return 0;
}
