// Files and folders as the library needs them. Paths are wide text with '\' separators, as on
// Windows; the Linux implementation turns every '\' into '/' when it touches the file system.
#pragma once

#include <cstdint>

namespace vek::platform {

// An open file: a Windows HANDLE, or a POSIX descriptor on Linux.
using FileHandle = void*;
inline FileHandle const kInvalidFile = reinterpret_cast<FileHandle>(static_cast<intptr_t>(-1));

// Opens an existing file for reading. Windows tries the sharing modes read+delete,
// read+write+delete and read+write (each with the sequential-scan hint) and then, when
// lastResort is set, no sharing without the hint. Linux has no sharing modes.
FileHandle OpenFileForReading(const wchar_t* path, bool lastResort);
FileHandle OpenFileForReadingA(const char* path);

// Creates the file, replacing an existing one, for writing (sharing read and delete).
FileHandle CreateFileForWriting(const wchar_t* path);
FileHandle CreateFileForWritingA(const char* path);

// Creates a new file for writing and never touches an existing one: when the name is taken,
// fails with *alreadyExists set (other failures, a missing folder among them, leave it false).
FileHandle CreateNewFileForWriting(const wchar_t* path, bool* alreadyExists);

// Moves a closed file to a new name in the same folder, replacing a file already there.
bool MoveFileReplacing(const wchar_t* from, const wchar_t* to);

// One platform read or write; *done receives the byte count.
bool ReadFileData(FileHandle file, void* buffer, uint32_t count, uint32_t* done);
bool WriteFileData(FileHandle file, const void* data, uint32_t count, uint32_t* done);
bool SeekFile(FileHandle file, int64_t positionFromStart);
bool QueryFileSize(FileHandle file, uint64_t* size);
void CloseFile(FileHandle file);

// Sets only the last-write time, in 100-nanosecond units since 1601-01-01 UTC.
bool SetLastWriteTime(FileHandle file, int64_t fileTime);

// Windows attribute bits. Linux: read-only clears the write bits; hidden has no effect.
bool SetPathAttributes(const wchar_t* path, uint32_t attributes);

bool PathExists(const wchar_t* path);
bool IsFolder(const wchar_t* path);
bool CreateFolder(const wchar_t* path);
bool RemoveFile(const wchar_t* path);

}  // namespace vek::platform
