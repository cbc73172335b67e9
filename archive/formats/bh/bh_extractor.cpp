#include "archive/formats/bh/bh_extractor.h"

#include <memory>
#include <new>

#include "archive/core/byte_order.h"
#include "archive/core/crc32.h"
#include "archive/core/errors.h"
#include "archive/core/time_conversion.h"
#include "archive/formats/bh/lh5_decoder.h"

namespace {

constexpr uint32_t kSignature = 0x07054842;
constexpr unsigned kHeaderSize = 37;
constexpr unsigned kMaxName = 258;
constexpr unsigned kInputBuffer = 32768;
constexpr int32_t kMethodLh5 = 200;
constexpr int32_t kMethodUnsupported = 201;

int32_t EntryMethod(uint8_t bhMethod) {
    switch (bhMethod) {
        case 0:
            return 0;
        case 1:
            return kMethodLh5;
        case 2:
        case 8:
            return 8;
        case 3:
            return kMethodUnsupported;
        default:
            return 0;
    }
}

}  // namespace

int CVekUnBH::ReadDirectory() {
    const uint64_t fileSize = m_stream->GetSize();
    for (;;) {
        int64_t start = m_stream->GetPosition();
        uint8_t header[kHeaderSize];
        if (!m_stream->ReadExact(header, kHeaderSize)) {
            m_lastError = VEKERR_READ_HEADER;
            return 0;
        }
        if (ReadLe32(header) != kSignature) {
            m_lastError = VEKERR_READ_SIGNATURE;
            return 0;
        }
        unsigned headerSize = ReadLe16(header + 4);
        unsigned nameLength = ReadLe16(header + 33);
        unsigned extraLength = ReadLe16(header + 35);
        if (headerSize != kHeaderSize + nameLength + extraLength || nameLength == 0 ||
            nameLength > kMaxName) {
            m_lastError = VEKERR_READ_HEADER;
            return 0;
        }
        char name[kMaxName + 1];
        if (!m_stream->ReadExact(name, nameLength)) {
            m_lastError = VEKERR_READ_HEADER;
            return 0;
        }
        name[nameLength] = '\0';
        m_stream->Seek(extraLength, VEK_SEEK_CUR);

        SVekEntry* entry = new (std::nothrow) SVekEntry();
        if (entry == nullptr) {
            return 0;
        }
        entry->SetNameA(name, m_codePage);
        entry->packedSize = ReadLe32(header + 15);
        entry->size = ReadLe32(header + 19);
        entry->modifyTime = DosTimeToUnixTime(ReadLe32(header + 11));
        entry->dosTime = ReadLe32(header + 11);
        entry->crc = ReadLe32(header + 23);
        entry->attributes = ReadLe16(header + 27);
        entry->headerOffset = static_cast<uint64_t>(start);
        entry->dataOffset = static_cast<uint64_t>(m_stream->GetPosition());
        entry->method = EntryMethod(header[10]);
        if (header[9] & 1) {
            entry->encryption = 1;
            m_encrypted = 1;
        }
        uint64_t next = entry->dataOffset + entry->packedSize;
        if (entry->name == nullptr) {
            delete entry;  // a name the code page cannot give: nothing to write it as
        } else {
            m_entries.Add(entry);
        }
        // Never past the end: the next header read then fails instead of wrapping around.
        m_stream->Seek(static_cast<int64_t>(next < fileSize ? next : fileSize), VEK_SEEK_SET);
        if (m_stream->IsEnd()) {
            return next == fileSize ? 1 : (m_lastError = VEKERR_READ_HEADER, 0);
        }
    }
}

int CVekUnBH::ExtractEntryData(int /*index*/, SVekEntry* entry, IVekOutStream* out) {
    m_stream->Seek(static_cast<int64_t>(entry->dataOffset), VEK_SEEK_SET);
    // BH keeps no password check value: the encryption header is taken unchecked and a wrong
    // password shows in the CRC check (24).
    m_crypto.checkTraditionalHeader = false;
    int result = 0;
    switch (entry->method) {
        case 0:
        case 8:
            result = DecodeByMethod(entry, m_stream, out);
            break;
        case kMethodLh5:
            result = DecodeBhMethod1(entry, m_stream, out);
            break;
        default:
            m_lastError = VEKERR_UNSUPPORTED_METHOD;
            break;
    }
    m_crypto.checkTraditionalHeader = true;
    return result;
}

int CVekUnBH::DecodeBhMethod1(SVekEntry* entry, IVekInStream* input, IVekOutStream* out) {
    int64_t remaining = 0;
    if (!BeginDecoding(entry, input, &remaining)) {
        return 0;
    }
    m_remainingPacked = remaining;
    // Input comes in refills of the 32 KiB buffer, decrypted as they arrive; missing bytes read
    // as zero bits.
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[kInputBuffer]);
    std::unique_ptr<uint8_t[]> window(new (std::nothrow) uint8_t[CVekLh5Decoder::kWindowSize]);
    if (!buffer || !window) {
        m_lastError = VEKERR_READ_DATA;
        return 0;
    }
    unsigned filled = 0;
    unsigned next = 0;
    auto nextByte = [&]() -> int {
        if (next == filled) {
            filled = 0;
            next = 0;
            while (filled < kInputBuffer && m_remainingPacked > 0) {
                unsigned want = kInputBuffer - filled;
                if (static_cast<int64_t>(want) > m_remainingPacked) {
                    want = static_cast<unsigned>(m_remainingPacked);
                }
                if (!input->ReadExact(buffer.get() + filled, want)) {
                    m_remainingPacked = 0;
                    break;
                }
                m_crypto.Filter(reinterpret_cast<char*>(buffer.get() + filled),
                                static_cast<int>(want));
                filled += want;
                m_remainingPacked -= want;
            }
            if (filled == 0) {
                return -1;
            }
        }
        return buffer[next++];
    };
    std::unique_ptr<CVekLh5Decoder> decoder(new (std::nothrow) CVekLh5Decoder(nextByte));
    if (!decoder) {
        m_lastError = VEKERR_READ_DATA;
        return 0;
    }
    uint64_t outRemaining = entry->size;
    uint32_t crc = 0;
    while (outRemaining > 0 && !decoder->Ended()) {
        unsigned produced = decoder->DecodeChunk(window.get());
        unsigned n = produced < outRemaining ? produced : static_cast<unsigned>(outRemaining);
        unsigned written = 0;
        if (n > 0 && (!out->Write(window.get(), n, &written) || written != n)) {
            m_lastError = VEKERR_WRITE;
            return 0;
        }
        crc = VekCrc32(crc, window.get(), static_cast<int>(n));
        outRemaining -= n;
        if (!AddProgress(0, n)) {
            return 0;
        }
    }
    return FinishWithCrc(entry, crc);
}
