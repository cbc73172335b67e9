// Counts and sizes as the list and its status bar show them.
#pragma once

#include <cstdint>
#include <string>

// The decimal digits with "," before every group of three counted from the right
// (1234567 gives 1,234,567); empty for a negative number.
std::wstring FormatCount(int64_t n);

// A short size in units of 1024, truncated: 500B, 12.0KB, 117.7MB, 1,024MB, 1.50TB. Terabytes
// keep two fraction digits, the other units one; a grouped integer part longer than three
// characters drops the fraction. Empty for a negative number.
std::wstring FormatSize(int64_t n);
