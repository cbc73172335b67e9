#include "archive/formats/zip/zip_extractor.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "archive/core/byte_order.h"
#include "archive/core/crypto.h"
#include "archive/core/errors.h"
#include "archive/core/time_conversion.h"
#include "archive/formats/zip/zip_descriptor.h"

namespace {

constexpr uint32_t kLocalHeader = 0x04034B50;
constexpr uint32_t kCentralRecord = 0x02014B50;
constexpr uint32_t kEndRecord = 0x06054B50;
constexpr uint32_t kZip64EndRecord = 0x06064B50;
constexpr uint32_t kZip64Locator = 0x07064B50;
constexpr uint32_t kSignatureRecord = 0x05054B50;
constexpr uint32_t kNoSignature = 0xFFFFFFFF;

constexpr unsigned kStartScan = 204800;
constexpr unsigned kEndWindow = 1028;
constexpr uint64_t kEndSearch = 65535;
constexpr unsigned kMaxLocalName = 259;
constexpr uint32_t kUnset32 = 0xFFFFFFFF;  // a 32-bit field whose value is in the ZIP64 field
constexpr unsigned kZip64EndFixed = 52;    // after the signature: size, versions, disks, counts
constexpr unsigned kZip64LocatorSize = 16;

constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagDataDescriptor = 0x0008;
constexpr uint16_t kFlagUtf8 = 0x0800;
constexpr int32_t kMethodAes = 99;

// What the extra fields of one header say.
struct SZipExtra {
    bool hasSize = false;
    bool hasPackedSize = false;
    bool hasHeaderOffset = false;
    uint64_t size = 0;
    uint64_t packedSize = 0;
    uint64_t headerOffset = 0;
    uint32_t aesEncryption = 0;
    int32_t aesMethod = -1;
};

// Reads the ZIP64 field (0x0001) and the AES field (0x9901). The ZIP64 field holds, in this
// order, only the values whose 32-bit header fields are all ones: reading it by position
// regardless would take a header offset for a size.
SZipExtra ParseExtraFields(const uint8_t* block, size_t length, uint32_t size, uint32_t packedSize,
                           uint32_t headerOffset) {
    SZipExtra extra;
    if (length < 5) {
        return extra;
    }
    size_t at = 0;
    while (at + 4 <= length) {
        uint16_t tag = ReadLe16(block + at);
        size_t dataSize = ReadLe16(block + at + 2);
        const uint8_t* data = block + at + 4;
        if (at + 4 + dataSize > length) {
            break;
        }
        if (tag == 0x0001) {
            size_t field = 0;
            if (size == kUnset32 && field + 8 <= dataSize) {
                extra.hasSize = true;
                extra.size = ReadLe64(data + field);
                field += 8;
            }
            if (packedSize == kUnset32 && field + 8 <= dataSize) {
                extra.hasPackedSize = true;
                extra.packedSize = ReadLe64(data + field);
                field += 8;
            }
            if (headerOffset == kUnset32 && field + 8 <= dataSize) {
                extra.hasHeaderOffset = true;
                extra.headerOffset = ReadLe64(data + field);
            }
        } else if (tag == 0x9901 && dataSize >= 7) {
            uint8_t strength = data[4];
            if (strength >= 1 && strength <= 3) {
                extra.aesEncryption = VEK_CRYPT_AES128 + (strength - 1);
            }
            extra.aesMethod = ReadLe16(data + 5);
        }
        at += 4 + dataSize;
    }
    return extra;
}

// What the reader knows of an entry beyond its record: kept as the entry's extra data.
struct SZipEntryState : VekExtraData {
    // The input ends inside the entry's data, before its data descriptor was found.
    bool descriptorMissing = false;
    // The entry's data reaches into another entry's local header (or shares it).
    bool overlaps = false;
};

// The least an entry takes from its local header on: the header without name and extra field,
// then its stored data.
constexpr uint64_t kLocalHeaderFixed = 30;

// The entry's state, made on first use; null when there is no memory for it.
SZipEntryState* StateOf(SVekEntry* entry) {
    if (entry->extra == nullptr) {
        entry->extra = new (std::nothrow) SZipEntryState();
    }
    // ZIP entries carry no other extra data.
    return static_cast<SZipEntryState*>(entry->extra);
}

void ApplyExtra(const SZipExtra& extra, SVekEntry* entry) {
    if (extra.hasSize) {
        entry->size = extra.size;
    }
    if (extra.hasPackedSize) {
        entry->packedSize = extra.packedSize;
    }
    if (extra.aesEncryption != 0) {
        entry->encryption = extra.aesEncryption;
    }
    if (extra.aesMethod >= 0 && entry->method == kMethodAes) {
        entry->method = extra.aesMethod;
    }
}

}  // namespace

