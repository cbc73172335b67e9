// The library's stream interfaces: seekable buffered input with an optional in-place filter,
// and sequential output that also stamps the finished file's time and attributes.
#pragma once

#include <cstdint>

#include "archive/core/unknown.h"

// Transforms bytes in place (the decryption object is one).
struct IVekStreamFilter {
    virtual void Filter(char* data, int length) = 0;

  protected:
    ~IVekStreamFilter() = default;
};

// Seek origins.
constexpr unsigned VEK_SEEK_SET = 0;
constexpr unsigned VEK_SEEK_CUR = 1;
constexpr unsigned VEK_SEEK_END = 2;  // counts backwards: the new position is size - offset

struct IVekInStream : IVekUnknown {
    static constexpr SVekGuid kIid = MakeVekInterfaceId(0x00);

    virtual int Open(const wchar_t* path) = 0;
    virtual int OpenA(const char* path) = 0;
    virtual int ReadExact(void* buffer, unsigned count) = 0;
    virtual int Read(void* buffer, unsigned count, unsigned* got) = 0;
    virtual int64_t Seek(int64_t offset, unsigned origin) = 0;
    virtual int64_t GetPosition() = 0;
    virtual uint64_t GetSize() = 0;
    virtual int Close() = 0;
    virtual int IsEnd() = 0;
    virtual const wchar_t* GetFileName() = 0;
    virtual void SetFilter(IVekStreamFilter* filter) = 0;

  protected:
    ~IVekInStream() = default;
};

struct IVekOutStream : IVekUnknown {
    static constexpr SVekGuid kIid = MakeVekInterfaceId(0x02);

    virtual int Open(const wchar_t* path) = 0;
    virtual int OpenA(const char* path) = 0;
    virtual int Write(const void* data, unsigned count, unsigned* written) = 0;
    virtual int Close() = 0;
    virtual int AcceptSize(int64_t size) = 0;
    // Seconds since 1970-01-01 UTC, 64-bit so that times after 2038 survive.
    virtual int SetModifyTime(int64_t unixSeconds) = 0;
    virtual int SetAttributes(uint32_t attributes) = 0;
    virtual uint64_t GetWrittenSize() = 0;

  protected:
    ~IVekOutStream() = default;
};
