#include "archive/core/deflate64_blocks.h"

#include <cstring>
#include <new>

namespace {

// A lookup table entry packs what the decoding loop needs into 32 bits:
//   bits 0-7    bits to take from the input for this entry
//   bits 8-15   what the entry is (below)
//   bits 16-31  literal byte, length or distance base, or where a second-level table starts
// Codes up to the root width resolve in one lookup; longer ones go through a second-level
// table indexed by the bits after the root.
enum : unsigned {
    kOpExtraMax = 16,  // 0-16: a length or distance base followed by this many extra bits
    kOpLiteral = 32,
    kOpEndOfBlock = 33,
    kOpInvalid = 34,
    kOpLink = 64,  // + the index width of the second-level table
};

constexpr uint32_t Entry(unsigned value, unsigned op, unsigned bits) {
    return (static_cast<uint32_t>(value) << 16) | (op << 8) | bits;
}
inline unsigned EntryBits(uint32_t e) {
    return e & 0xFF;
}
inline unsigned EntryOp(uint32_t e) {
    return (e >> 8) & 0xFF;
}
inline unsigned EntryValue(uint32_t e) {
    return e >> 16;
}

constexpr unsigned kMaxCodeBits = 15;
constexpr unsigned kLengthRoot = 10;
constexpr unsigned kDistanceRoot = 8;
constexpr unsigned kCodeLengthRoot = 7;
constexpr unsigned kLengthSymbols = 288;
constexpr unsigned kDistanceSymbols = 32;
constexpr unsigned kCodeLengthSymbols = 19;

// Room for the root table and the worst case of one full second-level table per long code.
constexpr unsigned TableCapacity(unsigned root, unsigned symbols) {
    return (1u << root) + symbols * (1u << (kMaxCodeBits - root));
}
constexpr unsigned kLengthCapacity = TableCapacity(kLengthRoot, kLengthSymbols);
constexpr unsigned kDistanceCapacity = TableCapacity(kDistanceRoot, kDistanceSymbols);
constexpr unsigned kCodeLengthCapacity = 1u << kCodeLengthRoot;

// Length codes 257-285. Code 285 is where the enhanced variant differs from deflate: base 3
// with 16 extra bits instead of the fixed length 258.
constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                      15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                      67, 83, 99, 115, 131, 163, 195, 227, 3};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 16};
// Distance codes 0-31; 30 and 31 reach into the second half of the 64 KiB window.
constexpr uint16_t kDistanceBase[32] = {1,    2,    3,    4,     5,     7,     9,     13,
                                        17,   25,   33,   49,    65,    97,    129,   193,
                                        257,  385,  513,  769,   1025,  1537,  2049,  3073,
                                        4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr uint8_t kDistanceExtra[32] = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                        7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};

// The order in which a dynamic block lists the code length code's lengths.
constexpr uint8_t kCodeLengthOrder[kCodeLengthSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                          11, 4,  12, 3, 13, 2, 14, 1, 15};

enum class Alphabet { kLengths, kDistances, kCodeLengths };

uint32_t SymbolEntry(Alphabet alphabet, unsigned symbol) {
    switch (alphabet) {
        case Alphabet::kLengths:
            if (symbol < 256) {
                return Entry(symbol, kOpLiteral, 0);
            }
            if (symbol == 256) {
                return Entry(0, kOpEndOfBlock, 0);
            }
            if (symbol <= 285) {
                return Entry(kLengthBase[symbol - 257], kLengthExtra[symbol - 257], 0);
            }
            return Entry(0, kOpInvalid, 0);  // 286 and 287 have codes but no meaning
        case Alphabet::kDistances:
            return Entry(kDistanceBase[symbol], kDistanceExtra[symbol], 0);
        case Alphabet::kCodeLengths:
            break;
    }
    return Entry(symbol, kOpLiteral, 0);
}

unsigned Reverse(unsigned code, unsigned bits) {
    unsigned reversed = 0;
    for (unsigned i = 0; i < bits; ++i) {
        reversed = (reversed << 1) | (code & 1);
        code >>= 1;
    }
    return reversed;
}

