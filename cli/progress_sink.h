// The command line's progress sink: a one-line progress display on a terminal, and the list of
// every error the library reports during an extraction.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "app/progress_meter.h"
#include "archive/core/progress.h"
#include "archive/core/unknown.h"

namespace cli {

struct SReportedError {
    unsigned code;
    std::wstring name;  // the entry's name; empty when the error concerns the whole run
};

class CCliProgress : public CVekUnknownImp<IVekProgress> {
  public:
    explicit CCliProgress(bool showProgress) : m_showProgress(showProgress) {}

    // The sums over the entries to extract (kProgressUnknown where none was known).
    void StartJob(int64_t totalPackedSize, int64_t totalSize);
    // Clears the progress line.
    void EndJob();
    const std::vector<SReportedError>& Errors() const { return m_errors; }

    int32_t OnStartEntry(const SVekEntry* entry, int* skip, int* cancel) override;
    int32_t OnProgress(int64_t compressedDone, int64_t decodedDone, int* skip,
                       int* cancel) override;
    int32_t OnCompleteEntry(int errorCode) override;
    int32_t OnErrorA(int code, const char* name, const char* detail) override;
    int32_t OnError(int code, const wchar_t* name, const wchar_t* detail) override;
    int32_t OnVolumeChange(const wchar_t* volumePath) override;

  private:
    static uint32_t Now();
    void Show(const SProgressDisplay& display);
    void Record(unsigned code, const std::wstring& name);

    bool m_showProgress;
    CProgressMeter m_meter;
    std::wstring m_entryName;
    // Codes already recorded for the current entry: a failure reported through OnError and
    // again in OnCompleteEntry is listed once.
    std::vector<unsigned> m_entryCodes;
    std::vector<SReportedError> m_errors;
    size_t m_shownWidth = 0;
};

}  // namespace cli
