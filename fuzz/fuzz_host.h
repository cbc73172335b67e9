// What a host does with an open archive besides extracting it: list every entry as the command
// line does (sizes, local times, the summary), sum the sizes of the selection, and compute the
// progress display after every chunk, as the progress dialog would. Values the fuzzer makes
// up reach the host's arithmetic this way, not only the readers'.
#pragma once

#include <cstdint>

#include "app/progress_meter.h"
#include "archive/core/entry.h"
#include "archive/core/progress.h"
#include "archive/core/unknown.h"

// Lists the entries and returns the sums the progress display starts from.
void FuzzListEntries(const SVekEntryList& entries, int formatType, int64_t* packedSum,
                     int64_t* sizeSum);

// A progress sink that computes the display on every call; the clock steps a fixed amount per
// call so that runs repeat. It cancels the run once writeCap decoded bytes were reported, so
// that no input makes a target fill a disk.
class CFuzzProgress : public CVekUnknownImp<IVekProgress> {
  public:
    CFuzzProgress(int64_t packedSum, int64_t sizeSum, int64_t writeCap);

    int32_t OnStartEntry(const SVekEntry* entry, int* skip, int* cancel) override;
    int32_t OnProgress(int64_t compressedDone, int64_t decodedDone, int* skip,
                       int* cancel) override;
    int32_t OnCompleteEntry(int errorCode) override;
    int32_t OnErrorA(int, const char*, const char*) override { return 0; }
    int32_t OnError(int, const wchar_t*, const wchar_t*) override { return 0; }
    int32_t OnVolumeChange(const wchar_t*) override { return 0; }

  private:
    uint32_t Tick() { return m_now += 250; }
    void Check(int* cancel) const;

    CProgressMeter m_meter;
    int64_t m_writeCap;
    int64_t m_written = 0;
    int64_t m_entryWritten = 0;
    uint32_t m_now = 0;
    size_t m_shown = 0;
};
