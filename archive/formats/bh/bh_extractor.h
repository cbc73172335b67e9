// BH archives: a flat run of entries, each a 37-byte header, the name, an extra field and the
// stored data; stored, deflate and BH method 1 (LHA's -lh5- coding) entries.
#pragma once

#include "archive/core/extractor_impl.h"

class CVekUnBH : public CVekExtractorImpl {
  public:
    CVekUnBH() { ResetFormatState(); }
    ~CVekUnBH() override { Close(); }

  protected:
    int ReadDirectory() override;
    void ReleaseFormatState() override {}
    void ResetFormatState() override { m_remainingPacked = 0; }
    int ExtractEntryData(int index, SVekEntry* entry, IVekOutStream* out) override;

  private:
    int DecodeBhMethod1(SVekEntry* entry, IVekInStream* input, IVekOutStream* out);

    int64_t m_remainingPacked = 0;
};
