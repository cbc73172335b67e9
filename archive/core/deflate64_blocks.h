// Deflate64 block decoding: deflate's stored, fixed and dynamic blocks with the enhanced
// variant's changes (a 64 KiB window, length code 285 with 16 extra bits, distance codes 30 and
// 31). Input comes one byte at a time from a callback and the window goes out through another
// each time it fills, so the caller decides where bytes come from (decryption included) and
// where they go (CRC, output). Decoding is stepped one block at a time so that the caller can
// report progress and stop between blocks.
#pragma once

#include <cstdint>

class CVekDeflate64Decoder {
  public:
    // The next input byte as 0 to 255, or -1 when no more can be had.
    using NextByteFn = int (*)(void* context);
    // Takes n decoded bytes; 0 when they were accepted, anything else stops decoding.
    using FlushFn = int (*)(void* context, const uint8_t* data, unsigned n);

    enum Result : int {
        kOk = 0,
        kDataError = 1,     // bad block type, code, code set or stored length
        kInputShort = 2,    // the input ended inside the stream
        kFlushRefused = 3,  // the flush callback did not take the window
        kNoMemory = 4,
    };

    static constexpr unsigned kWindowSize = 65536;

    CVekDeflate64Decoder(NextByteFn next, FlushFn flush, void* context);
    ~CVekDeflate64Decoder();
    CVekDeflate64Decoder(const CVekDeflate64Decoder&) = delete;
    CVekDeflate64Decoder& operator=(const CVekDeflate64Decoder&) = delete;

    // Whether the window and the tables could be allocated; nothing else works without them.
    bool IsReady() const { return m_window != nullptr && m_tables != nullptr; }
    // Decodes the next block, header included; *last tells whether it was the final one.
    Result DecodeBlock(bool* last);
    // Hands the filled part of the window to the flush callback, after the final block.
    Result FlushWindow();

  private:
    Result DecodeStored();
    Result ReadDynamicTables();
    Result DecodeHuffman(const uint32_t* lengths, const uint32_t* distances);
    void BuildFixedTables();

    void Refill();
    uint32_t GetBits(unsigned count);
    // Whether the bits taken so far reach past the end of the input.
    bool Overrun() const { return m_count < m_padding; }

    NextByteFn m_next;
    FlushFn m_flush;
    void* m_context;

    uint8_t* m_window = nullptr;
    unsigned m_position = 0;

    // Bits are taken least significant first. Once the input has ended, the buffer is topped
    // up with zero bytes that are counted in m_padding: taking any of them is an overrun.
    uint64_t m_bits = 0;
    unsigned m_count = 0;
    unsigned m_padding = 0;
    bool m_inputEnded = false;

    uint32_t* m_tables = nullptr;  // one allocation holding the four tables below
    uint32_t* m_dynamicLengths = nullptr;
    uint32_t* m_dynamicDistances = nullptr;
    uint32_t* m_fixedLengths = nullptr;
    uint32_t* m_fixedDistances = nullptr;
    bool m_fixedBuilt = false;
};
