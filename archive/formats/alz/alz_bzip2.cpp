#include "archive/formats/alz/alz_bzip2.h"

#include <cstring>
#include <new>

// libbz2 exports its decode-table construction but declares it only in a header it does not
// install; the prototype is stable since 1.0.
extern "C" void BZ2_hbCreateDecodeTables(int* limit, int* base, int* perm, unsigned char* length,
                                         int minLen, int maxLen, int alphaSize);

namespace {

// ALZ always writes level-9 blocks.
constexpr uint32_t kBlockMax = 900000;
constexpr uint32_t kOriginMax = 10 + 100000 * 9;
constexpr int kMaxGroups = 6;
constexpr int kMaxAlphabet = 258;
constexpr int kMaxCodeLength = 20;
constexpr int kTableSlots = 32;  // libbz2 fills 23 entries of limit and base
constexpr int kGroupSize = 50;
constexpr int kMaxSelectors = 2 + 900000 / kGroupSize;
constexpr uint32_t kRunA = 0;
constexpr uint32_t kRunB = 1;

}  // namespace

AlzBzip2Reader* AlzBzip2Reader::Open(IVekInStream* input, CVekCrypto* crypto) {
    uint32_t* tt = new (std::nothrow) uint32_t[kBlockMax];
    if (tt == nullptr) {
        return nullptr;
    }
    AlzBzip2Reader* reader = new (std::nothrow) AlzBzip2Reader(input, crypto, tt);
    if (reader == nullptr) {
        delete[] tt;
    }
    return reader;
}

AlzBzip2Reader::AlzBzip2Reader(IVekInStream* input, CVekCrypto* crypto, uint32_t* tt)
    : m_input(input), m_crypto(crypto), m_tt(tt) {}

AlzBzip2Reader::~AlzBzip2Reader() {
    delete[] m_tt;
}

bool AlzBzip2Reader::Refill() {
    // Kept per reader rather than taken from the extractor: a directory walk that ran into the
    // end of the input must not stop every later entry from decoding.
    if (m_inputEnded) {
        m_result = VEK_ALZ_BZ_INPUT_ENDED;
        return false;
    }
    int64_t left = static_cast<int64_t>(m_input->GetSize()) - m_input->GetPosition();
    unsigned count =
        left < static_cast<int64_t>(kInputPiece) ? static_cast<unsigned>(left) : kInputPiece;
    if (left <= 0 || !m_input->ReadExact(m_buffer, count)) {
        m_inputEnded = true;
        m_result = VEK_ALZ_BZ_NOTHING_READ;
        return false;
    }
    // The decryption runs over every byte read, in order: mode 0 leaves them as they are.
    m_crypto->Filter(reinterpret_cast<char*>(m_buffer), static_cast<int>(count));
    m_storedRead += count;
    m_filled = count;
    m_next = 0;
    return true;
}

bool AlzBzip2Reader::GetBits(int count, uint32_t* value) {
    while (m_bitCount < count) {
        if (m_next == m_filled && !Refill()) {
            return false;
        }
        m_bits = (m_bits << 8) | m_buffer[m_next++];
        m_bitCount += 8;
    }
    m_bitCount -= count;
    *value = static_cast<uint32_t>(m_bits >> m_bitCount) & ((1u << count) - 1);
    return true;
}

// Reads the 32-bit "DLZ" header; on 01 also the origin pointer and the whole block body.
int AlzBzip2Reader::ReadBlockHeader() {
    uint32_t magic = 0;
    if (!GetBits(24, &magic)) {
        return m_result;
    }
    uint32_t kind = 0;
    if (!GetBits(8, &kind)) {
        return m_result;
    }
    if (magic != 0x444C5A || (kind != 1 && kind != 2)) {
        return VEK_ALZ_BZ_MAGIC_ERROR;
    }
    if (kind == 2) {
        m_streamEnded = true;
        return VEK_ALZ_BZ_OK;
    }
    if (!GetBits(24, &m_origin)) {
        return m_result;
    }
    if (m_origin > kOriginMax) {
        return VEK_ALZ_BZ_DATA_ERROR;
    }
    return DecodeBlockBody();
}