CVekUnZip::CVekUnZip() {
    ResetFormatState();
}

void CVekUnZip::ResetFormatState() {
    m_centralPosition = 0;
    m_archiveStart = 0;
    m_volumes = nullptr;
}

void CVekUnZip::ReleaseFormatState() {
    m_headerIndex.clear();
    if (m_volumes != nullptr) {
        m_volumes->Release();
        m_volumes = nullptr;
    }
}

uint64_t CVekUnZip::VolumeStart(int volume) {
    return m_volumes != nullptr ? static_cast<uint64_t>(m_volumes->GetVolumeOffset(volume)) : 0;
}

int CVekUnZip::ReadDirectory() {
    // Names and records go into standard containers: running out of memory must come back as
    // an error code, never as an exception through the extractor's interface.
    try {
        return ListEntries();
    } catch (const std::bad_alloc&) {
        if (m_lastError == 0) {
            m_lastError = VEKERR_NO_MEMORY_CENTRAL;
        }
        return 0;
    }
}

int CVekUnZip::ListEntries() {
    void* multi = nullptr;
    if (m_stream->QueryInterface(IVekMultiInStream::kIid, &multi) == VEK_S_OK) {
        m_volumes = static_cast<IVekMultiInStream*>(multi);
    }
    m_stream->Seek(0, VEK_SEEK_SET);
    if (!FindArchiveStart()) {
        return 0;
    }
    bool central = false;
    int64_t delta = 0;
    if (FindEndRecord()) {
        int64_t endPosition = m_stream->GetPosition();
        if (ReadSignature() == kEndRecord && ReadEndRecord(endPosition) &&
            m_centralPosition != kUnset32) {
            if (m_archiveStart == 0 || m_archiveStart == 4) {
                central = true;
            } else if (CentralRecordAt(m_centralPosition)) {
                // A self-extractor whose offsets were adjusted to the whole file.
                central = true;
            } else if (CentralRecordAt(m_centralPosition + static_cast<uint64_t>(m_archiveStart))) {
                // An archive with a program put in front of it: offsets count from the archive.
                central = true;
                delta = m_archiveStart;
            }
        }
    }
    if (central) {
        int result = ReadCentralDirectory(delta);
        if (m_entries.count > 0 && !RefuseOverlappingEntries()) {
            result = 0;
        }
        if (result || m_entries.count > 0) {
            return result;
        }
        // Nothing could be listed from the central directory; the local headers may still be
        // intact.
        m_lastError = 0;
    }
    return ReadSequentially();
}

int CVekUnZip::RefuseOverlappingEntries() {
    // Directory records whose entries overlap make a small archive extract into far more than
    // it holds (several records for one local header, or data that runs over the headers of
    // the entries after it). Every entry should end before the next local header begins.
    std::vector<std::pair<uint64_t, int>> byOffset;
    byOffset.reserve(static_cast<size_t>(m_entries.count));
    for (int i = 0; i < m_entries.count; ++i) {
        byOffset.emplace_back(m_entries.At(i)->headerOffset, i);
    }
    std::sort(byOffset.begin(), byOffset.end());
    bool refused = false;
    for (size_t k = 0; k < byOffset.size(); ++k) {
        SVekEntry* entry = m_entries.At(byOffset[k].second);
        uint64_t offset = byOffset[k].first;
        bool shared = (k > 0 && byOffset[k - 1].first == offset) ||
                      (k + 1 < byOffset.size() && byOffset[k + 1].first == offset);
        bool runsOver = false;
        if (k + 1 < byOffset.size()) {
            uint64_t room = byOffset[k + 1].first - offset;
            runsOver = room < kLocalHeaderFixed || room - kLocalHeaderFixed < entry->packedSize;
        }
        if (shared || runsOver) {
            SZipEntryState* state = StateOf(entry);
            if (state == nullptr) {
                m_lastError = VEKERR_NO_MEMORY_CENTRAL;
                return 0;
            }
            state->overlaps = true;
            refused = true;
        }
    }
    if (refused) {
        m_lastError = VEKERR_DAMAGED;
        return 0;
    }
    return 1;
}

