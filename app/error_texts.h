// The texts the error list shows for the archive library's error codes.
#pragma once

#include <string>

// The reason shown after an entry name in the error list; codes without a text of their own
// come out as their hexadecimal value in parentheses.
std::wstring GetErrorText(unsigned code);
