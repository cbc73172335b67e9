// Recognising an archive's format from its bytes and its extension.
#pragma once

#include <cstdint>

#include "archive/core/streams.h"

// Format types found by detection (0: not recognised).
enum : int {
    VEK_FORMAT_UNKNOWN = 0,
    VEK_FORMAT_ZIP = 1,
    VEK_FORMAT_ALZ = 2,
    VEK_FORMAT_LZH = 3,
    VEK_FORMAT_RAR = 4,
    VEK_FORMAT_7Z = 5,
    VEK_FORMAT_TAR = 6,
    VEK_FORMAT_CAB = 7,
    VEK_FORMAT_ISO = 8,
    VEK_FORMAT_SPLIT = 9,  // a generic .001 set
    VEK_FORMAT_BOND = 10,
    VEK_FORMAT_GZIP = 11,
    VEK_FORMAT_BZIP2 = 12,
    VEK_FORMAT_NSIS = 13,
    VEK_FORMAT_BH = 14,
    VEK_FORMAT_EGG = 15,
    VEK_FORMAT_LAST = VEK_FORMAT_EGG,
};

// The type of the first signature that matches at the start of probe (at least 16 bytes).
int MatchSignature(const uint8_t* probe);

// The format of the stream from its current position; extension is the path's part from its
// last '.', or null. Reads at most 16 + 16 + 1024 bytes, or 614,400 for a program file.
int DetectFormat(IVekInStream* stream, const wchar_t* extension);

// The 7-Zip codec library's number for a format it reads for us (the ff of its class identifier
// {23170F69-40C1-278A-1000-000110ff0000}); 0 for the formats the library reads itself.
int CodecLibraryFormat(int formatType);

// Looks for an archive inside a self-extracting program's first 614,400 bytes.
int ScanSelfExtractor(IVekInStream* stream);
