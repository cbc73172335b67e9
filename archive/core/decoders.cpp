// The decoders every format shares: stored, deflate, bzip2 and LZMA data, decrypted as it is
// read, with a CRC-32 over the decoded bytes and a progress report per chunk.
#include <zlib.h>

#include <memory>
#include <new>

#include "archive/core/bzip2_reader.h"
#include "archive/core/crc32.h"
#include "archive/core/errors.h"
#include "archive/core/extractor_impl.h"

extern "C" {
#include "LzmaDec.h"
}

namespace {

constexpr unsigned kStoredChunk = 8192;
constexpr unsigned kDeflateChunk = 4096;
constexpr unsigned kBzip2Chunk = 8192;
constexpr unsigned kLzmaChunk = 65536;

unsigned ChunkOf(int64_t remaining, unsigned chunk) {
    return remaining < static_cast<int64_t>(chunk) ? static_cast<unsigned>(remaining) : chunk;
}

void* LzmaAlloc(void*, size_t size) {
    return ::operator new(size, std::nothrow);
}
void LzmaFree(void*, void* address) {
    ::operator delete(address);
}
ISzAlloc g_lzmaAlloc = {LzmaAlloc, LzmaFree};

}  // namespace

int CVekExtractorImpl::BeginDecoding(SVekEntry* entry, IVekInStream* input, int64_t* remaining) {
    *remaining = static_cast<int64_t>(entry->packedSize);
    m_outputLeft = entry->size;
    m_crypto.errorCode = 0;
    m_crypto.mode = static_cast<int>(entry->encryption);
    m_crypto.headerStream = input;
    if (m_crypto.mode != VEK_CRYPT_NONE && !m_crypto.BeginDecryption(entry, input, remaining)) {
        m_lastError = m_crypto.errorCode;
        return 0;
    }
    m_lastError = 0;
    return 1;
}

int CVekExtractorImpl::FinishDecoding(SVekEntry* entry, IVekInStream* input, int64_t remaining,
                                      bool streamFilters, uint32_t crc) {
    // The AES authentication code covers every stored byte, also those a decoder did not need
    // after the end of its stream.
    bool aes = m_crypto.mode >= VEK_CRYPT_AES128 && m_crypto.mode <= VEK_CRYPT_EGG_AES256 &&
               m_crypto.mode != VEK_CRYPT_EGG_ZIP;
    char rest[kStoredChunk];
    while (aes && remaining > 0) {
        unsigned n = ChunkOf(remaining, kStoredChunk);
        if (!input->ReadExact(rest, n)) {
            m_lastError = VEKERR_READ_DATA;
            return 0;
        }
        if (!streamFilters) {
            m_crypto.Filter(rest, static_cast<int>(n));
        }
        remaining -= n;
    }
    if (!m_crypto.FinishDecryption()) {
        m_lastError = m_crypto.errorCode;
        return 0;
    }
    if (entry->crc != 0 && entry->crc != crc) {
        m_lastError = VEKERR_CRC;
        return 0;
    }
    return 1;
}

int CVekExtractorImpl::FinishWithCrc(const SVekEntry* entry, uint32_t crc) {
    if (!m_crypto.FinishDecryption()) {
        m_lastError = m_crypto.errorCode;
        return 0;
    }
    if (crc != entry->crc) {
        m_lastError = VEKERR_CRC;
        return 0;
    }
    return 1;
}

int CVekExtractorImpl::WriteDecoded(IVekOutStream* output, const void* data, unsigned count) {
    unsigned written = 0;
    // One byte past a known size is an error, and nothing of it is written.
    if (!TakeFromBound(&m_outputLeft, count) ||
        (count > 0 && (!output->Write(data, count, &written) || written != count))) {
        m_lastError = VEKERR_WRITE;
        return 0;
    }
    return 1;
}

int CVekExtractorImpl::DecodeByMethod(SVekEntry* entry, IVekInStream* input,
                                      IVekOutStream* output) {
    switch (entry->method) {
        case 0:
            return DecodeStored(entry, input, output);
        case 8:
            return DecodeDeflate(entry, input, output);
        case 9:
            return InflateDeflate64(entry, input, output);
        case 12:
            return DecodeBzip2(entry, input, output);
        case 14:
            return DecodeLzma(entry, input, output);
        default:
            m_lastError = VEKERR_UNSUPPORTED_METHOD;
            return 0;
    }
}