bool CVekUnZip::CentralRecordAt(uint64_t position) {
    uint8_t signature[4];
    return m_stream->Seek(static_cast<int64_t>(position), VEK_SEEK_SET) ==
               static_cast<int64_t>(position) &&
           m_stream->ReadExact(signature, 4) && ReadLe32(signature) == kCentralRecord;
}

int CVekUnZip::ReadCentralDirectory(int64_t delta) {
    m_stream->Seek(m_archiveStart, VEK_SEEK_SET);
    if (ReadSignature() != kLocalHeader) {
        m_lastError = VEKERR_NOT_ARCHIVE;
        return 0;
    }
    m_stream->Seek(static_cast<int64_t>(m_centralPosition) + delta, VEK_SEEK_SET);
    for (;;) {
        switch (ReadSignature()) {
            case kCentralRecord:
                ReadCentralRecord(true, delta);
                break;
            case kZip64EndRecord:
                SkipRecord(kZip64EndFixed);
                break;
            case kZip64Locator:
                SkipRecord(kZip64LocatorSize);
                break;
            case kEndRecord:
            case kSignatureRecord:
                return 1;
            default:
                if (m_lastError == 0) {
                    m_lastError = VEKERR_DAMAGED;
                }
                return 0;
        }
    }
}

int CVekUnZip::ReadSequentially() {
    m_stream->Seek(m_archiveStart, VEK_SEEK_SET);
    bool seen = false;
    for (;;) {
        uint8_t bytes[4];
        if (!m_stream->ReadExact(bytes, 4)) {
            m_inputEnded = m_stream->IsEnd();
            if (m_inputEnded) {
                return EndOfWalk(seen);
            }
            m_lastError = seen ? VEKERR_DAMAGED : VEKERR_NOT_ARCHIVE;
            return 0;
        }
        int ok = 1;
        switch (ReadLe32(bytes)) {
            case kNoSignature:
                return 1;
            case 0:
                m_lastError = seen ? VEKERR_DAMAGED : VEKERR_NOT_ARCHIVE;
                return 0;
            case kLocalHeader:
                ok = ReadLocalHeader(nullptr);
                seen = true;
                break;
            case kCentralRecord:
                ok = ReadCentralRecord(false, 0);
                break;
            case kEndRecord:
                // The archive ends with this record; what follows is not the archive's.
                return ReadEndRecord(m_stream->GetPosition() - 4);
            case kZip64EndRecord:
                ok = SkipRecord(kZip64EndFixed);
                break;
            case kZip64Locator:
                ok = SkipRecord(kZip64LocatorSize);
                break;
            default:
                // The entries so far stay listed.
                m_lastError = seen ? VEKERR_DAMAGED : VEKERR_NOT_ARCHIVE;
                return 0;
        }
        if (!ok) {
            return 0;
        }
        if (m_stream->IsEnd()) {
            return EndOfWalk(seen);
        }
    }
}

int CVekUnZip::EndOfWalk(bool seen) {
    // Every archive ends with an end record: an input that ends before it was cut short
    // (a download that stopped, a pipe that broke), whatever could be listed.
    if (seen) {
        m_lastError = VEKERR_DAMAGED;
        return 0;
    }
    return 1;
}

