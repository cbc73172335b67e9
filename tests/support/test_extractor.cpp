#include "support/test_extractor.h"

#include <algorithm>

#include "archive/core/errors.h"

namespace test {

FakeExtractor::FakeExtractor(std::vector<FakeEntry> entries, int codePage)
    : m_fakes(std::move(entries)), m_fakeCodePage(codePage) {}

int FakeExtractor::Open() {
    Close();
    return ReadDirectory();
}

int FakeExtractor::ReadDirectory() {
    ++directoryReads;
    for (const FakeEntry& fake : m_fakes) {
        SVekEntry* entry = new SVekEntry();
        entry->SetNameA(fake.name.c_str(), m_fakeCodePage);
        entry->attributes = fake.attributes;
        entry->modifyTime = fake.modifyTime;
        entry->size = fake.size == VEK_UNKNOWN_SIZE - 1 ? fake.data.size() : fake.size;
        entry->packedSize = fake.data.size();
        m_entries.Add(entry);
    }
    return 1;
}

int FakeExtractor::ExtractEntryData(int index, SVekEntry* /*entry*/, IVekOutStream* out) {
    const FakeEntry& fake = m_fakes[static_cast<size_t>(index)];
    // Written in small chunks, each followed by a progress call, as the decoders do.
    for (size_t at = 0; at < fake.data.size(); at += kChunk) {
        unsigned piece = static_cast<unsigned>(std::min<size_t>(kChunk, fake.data.size() - at));
        unsigned written = 0;
        if (!out->Write(fake.data.data() + at, piece, &written) || written != piece) {
            m_lastError = VEKERR_WRITE;
            return 0;
        }
        if (!AddProgress(piece, piece)) {
            return 0;
        }
    }
    if (fake.failSilently) {
        return 0;
    }
    if (fake.failWith != 0) {
        m_lastError = fake.failWith;
        return 0;
    }
    return 1;
}

int SingleEntryExtractor::ReadDirectory() {
    SVekEntry* entry = new SVekEntry();
    entry->SetName(L"out.bin", 65001);
    entry->packedSize = m_stream->GetSize();
    m_setup(*entry);
    m_entries.Add(entry);
    return 1;
}

namespace {

// Passes everything on to the loop's output and keeps a copy of the bytes written.
class CopyingStream : public CVekUnknownImp<IVekOutStream> {
  public:
    CopyingStream(IVekOutStream* out, std::string* copy) : m_out(out), m_copy(copy) {}
    int Open(const wchar_t* path) override { return m_out->Open(path); }
    int OpenA(const char* path) override { return m_out->OpenA(path); }
    int Write(const void* data, unsigned count, unsigned* written) override {
        unsigned done = 0;
        int ok = m_out->Write(data, count, &done);
        m_copy->append(static_cast<const char*>(data), done);
        if (written != nullptr) {
            *written = done;
        }
        return ok;
    }
    int Close() override { return m_out->Close(); }
    int AcceptSize(int64_t size) override { return m_out->AcceptSize(size); }
    int SetModifyTime(int64_t unixSeconds) override { return m_out->SetModifyTime(unixSeconds); }
    int SetAttributes(uint32_t attributes) override { return m_out->SetAttributes(attributes); }
    uint64_t GetWrittenSize() override { return m_out->GetWrittenSize(); }

  private:
    IVekOutStream* m_out;
    std::string* m_copy;
};

}  // namespace

int SingleEntryExtractor::ExtractEntryData(int, SVekEntry* entry, IVekOutStream* out) {
    m_stream->Seek(0, VEK_SEEK_SET);
    decoded.clear();
    CVekRef<IVekOutStream> copying(new CopyingStream(out, &decoded));
    return DecodeByMethod(entry, m_stream, copying.Get());
}

int32_t RecordingSink::OnStartEntry(const SVekEntry* entry, int* skip, int* cancel) {
    m_current = entry->name;
    m_progressCalls = 0;
    calls.push_back({"start", 0, m_current});
    if (m_current == skipAtStart) {
        *skip = 1;
    }
    if (m_current == cancelAtStart) {
        *cancel = 1;
    }
    return 0;
}

int32_t RecordingSink::OnProgress(int64_t, int64_t decodedDone, int*, int* cancel) {
    calls.push_back({"progress", static_cast<int>(decodedDone), m_current});
    if (!cancelInProgressOf.empty() && m_current == cancelInProgressOf &&
        ++m_progressCalls == cancelAtProgressCall) {
        *cancel = 1;
    }
    return 0;
}

int32_t RecordingSink::OnCompleteEntry(int errorCode) {
    calls.push_back({"complete", errorCode, m_current});
    return 0;
}

int32_t RecordingSink::OnErrorA(int code, const char*, const char*) {
    calls.push_back({"errorA", code, L""});
    return 0;
}

int32_t RecordingSink::OnError(int code, const wchar_t* name, const wchar_t*) {
    calls.push_back({"error", code, name != nullptr ? name : L""});
    return 0;
}

int32_t RecordingSink::OnVolumeChange(const wchar_t* volumePath) {
    calls.push_back({"volume", 0, volumePath});
    return 0;
}

std::vector<int> RecordingSink::Errors() const {
    std::vector<int> codes;
    for (const SinkCall& call : calls) {
        if (call.kind == "error") {
            codes.push_back(call.code);
        }
    }
    return codes;
}

std::vector<int> RecordingSink::Completions() const {
    std::vector<int> codes;
    for (const SinkCall& call : calls) {
        if (call.kind == "complete") {
            codes.push_back(call.code);
        }
    }
    return codes;
}

}  // namespace test
