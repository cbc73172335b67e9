// Path helpers shared by the main program and the command line. Paths are wide text with '\'
// separators, as the archive library spells them.
#pragma once

#include <string>

// The folder part of a path, ending with '\': C:\a\b.zip gives C:\a\. A single trailing '\' is
// dropped first, so C:\a\b\ gives C:\a\ too. Empty when there is no '\'.
std::wstring GetParentFolder(const std::wstring& path);

// The file name without its folder and without its extension (from the last '.'):
// C:\a\b.tar.gz gives b.tar.
std::wstring GetBaseName(const std::wstring& path);

// The text after the last '/', '\' or '|'; the whole text when there is none.
std::wstring GetFileNamePart(const std::wstring& path);

// folder and name with exactly one '\' between them; one leading '\' of name is dropped.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);
