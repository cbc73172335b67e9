// The common base of every format's extractor: the interface operations, the entry list, the
// password, and the extraction loop that creates the output files and folders. A format
// supplies its directory reader and its per-entry decoding.
#pragma once

#include <cstdint>
#include <string>

#include "archive/core/crypto.h"
#include "archive/core/entry.h"
#include "archive/core/extractor.h"
#include "archive/core/progress.h"
#include "archive/core/streams.h"

// Extraction targets are built in this many characters, the terminator included.
constexpr size_t VEK_MAX_TARGET_PATH = 520;

// Takes count bytes from what a decoder may still write (all ones: no bound); false when they
// would pass it.
inline bool TakeFromBound(uint64_t* left, uint64_t count) {
    if (*left == VEK_UNKNOWN_SIZE) {
        return true;
    }
    if (count > *left) {
        return false;
    }
    *left -= count;
    return true;
}

class CVekExtractorImpl : public IVekExtractor {
  public:
    CVekExtractorImpl();
    ~CVekExtractorImpl() override;
    CVekExtractorImpl(const CVekExtractorImpl&) = delete;
    CVekExtractorImpl& operator=(const CVekExtractorImpl&) = delete;

    int OpenStream(IVekInStream* stream) override;
    int OpenFile(const wchar_t* path) override;
    int OpenFileA(const char* path) override;
    void Close() override;
    int ExtractItemsTo(const int* indices, unsigned count, const wchar_t* folder) override;
    int ExtractAllItemsTo(const wchar_t* folder) override;
    void SetCodePage(int codePage) override { m_codePage = codePage; }
    int SetProgressSink(IVekUnknown* sink) override;
    void SetPassword(const char* password) override;
    unsigned GetLastErrorCode() override { return m_lastError; }
    SVekEntryList* GetEntryList() override { return &m_entries; }
    int IsSolid() override { return m_solid; }
    int IsEncrypted() override { return m_encrypted; }

  protected:
    // What each format supplies.
    virtual int ReadDirectory() = 0;
    virtual void ReleaseFormatState() = 0;
    virtual void ResetFormatState() = 0;
    virtual int ExtractEntryData(int index, SVekEntry* entry, IVekOutStream* out) = 0;
    virtual int ExtractSolid(const int* indices, unsigned count, const wchar_t* folder);

    // Starts an entry: clears the error, the counters and the skip flag, then tells the sink.
    void BeginEntry(SVekEntry* entry);
    // Counts a decoded chunk and tells the sink. Returns 0 (with error 23 set) when the sink
    // asked to skip or cancel.
    int AddProgress(int64_t consumed, int64_t produced);
    // Decodes one entry into out and applies its time and attributes, checking the size.
    int WriteEntryToStream(int index, SVekEntry* entry, IVekOutStream* out);
    // Reports a failure to the sink, when there is one.
    void ReportError(unsigned code, const wchar_t* name);

    // The shared decoders. The input stands at the entry's stored data (at its encryption
    // header when encrypted); 1 on success, else 0 with the error code set.
    int DecodeStored(SVekEntry* entry, IVekInStream* input, IVekOutStream* output);
    int DecodeDeflate(SVekEntry* entry, IVekInStream* input, IVekOutStream* output);
    int DecodeBzip2(SVekEntry* entry, IVekInStream* input, IVekOutStream* output);
    int DecodeLzma(SVekEntry* entry, IVekInStream* input, IVekOutStream* output);
    // ZIP method 9, deflate with a 64 KiB window; progress and skip or cancel between blocks.
    int InflateDeflate64(SVekEntry* entry, IVekInStream* input, IVekOutStream* output);

    // The decoder for the entry's method (ZIP numbering: 0, 8, 9, 12, 14); any other method
    // fails with 25. The input stands at the entry's stored data.
    int DecodeByMethod(SVekEntry* entry, IVekInStream* input, IVekOutStream* output);
    // The deflate and bzip2 loops without the decryption prologue and epilogue, for formats
    // that chain several streams in one entry. remaining is the input budget, crc runs on, and
    // unused receives the bytes read past the end of the stream.
    int InflateInto(IVekInStream* input, IVekOutStream* output, int64_t* remaining, uint32_t* crc,
                    unsigned* unused);
    int Bunzip2Into(IVekInStream* input, IVekOutStream* output, int64_t* remaining, uint32_t* crc,
                    unsigned* unused);
    // Whether the bytes written match the entry's size; formats whose size field cannot say
    // (sizes modulo 2^32) check it themselves while decoding.
    virtual bool WrittenSizeMatches(const SVekEntry* entry, uint64_t written) {
        return written == entry->size;
    }

    // The decoders' common prologue and epilogue.
    int BeginDecoding(SVekEntry* entry, IVekInStream* input, int64_t* remaining);
    // remaining: stored bytes the decoder left unread; streamFilters: the input decrypts them.
    int FinishDecoding(SVekEntry* entry, IVekInStream* input, int64_t remaining, bool streamFilters,
                       uint32_t crc);
    // The epilogue of a format's own decoder whose data carries no check of its own (ALZ's
    // bzip2 variant, BH's -lh5-): decryption finished, then the CRC compared even when it is 0,
    // since the entry's CRC is the only check there is.
    int FinishWithCrc(const SVekEntry* entry, uint32_t crc);
    const char* GetPassword() const { return m_crypto.GetPassword(); }

    int m_codePage = 0;
    unsigned m_lastError = 0;
    SVekEntryList m_entries;
    int m_inputEnded = 0;
    IVekInStream* m_stream = nullptr;
    int m_encrypted = 0;
    CVekCrypto m_crypto;
    int m_skip = 0;
    int m_cancel = 0;
    int m_solid = 0;
    IVekProgress* m_sink = nullptr;
    int64_t m_consumed = 0;
    int64_t m_decoded = 0;
    // Bytes the shared decoders may still write for the current entry: its size when that is
    // known (set by BeginDecoding), else all ones, no bound. A lying header cannot fill the disk.
    uint64_t m_outputLeft = VEK_UNKNOWN_SIZE;

  private:
    int WriteDecoded(IVekOutStream* output, const void* data, unsigned count);
    int ExtractFolderEntry(SVekEntry* entry, const std::wstring& target);
    int ExtractFileEntry(int index, SVekEntry* entry, const std::wstring& target);
};
