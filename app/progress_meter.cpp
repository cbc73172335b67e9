#include "app/progress_meter.h"

#include <cwchar>

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

}  // namespace

std::wstring FormatElapsed(uint32_t milliseconds) {
    uint32_t seconds = milliseconds / 1000;
    return ClockText(milliseconds / 3600000, seconds % 3600 / 60, seconds % 60);
}

void CProgressMeter::StartJob(int64_t totalPackedSize, int64_t totalSize, uint32_t now) {
    m_totalPackedSize = totalPackedSize;
    m_totalSize = totalSize;
    m_doneSize = 0;
    m_donePackedSize = 0;
    m_entrySize = 0;
    m_entryPackedSize = 0;
    m_lastUpdate = now;
    m_entryStart = now;
    m_jobStart = now;
}

void CProgressMeter::StartEntry(int64_t packedSize, int64_t size, uint32_t now) {
    m_entryPackedSize = packedSize;
    m_entrySize = size;
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

    int64_t currentPerMille = 0;
    if (m_entrySize != kProgressUnknown) {
        currentPerMille = m_entrySize != 0 ? sizeDone * 1000 / m_entrySize : 0;
    } else {
        currentPerMille = m_entryPackedSize != 0 ? packedDone * 1000 / m_entryPackedSize : 0;
    }
    display.currentPercent = static_cast<int>(currentPerMille / 10);
    display.currentPercentText = PercentText(display.currentPercent);
    display.currentTimeText = FormatElapsed(now - m_entryStart);

    // Formats that cannot tell the decoded size (a bzip2 stream) still have packed sizes.
    int64_t totalPerMille = 0;
    if (m_totalSize != kProgressUnknown) {
        totalPerMille = m_totalSize != 0 ? (m_doneSize + sizeDone) * 1000 / m_totalSize : 0;
    } else if (m_totalPackedSize != kProgressUnknown && m_totalPackedSize != 0) {
        totalPerMille = (m_donePackedSize + packedDone) * 1000 / m_totalPackedSize;
    }
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
        m_doneSize += m_entrySize;
    }
    if (m_entryPackedSize != kProgressUnknown) {
        m_donePackedSize += m_entryPackedSize;
    }
}
