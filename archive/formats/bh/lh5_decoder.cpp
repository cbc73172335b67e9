#include "archive/formats/bh/lh5_decoder.h"

#include <cstring>

namespace {

constexpr int kCharCountBits = 9;
constexpr int kLengthCountBits = 5;
constexpr int kPositionCountBits = 4;
constexpr int kThreshold = 3;  // the shortest copy
constexpr int kMaxCodeLength = 16;

}  // namespace

CVekLh5Decoder::CVekLh5Decoder(std::function<int()> nextByte) : m_nextByte(std::move(nextByte)) {
    std::memset(m_history, 0, sizeof(m_history));
    FillBits(16);
}

// Shifts n more bits into the 16-bit buffer.
void CVekLh5Decoder::FillBits(int n) {
    m_bits = (m_bits << n) & 0xFFFF;
    while (n > m_subCount) {
        n -= m_subCount;
        m_bits |= (m_subBits << n) & 0xFFFF;
        int byte = m_nextByte();
        m_subBits = byte < 0 ? 0 : static_cast<uint32_t>(byte);
        m_subCount = 8;
    }
    m_subCount -= n;
    m_bits |= (m_subBits >> m_subCount) & 0xFFFF;
    m_subBits &= (1u << m_subCount) - 1;
}

unsigned CVekLh5Decoder::GetBits(int n) {
    unsigned value = m_bits >> (16 - n);
    FillBits(n);
    return value;
}

// Canonical Huffman codes to a lookup table of tableBits bits, longer codes continuing in a
// tree. False for lengths that do not make a complete code.
bool CVekLh5Decoder::MakeTable(int count, const uint8_t* lengths, int tableBits, uint16_t* table) {
    uint32_t lengthCount[kMaxCodeLength + 1] = {};
    uint32_t start[kMaxCodeLength + 2] = {};
    uint32_t weight[kMaxCodeLength + 1] = {};
    for (int i = 0; i < count; ++i) {
        if (lengths[i] > kMaxCodeLength) {
            return false;
        }
        ++lengthCount[lengths[i]];
    }
    for (int i = 1; i <= kMaxCodeLength; ++i) {
        start[i + 1] = start[i] + (lengthCount[i] << (kMaxCodeLength - i));
    }
    if (start[kMaxCodeLength + 1] != (1u << 16)) {
        return false;
    }
    int shift = kMaxCodeLength - tableBits;
    for (int i = 1; i <= tableBits; ++i) {
        start[i] >>= shift;
        weight[i] = 1u << (tableBits - i);
    }
    for (int i = tableBits + 1; i <= kMaxCodeLength; ++i) {
        weight[i] = 1u << (kMaxCodeLength - i);
    }
    uint32_t tableSize = 1u << tableBits;
    for (uint32_t i = start[tableBits + 1] >> shift; i < tableSize; ++i) {
        table[i] = 0;
    }
    int available = count;
    uint32_t mask = 1u << (15 - tableBits);
    for (int symbol = 0; symbol < count; ++symbol) {
        int length = lengths[symbol];
        if (length == 0) {
            continue;
        }
        uint32_t next = start[length] + weight[length];
        if (length <= tableBits) {
            for (uint32_t i = start[length]; i < next; ++i) {
                table[i] = static_cast<uint16_t>(symbol);
            }
        } else {
            uint32_t code = start[length];
            uint16_t* slot = &table[code >> shift];
            for (int i = length - tableBits; i != 0; --i) {
                if (*slot == 0) {
                    if (available >= kTreeSize) {
                        return false;
                    }
                    m_left[available] = m_right[available] = 0;
                    *slot = static_cast<uint16_t>(available++);
                }
                slot = (code & mask) ? &m_right[*slot] : &m_left[*slot];
                code <<= 1;
            }
            *slot = static_cast<uint16_t>(symbol);
        }
        start[length] = next;
    }
    return true;
}

bool CVekLh5Decoder::ReadLengthLengths(int count, int countBits, int special) {
    int n = static_cast<int>(GetBits(countBits));
    if (n == 0) {
        unsigned only = GetBits(countBits);
        if (only >= static_cast<unsigned>(count)) {
            return false;
        }
        std::memset(m_lengthLength, 0, sizeof(m_lengthLength));
        for (uint16_t& entry : m_lengthTable) {
            entry = static_cast<uint16_t>(only);
        }
        return true;
    }
    if (n > count) {
        return false;
    }
    int i = 0;
    while (i < n) {
        int length = static_cast<int>(m_bits >> 13);
        if (length == 7) {
            for (uint32_t mask = 1u << 12; (mask & m_bits) != 0; mask >>= 1) {
                if (++length > kMaxCodeLength) {
                    return false;
                }
            }
        }
        FillBits(length < 7 ? 3 : length - 3);
        m_lengthLength[i++] = static_cast<uint8_t>(length);
        if (i == special) {
            int zeros = static_cast<int>(GetBits(2));
            if (i + zeros > count) {
                return false;
            }
            while (zeros-- > 0) {
                m_lengthLength[i++] = 0;
            }
        }
    }
    while (i < count) {
        m_lengthLength[i++] = 0;
    }
    return MakeTable(count, m_lengthLength, 8, m_lengthTable);
}

