// A .bz2 file as an archive of one entry. Files of several bzip2 streams (concatenated, or
// written in parallel pieces) extract whole.
#pragma once

#include "archive/core/extractor_impl.h"

class CVekUnBzip2 : public CVekExtractorImpl {
  public:
    CVekUnBzip2() { ResetFormatState(); }
    ~CVekUnBzip2() override { Close(); }

  protected:
    int ReadDirectory() override;
    void ReleaseFormatState() override {}
    void ResetFormatState() override {}
    int ExtractEntryData(int index, SVekEntry* entry, IVekOutStream* out) override;
};
