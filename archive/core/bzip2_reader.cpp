#include "archive/core/bzip2_reader.h"

CVekBzip2Reader::~CVekBzip2Reader() {
    if (m_initialised) {
        BZ2_bzDecompressEnd(&m_stream);
    }
}

bool CVekBzip2Reader::Open(IVekInStream* input, IVekStreamFilter* filter, int64_t budget) {
    m_input = input;
    m_filter = filter;
    m_budget = budget;
    m_stream = bz_stream{};
    m_initialised = BZ2_bzDecompressInit(&m_stream, 0, 0) == BZ_OK;
    return m_initialised;
}

// One refill of the input buffer; false when nothing more can be read.
bool CVekBzip2Reader::Refill() {
    if (m_budget <= 0 || m_input->IsEnd()) {
        return false;
    }
    unsigned n = m_budget < kInputSize ? static_cast<unsigned>(m_budget) : kInputSize;
    if (!m_input->ReadExact(m_buffer, n)) {
        return false;
    }
    if (m_filter != nullptr) {
        m_filter->Filter(m_buffer, static_cast<int>(n));
    }
    m_budget -= n;
    m_stream.next_in = m_buffer;
    m_stream.avail_in = n;
    return true;
}

int CVekBzip2Reader::Read(char* out, unsigned count) {
    if (!m_initialised) {
        return -1;
    }
    if (m_streamEnd || count == 0) {
        return 0;
    }
    m_stream.next_out = out;
    m_stream.avail_out = count;
    for (;;) {
        bool noMoreInput = false;
        if (m_stream.avail_in == 0) {
            noMoreInput = !Refill();
        }
        unsigned before = m_stream.avail_out;
        int result = BZ2_bzDecompress(&m_stream);
        if (result == BZ_STREAM_END) {
            m_streamEnd = true;
            return static_cast<int>(count - m_stream.avail_out);
        }
        if (result != BZ_OK) {
            return -1;
        }
        if (m_stream.avail_out == 0) {
            return static_cast<int>(count);
        }
        // The decompressor wants more and there is none: the stream was cut short.
        if (noMoreInput && m_stream.avail_in == 0 && m_stream.avail_out == before) {
            return -1;
        }
    }
}
