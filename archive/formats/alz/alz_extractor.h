// ALZ archives: plain, self-extracting (a program in front) and split (.alz, .a00, .a01, ...
// joined by the multi-volume stream). A flat run of records: the archive header, a file header
// with its stored data per entry, and the end records. Entries are stored, deflated or packed
// with ALZ's bzip2 variant, optionally under traditional encryption.
#pragma once

#include <cstdint>

#include "archive/core/extractor_impl.h"

class CVekUnAlz : public CVekExtractorImpl {
  public:
    CVekUnAlz() { ResetFormatState(); }
    ~CVekUnAlz() override { Close(); }

  protected:
    int ReadDirectory() override;
    void ReleaseFormatState() override {}
    void ResetFormatState() override { m_archiveStart = 0; }
    int ExtractEntryData(int index, SVekEntry* entry, IVekOutStream* out) override;

  private:
    int FindArchiveStart();
    // 1 with the signature read, 0 at the end of the input, -1 when the read failed.
    int ReadSignature(uint32_t* signature);
    int ReadFileHeader();
    // Reads count bytes, or what is left of the input; the rest of buffer is zero. Fails only
    // when nothing at all could be read.
    int ReadField(void* buffer, unsigned count);
    int DecodeAlzBzip2(SVekEntry* entry, IVekInStream* input, IVekOutStream* out);

    int32_t m_archiveStart = 0;
};
