#include "fuzz/fuzz_host.h"

#include <string>

#include "archive/core/size_sum.h"
#include "cli/listing.h"

namespace {

int64_t SignedSize(uint64_t size) {
    return size == VEK_UNKNOWN_SIZE ? kProgressUnknown : static_cast<int64_t>(size);
}

}  // namespace

void FuzzListEntries(const SVekEntryList& entries, int formatType, int64_t* packedSum,
                     int64_t* sizeSum) {
    std::wstring listing = cli::FormatListing(entries, formatType);
    std::wstring summary = cli::FormatSummary(entries);
    // Something must read the texts, or the optimiser may drop the work.
    if (listing.empty() || summary.empty()) {
        __builtin_trap();
    }
    SumEntrySizes(entries, nullptr, 0, packedSum, sizeSum);
}

CFuzzProgress::CFuzzProgress(int64_t packedSum, int64_t sizeSum, int64_t writeCap)
    : m_writeCap(writeCap) {
    m_meter.StartJob(packedSum, sizeSum, Tick());
}

void CFuzzProgress::Check(int* cancel) const {
    if (m_written + m_entryWritten > m_writeCap) {
        *cancel = 1;
    }
}

int32_t CFuzzProgress::OnStartEntry(const SVekEntry* entry, int* /*skip*/, int* cancel) {
    Check(cancel);
    m_entryWritten = 0;
    if (entry != nullptr) {
        m_meter.StartEntry(SignedSize(entry->packedSize), SignedSize(entry->size), Tick());
    }
    return 0;
}

int32_t CFuzzProgress::OnProgress(int64_t compressedDone, int64_t decodedDone, int* /*skip*/,
                                  int* cancel) {
    m_entryWritten = decodedDone;
    Check(cancel);
    SProgressDisplay display = m_meter.Compute(compressedDone, decodedDone, Tick());
    m_shown += display.timeText.size() + display.totalPercentText.size();
    return 0;
}

int32_t CFuzzProgress::OnCompleteEntry(int errorCode) {
    if (errorCode == 0) {
        m_shown += m_meter.ComputeFinished(Tick()).currentPercentText.size();
    }
    m_meter.FinishEntry();
    m_written += m_entryWritten;
    m_entryWritten = 0;
    return 0;
}
