#include "archive/formats/bond/bond_extractor.h"

#include <new>
#include <string>

#include "archive/core/byte_order.h"
#include "archive/core/crc32.h"
#include "archive/core/errors.h"
#include "archive/core/time_conversion.h"
#include "archive/formats/bond/bond_chunk.h"

namespace {

constexpr uint32_t kTagHead = MakeBondTag("HEAD");
constexpr uint32_t kTagList = MakeBondTag("LIST");
constexpr uint32_t kTagEntry = MakeBondTag("FINF");
constexpr uint32_t kTagVersion = MakeBondTag("VERS");
constexpr uint32_t kTagFileSize = MakeBondTag("FSIZ");
constexpr uint32_t kTagScrambling = MakeBondTag("ENCR");
constexpr uint32_t kTagPosition = MakeBondTag("POS4");
constexpr uint32_t kTagName = MakeBondTag("NAME");
constexpr uint32_t kTagSize = MakeBondTag("SIZE");
constexpr uint32_t kTagCrc = MakeBondTag("CRC3");
constexpr uint32_t kTagCompressed = MakeBondTag("COMP");
constexpr uint32_t kTagPassword = MakeBondTag("PSWD");
constexpr uint32_t kTagModified = MakeBondTag("MTIM");

// Versions from this one on may compress or scramble in ways this reader does not know.
constexpr uint32_t kFirstNewerVersion = 0x20090114;
constexpr unsigned kPiece = 4096;

uint32_t Value32(const CBondChunk& chunk, uint32_t tag, uint32_t absent) {
    uint8_t bytes[4];
    return chunk.CopyProperty(tag, bytes, 4) ? ReadLe32(bytes) : absent;
}

// The UTF-16LE name up to its zero unit, or to the end of the value when the unit is missing:
// nothing is read past the value.
std::wstring NameOf(const std::vector<uint8_t>& value) {
    std::wstring name;
    for (size_t i = 0; i + 1 < value.size(); i += 2) {
        uint32_t unit = ReadLe16(value.data() + i);
        if (unit == 0) {
            break;
        }
        if (sizeof(wchar_t) == 4 && unit >= 0xD800 && unit <= 0xDBFF && i + 3 < value.size()) {
            uint32_t low = ReadLe16(value.data() + i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                name += static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        name += static_cast<wchar_t>(unit);
    }
    return name;
}

// An entry time from a FILETIME, or 0 (unknown) for one the file system cannot take back: only
// the Unix epoch to the end of the year 3000 converts alike in both builds (the Windows
// runtime's 64-bit local-time conversion ends there), and no archive of this format is older.
int64_t EntryTime(uint64_t fileTime) {
    constexpr uint64_t kUnitsPerSecond = 10000000;
    constexpr uint64_t kEpoch = 11644473600ull * kUnitsPerSecond;
    constexpr uint64_t kYear3001 = kEpoch + 32535216000ull * kUnitsPerSecond;
    if (fileTime < kEpoch || fileTime >= kYear3001) {
        return 0;
    }
    int64_t unixTime = FileTimeToUnixTime(static_cast<int64_t>(fileTime));
    return unixTime > 0 ? unixTime : 0;
}

}  // namespace

int CVekUnBond::ReadDirectory() {
    CBondChunk root;
    if (!root.ReadHeader(m_stream)) {
        m_lastError = VEKERR_NOT_ARCHIVE;
        return 0;
    }
    if (!root.ReadProperties(m_stream)) {
        m_lastError = VEKERR_DAMAGED;
        return 0;
    }
    uint8_t version[4];
    if (root.CopyProperty(kTagVersion, version, 4) && ReadLe32(version) >= kFirstNewerVersion) {
        m_lastError = VEKERR_BOND_UNSUPPORTED;
        return 0;
    }
    if (root.childSize == 0) {
        m_lastError = VEKERR_DAMAGED;
        return 0;
    }
    CBondChunk head;
    if (!head.ReadChunk(m_stream) || head.tag != kTagHead) {
        // A root whose HEAD does not fit the file lies about its sizes.
        m_lastError = VEKERR_DAMAGED;
        return 0;
    }
    m_scrambling = Value32(head, kTagScrambling, 0);
    if (m_scrambling != 0) {
        m_lastError = VEKERR_BOND_SCRAMBLED;
        return 0;
    }
    const CBondChunk* list = nullptr;
    for (const auto& child : head.children) {
        if (child->tag == kTagList) {
            list = child.get();
            break;
        }
    }
    if (list == nullptr) {
        m_lastError = VEKERR_DAMAGED;
        return 0;
    }
    for (const auto& record : list->children) {
        const CBondChunk::SProperty* name = record->FindProperty(kTagName);
        const CBondChunk::SProperty* position = record->FindProperty(kTagPosition);
        if (record->tag != kTagEntry || name == nullptr || position == nullptr ||
            position->value.size() != 4) {
            m_lastError = VEKERR_DAMAGED;
            break;  // the entries so far stay listed
        }
        if (Value32(*record, kTagCompressed, 0) != 0 || Value32(*record, kTagPassword, 0) != 0) {
            m_lastError = VEKERR_BOND_UNSUPPORTED;
            return 0;
        }
        SVekEntry* entry = new (std::nothrow) SVekEntry();
        if (entry == nullptr) {
            return 0;
        }
        std::wstring text = NameOf(name->value);
        entry->SetName(text.c_str(), 0);
        entry->headerOffset = ReadLe32(position->value.data());
        entry->size = Value32(*record, kTagSize, 0);
        entry->crc = Value32(*record, kTagCrc, 0);
        uint8_t modified[8];
        if (record->CopyProperty(kTagModified, modified, 8)) {
            entry->modifyTime = EntryTime(ReadLe64(modified));
        }
        if (entry->name == nullptr) {
            delete entry;  // an empty name has nothing to be written as
            m_lastError = VEKERR_DAMAGED;
            break;
        }
        m_entries.Add(entry);
    }
    uint8_t fileSize[4];
    if (root.CopyProperty(kTagFileSize, fileSize, 4) && m_stream->GetSize() != ReadLe32(fileSize)) {
        m_lastError = VEKERR_DAMAGED;
        return 0;
    }
    return 1;
}

int CVekUnBond::ExtractEntryData(int /*index*/, SVekEntry* entry, IVekOutStream* out) {
    // Sizes are unsigned 32-bit: entries of 2 GiB and more extract like any other.
    m_stream->Seek(static_cast<int64_t>(entry->headerOffset), VEK_SEEK_SET);
    CBondChunk chunk;
    if (!chunk.ReadHeader(m_stream) || !chunk.ReadProperties(m_stream) ||
        !chunk.ReadChildren(m_stream)) {
        m_lastError = VEKERR_DAMAGED;
        ReportError(VEKERR_DAMAGED, entry->name);
        return 0;
    }
    char piece[kPiece];
    uint32_t crc = 0;
    uint64_t remaining = entry->size;
    while (remaining > 0) {
        unsigned n = remaining < kPiece ? static_cast<unsigned>(remaining) : kPiece;
        if (!m_stream->ReadExact(piece, n)) {
            m_lastError = VEKERR_READ_DATA;
            return 0;
        }
        crc = VekCrc32(crc, piece, static_cast<int>(n));
        unsigned written = 0;
        if (!out->Write(piece, n, &written) || written != n) {
            m_lastError = VEKERR_WRITE;
            return 0;
        }
        remaining -= n;
        if (!AddProgress(n, n)) {
            return 0;
        }
    }
    if (entry->crc != 0 && entry->crc != crc) {
        m_lastError = VEKERR_CRC;
        return 0;
    }
    return 1;
}