// Builds the lookup table of a canonical code from its code lengths (0 = symbol unused).
// Over-subscribed sets fail. Incomplete sets fail too, except where deflate streams use them
// legitimately outside the code length code: no codes at all (a block without matches) or a
// single code of one bit.
bool BuildTable(const uint8_t* lengths, unsigned symbols, Alphabet alphabet, unsigned root,
                uint32_t* table, unsigned capacity) {
    unsigned count[kMaxCodeBits + 1] = {};
    for (unsigned s = 0; s < symbols; ++s) {
        ++count[lengths[s]];
    }
    count[0] = 0;
    int left = 1;
    unsigned used = 0;
    for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
        left = left * 2 - static_cast<int>(count[len]);
        if (left < 0) {
            return false;
        }
        used += count[len];
    }
    if (left > 0) {
        bool allowed =
            alphabet != Alphabet::kCodeLengths && (used == 0 || (used == 1 && count[1] == 1));
        if (!allowed) {
            return false;
        }
    }

    // First code of each length, in the canonical order.
    unsigned first[kMaxCodeBits + 2] = {};
    unsigned code = 0;
    for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
        code = (code + count[len - 1]) << 1;
        first[len] = code;
    }

    const unsigned rootSize = 1u << root;
    const uint32_t invalid = Entry(0, kOpInvalid, 0);
    for (unsigned i = 0; i < rootSize; ++i) {
        table[i] = invalid;
    }

    // Codes longer than the root share a second-level table per root prefix, as wide as the
    // longest code with that prefix needs.
    uint8_t longest[1u << kLengthRoot] = {};
    unsigned next[kMaxCodeBits + 1];
    std::memcpy(next, first, sizeof(next));
    for (unsigned s = 0; s < symbols; ++s) {
        unsigned len = lengths[s];
        if (len > root) {
            unsigned prefix = Reverse(next[len]++, len) & (rootSize - 1);
            if (len > longest[prefix]) {
                longest[prefix] = static_cast<uint8_t>(len);
            }
        }
    }
    unsigned end = rootSize;
    for (unsigned prefix = 0; prefix < rootSize; ++prefix) {
        if (longest[prefix] == 0) {
            continue;
        }
        unsigned width = longest[prefix] - root;
        if (end + (1u << width) > capacity) {
            return false;  // cannot happen with the capacities above
        }
        table[prefix] = Entry(end, kOpLink + width, root);
        for (unsigned i = 0; i < (1u << width); ++i) {
            table[end + i] = invalid;
        }
        end += 1u << width;
    }

    std::memcpy(next, first, sizeof(next));
    for (unsigned s = 0; s < symbols; ++s) {
        unsigned len = lengths[s];
        if (len == 0) {
            continue;
        }
        unsigned reversed = Reverse(next[len]++, len);
        uint32_t entry = SymbolEntry(alphabet, s);
        if (len <= root) {
            for (unsigned i = reversed; i < rootSize; i += 1u << len) {
                table[i] = entry | len;
            }
        } else {
            uint32_t link = table[reversed & (rootSize - 1)];
            uint32_t* second = table + EntryValue(link);
            unsigned width = EntryOp(link) - kOpLink;
            unsigned rest = len - root;
            for (unsigned i = reversed >> root; i < (1u << width); i += 1u << rest) {
                second[i] = entry | rest;
            }
        }
    }
    return true;
}

// Copies n bytes forward inside the window, byte by byte in effect: a source that overlaps the
// destination repeats the bytes just written, as a match with a short distance must.
inline void CopyMatch(uint8_t* to, const uint8_t* from, unsigned n) {
    if (from >= to) {
        std::memmove(to, from, n);  // the same result as a forward copy when the source leads
        return;
    }
    unsigned distance = static_cast<unsigned>(to - from);
    if (distance >= n) {
        std::memcpy(to, from, n);
    } else if (distance == 1) {
        std::memset(to, *from, n);
    } else if (distance >= 8) {
        // Each 8-byte piece reads only bytes already in place. Whole pieces only: the bytes
        // past the match are the oldest history and must survive.
        while (n >= 8) {
            std::memcpy(to, from, 8);
            to += 8;
            from += 8;
            n -= 8;
        }
        while (n-- > 0) {
            *to++ = *from++;
        }
    } else {
        while (n-- > 0) {
            *to++ = *from++;
        }
    }
}

}  // namespace

CVekDeflate64Decoder::CVekDeflate64Decoder(NextByteFn next, FlushFn flush, void* context)
    : m_next(next), m_flush(flush), m_context(context) {
    // Zero-filled: a distance reaching before the first byte reads zeros, never stale memory.
    m_window = new (std::nothrow) uint8_t[kWindowSize]();
    m_tables = new (std::nothrow) uint32_t[2 * kLengthCapacity + 2 * kDistanceCapacity];
    if (m_tables != nullptr) {
        m_dynamicLengths = m_tables;
        m_dynamicDistances = m_dynamicLengths + kLengthCapacity;
        m_fixedLengths = m_dynamicDistances + kDistanceCapacity;
        m_fixedDistances = m_fixedLengths + kLengthCapacity;
    }
}

CVekDeflate64Decoder::~CVekDeflate64Decoder() {
    delete[] m_window;
    delete[] m_tables;
}

void CVekDeflate64Decoder::Refill() {
    while (m_count <= 56) {
        int byte = m_inputEnded ? -1 : m_next(m_context);
        if (byte < 0) {
            m_inputEnded = true;
            m_padding += 8;
            byte = 0;
        }
        m_bits |= static_cast<uint64_t>(byte) << m_count;
        m_count += 8;
    }
}