int AlzBzip2Reader::DecodeBlockBody() {
    uint32_t v = 0;
#define ALZ_BITS(n, out)             \
    do {                             \
        if (!GetBits((n), &(out))) { \
            return m_result;         \
        }                            \
    } while (0)

    // The symbol map: which of the 256 byte values occur, in 16 ranges of 16.
    uint8_t seqToByte[256] = {};
    int inUse = 0;
    uint32_t ranges = 0;
    ALZ_BITS(16, ranges);
    for (int i = 0; i < 16; ++i) {
        if (ranges & (0x8000u >> i)) {
            uint32_t bits = 0;
            ALZ_BITS(16, bits);
            for (int j = 0; j < 16; ++j) {
                if (bits & (0x8000u >> j)) {
                    seqToByte[inUse++] = static_cast<uint8_t>(i * 16 + j);
                }
            }
        }
    }
    if (inUse == 0) {
        return VEK_ALZ_BZ_DATA_ERROR;
    }
    const int alphabet = inUse + 2;

    uint32_t groups = 0;
    ALZ_BITS(3, groups);
    uint32_t selectorCount = 0;
    ALZ_BITS(15, selectorCount);
    if (groups < 2 || groups > kMaxGroups || selectorCount < 1) {
        return VEK_ALZ_BZ_DATA_ERROR;
    }
    // Selectors beyond what a block can use are read and dropped, as libbz2 1.0.8 does.
    static_assert(kMaxSelectors < 32768, "selector count is 15 bits");
    uint8_t selectors[kMaxSelectors];
    uint8_t order[kMaxGroups] = {0, 1, 2, 3, 4, 5};
    for (uint32_t i = 0; i < selectorCount; ++i) {
        uint32_t j = 0;
        for (;;) {
            ALZ_BITS(1, v);
            if (v == 0) {
                break;
            }
            if (++j >= groups) {
                return VEK_ALZ_BZ_DATA_ERROR;
            }
        }
        // The selectors are MTF-coded over the group numbers.
        uint8_t group = order[j];
        std::memmove(order + 1, order, j);
        order[0] = group;
        if (i < static_cast<uint32_t>(kMaxSelectors)) {
            selectors[i] = group;
        }
    }
    if (selectorCount > static_cast<uint32_t>(kMaxSelectors)) {
        selectorCount = kMaxSelectors;
    }

    // The code lengths, delta-coded, and libbz2's decode tables from them.
    unsigned char lengths[kMaxGroups][kMaxAlphabet];
    int limit[kMaxGroups][kTableSlots] = {};
    int base[kMaxGroups][kTableSlots] = {};
    int perm[kMaxGroups][kMaxAlphabet] = {};
    int minLength[kMaxGroups];
    for (uint32_t t = 0; t < groups; ++t) {
        uint32_t current = 0;
        ALZ_BITS(5, current);
        int minLen = 32;
        int maxLen = 0;
        for (int i = 0; i < alphabet; ++i) {
            for (;;) {
                if (current < 1 || current > kMaxCodeLength) {
                    return VEK_ALZ_BZ_DATA_ERROR;
                }
                ALZ_BITS(1, v);
                if (v == 0) {
                    break;
                }
                ALZ_BITS(1, v);
                current += v == 0 ? 1 : -1;
            }
            lengths[t][i] = static_cast<unsigned char>(current);
            minLen = static_cast<int>(current) < minLen ? static_cast<int>(current) : minLen;
            maxLen = static_cast<int>(current) > maxLen ? static_cast<int>(current) : maxLen;
        }
        BZ2_hbCreateDecodeTables(limit[t], base[t], perm[t], lengths[t], minLen, maxLen, alphabet);
        minLength[t] = minLen;
    }

    // The MTF/RLE2 symbols, 50 per selector, into the low bytes of the block.
    const uint32_t endOfBlock = static_cast<uint32_t>(inUse) + 1;
    uint8_t mtf[256];
    for (int i = 0; i < 256; ++i) {
        mtf[i] = static_cast<uint8_t>(i);
    }
    uint32_t counts[256] = {};
    uint32_t length = 0;
    uint32_t selectorIndex = 0;
    int groupLeft = 0;
    int table = 0;
    uint32_t run = 0;
    uint32_t runWeight = 1;
    for (;;) {
        if (groupLeft == 0) {
            if (selectorIndex >= selectorCount) {
                return VEK_ALZ_BZ_DATA_ERROR;
            }
            table = selectors[selectorIndex++];
            groupLeft = kGroupSize;
        }
        --groupLeft;
        int codeLength = minLength[table];
        uint32_t code = 0;
        ALZ_BITS(codeLength, code);
        for (;;) {
            if (codeLength > kMaxCodeLength) {
                return VEK_ALZ_BZ_DATA_ERROR;
            }
            if (static_cast<int>(code) <= limit[table][codeLength]) {
                break;
            }
            ++codeLength;
            ALZ_BITS(1, v);
            code = (code << 1) | v;
        }
        int index = static_cast<int>(code) - base[table][codeLength];
        if (index < 0 || index >= alphabet) {
            return VEK_ALZ_BZ_DATA_ERROR;
        }
        uint32_t symbol = static_cast<uint32_t>(perm[table][index]);
        if (symbol >= static_cast<uint32_t>(alphabet)) {
            return VEK_ALZ_BZ_DATA_ERROR;
        }

        if (symbol == kRunA || symbol == kRunB) {
            // A run of the front symbol, its length in bijective base 2.
            run += runWeight << symbol;
            runWeight <<= 1;
            if (runWeight >= 2 * 1024 * 1024) {
                return VEK_ALZ_BZ_DATA_ERROR;
            }
            continue;
        }
        if (run > 0) {
            uint8_t byte = seqToByte[mtf[0]];
            if (run > kBlockMax - length) {
                return VEK_ALZ_BZ_DATA_ERROR;
            }
            counts[byte] += run;
            for (; run > 0; --run) {
                m_tt[length++] = byte;
            }
            runWeight = 1;
        }
        if (symbol == endOfBlock) {
            break;
        }
        if (length >= kBlockMax) {
            return VEK_ALZ_BZ_DATA_ERROR;
        }
        uint32_t position = symbol - 1;
        uint8_t value = mtf[position];
        std::memmove(mtf + 1, mtf, position);
        mtf[0] = value;
        uint8_t byte = seqToByte[value];
        ++counts[byte];
        m_tt[length++] = byte;
    }
#undef ALZ_BITS
    if (m_origin >= length) {
        return VEK_ALZ_BZ_DATA_ERROR;
    }

    // The inverse BWT: for each byte of the sorted column, where its successor lies, in the
    // high 24 bits beside the byte itself.
    uint32_t start[256];
    uint32_t sum = 0;
    for (int i = 0; i < 256; ++i) {
        start[i] = sum;
        sum += counts[i];
    }
    for (uint32_t i = 0; i < length; ++i) {
        uint8_t byte = static_cast<uint8_t>(m_tt[i] & 0xFF);
        m_tt[start[byte]++] |= i << 8;
    }
    m_blockLength = length;
    m_position = m_tt[m_origin] >> 8;
    m_used = 0;
    m_runLength = 0;
    m_pending = 0;
    m_inBlock = true;
    return VEK_ALZ_BZ_OK;
}

