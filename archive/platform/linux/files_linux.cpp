// POSIX files for the Linux build. Wide paths are UTF-32 here; the file system wants UTF-8
// bytes with '/' separators.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "archive/platform/codepage.h"
#include "archive/platform/files.h"

namespace vek::platform {
namespace {

std::string NativePath(const wchar_t* path) {
    std::wstring wide(path);
    for (wchar_t& c : wide) {
        if (c == L'\\') {
            c = L'/';
        }
    }
    std::string bytes;
    if (!WideToMultiByte(VEK_CP_UTF8, wide.data(), wide.size(), bytes)) {
        bytes.clear();
    }
    return bytes;
}

std::wstring WidePathFromAnsi(const char* path) {
    std::wstring wide;
    if (!MultiByteToWide(VEK_CP_ACP, path, std::char_traits<char>::length(path), wide)) {
        wide.clear();
    }
    return wide;
}

FileHandle FromDescriptor(int fd) {
    return fd < 0 ? kInvalidFile : reinterpret_cast<FileHandle>(static_cast<intptr_t>(fd));
}

int ToDescriptor(FileHandle file) {
    return static_cast<int>(reinterpret_cast<intptr_t>(file));
}

FileHandle OpenNative(const std::string& path, int flags) {
    if (path.empty()) {
        return kInvalidFile;
    }
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0 && (flags & O_ACCMODE) == O_RDONLY) {
        // A folder opens fine for reading on POSIX; on Windows it does not open as a file.
        struct stat st;
        if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
            ::close(fd);
            return kInvalidFile;
        }
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    return FromDescriptor(fd);
}

}  // namespace

FileHandle OpenFileForReading(const wchar_t* path, bool /*lastResort*/) {
    return OpenNative(NativePath(path), O_RDONLY);
}

FileHandle OpenFileForReadingA(const char* path) {
    return OpenFileForReading(WidePathFromAnsi(path).c_str(), false);
}

FileHandle CreateFileForWriting(const wchar_t* path) {
    return OpenNative(NativePath(path), O_WRONLY | O_CREAT | O_TRUNC);
}

FileHandle CreateFileForWritingA(const char* path) {
    return CreateFileForWriting(WidePathFromAnsi(path).c_str());
}

FileHandle CreateNewFileForWriting(const wchar_t* path, bool* alreadyExists) {
    *alreadyExists = false;
    errno = 0;
    FileHandle file = OpenNative(NativePath(path), O_WRONLY | O_CREAT | O_EXCL);
    if (file == kInvalidFile && errno == EEXIST) {
        *alreadyExists = true;
    }
    return file;
}

bool MoveFileReplacing(const wchar_t* from, const wchar_t* to) {
    std::string source = NativePath(from);
    std::string destination = NativePath(to);
    return !source.empty() && !destination.empty() &&
           ::rename(source.c_str(), destination.c_str()) == 0;
}

bool ReadFileData(FileHandle file, void* buffer, uint32_t count, uint32_t* done) {
    *done = 0;
    ssize_t got;
    do {
        got = ::read(ToDescriptor(file), buffer, count);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        return false;
    }
    *done = static_cast<uint32_t>(got);
    return true;
}

bool WriteFileData(FileHandle file, const void* data, uint32_t count, uint32_t* done) {
    // Like WriteFile on a disk file: the whole count is written unless an error stops it.
    *done = 0;
    const char* bytes = static_cast<const char*>(data);
    while (*done < count) {
        ssize_t put = ::write(ToDescriptor(file), bytes + *done, count - *done);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (put == 0) {
            return false;
        }
        *done += static_cast<uint32_t>(put);
    }
    return true;
}

bool SeekFile(FileHandle file, int64_t positionFromStart) {
    return ::lseek(ToDescriptor(file), static_cast<off_t>(positionFromStart), SEEK_SET) >= 0;
}

bool QueryFileSize(FileHandle file, uint64_t* size) {
    struct stat st;
    if (::fstat(ToDescriptor(file), &st) != 0) {
        return false;
    }
    *size = static_cast<uint64_t>(st.st_size);
    return true;
}

void CloseFile(FileHandle file) {
    if (file != kInvalidFile) {
        ::close(ToDescriptor(file));
    }
}

bool SetLastWriteTime(FileHandle file, int64_t fileTime) {
    // File times count 100-nanosecond units from 1601; POSIX counts from 1970.
    constexpr int64_t kUnitsPerSecond = 10000000;
    constexpr int64_t kEpochDifference = 11644473600LL * kUnitsPerSecond;
    // Windows refuses times before 1601 (FILETIMEs of 2^63 or more); so do we, and the
    // subtraction below cannot overflow.
    if (fileTime < 0) {
        return false;
    }
    int64_t sinceUnixEpoch = fileTime - kEpochDifference;
    int64_t seconds = sinceUnixEpoch / kUnitsPerSecond;
    int64_t rest = sinceUnixEpoch % kUnitsPerSecond;
    if (rest < 0) {
        rest += kUnitsPerSecond;
        --seconds;
    }
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(seconds);
    times[1].tv_nsec = static_cast<long>(rest * 100);
    return ::futimens(ToDescriptor(file), times) == 0;
}

bool SetPathAttributes(const wchar_t* path, uint32_t attributes) {
    std::string native = NativePath(path);
    struct stat st;
    if (native.empty() || ::stat(native.c_str(), &st) != 0) {
        return false;
    }
    mode_t mode = st.st_mode & 07777;
    constexpr uint32_t kReadOnly = 0x1;
    if (attributes & kReadOnly) {
        mode &= static_cast<mode_t>(~(S_IWUSR | S_IWGRP | S_IWOTH));
    } else if (!(mode & S_IWUSR)) {
        mode |= S_IWUSR;
    }
    return ::chmod(native.c_str(), mode) == 0;
}

bool PathExists(const wchar_t* path) {
    std::string native = NativePath(path);
    struct stat st;
    return !native.empty() && ::stat(native.c_str(), &st) == 0;
}

bool IsFolder(const wchar_t* path) {
    std::string native = NativePath(path);
    struct stat st;
    return !native.empty() && ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateFolder(const wchar_t* path) {
    std::string native = NativePath(path);
    return !native.empty() && ::mkdir(native.c_str(), 0777) == 0;
}

bool RemoveFile(const wchar_t* path) {
    std::string native = NativePath(path);
    return !native.empty() && ::unlink(native.c_str()) == 0;
}

}  // namespace vek::platform
