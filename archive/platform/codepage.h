// Text conversion between code-page bytes and wide text, as the operating system does it.
// Windows answers with MultiByteToWideChar / WideCharToMultiByte; Linux answers with ICU
// converters chosen to give the same characters for the same bytes.
#pragma once

#include <cstddef>
#include <string>

namespace vek::platform {

// Code page numbers with a meaning of their own to the library.
constexpr int VEK_CP_ACP = 0;           // the system's ANSI code page (Linux: the locale's charset)
constexpr int VEK_CP_UTF8 = 65001;      // UTF-8
constexpr int VEK_CP_UTF8_MAC = 65002;  // UTF-8 in the decomposed form Mac systems write

// Converts length bytes in codePage to wide text, like MultiByteToWideChar with no flags:
// invalid sequences and unmapped bytes become the replacement the system uses, never an error.
// NUL bytes inside length are converted like any other character.
// Fails for a code page the system does not know (65002 included: see DecodeMacUtf8).
bool MultiByteToWide(int codePage, const char* bytes, size_t length, std::wstring& out);

// Converts length wide characters to codePage bytes, like WideCharToMultiByte with no flags and
// no default character: characters outside the code page become the code page's default
// character. Fails for a code page the system does not know (65002 included).
bool WideToMultiByte(int codePage, const wchar_t* text, size_t length, std::string& out);

// The ANSI code page of the running process (Windows: GetACP; Linux: 65001 for a UTF-8 locale,
// else the Windows number matching the locale's charset, or 0 where it has none).
int AnsiCodePage();

// Decodes the UTF-8 bytes Mac systems write and composes their decomposed sequences (Hangul
// jamo, Latin accents) into precomposed characters. Characters Mac systems never decompose
// (U+2000-U+2FFF, U+F900-U+FAFF, U+2F800-U+2FAFF) come out exactly as they went in.
// Fails on bytes that are not UTF-8.
bool DecodeMacUtf8(const char* bytes, size_t length, std::wstring& out);

}  // namespace vek::platform
