// Libraries loaded at run time (the 7-Zip codec library), and where to look for them.
#pragma once

#include <string>
#include <vector>

namespace vek::platform {

using LibraryHandle = void*;

// Loads a library by full path, or by bare name through the system's safe search order (never
// the current folder, where an archive's contents may have been extracted). Null on failure.
LibraryHandle LoadLibraryFile(const wchar_t* path);
void* FindLibrarySymbol(LibraryHandle library, const char* name);
void FreeLibraryFile(LibraryHandle library);

// The codec library's candidates in the order they are tried: beside the program first, then
// where the system keeps it (Windows: the names "7z.dll" and "7z64.dll"; Linux: the folders
// Debian's packages install 7z.so into).
std::vector<std::wstring> CodecLibraryCandidates();

// OLE's BSTR functions where the system has them (Windows); null and a no-op elsewhere, where
// the codec library exports its own.
wchar_t* SystemAllocString(const wchar_t* text);
void SystemFreeString(wchar_t* text);

}  // namespace vek::platform