// The run-length stage: four equal bytes are followed by a count of further copies.
unsigned AlzBzip2Reader::EmitBlock(char* out, unsigned room) {
    unsigned produced = 0;
    while (produced < room) {
        if (m_pending > 0) {
            unsigned n = m_pending < room - produced ? m_pending : room - produced;
            std::memset(out + produced, m_pendingByte, n);
            produced += n;
            m_pending -= n;
            continue;
        }
        if (m_used == m_blockLength) {
            if (m_runLength == 4) {
                // Four equal bytes at the end of a block with no count behind them.
                m_result = VEK_ALZ_BZ_DATA_ERROR;
            }
            m_inBlock = false;
            break;
        }
        m_position = m_tt[m_position];
        uint8_t byte = static_cast<uint8_t>(m_position & 0xFF);
        m_position >>= 8;
        ++m_used;
        if (m_runLength == 4) {
            m_pendingByte = m_last;
            m_pending = byte;
            m_runLength = 0;
            continue;
        }
        m_runLength = m_runLength > 0 && byte == m_last ? m_runLength + 1 : 1;
        m_last = byte;
        out[produced++] = static_cast<char>(byte);
    }
    return produced;
}

unsigned AlzBzip2Reader::ReadDecoded(char* buffer) {
    if (buffer == nullptr) {
        m_result = VEK_ALZ_BZ_PARAM_ERROR;
        return 0;
    }
    if (m_result < 0) {
        return 0;
    }
    unsigned produced = 0;
    while (produced < kOutputPiece) {
        if (m_inBlock) {
            produced += EmitBlock(buffer + produced, kOutputPiece - produced);
            if (m_result < 0) {
                return 0;
            }
            continue;
        }
        if (m_streamEnded) {
            m_result = VEK_ALZ_BZ_STREAM_END;
            return produced;
        }
        int result = ReadBlockHeader();
        if (result != VEK_ALZ_BZ_OK) {
            m_result = result;
            return 0;
        }
    }
    m_result = VEK_ALZ_BZ_OK;
    return produced;
}
