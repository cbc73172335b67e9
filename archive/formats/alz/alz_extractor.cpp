#include "archive/formats/alz/alz_extractor.h"

#include <cstring>
#include <memory>
#include <new>

#include "archive/core/byte_order.h"
#include "archive/core/crc32.h"
#include "archive/core/crypto.h"
#include "archive/core/errors.h"
#include "archive/core/time_conversion.h"
#include "archive/formats/alz/alz_bzip2.h"

namespace {

constexpr uint32_t kArchiveHeader = 0x015A4C41;  // "ALZ" 01
constexpr uint32_t kFileHeader = 0x015A4C42;     // "BLZ" 01
constexpr uint32_t kEndOfList = 0x015A4C43;      // "CLZ" 01
constexpr uint32_t kEndOfArchive = 0x025A4C43;   // "CLZ" 02

constexpr unsigned kStartScan = 204800;
constexpr unsigned kMaxName = 259;
constexpr unsigned kMaxSizeWidth = 8;
constexpr uint32_t kTakenAttributes =
    VEK_ATTR_READONLY | VEK_ATTR_HIDDEN | VEK_ATTR_FOLDER | VEK_ATTR_ARCHIVE;
constexpr int32_t kUnknownMethod = 999;

// ALZ's method numbers in the ZIP numbering the decoders use.
int32_t EntryMethod(uint8_t alzMethod) {
    switch (alzMethod) {
        case 0:
            return 0;
        case 1:
            return 12;
        case 2:
            return 8;
        default:
            return kUnknownMethod;
    }
}

uint64_t ReadLeWidth(const uint8_t* p, unsigned width) {
    uint64_t value = 0;
    for (unsigned i = width; i > 0; --i) {
        value = (value << 8) | p[i - 1];
    }
    return value;
}

}  // namespace

int CVekUnAlz::ReadField(void* buffer, unsigned count) {
    std::memset(buffer, 0, count);
    int64_t left = static_cast<int64_t>(m_stream->GetSize()) - m_stream->GetPosition();
    if (count == 0) {
        return 1;
    }
    unsigned n =
        left < static_cast<int64_t>(count) ? static_cast<unsigned>(left < 0 ? 0 : left) : count;
    if (n == 0 || !m_stream->ReadExact(buffer, n)) {
        m_inputEnded = m_stream->IsEnd();
        return 0;
    }
    return 1;
}

int CVekUnAlz::FindArchiveStart() {
    m_archiveStart = 0;
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kStartScan]);
    if (!buffer) {
        return 0;
    }
    uint64_t size = m_stream->GetSize();
    unsigned count = kStartScan;
    if (size <= kStartScan) {
        if (size < 4) {
            return 0;
        }
        count = static_cast<unsigned>(size);
    }
    m_stream->Seek(0, VEK_SEEK_SET);
    if (!m_stream->ReadExact(buffer.get(), count)) {
        return 0;
    }
    const uint8_t* p = buffer.get();
    if (std::memcmp(p, "ALZ\x01", 4) == 0) {
        return 1;
    }
    if (std::memcmp(p, "MZ", 2) != 0) {
        return 0;
    }
    // A self-extractor: the archive header that its builder writes carries 0A 00 00 00, which
    // tells it from the signature's bytes inside the program's own code.
    static const uint8_t kHeader[8] = {'A', 'L', 'Z', 1, 0x0A, 0, 0, 0};
    for (int i = 0; i <= static_cast<int>(count) - 10; ++i) {
        if (std::memcmp(p + i, kHeader, sizeof(kHeader)) == 0) {
            m_archiveStart = i;
            break;
        }
    }
    return 1;
}

int CVekUnAlz::ReadSignature(uint32_t* signature) {
    uint8_t bytes[4];
    // A signature cut short by the end of the input reads as a value no record has.
    if (!ReadField(bytes, sizeof(bytes))) {
        if (m_inputEnded) {
            return 0;
        }
        m_lastError = VEKERR_READ_SIGNATURE;
        return -1;
    }
    *signature = ReadLe32(bytes);
    return 1;
}

