// ZIP method 9, the enhanced deflate with a 64 KiB window. zlib cannot decode it, so the blocks
// are decoded by our own decoder; this file drives it: stored bytes come in one at a time,
// decrypted, the window goes out with a running CRC, and progress, skip and cancel are handled
// between blocks.
#include "archive/core/crc32.h"
#include "archive/core/deflate64_blocks.h"
#include "archive/core/errors.h"
#include "archive/core/extractor_impl.h"

namespace {

struct Deflate64Run {
    IVekInStream* input;
    IVekOutStream* output;
    CVekCrypto* crypto;
    uint64_t* outputLeft;  // decoded bytes the entry's size still allows
    int64_t remaining;     // stored bytes still to be taken
    int64_t consumed = 0;  // stored bytes taken since the last progress report
    int64_t produced = 0;  // decoded bytes written since the last progress report
    unsigned callbackError = 0;
    uint32_t crc = 0;
};

int NextStoredByte(void* context) {
    Deflate64Run* run = static_cast<Deflate64Run*>(context);
    // The decoder reads ahead to fill its bit buffer and may ask for bytes past the end of a
    // complete stream, so running out is no error here: the decoder fails with 22 only if it
    // needed those bits.
    if (run->remaining <= 0) {
        return -1;
    }
    char byte;
    if (!run->input->ReadExact(&byte, 1)) {
        return -1;  // the same for a read that fails: the decoder sees the end of its input
    }
    if (run->crypto->mode != VEK_CRYPT_NONE) {
        run->crypto->Filter(&byte, 1);
    }
    --run->remaining;
    ++run->consumed;
    return static_cast<unsigned char>(byte);
}

int FlushDecoded(void* context, const uint8_t* data, unsigned n) {
    Deflate64Run* run = static_cast<Deflate64Run*>(context);
    unsigned written = 0;
    if (!TakeFromBound(run->outputLeft, n) || !run->output->Write(data, n, &written) ||
        written != n) {
        run->callbackError = VEKERR_WRITE;
        return 1;
    }
    run->produced += n;
    run->crc = VekCrc32(run->crc, data, static_cast<int>(n));
    return 0;
}

}  // namespace

int CVekExtractorImpl::InflateDeflate64(SVekEntry* entry, IVekInStream* input,
                                        IVekOutStream* output) {
    int64_t remaining = 0;
    if (!BeginDecoding(entry, input, &remaining)) {
        return 0;
    }
    Deflate64Run run{input, output, &m_crypto, &m_outputLeft, remaining};
    CVekDeflate64Decoder decoder(NextStoredByte, FlushDecoded, &run);
    if (!decoder.IsReady()) {
        m_lastError = VEKERR_INFLATE;
        return 0;
    }

    bool last = false;
    while (!last) {
        CVekDeflate64Decoder::Result result = decoder.DecodeBlock(&last);
        if (result == CVekDeflate64Decoder::kOk && last) {
            result = decoder.FlushWindow();
        }
        if (result != CVekDeflate64Decoder::kOk) {
            m_lastError = run.callbackError != 0 ? run.callbackError : VEKERR_INFLATE;
            return 0;
        }
        // Once per block, however many windows it filled.
        if (!AddProgress(run.consumed, run.produced)) {
            return 0;
        }
        run.consumed = 0;
        run.produced = 0;
    }
    if (run.callbackError != 0) {
        m_lastError = run.callbackError;
        return 0;
    }
    return FinishDecoding(entry, input, run.remaining, false, run.crc);
}
