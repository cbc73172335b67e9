// The command line's English wording of the archive library's error codes.
#pragma once

#include <string>

namespace cli {

// A short English text for a library error code; codes the library does not define read
// "unknown error".
const wchar_t* GetErrorMessage(unsigned code);

// The text with its code, as every error is printed: "CRC mismatch (error 24)".
std::wstring DescribeError(unsigned code);

}  // namespace cli
