// Sums of entry sizes that never overflow. A sum that would pass the largest signed 64-bit
// value stays there: only a hostile archive gets that far, and a wrapped sum would read as
// negative, or as all ones, which means unknown.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

struct SVekEntryList;

constexpr int64_t VEK_SIZE_SUM_MAX = std::numeric_limits<int64_t>::max();

// sum must not be negative.
inline int64_t AddSizeSaturating(int64_t sum, uint64_t size) {
    uint64_t room = static_cast<uint64_t>(VEK_SIZE_SUM_MAX - sum);
    return size >= room ? VEK_SIZE_SUM_MAX : sum + static_cast<int64_t>(size);
}

// Sums of packed sizes and sizes over the listed indices (every entry when count is 0), each
// -1 when no entry of them had a known value. Indices that name no entry are left out.
void SumSelectionSizes(const SVekEntryList& entries, const int* indices, size_t count,
                       int64_t* packed, int64_t* size);
