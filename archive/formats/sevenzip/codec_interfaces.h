// The 7-Zip codec library's archive interfaces, declared from what the bridge needs: method
// order, interface identifiers, property numbers and the PROPVARIANT layout. The library is
// called only through these and its exported CreateObject.
//
// The library's IUnknown has the three Windows slots on every system (no virtual destructor),
// its wide characters are wchar_t (4 bytes on Linux) and its BSTRs come from the
// SysAllocString that it exports on Linux, OLE's on Windows.
#pragma once

#include <cstdint>

#include "archive/core/unknown.h"

#if defined(_WIN32) && !defined(_WIN64)
#define VEK7Z_CALL __stdcall
#else
#define VEK7Z_CALL
#endif

namespace sevenzip {

using HRESULT = int32_t;
using PROPID = uint32_t;
using BSTR = wchar_t*;

constexpr HRESULT kOk = 0;
constexpr HRESULT kFalse = 1;
constexpr HRESULT kNoInterface = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT kFail = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT kInvalidFunction = static_cast<HRESULT>(0x80030001u);  // STG_E_INVALIDFUNCTION
constexpr HRESULT kNegativeSeek = static_cast<HRESULT>(0x80070083u);     // ERROR_NEGATIVE_SEEK

// Interfaces are {23170F69-40C1-278A-0000-00gg00ii0000}; archive formats are
// {23170F69-40C1-278A-1000-000110ff0000}.
constexpr SVekGuid InterfaceId(uint8_t group, uint8_t id) {
    return SVekGuid{0x23170F69, 0x40C1, 0x278A, {0x00, 0x00, 0x00, group, 0x00, id, 0x00, 0x00}};
}
constexpr SVekGuid FormatId(uint8_t id) {
    return SVekGuid{0x23170F69, 0x40C1, 0x278A, {0x10, 0x00, 0x00, 0x01, 0x10, id, 0x00, 0x00}};
}
constexpr SVekGuid kFormat7z = FormatId(0x07);
constexpr SVekGuid kFormatSplit = FormatId(0xEA);
constexpr SVekGuid kFormatRar = FormatId(0x03);
constexpr SVekGuid kFormatRar5 = FormatId(0xCC);

// PROPVARIANT: a 2-byte type, 6 reserved bytes, then an 8-byte union.
enum : uint16_t {
    VT_EMPTY = 0,
    VT_BSTR = 8,
    VT_BOOL = 11,
    VT_UI4 = 19,
    VT_UI8 = 21,
    VT_LPSTR = 30,
    VT_FILETIME = 64,
};
constexpr int16_t VARIANT_TRUE = -1;

struct PropVariant {
    uint16_t vt;
    uint16_t reserved1;
    uint16_t reserved2;
    uint16_t reserved3;
    union {
        int16_t boolVal;
        uint32_t ulVal;
        uint64_t uhVal;
        struct {
            uint32_t low;
            uint32_t high;
        } filetime;
        BSTR bstrVal;
        char* pszVal;
#ifdef _WIN32
        // Windows' union also holds two-pointer members (BLOB): 24 bytes in all on x64.
        struct {
            uint32_t size;
            void* data;
        } blob;
#endif
    };
};
#ifdef _WIN64
static_assert(sizeof(PropVariant) == 24, "PROPVARIANT layout");
#else
static_assert(sizeof(PropVariant) == 16, "PROPVARIANT layout");
#endif

// Item and archive property numbers.
enum : PROPID {
    kpidPath = 3,
    kpidIsDir = 6,
    kpidSize = 7,
    kpidAttrib = 9,
    kpidMTime = 12,
    kpidSolid = 13,
    kpidEncrypted = 15,
    kpidCRC = 19,
    kpidErrorFlags = 71,
    kpidHardLink = 90,
};
// Bits of kpidErrorFlags.
constexpr uint32_t kErrorFlagDataAfterEnd = 0x40;
// Properties the volume callback answers.
enum : PROPID {
    kpidVolumeName = 4,
    kpidVolumeSize = 7,
};

// Extraction results handed to SetOperationResult.
enum : int32_t {
    kOpOk = 0,
    kOpUnsupportedMethod = 1,
    kOpDataError = 2,
    kOpCrcError = 3,
    kOpUnavailable = 4,
    kOpUnexpectedEnd = 5,
    kOpDataAfterEnd = 6,
    kOpIsNotArchive = 7,
    kOpHeadersError = 8,
    kOpWrongPassword = 9,
};

struct IUnknown7z {
    virtual HRESULT VEK7Z_CALL QueryInterface(const SVekGuid& iid, void** out) = 0;
    virtual uint32_t VEK7Z_CALL AddRef() = 0;
    virtual uint32_t VEK7Z_CALL Release() = 0;

  protected:
    ~IUnknown7z() = default;
};

struct ISequentialInStream : IUnknown7z {
    static constexpr SVekGuid kIid = InterfaceId(3, 0x01);
    virtual HRESULT VEK7Z_CALL Read(void* data, uint32_t size, uint32_t* processed) = 0;

