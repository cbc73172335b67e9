#include "archive/formats/gzip/gzip_extractor.h"

#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <string>

#include "archive/core/byte_order.h"
#include "archive/core/errors.h"
#include "archive/core/text_conversion.h"
#include "archive/formats/gzip/single_stream_name.h"

namespace {

constexpr uint8_t kFlagHeaderCrc = 0x02;
constexpr uint8_t kFlagExtra = 0x04;
constexpr uint8_t kFlagName = 0x08;
constexpr uint8_t kFlagComment = 0x10;
constexpr unsigned kMaxStoredName = 260;  // bytes, the NUL included

struct MemberHeader {
    uint32_t modifyTime = 0;
    bool hasName = false;
    std::string name;  // the stored name's bytes
};

// Reads a member header from the stream's position up to its deflate data. False when the
// bytes are not a gzip member or the header is cut short.
bool ReadMemberHeader(IVekInStream* input, MemberHeader* header) {
    uint8_t fixed[10];
    if (!input->ReadExact(fixed, sizeof(fixed)) || fixed[0] != 0x1F || fixed[1] != 0x8B ||
        fixed[2] != 8) {
        return false;
    }
    uint8_t flags = fixed[3];
    header->modifyTime = ReadLe32(fixed + 4);
    if (flags & kFlagExtra) {
        uint8_t length[2];
        if (!input->ReadExact(length, 2)) {
            return false;
        }
        input->Seek(length[0] | (length[1] << 8), VEK_SEEK_CUR);
    }
    if (flags & kFlagName) {
        header->hasName = true;
        char c = 0;
        for (;;) {
            if (!input->ReadExact(&c, 1)) {
                return false;
            }
            if (c == '\0') {
                break;
            }
            if (header->name.size() + 1 >= kMaxStoredName) {
                return false;
            }
            header->name += c;
        }
    }
    if (flags & kFlagComment) {
        char c = 0;
        do {
            if (!input->ReadExact(&c, 1)) {
                return false;
            }
        } while (c != '\0');
    }
    if (flags & kFlagHeaderCrc) {
        uint8_t crc16[2];
        if (!input->ReadExact(crc16, 2)) {
            return false;
        }
    }
    return true;
}

// The stored name is a file name; gzip keeps no folders, so neither do we.
std::wstring LastComponent(const wchar_t* name) {
    const wchar_t* start = name;
    for (const wchar_t* p = name; *p != L'\0'; ++p) {
        if (*p == L'/' || *p == L'\\') {
            start = p + 1;
        }
    }
    return start;
}

}  // namespace

int CVekUnGzip::ReadDirectory() {
    static const wchar_t* const kTarExtensions[] = {L".tgz", nullptr};
    std::wstring name;
    if (!MakeSingleStreamName(m_stream, L"noname.gz", kTarExtensions, name)) {
        Close();
        return 0;
    }
    MemberHeader header;
    if (!ReadMemberHeader(m_stream, &header)) {
        return 0;
    }
    if (header.hasName && !header.name.empty()) {
        // A stored name that cannot be converted leaves the name made from the file's name.
        wchar_t* stored = ToWideString(header.name.c_str(), m_codePage);
        if (stored != nullptr) {
            std::wstring component = LastComponent(stored);
            if (!component.empty()) {
                name = component;
            }
            delete[] stored;
        }
    }
    int64_t dataStart = m_stream->GetPosition();
    uint64_t fileSize = m_stream->GetSize();
    uint8_t trailer[8] = {};
    m_stream->Seek(8, VEK_SEEK_END);
    m_stream->ReadExact(trailer, sizeof(trailer));
    m_stream->Seek(dataStart, VEK_SEEK_SET);

    SVekEntry* entry = new (std::nothrow) SVekEntry();
    if (entry == nullptr) {
        return 0;
    }
    entry->modifyTime = header.modifyTime;
    entry->crc = ReadLe32(trailer);
    entry->size = ReadLe32(trailer + 4);
    uint64_t start = static_cast<uint64_t>(dataStart);
    entry->packedSize = fileSize >= start + 8 ? fileSize - start - 8 : 0;
    entry->dataOffset = start;
    entry->method = 8;
    entry->SetName(name.c_str(), m_codePage);
    if (entry->name == nullptr) {
        delete entry;
        return 0;
    }
    m_entries.Add(entry);
    return 1;
}

int CVekUnGzip::ExtractEntryData(int /*index*/, SVekEntry* entry, IVekOutStream* out) {
    m_lastError = 0;
    m_stream->Seek(static_cast<int64_t>(entry->dataOffset), VEK_SEEK_SET);
    const int64_t fileSize = static_cast<int64_t>(m_stream->GetSize());
    for (;;) {
        // One member: its deflate data, then its CRC-32 and size modulo 2^32.
        int64_t remaining = fileSize - m_stream->GetPosition();
        uint32_t crc = 0;
        unsigned unused = 0;
        int64_t decodedBefore = m_decoded;
        if (!InflateInto(m_stream, out, &remaining, &crc, &unused)) {
            return 0;
        }
        m_stream->Seek(m_stream->GetPosition() - unused, VEK_SEEK_SET);
        uint8_t trailer[8];
        if (!m_stream->ReadExact(trailer, sizeof(trailer))) {
            m_lastError = VEKERR_READ_DATA;
            return 0;
        }
        if (ReadLe32(trailer) != crc) {
            m_lastError = VEKERR_CRC;
            return 0;
        }
        uint64_t memberSize = static_cast<uint64_t>(m_decoded - decodedBefore);
        if ((memberSize & 0xFFFFFFFFu) != ReadLe32(trailer + 4)) {
            m_lastError = VEKERR_WRITE;
            return 0;
        }
        // Another member may follow; anything else after a member is ignored, as gzip does.
        int64_t next = m_stream->GetPosition();
        if (next >= fileSize) {
            return 1;
        }
        MemberHeader header;
        if (!ReadMemberHeader(m_stream, &header)) {
            m_stream->Seek(next, VEK_SEEK_SET);
            uint8_t magic[2] = {};
            bool looksLikeMember =
                m_stream->ReadExact(magic, 2) && magic[0] == 0x1F && magic[1] == 0x8B;
            if (looksLikeMember) {
                m_lastError = VEKERR_INFLATE;  // a member whose header is damaged
                return 0;
            }
            return 1;
        }
    }
}
