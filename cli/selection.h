// Turning the entry names and indices of the command line into the archive's selection.
#pragma once

#include <string>
#include <vector>

#include "archive/core/entry.h"

namespace cli {

struct SSelection {
    std::vector<int> indices;             // ascending, each once
    std::vector<std::wstring> unmatched;  // the requests that named no entry
};

// Each request is an index (decimal digits) or an entry name ('/' or '\' separators); a folder's
// name also takes every entry below it. Names compare exactly, as the archive stores them.
SSelection SelectEntries(const SVekEntryList& entries, const std::vector<std::wstring>& requests);

}  // namespace cli
