// What the command line needs from the system it runs on: its arguments as wide text, paths in
// the library's spelling, output of wide text, and a password typed without echo.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace cli {

// The program's arguments after the program name, as wide text (UTF-8 on Linux).
std::vector<std::wstring> GetArguments(int argc, char** argv);

// A path as the user typed it, made absolute against the current folder, with "." and ".."
// resolved and '\' separators, so that the library's path rules (parent folder, base name, the
// refusal of ".." in a target) apply to it. Empty when there is no current folder.
std::wstring ToLibraryPath(const std::wstring& argument);

// A library path, or text holding entry names, the way the user's system spells paths.
std::wstring ToDisplayPath(const std::wstring& libraryPath);

bool IsTerminal(std::FILE* stream);

// Writes wide text to stdout or stderr in the terminal's encoding.
void Write(std::FILE* stream, const std::wstring& text);

// Shows the prompt on stderr and reads one line from the terminal without echoing it, or from
// standard input when that is not a terminal. False at the end of input.
bool ReadPassword(const std::wstring& prompt, std::wstring& password);

}  // namespace cli
