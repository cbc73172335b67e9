// Hard links as the codec library lists them (TAR): a link record names an earlier entry and
// holds no data of its own, so a link comes out as a copy of the file its entry became.
#pragma once

#include <cstdint>
#include <functional>

#include "archive/core/entry.h"
#include "archive/core/streams.h"

namespace sevenzip {

constexpr int32_t kNotALink = -1;
constexpr int32_t kDanglingLink = -2;

// The entry a hard link of entry `index` refers to: the last entry before it with the link's
// name (a link to a link is followed to the entry holding the data), or kDanglingLink.
// links holds the answers for the entries before index.
int32_t ResolveHardLink(const SVekEntryList& entries, const int32_t* links, int32_t index,
                        const wchar_t* linkName);

// Copies the file at source into out, calling progress after each chunk; progress returns
// false to stop. 0 when the file cannot be read or out refuses a write (code set to 21 or 48),
// -1 when progress stopped it, 1 when all was copied.
int CopyFileInto(const wchar_t* source, IVekOutStream* out,
                 const std::function<bool(unsigned)>& progress, unsigned* code);

}  // namespace sevenzip
