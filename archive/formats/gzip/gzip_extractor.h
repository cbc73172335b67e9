// A .gz file as an archive of one entry. Files of several gzip members (concatenated, or
// written in parallel pieces) extract whole, every member checked against its own trailer.
#pragma once

#include "archive/core/extractor_impl.h"

class CVekUnGzip : public CVekExtractorImpl {
  public:
    CVekUnGzip() { ResetFormatState(); }
    ~CVekUnGzip() override { Close(); }

  protected:
    int ReadDirectory() override;
    void ReleaseFormatState() override {}
    void ResetFormatState() override {}
    int ExtractEntryData(int index, SVekEntry* entry, IVekOutStream* out) override;
    // Every member's size is checked against its trailer while decoding.
    bool WrittenSizeMatches(const SVekEntry*, uint64_t) override { return true; }
};
