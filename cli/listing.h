// The rows and the summary that "marlox list" prints.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/core/entry.h"

namespace cli {

// Column texts of one entry: name, size, packed size, modified (local time), CRC, method,
// encryption, attributes. formatType is the archive's detected format: the single-stream formats
// leave the method at 0 although their entry is compressed.
std::vector<std::wstring> DescribeEntry(const SVekEntry& entry, int formatType);

// The whole table with its header, columns aligned, one line per entry.
std::wstring FormatListing(const SVekEntryList& entries, int formatType);

// "Files: 3  Folders: 1  Total size: 1.4MB", as the main window's status bar sums it up.
std::wstring FormatSummary(const SVekEntryList& entries);

// Columns a text takes on a terminal: East Asian wide characters take two.
size_t DisplayWidth(const std::wstring& text);

}  // namespace cli