int CVekUnZip::FindArchiveStart() {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kStartScan]);
    if (!buffer) {
        m_lastError = VEKERR_NO_MEMORY_CENTRAL;
        return 0;
    }
    m_archiveStart = 0;
    uint64_t size = m_stream->GetSize();
    unsigned count = kStartScan;
    if (size <= kStartScan) {
        if (size < 4) {
            m_lastError = VEKERR_NOT_ARCHIVE;
            return 0;
        }
        count = static_cast<unsigned>(size);
    }
    // A split set with a volume missing may not deliver all of them; the start is in the
    // first bytes.
    unsigned got = 0;
    if (!m_stream->Read(buffer.get(), count, &got)) {
        if (got < 4) {
            m_lastError = VEKERR_READ_SIGNATURE;
            return 0;
        }
        count = got;
    }
    const uint8_t* p = buffer.get();
    if (std::memcmp(p, "PK\x03\x04", 4) == 0) {
        return 1;
    }
    // The first volume of a split archive starts with a spanning signature.
    if (std::memcmp(p, "PK\x07\x08", 4) == 0 ||
        (count >= 8 && std::memcmp(p, "PK00PK\x03\x04", 8) == 0)) {
        m_archiveStart = 4;
        return 1;
    }
    for (int i = 0; i <= static_cast<int>(count) - 6; ++i) {
        if (std::memcmp(p + i, "PK\x03\x04", 4) == 0) {
            m_archiveStart = i;
            break;
        }
    }
    return 1;
}

int CVekUnZip::FindEndRecord() {
    uint8_t buffer[kEndWindow];
    uint64_t size = m_stream->GetSize();
    uint64_t limit = size < kEndSearch ? size : kEndSearch;
    uint64_t back = 4;
    uint64_t found = 0;
    // Windows of 1028 bytes from the end, overlapping by 4 so that no signature is cut.
    while (back < limit && found == 0) {
        back = back + 1024 < limit ? back + 1024 : limit;
        int64_t position = static_cast<int64_t>(size - back);
        unsigned length = back < kEndWindow ? static_cast<unsigned>(back) : kEndWindow;
        if (m_stream->Seek(position, VEK_SEEK_SET) != position ||
            !m_stream->ReadExact(buffer, length)) {
            break;
        }
        for (int i = static_cast<int>(length) - 4; i >= 0; --i) {
            if (std::memcmp(buffer + i, "PK\x05\x06", 4) == 0) {
                found = static_cast<uint64_t>(position) + static_cast<uint64_t>(i);
                break;
            }
        }
    }
    m_stream->Seek(static_cast<int64_t>(found), VEK_SEEK_SET);
    return found != 0;
}

uint32_t CVekUnZip::ReadSignature() {
    uint8_t bytes[4];
    if (!m_stream->ReadExact(bytes, 4)) {
        m_inputEnded = m_stream->IsEnd();
        if (m_inputEnded) {
            return kNoSignature;
        }
        m_lastError = VEKERR_READ_SIGNATURE;
        return 0;
    }
    return ReadLe32(bytes);
}

int CVekUnZip::SkipRecord(unsigned length) {
    uint8_t record[kZip64EndFixed];
    if (!m_stream->ReadExact(record, length)) {
        m_inputEnded = m_stream->IsEnd();
        m_lastError = VEKERR_READ_END;
        return 0;
    }
    // A ZIP64 end record may carry an extensible data sector behind its fixed fields.
    if (length == kZip64EndFixed) {
        uint64_t recordSize = ReadLe64(record);
        constexpr uint64_t kFixedAfterSize = kZip64EndFixed - 8;
        if (recordSize > kFixedAfterSize && recordSize - kFixedAfterSize < m_stream->GetSize()) {
            m_stream->Seek(static_cast<int64_t>(recordSize - kFixedAfterSize), VEK_SEEK_CUR);
        }
    }
    return 1;
}

