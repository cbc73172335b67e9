#include "archive/core/size_sum.h"

#include "archive/core/entry.h"

namespace {

constexpr int64_t kUnknownSum = -1;

void Add(int64_t& sum, uint64_t value) {
    if (value != VEK_UNKNOWN_SIZE) {
        sum = AddSizeSaturating(sum == kUnknownSum ? 0 : sum, value);
    }
}

}  // namespace

void SumSelectionSizes(const SVekEntryList& entries, const int* indices, size_t count,
                       int64_t* packed, int64_t* size) {
    int64_t packedSum = kUnknownSum;
    int64_t sizeSum = kUnknownSum;
    auto take = [&](const SVekEntry* entry) {
        if (entry != nullptr) {
            Add(packedSum, entry->packedSize);
            Add(sizeSum, entry->size);
        }
    };
    if (indices == nullptr || count == 0) {
        for (int i = 0; i < entries.count; ++i) {
            take(entries.At(i));
        }
    } else {
        for (size_t i = 0; i < count; ++i) {
            take(entries.At(indices[i]));
        }
    }
    if (packed != nullptr) {
        *packed = packedSum;
    }
    if (size != nullptr) {
        *size = sizeSum;
    }
}