uint32_t CVekDeflate64Decoder::GetBits(unsigned count) {
    if (m_count < count) {
        Refill();
    }
    uint32_t value = static_cast<uint32_t>(m_bits & ((uint64_t{1} << count) - 1));
    m_bits >>= count;
    m_count -= count;
    return value;
}

CVekDeflate64Decoder::Result CVekDeflate64Decoder::DecodeBlock(bool* last) {
    *last = GetBits(1) != 0;
    unsigned type = GetBits(2);
    if (Overrun()) {
        return kInputShort;
    }
    switch (type) {
        case 0:
            return DecodeStored();
        case 1:
            if (!m_fixedBuilt) {
                BuildFixedTables();
            }
            return DecodeHuffman(m_fixedLengths, m_fixedDistances);
        case 2: {
            Result result = ReadDynamicTables();
            return result != kOk ? result : DecodeHuffman(m_dynamicLengths, m_dynamicDistances);
        }
        default:
            return kDataError;
    }
}

CVekDeflate64Decoder::Result CVekDeflate64Decoder::FlushWindow() {
    if (m_position > 0 && m_flush(m_context, m_window, m_position) != 0) {
        return kFlushRefused;
    }
    m_position = 0;
    return kOk;
}

void CVekDeflate64Decoder::BuildFixedTables() {
    uint8_t lengths[kLengthSymbols];
    std::memset(lengths, 8, 144);
    std::memset(lengths + 144, 9, 112);
    std::memset(lengths + 256, 7, 24);
    std::memset(lengths + 280, 8, 8);
    BuildTable(lengths, kLengthSymbols, Alphabet::kLengths, kLengthRoot, m_fixedLengths,
               kLengthCapacity);
    std::memset(lengths, 5, kDistanceSymbols);
    BuildTable(lengths, kDistanceSymbols, Alphabet::kDistances, kDistanceRoot, m_fixedDistances,
               kDistanceCapacity);
    m_fixedBuilt = true;
}

CVekDeflate64Decoder::Result CVekDeflate64Decoder::DecodeStored() {
    // The length fields start on a byte boundary; the bits before it are padding.
    GetBits(m_count & 7);
    unsigned length = GetBits(16);
    unsigned check = GetBits(16);
    if (Overrun()) {
        return kInputShort;
    }
    if ((length ^ 0xFFFF) != check) {
        return kDataError;
    }
    while (length > 0) {
        int byte;
        if (m_count > m_padding) {
            // Whole bytes already in the bit buffer come first.
            byte = static_cast<int>(m_bits & 0xFF);
            m_bits >>= 8;
            m_count -= 8;
        } else {
            byte = m_inputEnded ? -1 : m_next(m_context);
            if (byte < 0) {
                m_inputEnded = true;
                return kInputShort;
            }
        }
        m_window[m_position] = static_cast<uint8_t>(byte);
        --length;
        if (++m_position == kWindowSize) {
            if (m_flush(m_context, m_window, kWindowSize) != 0) {
                return kFlushRefused;
            }
            m_position = 0;
        }
    }
    return kOk;
}

CVekDeflate64Decoder::Result CVekDeflate64Decoder::ReadDynamicTables() {
    unsigned lengthCount = GetBits(5) + 257;  // up to 288, all of them usable here
    unsigned distanceCount = GetBits(5) + 1;  // up to 32
    unsigned codeLengthCount = GetBits(4) + 4;
    uint8_t codeLengthLengths[kCodeLengthSymbols] = {};
    for (unsigned i = 0; i < codeLengthCount; ++i) {
        codeLengthLengths[kCodeLengthOrder[i]] = static_cast<uint8_t>(GetBits(3));
    }
    if (Overrun()) {
        return kInputShort;
    }
    // The code length code's table is small and used for this header only.
    uint32_t codeLengthTable[kCodeLengthCapacity];
    if (!BuildTable(codeLengthLengths, kCodeLengthSymbols, Alphabet::kCodeLengths, kCodeLengthRoot,
                    codeLengthTable, kCodeLengthCapacity)) {
        return kDataError;
    }

    // Literal/length and distance lengths form one sequence: a repeat may cross between them.
    uint8_t lengths[kLengthSymbols + kDistanceSymbols];
    const unsigned total = lengthCount + distanceCount;
    unsigned filled = 0;
    while (filled < total) {
        if (m_count < kCodeLengthRoot) {
            Refill();
        }
        uint32_t entry = codeLengthTable[m_bits & (kCodeLengthCapacity - 1)];
        if (EntryOp(entry) != kOpLiteral) {
            return Overrun() ? kInputShort : kDataError;
        }
        m_bits >>= EntryBits(entry);
        m_count -= EntryBits(entry);
        unsigned symbol = EntryValue(entry);
        if (symbol < 16) {
            lengths[filled++] = static_cast<uint8_t>(symbol);
            continue;
        }
        uint8_t value = 0;
        unsigned repeat;
        if (symbol == 16) {
            if (filled == 0) {
                return kDataError;  // nothing to repeat
            }
            value = lengths[filled - 1];
            repeat = 3 + GetBits(2);
        } else if (symbol == 17) {
            repeat = 3 + GetBits(3);
        } else {
            repeat = 11 + GetBits(7);
        }
        if (repeat > total - filled) {
            return Overrun() ? kInputShort : kDataError;
        }
        std::memset(lengths + filled, value, repeat);
        filled += repeat;
    }
    if (Overrun()) {
        return kInputShort;
    }
    if (lengths[256] == 0) {
        return kDataError;  // a block that could never end
    }
    if (!BuildTable(lengths, lengthCount, Alphabet::kLengths, kLengthRoot, m_dynamicLengths,
                    kLengthCapacity) ||
        !BuildTable(lengths + lengthCount, distanceCount, Alphabet::kDistances, kDistanceRoot,
                    m_dynamicDistances, kDistanceCapacity)) {
        return kDataError;
    }
    return kOk;
}