int CVekUnAlz::ReadDirectory() {
    if (!FindArchiveStart()) {
        return 0;
    }
    m_stream->Seek(m_archiveStart, VEK_SEEK_SET);
    bool seen = false;
    uint32_t signature = 0;
    // The end of the input is told apart from the signature value 1 here, so that stray bytes
    // 01 00 00 00 do not pass for a clean end.
    int read = ReadSignature(&signature);
    while (read != 0) {
        uint8_t record[12];
        if (read < 0 || signature == 0) {
            m_lastError = seen ? VEKERR_DAMAGED : VEKERR_NOT_ARCHIVE;
            return 0;
        }
        switch (signature) {
            case kArchiveHeader:
                if (!ReadField(record, 4)) {
                    m_lastError = VEKERR_ALZ_HEADER;
                    return 0;
                }
                seen = true;
                break;
            case kFileHeader:
                if (!ReadFileHeader()) {
                    return 0;
                }
                break;
            case kEndOfList:
                if (!ReadField(record, 12)) {
                    m_lastError = VEKERR_ALZ_END;
                    return 0;
                }
                break;
            case kEndOfArchive:
                break;
            default:
                m_lastError = VEKERR_DAMAGED;
                return 0;
        }
        if (m_stream->IsEnd()) {
            return 1;
        }
        read = ReadSignature(&signature);
    }
    return 1;
}

int CVekUnAlz::ReadFileHeader() {
    std::unique_ptr<SVekEntry> entry(new (std::nothrow) SVekEntry());
    if (!entry) {
        m_lastError = VEKERR_READ_HEADER;
        return 0;
    }
    entry->headerOffset = static_cast<uint64_t>(m_stream->GetPosition());
    uint8_t fixed[9];
    if (!ReadField(fixed, sizeof(fixed))) {
        m_lastError = VEKERR_READ_HEADER;
        return 0;
    }
    unsigned nameLength = ReadLe16(fixed);
    uint8_t attributes = fixed[2];
    uint32_t dosTime = ReadLe32(fixed + 3);
    uint8_t descriptor = fixed[7];
    unsigned width = descriptor >> 4;
    // Size fields wider than 8 bytes cannot be held in 64 bits, and reading them anyway would
    // shift the name and every later record: the header is refused.
    if (width > kMaxSizeWidth) {
        m_lastError = VEKERR_READ_HEADER;
        return 0;
    }
    bool encrypted = (descriptor & 0x01) != 0;
    if (encrypted) {
        m_encrypted = 1;
    }
    uint8_t method = 0;
    uint32_t crc = 0;
    uint64_t packedSize = 0;
    uint64_t size = 0;
    if (width != 0) {
        // Fields cut off by the end of the input stay zero; only the name can fail the header.
        uint8_t sizes[2 * kMaxSizeWidth];
        uint8_t info[6];
        if (ReadField(info, sizeof(info))) {
            ReadField(sizes, 2 * width);
        }
        method = info[0];
        crc = ReadLe32(info + 2);
        packedSize = ReadLeWidth(sizes, width);
        size = ReadLeWidth(sizes + width, width);
    }
    entry->crc = crc;
    entry->packedSize = packedSize;
    entry->size = size;
    entry->modifyTime = DosTimeToUnixTime(dosTime);
    entry->dosTime = dosTime;
    entry->checkByte = static_cast<uint8_t>(crc >> 24);
    entry->method = width != 0 ? EntryMethod(method) : 0;
    if (encrypted) {
        entry->encryption = VEK_CRYPT_ZIP;
    }

    if (nameLength > kMaxName) {
        m_lastError = VEKERR_BAD_NAME;
        return 0;
    }
    char name[kMaxName + 1];
    if (nameLength != 0 && !ReadField(name, nameLength)) {
        m_inputEnded = m_stream->IsEnd();
        m_lastError = VEKERR_READ_NAME;
        return 0;
    }
    name[nameLength] = '\0';
    if (!entry->SetNameA(name, m_codePage)) {
        m_lastError = VEKERR_BAD_NAME;
        return 0;
    }

    entry->dataOffset = static_cast<uint64_t>(m_stream->GetPosition());
    if (encrypted) {
        entry->packedSize += VEK_TRADITIONAL_HEADER_SIZE;
    }
    entry->attributes |= attributes & kTakenAttributes;
    uint64_t total = m_stream->GetSize();
    uint64_t next = entry->dataOffset + entry->packedSize;
    bool cut = next < entry->dataOffset || next > total;
    // Add frees the entry itself when the list cannot grow.
    if (!m_entries.Add(entry.release())) {
        return 0;
    }
    if (cut) {
        // Data running past the end of the input: a cut archive, or a split set with a volume
        // missing. The entry stays listed (what is there may still be extracted), but the
        // archive must not pass for whole.
        m_stream->Seek(static_cast<int64_t>(total), VEK_SEEK_SET);
        m_lastError = VEKERR_DAMAGED_OR_VOLUME_MISSING;
        return 0;
    }
    m_stream->Seek(static_cast<int64_t>(next), VEK_SEEK_SET);
    return 1;
}