  protected:
    ~ISequentialInStream() = default;
};

struct IInStream : ISequentialInStream {
    static constexpr SVekGuid kIid = InterfaceId(3, 0x03);
    virtual HRESULT VEK7Z_CALL Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) = 0;

  protected:
    ~IInStream() = default;
};

struct IStreamGetSize : IUnknown7z {
    static constexpr SVekGuid kIid = InterfaceId(3, 0x06);
    virtual HRESULT VEK7Z_CALL GetSize(uint64_t* size) = 0;

  protected:
    ~IStreamGetSize() = default;
};

struct ISequentialOutStream : IUnknown7z {
    static constexpr SVekGuid kIid = InterfaceId(3, 0x02);
    virtual HRESULT VEK7Z_CALL Write(const void* data, uint32_t size, uint32_t* processed) = 0;

  protected:
    ~ISequentialOutStream() = default;
};

struct IProgress : IUnknown7z {
    static constexpr SVekGuid kIid = InterfaceId(0, 0x05);
    virtual HRESULT VEK7Z_CALL SetTotal(uint64_t total) = 0;
    virtual HRESULT VEK7Z_CALL SetCompleted(const uint64_t* completed) = 0;

  protected:
    ~IProgress() = default;
};

struct IArchiveOpenCallback : IUnknown7z {
    static constexpr SVekGuid kIid = InterfaceId(6, 0x10);
    virtual HRESULT VEK7Z_CALL SetTotal(const uint64_t* files, const uint64_t* bytes) = 0;
    virtual HRESULT VEK7Z_CALL SetCompleted(const uint64_t* files, const uint64_t* bytes) = 0;

  protected:
    ~IArchiveOpenCallback() = default;
};

struct IArchiveExtractCallback : IProgress {
    static constexpr SVekGuid kIid = InterfaceId(6, 0x20);
    virtual HRESULT VEK7Z_CALL GetStream(uint32_t index, ISequentialOutStream** out,
                                         int32_t askMode) = 0;
    virtual HRESULT VEK7Z_CALL PrepareOperation(int32_t askMode) = 0;
    virtual HRESULT VEK7Z_CALL SetOperationResult(int32_t result) = 0;

  protected:
    ~IArchiveExtractCallback() = default;
};

struct IArchiveOpenVolumeCallback : IUnknown7z {
    static constexpr SVekGuid kIid = InterfaceId(6, 0x30);
    virtual HRESULT VEK7Z_CALL GetProperty(PROPID id, PropVariant* value) = 0;
    virtual HRESULT VEK7Z_CALL GetStream(const wchar_t* name, IInStream** stream) = 0;

  protected:
    ~IArchiveOpenVolumeCallback() = default;
};

struct IInArchiveGetStream : IUnknown7z {
    static constexpr SVekGuid kIid = InterfaceId(6, 0x40);
    virtual HRESULT VEK7Z_CALL GetStream(uint32_t index, ISequentialInStream** stream) = 0;

  protected:
    ~IInArchiveGetStream() = default;
};

struct ICryptoGetTextPassword : IUnknown7z {
    static constexpr SVekGuid kIid = InterfaceId(5, 0x10);
    virtual HRESULT VEK7Z_CALL CryptoGetTextPassword(BSTR* password) = 0;

  protected:
    ~ICryptoGetTextPassword() = default;
};
// Asked for by the library when it writes archives; refused.
constexpr SVekGuid kIidCryptoGetTextPassword2 = InterfaceId(5, 0x11);

struct IInArchive : IUnknown7z {
    static constexpr SVekGuid kIid = InterfaceId(6, 0x60);
    virtual HRESULT VEK7Z_CALL Open(IInStream* stream, const uint64_t* maxCheckStartPosition,
                                    IArchiveOpenCallback* callback) = 0;
    virtual HRESULT VEK7Z_CALL Close() = 0;
    virtual HRESULT VEK7Z_CALL GetNumberOfItems(uint32_t* count) = 0;
    virtual HRESULT VEK7Z_CALL GetProperty(uint32_t index, PROPID id, PropVariant* value) = 0;
    virtual HRESULT VEK7Z_CALL Extract(const uint32_t* indices, uint32_t count, int32_t testMode,
                                       IArchiveExtractCallback* callback) = 0;
    virtual HRESULT VEK7Z_CALL GetArchiveProperty(PROPID id, PropVariant* value) = 0;
    // GetNumberOfProperties, GetPropertyInfo, GetNumberOfArchiveProperties and
    // GetArchivePropertyInfo follow in the table; the bridge does not call them.

  protected:
    ~IInArchive() = default;
};

using CreateObjectFunction = HRESULT(VEK7Z_CALL*)(const SVekGuid* classId, const SVekGuid* iid,
                                                  void** out);

}  // namespace sevenzip
