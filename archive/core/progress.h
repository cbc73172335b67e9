// The host's progress sink. Every call is made on the extracting thread; the sink answers only
// through the skip and cancel flags it is handed.
#pragma once

#include <cstdint>

#include "archive/core/unknown.h"

struct SVekEntry;

struct IVekProgress : IVekUnknown {
    static constexpr SVekGuid kIid = MakeVekInterfaceId(0x03);

    // Before a file entry's data is decoded. *skip abandons this entry, *cancel the rest too.
    virtual int32_t OnStartEntry(const SVekEntry* entry, int* skip, int* cancel) = 0;
    // After each decoded chunk, with the current entry's totals.
    virtual int32_t OnProgress(int64_t compressedDone, int64_t decodedDone, int* skip,
                               int* cancel) = 0;
    // After each file entry whose output file was created, with the entry's error code.
    virtual int32_t OnCompleteEntry(int errorCode) = 0;
    virtual int32_t OnErrorA(int code, const char* name, const char* detail) = 0;
    virtual int32_t OnError(int code, const wchar_t* name, const wchar_t* detail) = 0;
    virtual int32_t OnVolumeChange(const wchar_t* volumePath) = 0;

  protected:
    ~IVekProgress() = default;
};