bool CVekLh5Decoder::ReadCharLengths() {
    int n = static_cast<int>(GetBits(kCharCountBits));
    if (n == 0) {
        unsigned only = GetBits(kCharCountBits);
        if (only >= static_cast<unsigned>(kCharCodes)) {
            return false;
        }
        std::memset(m_charLength, 0, sizeof(m_charLength));
        for (uint16_t& entry : m_charTable) {
            entry = static_cast<uint16_t>(only);
        }
        return true;
    }
    if (n > kCharCodes) {
        return false;
    }
    int i = 0;
    while (i < n) {
        int code = m_lengthTable[m_bits >> 8];
        for (uint32_t mask = 1u << 7; code >= kLengthCodes; mask >>= 1) {
            if (mask == 0) {
                return false;
            }
            code = (m_bits & mask) ? m_right[code] : m_left[code];
        }
        FillBits(m_lengthLength[code]);
        if (code <= 2) {
            int zeros = code == 0   ? 1
                        : code == 1 ? static_cast<int>(GetBits(4)) + 3
                                    : static_cast<int>(GetBits(kCharCountBits)) + 20;
            if (i + zeros > kCharCodes) {
                return false;
            }
            while (zeros-- > 0) {
                m_charLength[i++] = 0;
            }
        } else {
            m_charLength[i++] = static_cast<uint8_t>(code - 2);
        }
    }
    while (i < kCharCodes) {
        m_charLength[i++] = 0;
    }
    return MakeTable(kCharCodes, m_charLength, 12, m_charTable);
}

int CVekLh5Decoder::DecodeChar() {
    if (m_blockSize == 0) {
        m_blockSize = GetBits(16);
        // A block size of 0 ends the data.
        if (m_blockSize == 0 || !ReadLengthLengths(kLengthCodes, kLengthCountBits, 3) ||
            !ReadCharLengths() || !ReadLengthLengths(kPositionCodes, kPositionCountBits, -1)) {
            return -1;
        }
    }
    --m_blockSize;
    int code = m_charTable[m_bits >> 4];
    for (uint32_t mask = 1u << 3; code >= kCharCodes; mask >>= 1) {
        if (mask == 0) {
            return -1;
        }
        code = (m_bits & mask) ? m_right[code] : m_left[code];
    }
    FillBits(m_charLength[code]);
    return code;
}

unsigned CVekLh5Decoder::DecodePosition() {
    int code = m_lengthTable[m_bits >> 8];
    for (uint32_t mask = 1u << 7; code >= kPositionCodes; mask >>= 1) {
        if (mask == 0) {
            return 0;
        }
        code = (m_bits & mask) ? m_right[code] : m_left[code];
    }
    FillBits(m_lengthLength[code]);
    if (code == 0) {
        return 0;
    }
    return (1u << (code - 1)) + GetBits(code - 1);
}

unsigned CVekLh5Decoder::DecodeChunk(uint8_t* window) {
    unsigned filled = 0;
    while (filled < kWindowSize) {
        if (m_copyLength > 0) {
            uint8_t byte = m_history[m_copyFrom];
            m_copyFrom = (m_copyFrom + 1) % kWindowSize;
            --m_copyLength;
            m_history[m_position] = byte;
            m_position = (m_position + 1) % kWindowSize;
            window[filled++] = byte;
            continue;
        }
        if (m_ended) {
            break;
        }
        int code = DecodeChar();
        if (code < 0) {
            m_ended = true;
            break;
        }
        if (code < 256) {
            m_history[m_position] = static_cast<uint8_t>(code);
            m_position = (m_position + 1) % kWindowSize;
            window[filled++] = static_cast<uint8_t>(code);
        } else {
            m_copyLength = static_cast<unsigned>(code - (256 - kThreshold));
            m_copyFrom = (m_position + kWindowSize - DecodePosition() - 1) % kWindowSize;
        }
    }
    return filled;
}
