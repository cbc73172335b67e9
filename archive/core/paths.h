// Output paths: characters Windows does not allow in names, folder creation, and the entry
// names the extraction loop refuses to write.
#pragma once

#include <string>

// Every '*', '<', '>', '?' and '|' becomes '_', and so does every ':' from the fourth character
// on (a drive colon such as "C:" stays). The path's root (see PathRootLength) is kept as it is.
std::wstring SanitizePath(const wchar_t* path);
std::string SanitizePath(const char* path);

// Paths of this many characters or more are not created.
constexpr size_t VEK_MAX_FOLDER_PATH = 260;

// The part of a path that names no folder to create, with its separator: a drive (C:\ or C:),
// a leading separator, a server and its share (\\nas\share), and the same behind the long-path
// prefix (\\?\C:\ and \\?\UNC\nas\share); 0 for a relative path.
size_t PathRootLength(const std::wstring& path);

// Creates the folders of a path below its root. Everything up to the last separator is created; the
// result says whether the whole (sanitized) path names a folder afterwards, so a path ending with a
// separator gets all of its folders.
bool CreateFolderPath(const wchar_t* path);

// The extraction target folder with its trailing separator; false when it would lead out of
// itself through a ".." component (checked with the separator in place, so "C:\x\.." counts).
bool TargetFolderWithSeparator(const wchar_t* folder, std::wstring& base);

// Whether an entry name would write outside the folder it is extracted into, or into a device:
// a ".." component, a leading separator, a drive prefix, or a component that Windows takes as a
// reserved device name (CON, PRN, AUX, NUL, COM0-9, LPT0-9, with or without an extension).
bool IsUnsafeEntryName(const wchar_t* name);
