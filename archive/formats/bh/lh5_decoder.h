// The static-Huffman LZ77 coding of LHA's -lh5- method as BH method 1 uses it: 8 KiB window,
// blocks of codes with their own Huffman tables, and a block size of 0 ending the data.
#pragma once

#include <cstdint>
#include <functional>

class CVekLh5Decoder {
  public:
    static constexpr unsigned kWindowSize = 8192;

    // nextByte returns the next stored byte (0 to 255) or -1 when there is none; missing bytes
    // read as zero bits.
    explicit CVekLh5Decoder(std::function<int()> nextByte);

    // Fills the window with up to kWindowSize decoded bytes and returns how many; fewer only
    // at the end of the data, which Ended() then reports (also after a table the data cannot
    // have: the caller's CRC check judges what came out).
    unsigned DecodeChunk(uint8_t* window);
    bool Ended() const { return m_ended; }

  private:
    static constexpr int kCharCodes = 510;  // 256 literals + lengths 3..256
    static constexpr int kPositionCodes = 14;
    static constexpr int kLengthCodes = 19;  // the code-length alphabet
    static constexpr int kTreeSize = 2 * kCharCodes - 1;

    void FillBits(int n);
    unsigned GetBits(int n);
    bool ReadLengthLengths(int count, int countBits, int special);
    bool ReadCharLengths();
    bool MakeTable(int count, const uint8_t* lengths, int tableBits, uint16_t* table);
    int DecodeChar();
    unsigned DecodePosition();

    std::function<int()> m_nextByte;
    uint32_t m_bits = 0;     // the next 16 bits to be read, in the low half
    uint32_t m_subBits = 0;  // the byte being shifted in
    int m_subCount = 0;      // bits left in m_subBits
    unsigned m_blockSize = 0;
    bool m_ended = false;
    unsigned m_copyLength = 0;
    unsigned m_copyFrom = 0;
    unsigned m_position = 0;  // next write position in the window
    uint8_t m_charLength[kCharCodes];
    uint8_t m_lengthLength[kLengthCodes];
    uint16_t m_charTable[4096];
    uint16_t m_lengthTable[256];
    uint16_t m_left[kTreeSize];
    uint16_t m_right[kTreeSize];
    uint8_t m_history[kWindowSize];
};
