#include "cli/progress_sink.h"

#include <algorithm>
#include <chrono>

#include "archive/core/entry.h"
#include "archive/core/text_conversion.h"
#include "cli/console.h"
#include "cli/listing.h"

namespace cli {
namespace {

// Narrow enough for an 80-column terminal, so that '\r' always returns to the line's start.
constexpr size_t kLineWidth = 79;

int64_t SignedSize(uint64_t size) {
    return size == VEK_UNKNOWN_SIZE ? kProgressUnknown : static_cast<int64_t>(size);
}

// Keeps the end of a long name, which says most about the entry.
std::wstring FitFromLeft(const std::wstring& text, size_t width) {
    if (DisplayWidth(text) <= width) {
        return text;
    }
    std::wstring tail;
    size_t used = 3;
    for (size_t i = text.size(); i > 0; --i) {
        size_t next = DisplayWidth(std::wstring(1, text[i - 1]));
        if (used + next > width) {
            break;
        }
        used += next;
        tail.insert(tail.begin(), text[i - 1]);
    }
    return L"..." + tail;
}

}  // namespace

uint32_t CCliProgress::Now() {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void CCliProgress::StartJob(int64_t totalPackedSize, int64_t totalSize) {
    m_meter.StartJob(totalPackedSize, totalSize, Now());
}

void CCliProgress::EndJob() {
    if (m_showProgress && m_shownWidth > 0) {
        Write(stderr, L"\r" + std::wstring(m_shownWidth, L' ') + L"\r");
        m_shownWidth = 0;
    }
}

void CCliProgress::Show(const SProgressDisplay& display) {
    if (!m_showProgress) {
        return;
    }
    std::wstring head = display.totalPercentText + L"  " + display.timeText + L"  ";
    std::wstring tail = L"  " + display.currentPercentText;
    size_t room = kLineWidth > DisplayWidth(head) + DisplayWidth(tail)
                      ? kLineWidth - DisplayWidth(head) - DisplayWidth(tail)
                      : 0;
    std::wstring line = head + FitFromLeft(m_entryName, room) + tail;
    size_t width = DisplayWidth(line);
    // Pad over whatever a longer previous line left behind.
    std::wstring padding(m_shownWidth > width ? m_shownWidth - width : 0, L' ');
    Write(stderr, L"\r" + line + padding);
    m_shownWidth = width;
}

void CCliProgress::Record(unsigned code, const std::wstring& name) {
    m_errors.push_back({code, name});
    m_entryCodes.push_back(code);
}

int32_t CCliProgress::OnStartEntry(const SVekEntry* entry, int* /*skip*/, int* /*cancel*/) {
    m_entryName = entry != nullptr && entry->name != nullptr ? entry->name : L"";
    m_entryCodes.clear();
    int64_t size = entry != nullptr ? SignedSize(entry->size) : kProgressUnknown;
    int64_t packed = entry != nullptr ? static_cast<int64_t>(entry->packedSize) : 0;
    uint32_t now = Now();
    m_meter.StartEntry(packed, size, now);
    // The new entry's name is worth showing at once, even before its first chunk.
    Show(m_meter.Compute(0, 0, now));
    return 0;
}

int32_t CCliProgress::OnProgress(int64_t compressedDone, int64_t decodedDone, int* /*skip*/,
                                 int* /*cancel*/) {
    uint32_t now = Now();
    if (m_meter.TakeUpdateTurn(now)) {
        Show(m_meter.Compute(compressedDone, decodedDone, now));
    }
    return 0;
}

int32_t CCliProgress::OnCompleteEntry(int errorCode) {
    if (errorCode == 0) {
        Show(m_meter.ComputeFinished(Now()));
    } else {
        unsigned code = static_cast<unsigned>(errorCode);
        if (std::find(m_entryCodes.begin(), m_entryCodes.end(), code) == m_entryCodes.end()) {
            Record(code, m_entryName);
        }
    }
    m_meter.FinishEntry();
    return 0;
}

int32_t CCliProgress::OnErrorA(int code, const char* name, const char* detail) {
    wchar_t* wideName = ToWideString(name, 0);
    wchar_t* wideDetail = ToWideString(detail, 0);
    int32_t result = OnError(code, wideName, wideDetail);
    delete[] wideName;
    delete[] wideDetail;
    return result;
}

int32_t CCliProgress::OnError(int code, const wchar_t* name, const wchar_t* /*detail*/) {
    Record(static_cast<unsigned>(code), name != nullptr ? name : L"");
    return 0;
}

int32_t CCliProgress::OnVolumeChange(const wchar_t* /*volumePath*/) {
    return 0;
}

}  // namespace cli
