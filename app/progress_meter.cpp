#include "app/progress_meter.h"

#include <cstdint>
#include <cwchar>

#include "archive/core/size_sum.h"

namespace {

// Decoding reports after every chunk; computing the display that often would cost more than
// showing it is worth.
constexpr uint32_t kUpdateInterval = 200;

std::wstring PercentText(int percent) {
    return std::to_wstring(percent) + L" %";
}

std::wstring ClockText(int64_t hours, int64_t minutes, int64_t seconds) {
    wchar_t text[64];
    std::swprintf(text, sizeof(text) / sizeof(text[0]), L"%02lld:%02lld:%02lld",
                  static_cast<long long>(hours), static_cast<long long>(minutes),
                  static_cast<long long>(seconds));
    return text;
}

// Sizes the meter cannot use (negative, from a size past 2^63) count as unknown.
int64_t KnownOrUnknown(int64_t size) {
    return size < 0 ? kProgressUnknown : size;
}

int64_t AddSizes(int64_t a, int64_t b) {
    return AddSizeSaturating(a < 0 ? 0 : a, b < 0 ? 0 : static_cast<uint64_t>(b));
}

// done of total in thousandths, 0 to 1000, for any sizes: no product passes 64 bits and no
// division is by 0.
int64_t PerMille(int64_t done, int64_t total) {
    if (total <= 0 || done <= 0) {
        return 0;
    }
    if (done >= total) {
        return 1000;
    }
    constexpr int64_t kSafe = INT64_MAX / 1000;
    return total <= kSafe ? done * 1000 / total : done / (total / 1000);
}

}  // namespace

std::wstring FormatElapsed(uint32_t milliseconds) {
    uint32_t seconds = milliseconds / 1000;
    return ClockText(milliseconds / 3600000, seconds % 3600 / 60, seconds % 60);
}

void CProgressMeter::StartJob(int64_t totalPackedSize, int64_t totalSize, uint32_t now) {
    m_totalPackedSize = KnownOrUnknown(totalPackedSize);
    m_totalSize = KnownOrUnknown(totalSize);
    m_doneSize = 0;
    m_donePackedSize = 0;
    m_entrySize = 0;
    m_entryPackedSize = 0;
    m_lastUpdate = now;
    m_entryStart = now;
    m_jobStart = now;
}

void CProgressMeter::StartEntry(int64_t packedSize, int64_t size, uint32_t now) {
    m_entryPackedSize = KnownOrUnknown(packedSize);
    m_entrySize = KnownOrUnknown(size);
    m_entryStart = now;
}

bool CProgressMeter::TakeUpdateTurn(uint32_t now) {
    // Unsigned subtraction keeps working when the tick count wraps.
    if (now - m_lastUpdate < kUpdateInterval) {
        return false;
    }
    m_lastUpdate = now;
    return true;
}

SProgressDisplay CProgressMeter::Compute(int64_t packedDone, int64_t sizeDone, uint32_t now) const {
    SProgressDisplay display;

    int64_t currentPerMille = m_entrySize != kProgressUnknown
                                  ? PerMille(sizeDone, m_entrySize)
                                  : PerMille(packedDone, m_entryPackedSize);
    display.currentPercent = static_cast<int>(currentPerMille / 10);
    display.currentPercentText = PercentText(display.currentPercent);
    display.currentTimeText = FormatElapsed(now - m_entryStart);

    // Formats that cannot tell the decoded size (a bzip2 stream) still have packed sizes.
    int64_t totalPerMille =
        m_totalSize != kProgressUnknown
            ? PerMille(AddSizes(m_doneSize, sizeDone), m_totalSize)
            : PerMille(AddSizes(m_donePackedSize, packedDone), m_totalPackedSize);
    display.totalPercent = static_cast<int>(totalPerMille / 10);
    display.totalPercentText = PercentText(display.totalPercent);

    uint32_t elapsed = now - m_jobStart;
    int64_t estimatedSeconds = totalPerMille != 0 ? elapsed / totalPerMille : 0;
    display.timeText =
        FormatElapsed(elapsed) + L" / " +
        ClockText(estimatedSeconds / 3600, estimatedSeconds % 3600 / 60, estimatedSeconds % 60);
    return display;
}

void CProgressMeter::FinishEntry() {
    // An unknown size is left out, as it is left out of the totals.
    if (m_entrySize != kProgressUnknown) {
        m_doneSize = AddSizes(m_doneSize, m_entrySize);
    }
    if (m_entryPackedSize != kProgressUnknown) {
        m_donePackedSize = AddSizes(m_donePackedSize, m_entryPackedSize);
    }
}
