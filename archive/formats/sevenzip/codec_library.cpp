#include "archive/formats/sevenzip/codec_library.h"

#include <string>
#include <vector>

namespace sevenzip {

bool CCodecLibrary::Load(const wchar_t* path) {
    Free();
    std::vector<std::wstring> candidates;
    if (path != nullptr) {
        candidates.push_back(path);
    } else {
        candidates = vek::platform::CodecLibraryCandidates();
    }
    for (const std::wstring& candidate : candidates) {
        vek::platform::LibraryHandle library = vek::platform::LoadLibraryFile(candidate.c_str());
        if (library == nullptr) {
            continue;
        }
        auto create = reinterpret_cast<CreateObjectFunction>(
            vek::platform::FindLibrarySymbol(library, "CreateObject"));
        if (create == nullptr) {
            vek::platform::FreeLibraryFile(library);
            continue;
        }
        m_library = library;
        m_createObject = create;
        // Where the library brings its own BSTR functions (Linux), its strings must go through
        // them; on Windows it uses OLE's.
        m_allocString = reinterpret_cast<AllocStringFunction>(
            vek::platform::FindLibrarySymbol(library, "SysAllocString"));
        m_freeString = reinterpret_cast<FreeStringFunction>(
            vek::platform::FindLibrarySymbol(library, "SysFreeString"));
        if (m_allocString == nullptr || m_freeString == nullptr) {
            m_allocString = nullptr;
            m_freeString = nullptr;
        }
        return true;
    }
    return false;
}

void CCodecLibrary::Free() {
    vek::platform::FreeLibraryFile(m_library);
    m_library = nullptr;
    m_createObject = nullptr;
    m_allocString = nullptr;
    m_freeString = nullptr;
}

IInArchive* CCodecLibrary::CreateArchive(const SVekGuid& formatId) const {
    if (m_createObject == nullptr) {
        return nullptr;
    }
    void* object = nullptr;
    if (m_createObject(&formatId, &IInArchive::kIid, &object) != kOk) {
        return nullptr;
    }
    return static_cast<IInArchive*>(object);
}

BSTR CCodecLibrary::AllocString(const wchar_t* text) const {
    return m_allocString != nullptr ? m_allocString(text) : vek::platform::SystemAllocString(text);
}

void CCodecLibrary::ClearVariant(PropVariant& value) const {
    if (value.vt == VT_BSTR && value.bstrVal != nullptr) {
        if (m_freeString != nullptr) {
            m_freeString(value.bstrVal);
        } else {
            vek::platform::SystemFreeString(value.bstrVal);
        }
    }
    // The bridge asks only for properties of these types and strings; anything else the
    // library may hand out (arrays, blobs) would be freed by its type, so it is not accepted.
    value.vt = VT_EMPTY;
    value.uhVal = 0;
}

}  // namespace sevenzip
