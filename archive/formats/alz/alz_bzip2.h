// ALZ method 1: bzip2 block bodies inside ALZ's own framing ("DLZ" 01 before each block with the
// origin pointer right behind it, "DLZ" 02 at the end; no stream header, no block CRC, no
// randomisation). The Huffman decode tables come from libbz2; selectors, MTF, the inverse BWT
// and the run-length output are ours, because libbz2 only decodes its own framing.
#pragma once

#include <cstdint>

#include "archive/core/crypto.h"
#include "archive/core/streams.h"

// libbz2-style results of ReadDecoded.
enum : int {
    VEK_ALZ_BZ_OK = 0,
    VEK_ALZ_BZ_STREAM_END = 4,
    VEK_ALZ_BZ_PARAM_ERROR = -2,
    VEK_ALZ_BZ_MEM_ERROR = -3,
    VEK_ALZ_BZ_DATA_ERROR = -4,
    VEK_ALZ_BZ_MAGIC_ERROR = -5,
    VEK_ALZ_BZ_NOTHING_READ = -6,
    VEK_ALZ_BZ_INPUT_ENDED = -7,
};

class AlzBzip2Reader {
  public:
    static constexpr unsigned kInputPiece = 5000;
    static constexpr unsigned kOutputPiece = 8192;

    // Reads from input (from where it stands) and decrypts every piece with crypto. Null when
    // the block memory cannot be had.
    static AlzBzip2Reader* Open(IVekInStream* input, CVekCrypto* crypto);
    ~AlzBzip2Reader();
    AlzBzip2Reader(const AlzBzip2Reader&) = delete;
    AlzBzip2Reader& operator=(const AlzBzip2Reader&) = delete;

    // Decodes up to kOutputPiece bytes into buffer and returns how many; LastResult() then
    // says whether more follow (0), the stream ended (4), or what went wrong (negative).
    unsigned ReadDecoded(char* buffer);
    int LastResult() const { return m_result; }
    // Stored bytes read from the input so far (read ahead included).
    int64_t StoredBytesRead() const { return m_storedRead; }

  private:
    AlzBzip2Reader(IVekInStream* input, CVekCrypto* crypto, uint32_t* tt);

    bool Refill();
    bool GetBits(int count, uint32_t* value);
    int ReadBlockHeader();
    int DecodeBlockBody();
    unsigned EmitBlock(char* out, unsigned room);

    IVekInStream* m_input;
    CVekCrypto* m_crypto;
    uint8_t m_buffer[kInputPiece];
    unsigned m_filled = 0;
    unsigned m_next = 0;
    bool m_inputEnded = false;
    int64_t m_storedRead = 0;
    uint64_t m_bits = 0;
    int m_bitCount = 0;
    int m_result = VEK_ALZ_BZ_OK;
    bool m_streamEnded = false;

    // One level-9 block: the MTF/RLE2 output first, then the inverse BWT links beside it.
    uint32_t* m_tt;
    uint32_t m_origin = 0;
    uint32_t m_blockLength = 0;
    // Walking the block.
    bool m_inBlock = false;
    uint32_t m_position = 0;
    uint32_t m_used = 0;
    int m_runLength = 0;
    uint8_t m_last = 0;
    uint8_t m_pendingByte = 0;
    unsigned m_pending = 0;
};