int CVekExtractorImpl::DecodeStored(SVekEntry* entry, IVekInStream* input, IVekOutStream* output) {
    int64_t remaining = 0;
    if (!BeginDecoding(entry, input, &remaining)) {
        return 0;
    }
    char buffer[kStoredChunk];
    uint32_t crc = 0;
    while (remaining > 0) {
        unsigned n = ChunkOf(remaining, kStoredChunk);
        if (!input->ReadExact(buffer, n)) {
            m_lastError = VEKERR_READ_DATA;
            return 0;
        }
        m_crypto.Filter(buffer, static_cast<int>(n));
        crc = VekCrc32(crc, buffer, static_cast<int>(n));
        if (!WriteDecoded(output, buffer, n)) {
            return 0;
        }
        remaining -= n;
        if (!AddProgress(n, n)) {
            return 0;
        }
    }
    return FinishDecoding(entry, input, remaining, false, crc);
}

int CVekExtractorImpl::DecodeDeflate(SVekEntry* entry, IVekInStream* input, IVekOutStream* output) {
    int64_t remaining = 0;
    uint32_t crc = 0;
    unsigned unused = 0;
    if (!BeginDecoding(entry, input, &remaining) ||
        !InflateInto(input, output, &remaining, &crc, &unused)) {
        return 0;
    }
    return FinishDecoding(entry, input, remaining, false, crc);
}

int CVekExtractorImpl::InflateInto(IVekInStream* input, IVekOutStream* output, int64_t* remaining,
                                   uint32_t* crc, unsigned* unused) {
    z_stream inflater{};
    if (inflateInit2(&inflater, -15) != Z_OK) {
        m_lastError = VEKERR_INFLATE;
        return 0;
    }
    // The inflater's state and window go on every path out.
    struct InflateEnd {
        z_stream* stream;
        ~InflateEnd() { inflateEnd(stream); }
    } end{&inflater};

    unsigned char in[kDeflateChunk];
    unsigned char out[kDeflateChunk];
    for (;;) {
        unsigned readNow = 0;
        if (inflater.avail_in == 0 && *remaining > 0) {
            readNow = ChunkOf(*remaining, kDeflateChunk);
            if (!input->ReadExact(in, readNow)) {
                m_lastError = VEKERR_READ_DATA;
                return 0;
            }
            m_crypto.Filter(reinterpret_cast<char*>(in), static_cast<int>(readNow));
            inflater.next_in = in;
            inflater.avail_in = readNow;
            *remaining -= readNow;
        }
        inflater.next_out = out;
        inflater.avail_out = kDeflateChunk;
        // Input that runs out before the end of the deflate stream comes back as Z_BUF_ERROR.
        int result = inflate(&inflater, Z_SYNC_FLUSH);
        if (result != Z_OK && result != Z_STREAM_END) {
            m_lastError = VEKERR_INFLATE;
            return 0;
        }
        unsigned produced = kDeflateChunk - inflater.avail_out;
        *crc = VekCrc32(*crc, out, static_cast<int>(produced));
        if (!WriteDecoded(output, out, produced)) {
            return 0;
        }
        if (!AddProgress(readNow, produced)) {
            return 0;
        }
        if (result == Z_STREAM_END) {
            *unused = inflater.avail_in;
            return 1;
        }
    }
}

int CVekExtractorImpl::DecodeBzip2(SVekEntry* entry, IVekInStream* input, IVekOutStream* output) {
    int64_t remaining = 0;
    uint32_t crc = 0;
    unsigned unused = 0;
    if (!BeginDecoding(entry, input, &remaining) ||
        !Bunzip2Into(input, output, &remaining, &crc, &unused)) {
        return 0;
    }
    // Decoding ends with the first bzip2 stream; what follows is not this entry's.
    return FinishDecoding(entry, input, remaining, false, crc);
}

int CVekExtractorImpl::Bunzip2Into(IVekInStream* input, IVekOutStream* output, int64_t* remaining,
                                   uint32_t* crc, unsigned* unused) {
    std::unique_ptr<CVekBzip2Reader> reader(new (std::nothrow) CVekBzip2Reader());
    if (!reader || !reader->Open(input, &m_crypto, *remaining)) {
        m_lastError = VEKERR_BZIP2;
        return 0;
    }
    char out[kBzip2Chunk];
    int64_t reported = input->GetPosition();
    while (!reader->AtStreamEnd()) {
        int produced = reader->Read(out, kBzip2Chunk);
        if (produced < 0) {
            m_lastError = VEKERR_BZIP2;
            return 0;
        }
        if (produced == 0) {
            break;
        }
        *crc = VekCrc32(*crc, out, produced);
        if (!WriteDecoded(output, out, static_cast<unsigned>(produced))) {
            return 0;
        }
        int64_t position = input->GetPosition();
        int64_t consumed = position - reported;
        reported = position;
        if (!AddProgress(consumed, produced)) {
            return 0;
        }
    }
    *remaining = reader->Budget();
    *unused = reader->Unused();
    return 1;
}