CVekDeflate64Decoder::Result CVekDeflate64Decoder::DecodeHuffman(const uint32_t* lengthTable,
                                                                 const uint32_t* distanceTable) {
    // The hot loop works on locals: stores into the window (bytes, which may alias anything)
    // would otherwise make the compiler reload the members after every byte.
    uint64_t bits = m_bits;
    unsigned count = m_count;
    unsigned padding = m_padding;
    unsigned position = m_position;
    uint8_t* const window = m_window;
    Result result = kOk;

    auto refill = [&] {
        while (count <= 56) {
            int byte = m_inputEnded ? -1 : m_next(m_context);
            if (byte < 0) {
                m_inputEnded = true;
                padding += 8;
                byte = 0;
            }
            bits |= static_cast<uint64_t>(byte) << count;
            count += 8;
        }
    };
    auto take = [&](unsigned n) {
        bits >>= n;
        count -= n;
    };
    auto flushFull = [&] {
        position = 0;
        return m_flush(m_context, window, kWindowSize) == 0;
    };

    for (;;) {
        // A length code takes at most 15 + 16 bits, a distance code 15 + 14.
        if (count < 32) {
            refill();
        }
        uint32_t entry = lengthTable[bits & ((1u << kLengthRoot) - 1)];
        if (EntryOp(entry) & kOpLink) {
            take(kLengthRoot);
            entry =
                lengthTable[EntryValue(entry) + (bits & ((1u << (EntryOp(entry) - kOpLink)) - 1))];
        }
        take(EntryBits(entry));
        if (count < padding) {
            result = kInputShort;
            break;
        }
        unsigned op = EntryOp(entry);
        if (op == kOpLiteral) {
            window[position] = static_cast<uint8_t>(EntryValue(entry));
            if (++position == kWindowSize && !flushFull()) {
                result = kFlushRefused;
                break;
            }
            continue;
        }
        if (op > kOpExtraMax) {
            if (op != kOpEndOfBlock) {
                result = kDataError;
            }
            break;
        }
        unsigned length = EntryValue(entry) + static_cast<unsigned>(bits & ((1u << op) - 1));
        take(op);

        if (count < 32) {
            refill();
        }
        entry = distanceTable[bits & ((1u << kDistanceRoot) - 1)];
        if (EntryOp(entry) & kOpLink) {
            take(kDistanceRoot);
            entry = distanceTable[EntryValue(entry) +
                                  (bits & ((1u << (EntryOp(entry) - kOpLink)) - 1))];
        }
        take(EntryBits(entry));
        op = EntryOp(entry);
        if (op > kOpExtraMax) {
            result = count < padding ? kInputShort : kDataError;
            break;
        }
        unsigned distance = EntryValue(entry) + static_cast<unsigned>(bits & ((1u << op) - 1));
        take(op);
        if (count < padding) {
            result = kInputShort;
            break;
        }

        // A match may be longer than the window and may wrap around it, so copy it in pieces
        // that neither cross the window's end nor read across it.
        while (length > 0) {
            unsigned from = (position - distance) & (kWindowSize - 1);
            unsigned n = length;
            if (n > kWindowSize - position) {
                n = kWindowSize - position;
            }
            if (n > kWindowSize - from) {
                n = kWindowSize - from;
            }
            CopyMatch(window + position, window + from, n);
            position += n;
            length -= n;
            if (position == kWindowSize && !flushFull()) {
                result = kFlushRefused;
                break;
            }
        }
        if (result != kOk) {
            break;
        }
    }

    m_bits = bits;
    m_count = count;
    m_padding = padding;
    m_position = position;
    return result;
}