int CVekUnZip::ReadEndRecord(int64_t endPosition) {
    uint8_t record[18];
    if (!m_stream->ReadExact(record, sizeof(record))) {
        m_inputEnded = m_stream->IsEnd();
        m_lastError = VEKERR_READ_END;
        return 0;
    }
    uint16_t centralDisk = ReadLe16(record + 2);
    uint32_t centralOffset = ReadLe32(record + 12);
    uint16_t commentLength = ReadLe16(record + 16);
    if (commentLength != 0) {
        // The comment is read (it must be there) and dropped.
        std::unique_ptr<uint8_t[]> comment(new (std::nothrow) uint8_t[commentLength + 1u]);
        if (!comment) {
            m_lastError = VEKERR_NO_MEMORY_END;
            return 0;
        }
        if (!m_stream->ReadExact(comment.get(), commentLength)) {
            m_inputEnded = m_stream->IsEnd();
            m_lastError = VEKERR_READ_END;
            return 0;
        }
    }
    if (centralOffset != kUnset32) {
        m_centralPosition = centralOffset + VolumeStart(centralDisk);
        return 1;
    }
    // ZIP64: the real offset is in the ZIP64 end record, found through the locator just in front
    // of this record. Without them the local headers are walked instead.
    m_centralPosition = kUnset32;
    int64_t after = m_stream->GetPosition();
    uint8_t locator[20];
    uint8_t zip64End[56];
    if (endPosition >= 20 && m_stream->Seek(endPosition - 20, VEK_SEEK_SET) == endPosition - 20 &&
        m_stream->ReadExact(locator, sizeof(locator)) && ReadLe32(locator) == kZip64Locator) {
        uint64_t recordPosition =
            ReadLe64(locator + 8) + VolumeStart(static_cast<int>(ReadLe32(locator + 4)));
        if (recordPosition < m_stream->GetSize() &&
            m_stream->Seek(static_cast<int64_t>(recordPosition), VEK_SEEK_SET) ==
                static_cast<int64_t>(recordPosition) &&
            m_stream->ReadExact(zip64End, sizeof(zip64End)) &&
            ReadLe32(zip64End) == kZip64EndRecord) {
            m_centralPosition =
                ReadLe64(zip64End + 48) + VolumeStart(static_cast<int>(ReadLe32(zip64End + 20)));
        }
    }
    m_stream->Seek(after, VEK_SEEK_SET);
    return 1;
}

int CVekUnZip::ReadCentralRecord(bool create, int64_t delta) {
    uint8_t record[42];
    if (!m_stream->ReadExact(record, sizeof(record))) {
        m_inputEnded = m_stream->IsEnd();
        m_lastError = VEKERR_READ_CENTRAL;
        return 0;
    }
    SZipHeader header;
    header.flags = ReadLe16(record + 4);
    header.method = static_cast<int16_t>(ReadLe16(record + 6));
    header.dosTime = ReadLe16(record + 8) | (static_cast<uint32_t>(ReadLe16(record + 10)) << 16);
    header.crc = ReadLe32(record + 12);
    header.packedSize = ReadLe32(record + 16);
    header.size = ReadLe32(record + 20);
    uint16_t nameLength = ReadLe16(record + 24);
    uint16_t extraLength = ReadLe16(record + 26);
    uint16_t commentLength = ReadLe16(record + 28);
    uint16_t diskStart = ReadLe16(record + 30);
    uint8_t externalAttributes = record[34];
    header.headerOffset = ReadLe32(record + 38);

    std::string name;
    std::vector<uint8_t> extra;
    std::vector<uint8_t> comment;
    try {
        name.assign(nameLength, '\0');
    } catch (const std::bad_alloc&) {
        m_lastError = VEKERR_NO_MEMORY_CENTRAL;
        return 0;
    }
    try {
        extra.resize(extraLength);
        comment.resize(commentLength);
    } catch (const std::bad_alloc&) {
        m_lastError = VEKERR_READ_CENTRAL;
        return 0;
    }
    if ((nameLength != 0 && !m_stream->ReadExact(&name[0], nameLength)) ||
        (extraLength != 0 && !m_stream->ReadExact(extra.data(), extraLength)) ||
        (commentLength != 0 && !m_stream->ReadExact(comment.data(), commentLength))) {
        m_inputEnded = m_stream->IsEnd();
        m_lastError = VEKERR_READ_CENTRAL;
        return 0;
    }
    name.resize(std::strlen(name.c_str()));  // the name ends at its first NUL
    SZipExtra fields = ParseExtraFields(extra.data(), extra.size(), header.size, header.packedSize,
                                        header.headerOffset);
    SVekEntry* entry = nullptr;
    if (create) {
        uint64_t offset = fields.hasHeaderOffset ? fields.headerOffset : header.headerOffset;
        offset += VolumeStart(diskStart) + static_cast<uint64_t>(delta);
        entry = CreateEntry(header, offset, name.c_str());
        if (entry == nullptr) {
            return 1;  // left out of the list; the walk goes on
        }
    } else {
        if (header.headerOffset == 0) {
            return 1;
        }
        auto found = m_headerIndex.find(header.headerOffset);
        if (found == m_headerIndex.end()) {
            return 1;
        }
        entry = found->second;
    }
    entry->attributes |= externalAttributes &
                         (VEK_ATTR_READONLY | VEK_ATTR_HIDDEN | VEK_ATTR_FOLDER | VEK_ATTR_ARCHIVE);
    ApplyExtra(fields, entry);
    return 1;
}

