// Reads a bzip2 stream from an input stream the way libbz2's own buffered reader reads a FILE:
// refills of up to 5000 bytes, each passed through the input filter (decryption) first, with
// the stored size of the entry as the budget.
#pragma once

#include <bzlib.h>

#include <cstdint>

#include "archive/core/streams.h"

class CVekBzip2Reader {
  public:
    static constexpr unsigned kInputSize = 5000;

    CVekBzip2Reader() = default;
    CVekBzip2Reader(const CVekBzip2Reader&) = delete;
    CVekBzip2Reader& operator=(const CVekBzip2Reader&) = delete;
    ~CVekBzip2Reader();

    // False when the decompressor cannot be set up.
    bool Open(IVekInStream* input, IVekStreamFilter* filter, int64_t budget);
    // Fills out with up to count bytes. Returns the bytes produced (fewer than count only at the
    // end of the bzip2 stream), or -1 on a data error, a read failure or input that ends before
    // the stream does.
    int Read(char* out, unsigned count);
    bool AtStreamEnd() const { return m_streamEnd; }
    // Bytes read from the input but not used by the stream (they follow its end).
    unsigned Unused() const { return m_stream.avail_in; }
    // What is left of the budget.
    int64_t Budget() const { return m_budget; }

  private:
    bool Refill();

    IVekInStream* m_input = nullptr;
    IVekStreamFilter* m_filter = nullptr;
    int64_t m_budget = 0;
    bz_stream m_stream{};
    bool m_initialised = false;
    bool m_streamEnd = false;
    char m_buffer[kInputSize];
};
