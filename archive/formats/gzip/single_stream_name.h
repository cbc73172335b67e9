// Names for the one entry of a single-stream file (.gz, .bz2), derived from the file's name.
#pragma once

#include <string>

#include "archive/core/streams.h"

constexpr int VEK_NAME_BUFFER = 260;

// Splits the last component of path into its base name and its extension (from the last '.',
// dot included). A component that starts with its only dot has no extension. Each output holds
// at most 259 characters plus the NUL. Returns 0 for a null argument.
int SplitNameAndExtension(const wchar_t* path, wchar_t* base, wchar_t* extension);

// The entry name for a single-stream file: the stream's file name (or noname when it has none)
// without its extension, plus ".tar" when the extension is one of tarExtensions (lower case,
// null-terminated list; compared ignoring case). False when the base name is empty.
bool MakeSingleStreamName(IVekInStream* stream, const wchar_t* noname,
                          const wchar_t* const* tarExtensions, std::wstring& name);
