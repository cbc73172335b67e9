// The numbers an extraction's progress display shows: current and total percentages, the time
// spent on the entry and the job, and the estimated time of the whole job. The clock is handed
// in as millisecond ticks so that whoever shows the display chooses when to compute it.
#pragma once

#include <cstdint>
#include <string>

// Sizes in the meter are signed; this value means unknown.
constexpr int64_t kProgressUnknown = -1;

struct SProgressDisplay {
    int currentPercent = 0;
    int totalPercent = 0;
    std::wstring currentPercentText;  // "45 %"
    std::wstring totalPercentText;
    std::wstring currentTimeText;  // "hh:mm:ss" spent on the current entry
    std::wstring timeText;         // "hh:mm:ss / hh:mm:ss": spent on the job, estimated in total
};

class CProgressMeter {
  public:
    // The sums over the entries to extract; kProgressUnknown where no size was known.
    void StartJob(int64_t totalPackedSize, int64_t totalSize, uint32_t now);
    void StartEntry(int64_t packedSize, int64_t size, uint32_t now);
    // Whether the display is due again (200 ms after the last time it was due); when it is,
    // the time is noted.
    bool TakeUpdateTurn(uint32_t now);
    // The display for the current entry with packedDone and sizeDone of it decoded so far.
    SProgressDisplay Compute(int64_t packedDone, int64_t sizeDone, uint32_t now) const;
    // The display of the current entry finished, for a successful entry.
    SProgressDisplay ComputeFinished(uint32_t now) const {
        return Compute(m_entryPackedSize, m_entrySize, now);
    }
    // Counts the current entry as done, whether it succeeded or not.
    void FinishEntry();

    int64_t EntrySize() const { return m_entrySize; }
    int64_t EntryPackedSize() const { return m_entryPackedSize; }

  private:
    int64_t m_totalSize = kProgressUnknown;
    int64_t m_totalPackedSize = kProgressUnknown;
    int64_t m_doneSize = 0;
    int64_t m_donePackedSize = 0;
    int64_t m_entrySize = 0;
    int64_t m_entryPackedSize = 0;
    uint32_t m_lastUpdate = 0;
    uint32_t m_entryStart = 0;
    uint32_t m_jobStart = 0;
};

// "hh:mm:ss" of a duration in milliseconds; hours go past 24.
std::wstring FormatElapsed(uint32_t milliseconds);
