// Output paths: characters Windows does not allow in names, folder creation, and the entry
// names the extraction loop refuses to write.
#pragma once

#include <string>

// Every '*', '<', '>', '?' and '|' becomes '_', and so does every ':' from the fourth character
// on (a drive colon such as "C:" stays).
std::wstring SanitizePath(const wchar_t* path);
std::string SanitizePath(const char* path);

// Paths of this many characters or more are not created.
constexpr size_t VEK_MAX_FOLDER_PATH = 260;

// Creates the folders of a path. Everything up to the last separator is created; the result
// says whether the whole (sanitized) path names a folder afterwards, so a path ending with a
// separator gets all of its folders.
bool CreateFolderPath(const wchar_t* path);

// The extraction target folder with its trailing separator; false when it would lead out of
// itself through a ".." component (checked with the separator in place, so "C:\x\.." counts).
bool TargetFolderWithSeparator(const wchar_t* folder, std::wstring& base);

// Whether an entry name would write outside the folder it is extracted into, or into a device:
// a ".." component, a leading separator, a drive prefix, or a component that Windows takes as a
// reserved device name (CON, PRN, AUX, NUL, COM0-9, LPT0-9, with or without an extension).
bool IsUnsafeEntryName(const wchar_t* name);