int CVekUnZip::ReadLocalHeader(SVekEntry* entry) {
    int64_t start = m_stream->GetPosition() - 4;
    uint8_t record[26];
    if (!m_stream->ReadExact(record, sizeof(record))) {
        m_inputEnded = m_stream->IsEnd();
        m_lastError = VEKERR_READ_HEADER;
        return 0;
    }
    SZipHeader header;
    header.flags = ReadLe16(record + 2);
    header.method = static_cast<int16_t>(ReadLe16(record + 4));
    header.dosTime = ReadLe16(record + 6) | (static_cast<uint32_t>(ReadLe16(record + 8)) << 16);
    header.crc = ReadLe32(record + 10);
    header.packedSize = ReadLe32(record + 14);
    header.size = ReadLe32(record + 18);
    uint16_t nameLength = ReadLe16(record + 22);
    uint16_t extraLength = ReadLe16(record + 24);
    if (nameLength > kMaxLocalName) {
        m_lastError = VEKERR_BAD_NAME;
        return 0;
    }
    char name[kMaxLocalName + 1];
    if (nameLength != 0 && !m_stream->ReadExact(name, nameLength)) {
        m_inputEnded = m_stream->IsEnd();
        m_lastError = VEKERR_READ_NAME;
        return 0;
    }
    name[nameLength] = '\0';
    std::vector<uint8_t> extra;
    if (extraLength != 0) {
        try {
            extra.resize(extraLength);
        } catch (const std::bad_alloc&) {
            m_lastError = VEKERR_NO_MEMORY_EXTRA;
            return 0;
        }
        if (!m_stream->ReadExact(extra.data(), extraLength)) {
            m_inputEnded = m_stream->IsEnd();
            m_lastError = VEKERR_READ_EXTRA;
            return 0;
        }
    }
    bool listedHere = entry == nullptr;
    if (listedHere) {
        entry = CreateEntry(header, static_cast<uint64_t>(start), name);
        if (entry == nullptr) {
            m_stream->Seek(header.packedSize, VEK_SEEK_CUR);
            return 0;
        }
    }
    entry->dosTime = header.dosTime;
    // With a data descriptor the CRC is not known when the header is written, so the
    // encryption header's check byte repeats the time instead.
    entry->checkByte =
        static_cast<uint8_t>((header.flags & kFlagDataDescriptor) ? (header.dosTime >> 8) & 0xFF
                                                                  : (entry->crc >> 24) & 0xFF);
    if (!extra.empty()) {
        SZipExtra fields =
            ParseExtraFields(extra.data(), extra.size(), header.size, header.packedSize, 0);
        if (!listedHere) {
            // The central directory's sizes stand: a header written while streaming carries a
            // ZIP64 field of zeros, the real sizes following the data in a descriptor.
            fields.hasSize = false;
            fields.hasPackedSize = false;
        }
        ApplyExtra(fields, entry);
    }
    entry->dataOffset = static_cast<uint64_t>(m_stream->GetPosition());
    if (listedHere && (header.flags & kFlagDataDescriptor) && entry->packedSize == 0) {
        return ReadStreamedEntry(entry);
    }
    // Never backwards, whatever a ZIP64 field claims: the walk must always move on.
    uint64_t size = m_stream->GetSize();
    uint64_t next = entry->dataOffset + entry->packedSize;
    if (next < entry->dataOffset || next > size) {
        next = size;
    }
    m_stream->Seek(static_cast<int64_t>(next), VEK_SEEK_SET);
    return 1;
}

