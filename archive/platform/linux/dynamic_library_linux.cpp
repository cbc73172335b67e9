// dlopen for the Linux build. Wide paths are UTF-32 here; the file system wants UTF-8.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "archive/platform/codepage.h"
#include "archive/platform/dynamic_library.h"

namespace vek::platform {
namespace {

std::string Utf8(const std::wstring& wide) {
    std::string bytes;
    if (!WideToMultiByte(VEK_CP_UTF8, wide.data(), wide.size(), bytes)) {
        bytes.clear();
    }
    return bytes;
}

// The running program's folder, with its trailing '/'; empty when the system does not say.
std::wstring ProgramFolder() {
    char buffer[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (length <= 0) {
        return std::wstring();
    }
    std::string path(buffer, static_cast<size_t>(length));
    path.erase(path.rfind('/') + 1);
    std::wstring wide;
    if (!MultiByteToWide(VEK_CP_UTF8, path.data(), path.size(), wide)) {
        wide.clear();
    }
    return wide;
}

}  // namespace

LibraryHandle LoadLibraryFile(const wchar_t* path) {
    std::string native = path != nullptr ? Utf8(path) : std::string();
    // A bare name would make dlopen search LD_LIBRARY_PATH and the system folders; the codec
    // library is only ever taken from a path we chose.
    if (native.empty() || native.find('/') == std::string::npos) {
        return nullptr;
    }
    // Kept in memory once loaded: a library that has started threads of its own must not be
    // unmapped under them, and loading it again for every archive would only cost time.
    return ::dlopen(native.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
}

void* FindLibrarySymbol(LibraryHandle library, const char* name) {
    return library != nullptr ? ::dlsym(library, name) : nullptr;
}

void FreeLibraryFile(LibraryHandle library) {
    if (library != nullptr) {
        ::dlclose(library);
    }
}

std::vector<std::wstring> CodecLibraryCandidates() {
    std::vector<std::wstring> candidates;
    std::wstring folder = ProgramFolder();
    if (!folder.empty()) {
        candidates.push_back(folder + L"7z.so");
    }
    // Debian's p7zip-full, then the folder of its successor package.
    candidates.push_back(L"/usr/lib/p7zip/7z.so");
    candidates.push_back(L"/usr/lib/7zip/7z.so");
    return candidates;
}

wchar_t* SystemAllocString(const wchar_t* /*text*/) {
    return nullptr;
}

void SystemFreeString(wchar_t* /*text*/) {}

}  // namespace vek::platform
