#include "archive/formats/gzip/bzip2_extractor.h"

#include <new>
#include <string>

#include "archive/core/errors.h"
#include "archive/formats/gzip/single_stream_name.h"

namespace {

bool StartsBzip2Stream(IVekInStream* input) {
    uint8_t magic[4];
    return input->ReadExact(magic, 4) && magic[0] == 'B' && magic[1] == 'Z' && magic[2] == 'h' &&
           magic[3] >= '1' && magic[3] <= '9';
}

}  // namespace

int CVekUnBzip2::ReadDirectory() {
    static const wchar_t* const kTarExtensions[] = {L".tbz", L".tbz2", nullptr};
    std::wstring name;
    if (!MakeSingleStreamName(m_stream, L"noname.bz2", kTarExtensions, name)) {
        Close();
        return 0;
    }
    SVekEntry* entry = new (std::nothrow) SVekEntry();
    if (entry == nullptr) {
        return 0;
    }
    entry->packedSize = m_stream->GetSize();
    entry->size = VEK_UNKNOWN_SIZE;
    entry->method = 12;
    entry->SetName(name.c_str(), m_codePage);
    if (entry->name == nullptr) {
        delete entry;
        return 0;
    }
    m_entries.Add(entry);
    return 1;
}

int CVekUnBzip2::ExtractEntryData(int /*index*/, SVekEntry* /*entry*/, IVekOutStream* out) {
    m_lastError = 0;
    m_stream->Seek(0, VEK_SEEK_SET);
    const int64_t fileSize = static_cast<int64_t>(m_stream->GetSize());
    for (;;) {
        // libbz2 checks each stream's block and stream CRCs itself.
        int64_t remaining = fileSize - m_stream->GetPosition();
        uint32_t crc = 0;
        unsigned unused = 0;
        if (!Bunzip2Into(m_stream, out, &remaining, &crc, &unused)) {
            return 0;
        }
        int64_t next = m_stream->GetPosition() - unused;
        if (next >= fileSize) {
            return 1;
        }
        // Further streams belong to the same data (parallel compressors write several).
        m_stream->Seek(next, VEK_SEEK_SET);
        bool another = StartsBzip2Stream(m_stream);
        m_stream->Seek(next, VEK_SEEK_SET);
        if (!another) {
            return 1;
        }
    }
}
