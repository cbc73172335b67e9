// Win32 files and folders for the Windows build.
#include <windows.h>

#include "archive/platform/files.h"

namespace vek::platform {
namespace {

FileHandle FromHandle(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? kInvalidFile : static_cast<FileHandle>(handle);
}

HANDLE ToHandle(FileHandle file) {
    return static_cast<HANDLE>(file);
}

// Another program may hold the archive open: try ever wider sharing before giving up.
constexpr DWORD kSharingModes[] = {
    FILE_SHARE_READ | FILE_SHARE_DELETE,
    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
    FILE_SHARE_READ | FILE_SHARE_WRITE,
};

}  // namespace

FileHandle OpenFileForReading(const wchar_t* path, bool lastResort) {
    for (DWORD share : kSharingModes) {
        HANDLE h = ::CreateFileW(path, GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            return FromHandle(h);
        }
    }
    if (!lastResort) {
        return kInvalidFile;
    }
    return FromHandle(::CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle OpenFileForReadingA(const char* path) {
    for (DWORD share : kSharingModes) {
        HANDLE h = ::CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            return FromHandle(h);
        }
    }
    return kInvalidFile;
}

FileHandle CreateFileForWriting(const wchar_t* path) {
    return FromHandle(::CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                    nullptr, CREATE_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

FileHandle CreateFileForWritingA(const char* path) {
    return FromHandle(::CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                    nullptr, CREATE_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

FileHandle CreateNewFileForWriting(const wchar_t* path, bool* alreadyExists) {
    HANDLE h = ::CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                             CREATE_NEW, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    DWORD error = h == INVALID_HANDLE_VALUE ? ::GetLastError() : ERROR_SUCCESS;
    *alreadyExists = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
    return FromHandle(h);
}

bool MoveFileReplacing(const wchar_t* from, const wchar_t* to) {
    return ::MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool ReadFileData(FileHandle file, void* buffer, uint32_t count, uint32_t* done) {
    DWORD got = 0;
    BOOL ok = ::ReadFile(ToHandle(file), buffer, count, &got, nullptr);
    *done = got;
    return ok != FALSE;
}

bool WriteFileData(FileHandle file, const void* data, uint32_t count, uint32_t* done) {
    DWORD put = 0;
    BOOL ok = ::WriteFile(ToHandle(file), data, count, &put, nullptr);
    *done = put;
    return ok != FALSE;
}

bool SeekFile(FileHandle file, int64_t positionFromStart) {
    LARGE_INTEGER distance;
    distance.QuadPart = positionFromStart;
    return ::SetFilePointerEx(ToHandle(file), distance, nullptr, FILE_BEGIN) != FALSE;
}

bool QueryFileSize(FileHandle file, uint64_t* size) {
    LARGE_INTEGER value;
    if (!::GetFileSizeEx(ToHandle(file), &value)) {
        return false;
    }
    *size = static_cast<uint64_t>(value.QuadPart);
    return true;
}

void CloseFile(FileHandle file) {
    if (file != kInvalidFile) {
        ::CloseHandle(ToHandle(file));
    }
}

bool SetLastWriteTime(FileHandle file, int64_t fileTime) {
    // FILETIMEs of 2^63 or more are not times (all ones even means "leave it unchanged").
    if (fileTime < 0) {
        return false;
    }
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(static_cast<uint64_t>(fileTime) & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(fileTime) >> 32);
    return ::SetFileTime(ToHandle(file), nullptr, nullptr, &ft) != FALSE;
}

bool SetPathAttributes(const wchar_t* path, uint32_t attributes) {
    return ::SetFileAttributesW(path, attributes) != FALSE;
}

bool PathExists(const wchar_t* path) {
    return ::GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const wchar_t* path) {
    DWORD attributes = ::GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateFolder(const wchar_t* path) {
    return ::CreateDirectoryW(path, nullptr) != FALSE;
}

bool RemoveFile(const wchar_t* path) {
    return ::DeleteFileW(path) != FALSE;
}

}  // namespace vek::platform
