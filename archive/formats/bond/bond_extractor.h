// Bond archives (.hv3): a tree of tagged chunks with an index of entry records; entries are
// stored, never compressed, and are copied out with a CRC-32 check.
#pragma once

#include "archive/core/extractor_impl.h"

class CVekUnBond : public CVekExtractorImpl {
  public:
    CVekUnBond() { ResetFormatState(); }
    ~CVekUnBond() override { Close(); }

  protected:
    int ReadDirectory() override;
    void ReleaseFormatState() override { m_scrambling = 0; }
    void ResetFormatState() override {}
    int ExtractEntryData(int index, SVekEntry* entry, IVekOutStream* out) override;

  private:
    uint32_t m_scrambling = 0;  // the ENCR mode of the last open
};