int CVekUnZip::ReadStreamedEntry(SVekEntry* entry) {
    // Written to a pipe: the local header's sizes are zeros, the real ones and the CRC follow
    // the data in a descriptor, and the walk goes on after it.
    SZipDescriptor descriptor;
    if (FindZipDescriptor(m_stream, entry->dataOffset, &descriptor)) {
        entry->crc = descriptor.crc;
        entry->packedSize = descriptor.packedSize;
        entry->size = descriptor.size;
        m_stream->Seek(static_cast<int64_t>(descriptor.end), VEK_SEEK_SET);
        return 1;
    }
    // The input ends before any descriptor: the sizes are unknown, not zero, and the entry can
    // only be extracted when its data turns out to end, with its descriptor, before the input.
    SZipEntryState* state = StateOf(entry);
    if (state == nullptr) {
        m_lastError = VEKERR_NO_MEMORY_EXTRA;
        return 0;
    }
    state->descriptorMissing = true;
    uint64_t size = m_stream->GetSize();
    entry->size = VEK_UNKNOWN_SIZE;
    entry->packedSize = size - entry->dataOffset;
    m_stream->Seek(static_cast<int64_t>(size), VEK_SEEK_SET);
    return 1;
}

int CVekUnZip::ExtractWithoutDescriptor(SVekEntry* entry, IVekOutStream* out) {
    // Only deflate and bzip2 data say themselves where they end.
    if (entry->method != 8 && entry->method != 12) {
        m_lastError = VEKERR_READ_DATA;
        return 0;
    }
    int64_t remaining = 0;
    uint32_t crc = 0;
    unsigned unused = 0;
    if (!BeginDecoding(entry, m_stream, &remaining)) {
        return 0;
    }
    int decoded = entry->method == 8 ? InflateInto(m_stream, out, &remaining, &crc, &unused)
                                     : Bunzip2Into(m_stream, out, &remaining, &crc, &unused);
    if (!decoded) {
        return 0;
    }
    // Nothing counts as extracted before the descriptor has confirmed sizes and CRC.
    uint64_t end = static_cast<uint64_t>(m_stream->GetPosition()) - unused;
    SZipDescriptor descriptor;
    if (!ReadZipDescriptorAt(m_stream, end, end - entry->dataOffset, out->GetWrittenSize(),
                             &descriptor)) {
        m_lastError = VEKERR_READ_DATA;
        return 0;
    }
    entry->crc = descriptor.crc;
    entry->packedSize = descriptor.packedSize;
    entry->size = descriptor.size;
    static_cast<SZipEntryState*>(entry->extra)->descriptorMissing = false;
    if (!FinishDecoding(entry, m_stream, 0, false, crc)) {
        return 0;
    }
    // A CRC of 0 is not compared there; here it would leave the data unchecked.
    if (crc != descriptor.crc) {
        m_lastError = VEKERR_CRC;
        return 0;
    }
    return 1;
}