int CVekUnAlz::ExtractEntryData(int /*index*/, SVekEntry* entry, IVekOutStream* out) {
    m_stream->Seek(static_cast<int64_t>(entry->dataOffset), VEK_SEEK_SET);
    switch (entry->method) {
        case 0:
            return DecodeStored(entry, m_stream, out);
        case 8:
            return DecodeDeflate(entry, m_stream, out);
        case 12:
            return DecodeAlzBzip2(entry, m_stream, out);
        default:
            m_lastError = VEKERR_UNSUPPORTED_METHOD;
            return 0;
    }
}

int CVekUnAlz::DecodeAlzBzip2(SVekEntry* entry, IVekInStream* input, IVekOutStream* out) {
    m_crypto.mode = static_cast<int>(entry->encryption);
    m_crypto.errorCode = 0;
    m_crypto.headerStream = input;
    int64_t remaining = static_cast<int64_t>(entry->packedSize);
    if (m_crypto.mode != VEK_CRYPT_NONE && !m_crypto.BeginDecryption(entry, input, &remaining)) {
        m_lastError = m_crypto.errorCode;
        return 0;
    }
    std::unique_ptr<AlzBzip2Reader> reader(AlzBzip2Reader::Open(input, &m_crypto));
    if (!reader) {
        return 0;
    }
    m_lastError = 0;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[AlzBzip2Reader::kOutputPiece]);
    if (!buffer) {
        return 0;
    }
    uint32_t crc = 0;
    int64_t reported = 0;
    for (;;) {
        if (reader->LastResult() == VEK_ALZ_BZ_STREAM_END) {
            break;
        }
        unsigned n = reader->ReadDecoded(buffer.get());
        int result = reader->LastResult();
        if (result != VEK_ALZ_BZ_OK && result != VEK_ALZ_BZ_STREAM_END) {
            m_lastError = VEKERR_BZIP2;
            return 0;
        }
        if (n == 0) {
            break;
        }
        unsigned written = 0;
        if (!out->Write(buffer.get(), n, &written) || written != n) {
            m_lastError = VEKERR_WRITE;
            return 0;
        }
        crc = VekCrc32(crc, buffer.get(), static_cast<int>(n));
        int64_t read = reader->StoredBytesRead();
        int64_t consumed = read - reported;
        reported = read;
        if (!AddProgress(consumed, n)) {
            return 0;
        }
    }
    return FinishWithCrc(entry, crc);
}
