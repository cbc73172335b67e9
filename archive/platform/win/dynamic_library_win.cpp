// LoadLibrary for the Windows build.
#include <windows.h>
// After windows.h, which it needs.
#include <oleauto.h>

#include <string>

#include "archive/platform/dynamic_library.h"

namespace vek::platform {
namespace {

// The running program's folder, with its trailing '\'; empty when the system does not say.
std::wstring ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = ::GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) {
            return std::wstring();
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768) {
            return std::wstring();
        }
        path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// The folder an installed 7-Zip recorded under its registry key, with a trailing '\'.
std::wstring InstalledCodecFolder(HKEY root, const wchar_t* value) {
    wchar_t folder[MAX_PATH];
    DWORD size = sizeof(folder);
    if (::RegGetValueW(root, L"SOFTWARE\\7-Zip", value, RRF_RT_REG_SZ, nullptr, folder, &size) !=
            ERROR_SUCCESS ||
        folder[0] == L'\0') {
        return std::wstring();
    }
    std::wstring path(folder);
    if (path.back() != L'\\' && path.back() != L'/') {
        path += L'\\';
    }
    return path;
}

}  // namespace

LibraryHandle LoadLibraryFile(const wchar_t* path) {
    if (path == nullptr || *path == L'\0') {
        return nullptr;
    }
    std::wstring name(path);
    if (name.find_first_of(L"\\/") != std::wstring::npos) {
        return ::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    // The application's folder, System32 and folders added on purpose; not the current folder
    // or PATH, where an extracted archive may have left a library of the same name.
    return ::LoadLibraryExW(path, nullptr, LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
}

void* FindLibrarySymbol(LibraryHandle library, const char* name) {
    if (library == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

void FreeLibraryFile(LibraryHandle library) {
    if (library != nullptr) {
        ::FreeLibrary(static_cast<HMODULE>(library));
    }
}

std::vector<std::wstring> CodecLibraryCandidates() {
    std::vector<std::wstring> candidates;
    // Beside the program, then where the system's safe search finds it, then the folder of an
    // installed 7-Zip (its setup records it; the library is not on any search path there).
    std::vector<std::wstring> folders = {ProgramFolder()};
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        for (const wchar_t* value : {L"Path64", L"Path"}) {
            folders.push_back(InstalledCodecFolder(root, value));
        }
    }
    for (const wchar_t* name : {L"7z.dll", L"7z64.dll"}) {
        if (!folders[0].empty()) {
            candidates.push_back(folders[0] + name);
        }
        candidates.push_back(name);
        for (size_t i = 1; i < folders.size(); ++i) {
            if (!folders[i].empty()) {
                candidates.push_back(folders[i] + name);
            }
        }
    }
    return candidates;
}

wchar_t* SystemAllocString(const wchar_t* text) {
    return ::SysAllocString(text);
}

void SystemFreeString(wchar_t* text) {
    ::SysFreeString(text);
}

}  // namespace vek::platform