SVekEntry* CVekUnZip::CreateEntry(const SZipHeader& header, uint64_t headerOffset,
                                  const char* name) {
    if (name == nullptr || *name == '\0') {
        m_lastError = VEKERR_BAD_NAME;
        return nullptr;
    }
    SVekEntry* entry = new (std::nothrow) SVekEntry();
    if (entry == nullptr) {
        m_lastError = VEKERR_NO_MEMORY_CENTRAL;
        return nullptr;
    }
    entry->headerOffset = headerOffset;
    entry->packedSize = header.packedSize;
    entry->size = header.size;
    entry->modifyTime = DosTimeToUnixTime(header.dosTime);
    entry->crc = header.crc;
    entry->method = header.method;
    entry->flags = static_cast<int16_t>(header.flags);
    if (header.flags & kFlagEncrypted) {
        m_encrypted = 1;
        entry->encryption = VEK_CRYPT_ZIP;
    }
    int codePage = m_codePage != 0 ? m_codePage : (header.flags & kFlagUtf8) ? 65001 : 0;
    if (!entry->SetNameA(name, codePage)) {
        m_lastError = VEKERR_BAD_NAME;
        delete entry;
        return nullptr;
    }
    // Decided on the converted name: in the Chinese and Japanese code pages a trailing 0x5C
    // byte is often the second half of a character (the bytes of 表 are 95 5C), not a '\\'.
    size_t length = std::wcslen(entry->name);
    if (length > 0 && (entry->name[length - 1] == L'\\' || entry->name[length - 1] == L'/')) {
        entry->attributes |= VEK_ATTR_FOLDER;
    }
    if (!m_entries.Add(entry)) {
        m_lastError = VEKERR_NO_MEMORY_CENTRAL;
        return nullptr;  // the list could not grow; Add has freed the entry
    }
    m_headerIndex[headerOffset] = entry;
    return entry;
}

int CVekUnZip::LocateEntryData(SVekEntry* entry) {
    if (entry->dataOffset != 0) {
        return 1;
    }
    m_stream->Seek(static_cast<int64_t>(entry->headerOffset), VEK_SEEK_SET);
    uint8_t signature[4];
    if (!m_stream->ReadExact(signature, 4)) {
        m_inputEnded = m_stream->IsEnd();
        if (!m_inputEnded) {
            m_lastError = VEKERR_READ_SIGNATURE;
        }
        return 0;
    }
    if (ReadLe32(signature) != kLocalHeader) {
        return 0;
    }
    return ReadLocalHeader(entry);
}

int CVekUnZip::ExtractEntryData(int index, SVekEntry* entry, IVekOutStream* out) {
    // Reading the local header fills a standard container (its extra field).
    try {
        return ExtractEntry(index, entry, out);
    } catch (const std::bad_alloc&) {
        m_lastError = VEKERR_NO_MEMORY_EXTRA;
        return 0;
    }
}

bool CVekUnZip::RefuseForMissingVolume(const SVekEntry* entry, uint64_t begin, uint64_t end) {
    if (m_volumes == nullptr) {
        return false;
    }
    const wchar_t* missing =
        m_volumes->GetMissingVolumeName(static_cast<int64_t>(begin), static_cast<int64_t>(end));
    if (missing == nullptr) {
        return false;
    }
    m_lastError = VEKERR_DAMAGED_OR_VOLUME_MISSING;
    if (m_sink != nullptr) {
        m_sink->OnError(static_cast<int>(m_lastError), entry->name, missing);
    }
    return true;
}

int CVekUnZip::ExtractEntry(int /*index*/, SVekEntry* entry, IVekOutStream* out) {
    const auto* state = static_cast<const SZipEntryState*>(entry->extra);
    if (state != nullptr && state->overlaps) {
        m_lastError = VEKERR_DAMAGED;
        ReportError(VEKERR_DAMAGED, entry->name);
        return 0;
    }
    // A split set with a volume missing: the entry that needs it says which.
    uint64_t begin = entry->headerOffset;
    if (RefuseForMissingVolume(entry, begin, begin + kLocalHeaderFixed)) {
        return 0;
    }
    if (!LocateEntryData(entry)) {
        ReportError(VEKERR_DAMAGED, entry->name);
        if (m_lastError == 0) {
            m_lastError = VEKERR_DAMAGED;
        }
        return 0;
    }
    if (RefuseForMissingVolume(entry, begin, entry->dataOffset + entry->packedSize)) {
        return 0;
    }
    m_stream->Seek(static_cast<int64_t>(entry->dataOffset), VEK_SEEK_SET);
    if (state != nullptr && state->descriptorMissing) {
        return ExtractWithoutDescriptor(entry, out);
    }
    // Shrink, reduce, implode and the rest have no decoder: 25.
    return DecodeByMethod(entry, m_stream, out);
}
