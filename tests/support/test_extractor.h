// Test doubles for the extraction loop: an extractor whose entries and data come from the
// test, and a progress sink that records every call and can skip or cancel on cue.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "archive/core/extractor_impl.h"

namespace test {

struct FakeEntry {
    std::string name;  // as stored: '/' or '\' separators, in the code page given to Open
    std::string data;
    uint32_t attributes = 0;
    int64_t modifyTime = 0;
    uint64_t size = VEK_UNKNOWN_SIZE - 1;  // taken from data unless set
    unsigned failWith = 0;                 // decoding fails with this code after the data
    bool failSilently = false;             // decoding fails without setting a code
};

class FakeExtractor : public CVekExtractorImpl {
  public:
    static constexpr unsigned kChunk = 4;

    FakeExtractor(std::initializer_list<FakeEntry> entries = {})
        : FakeExtractor(std::vector(entries)) {}
    explicit FakeExtractor(std::vector<FakeEntry> entries, int codePage = 65001);
    ~FakeExtractor() override { Close(); }

    // Opens without any input: the entries are the archive.
    int Open();
    using CVekExtractorImpl::GetPassword;
    int directoryReads = 0;

  protected:
    int ReadDirectory() override;
    void ReleaseFormatState() override {}
    void ResetFormatState() override {}
    int ExtractEntryData(int index, SVekEntry* entry, IVekOutStream* out) override;

  private:
    std::vector<FakeEntry> m_fakes;
    int m_fakeCodePage;
};

// One entry whose stored data is the whole input file, decoded by its method (0, 8, 9, 12 or
// 14) as a format's ExtractEntryData would. The entry is named out.bin, its packed size is the
// input's size, and setup fills in the rest.
class SingleEntryExtractor : public CVekExtractorImpl {
  public:
    using Setup = std::function<void(SVekEntry&)>;
    explicit SingleEntryExtractor(Setup setup) : m_setup(std::move(setup)) {}
    ~SingleEntryExtractor() override { Close(); }

    // What the decoder wrote for the last entry, also when the entry failed and the loop
    // left no file.
    std::string decoded;

  protected:
    int ReadDirectory() override;
    void ReleaseFormatState() override {}
    void ResetFormatState() override {}
    int ExtractEntryData(int index, SVekEntry* entry, IVekOutStream* out) override;

  private:
    Setup m_setup;
};

struct SinkCall {
    std::string kind;  // "start", "progress", "complete", "error"
    int code = 0;
    std::wstring name;
};

class RecordingSink : public CVekUnknownImp<IVekProgress> {
  public:
    int32_t OnStartEntry(const SVekEntry* entry, int* skip, int* cancel) override;
    int32_t OnProgress(int64_t compressedDone, int64_t decodedDone, int* skip,
                       int* cancel) override;
    int32_t OnCompleteEntry(int errorCode) override;
    int32_t OnErrorA(int code, const char* name, const char* detail) override;
    int32_t OnError(int code, const wchar_t* name, const wchar_t* detail) override;
    int32_t OnVolumeChange(const wchar_t* volumePath) override;

    std::vector<SinkCall> calls;
    // Cues: act when the named entry starts, or on its nth progress call (1-based).
    std::wstring skipAtStart, cancelAtStart, cancelInProgressOf;
    int cancelAtProgressCall = 1;

    std::vector<int> Errors() const;
    std::vector<int> Completions() const;

  private:
    std::wstring m_current;
    int m_progressCalls = 0;
};

}  // namespace test
