// The loaded 7-Zip codec library: its CreateObject and the BSTR and PROPVARIANT helpers that
// must match the library's own allocator.
#pragma once

#include "archive/formats/sevenzip/codec_interfaces.h"
#include "archive/platform/dynamic_library.h"

namespace sevenzip {

class CCodecLibrary {
  public:
    CCodecLibrary() = default;
    CCodecLibrary(const CCodecLibrary&) = delete;
    CCodecLibrary& operator=(const CCodecLibrary&) = delete;
    ~CCodecLibrary() { Free(); }

    // Loads the first candidate that opens and exports CreateObject: the given path only, or
    // else the platform's candidates.
    bool Load(const wchar_t* path = nullptr);
    void Free();
    bool IsLoaded() const { return m_createObject != nullptr; }

    // An object of the library; null when it cannot be created.
    IInArchive* CreateArchive(const SVekGuid& formatId) const;

    // A copy of text in the library's BSTR allocator; null when it cannot allocate.
    BSTR AllocString(const wchar_t* text) const;
    // Frees what the library put into a PROPVARIANT and empties it.
    void ClearVariant(PropVariant& value) const;

  private:
    using AllocStringFunction = BSTR(VEK7Z_CALL*)(const wchar_t*);
    using FreeStringFunction = void(VEK7Z_CALL*)(BSTR);

    vek::platform::LibraryHandle m_library = nullptr;
    CreateObjectFunction m_createObject = nullptr;
    AllocStringFunction m_allocString = nullptr;
    FreeStringFunction m_freeString = nullptr;
};

// A PROPVARIANT filled by the library and cleared with its allocator.
class CPropVariant {
  public:
    explicit CPropVariant(const CCodecLibrary& library) : m_library(library) {
        value.vt = VT_EMPTY;
    }
    CPropVariant(const CPropVariant&) = delete;
    CPropVariant& operator=(const CPropVariant&) = delete;
    ~CPropVariant() { m_library.ClearVariant(value); }

    bool IsTrue() const { return value.vt == VT_BOOL && value.boolVal != 0; }

    PropVariant value{};

  private:
    const CCodecLibrary& m_library;
};

}  // namespace sevenzip