int CVekExtractorImpl::DecodeLzma(SVekEntry* entry, IVekInStream* input, IVekOutStream* output) {
    int64_t remaining = 0;
    if (!BeginDecoding(entry, input, &remaining)) {
        return 0;
    }
    // Everything read from here on, the LZMA header included, is decrypted by the stream.
    bool filtered = m_crypto.mode != VEK_CRYPT_NONE;
    if (filtered) {
        input->SetFilter(&m_crypto);
    }
    struct Detach {
        IVekInStream* stream;
        bool active;
        ~Detach() {
            if (active) {
                stream->SetFilter(nullptr);
            }
        }
    } detach{input, filtered};

    // The ZIP form of LZMA: version (2 bytes), properties size (2 bytes, always 5), properties.
    unsigned char header[9];
    if (!input->ReadExact(header, sizeof(header)) || header[2] != 5 || header[3] != 0) {
        m_lastError = VEKERR_LZMA_HEADER;
        return 0;
    }
    remaining -= sizeof(header);
    unsigned char* props = header + 4;
    // A dictionary larger than the whole output is never used: do not let an archive make us
    // allocate gigabytes for a small entry.
    if (entry->size != VEK_UNKNOWN_SIZE) {
        uint32_t dictionary = static_cast<uint32_t>(props[1]) | (uint32_t{props[2]} << 8) |
                              (uint32_t{props[3]} << 16) | (uint32_t{props[4]} << 24);
        uint64_t needed = entry->size < 4096 ? 4096 : entry->size;
        if (dictionary > needed) {
            uint32_t smaller = static_cast<uint32_t>(needed);
            for (int i = 0; i < 4; ++i) {
                props[1 + i] = static_cast<unsigned char>(smaller >> (8 * i));
            }
        }
    }
    CLzmaDec decoder;
    LzmaDec_Construct(&decoder);
    if (LzmaDec_Allocate(&decoder, props, LZMA_PROPS_SIZE, &g_lzmaAlloc) != SZ_OK) {
        m_lastError = VEKERR_LZMA_INIT;
        return 0;
    }
    struct Free {
        CLzmaDec* decoder;
        ~Free() { LzmaDec_Free(decoder, &g_lzmaAlloc); }
    } free{&decoder};
    LzmaDec_Init(&decoder);

    std::unique_ptr<unsigned char[]> in(new (std::nothrow) unsigned char[kLzmaChunk]);
    std::unique_ptr<unsigned char[]> out(new (std::nothrow) unsigned char[kLzmaChunk]);
    if (!in || !out) {
        m_lastError = VEKERR_LZMA_INIT;
        return 0;
    }
    uint64_t outRemaining = entry->size;
    bool sizeKnown = entry->size != VEK_UNKNOWN_SIZE;
    size_t inPos = 0;
    size_t inSize = 0;
    uint32_t crc = 0;
    bool damaged = false;
    for (;;) {
        unsigned readNow = 0;
        if (inPos == inSize && remaining > 0) {
            readNow = ChunkOf(remaining, kLzmaChunk);
            if (!input->ReadExact(in.get(), readNow)) {
                m_lastError = VEKERR_READ_DATA;
                return 0;
            }
            remaining -= readNow;
            inPos = 0;
            inSize = readNow;
        }
        bool lastPiece = sizeKnown && outRemaining < kLzmaChunk;
        SizeT produced = lastPiece ? static_cast<SizeT>(outRemaining) : kLzmaChunk;
        SizeT consumed = inSize - inPos;
        ELzmaStatus status;
        SRes result =
            LzmaDec_DecodeToBuf(&decoder, out.get(), &produced, in.get() + inPos, &consumed,
                                lastPiece ? LZMA_FINISH_END : LZMA_FINISH_ANY, &status);
        inPos += consumed;
        crc = VekCrc32(crc, out.get(), static_cast<int>(produced));
        if (!WriteDecoded(output, out.get(), static_cast<unsigned>(produced))) {
            return 0;
        }
        if (sizeKnown) {
            outRemaining -= produced;
        }
        damaged = result != SZ_OK;
        if (damaged || (sizeKnown && outRemaining == 0) || (consumed == 0 && produced == 0) ||
            status == LZMA_STATUS_FINISHED_WITH_MARK) {
            break;
        }
        if (!AddProgress(readNow, static_cast<int64_t>(produced))) {
            return 0;
        }
    }
    // A data error is judged by the CRC; an entry without one must not pass for intact.
    if (damaged && entry->crc == 0) {
        m_lastError = VEKERR_INFLATE;
        return 0;
    }
    return FinishDecoding(entry, input, remaining, true, crc);
}
