// Sums of entry sizes that never overflow. A sum that would pass the largest signed 64-bit
// value stays there: only a hostile archive gets that far, and a wrapped sum would read as
// negative, or as all ones, which means unknown.
#pragma once

#include <cstdint>
#include <limits>

constexpr int64_t VEK_SIZE_SUM_MAX = std::numeric_limits<int64_t>::max();

// sum must not be negative.
inline int64_t AddSizeSaturating(int64_t sum, uint64_t size) {
    uint64_t room = static_cast<uint64_t>(VEK_SIZE_SUM_MAX - sum);
    return size >= room ? VEK_SIZE_SUM_MAX : sum + static_cast<int64_t>(size);
}
