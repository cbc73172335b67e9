// The shared decoders on streams made by zlib, libbz2's bzip2 and liblzma (through Python) at
// build time, driven through the extraction loop as a format would drive them.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "archive/core/crc32.h"
#include "archive/core/errors.h"
#include "archive/core/in_file_stream.h"
#include "support/scratch.h"
#include "support/test_extractor.h"

namespace test {
namespace {

SingleEntryExtractor::Setup Entry(int method, uint64_t size, uint32_t crc,
                                  uint32_t encryption = 0) {
    return [=](SVekEntry& entry) {
        entry.method = method;
        entry.size = size;
        entry.crc = crc;
        entry.encryption = encryption;
    };
}

uint32_t CrcOf(const std::string& data) {
    return VekCrc32(0, data.data(), static_cast<int>(data.size()));
}

struct Outcome {
    int result;
    std::vector<int> completions;
    std::string written;
    std::string decoded;  // what the decoder wrote, whether or not the file was put in place
};

Outcome Decode(const std::wstring& input, int method, uint64_t size, uint32_t crc,
               uint32_t encryption = 0, const char* password = nullptr) {
    SingleEntryExtractor extractor(Entry(method, size, crc, encryption));
    extractor.SetPassword(password);
    EXPECT_EQ(extractor.OpenFile(input.c_str()), 1);
    CVekRef<IVekProgress> sink(new RecordingSink());
    extractor.SetProgressSink(sink.Get());
    ScratchFolder target;
    Outcome outcome;
    outcome.result = extractor.ExtractAllItemsTo(target.Wide().c_str());
    outcome.completions = static_cast<RecordingSink*>(sink.Get())->Completions();
    outcome.written = ReadFileBytes(target.Native(L"out.bin"));
    outcome.decoded = extractor.decoded;
    extractor.SetProgressSink(nullptr);
    return outcome;
}

TEST(Crc32, MatchesZlibAtEveryAlignmentAndLength) {
    std::mt19937 random(7);
    std::string data(4096 + 7, '\0');
    for (char& c : data) {
        c = static_cast<char>(random());
    }
    for (int offset = 0; offset < 4; ++offset) {
        for (int length : {0, 1, 3, 4, 5, 31, 32, 33, 100, 4096}) {
            const unsigned char* p = reinterpret_cast<const unsigned char*>(data.data()) + offset;
            uint32_t expected = static_cast<uint32_t>(crc32(0, p, static_cast<uInt>(length)));
            EXPECT_EQ(VekCrc32(0, p, length), expected) << offset << " " << length;
        }
    }
    // Running value carried across calls.
    uint32_t crc = VekCrc32(0, data.data(), 1000);
    EXPECT_EQ(VekCrc32(crc, data.data() + 1000, 3000), VekCrc32(0, data.data(), 4000));
    EXPECT_EQ(VekCrc32(0, "123456789", 9), 0xCBF43926u);
    EXPECT_EQ(VekCrc32(5, nullptr, 10), 0u);
}

TEST(Decoders, DecodeRealStreams) {
    const std::string plain = ReadFileBytes(FixtureNative(L"plain.bin"));
    ASSERT_EQ(plain.size(), 300000u);
    const uint32_t crc = CrcOf(plain);
    struct Case {
        const wchar_t* file;
        int method;
    };
    for (const Case& c : {Case{L"plain.bin", 0}, Case{L"raw.deflate", 8}, Case{L"raw.bz2", 12},
                          Case{L"raw.lzma", 14}}) {
        SCOPED_TRACE(c.method);
        Outcome out = Decode(Fixture(c.file), c.method, plain.size(), crc);
        EXPECT_EQ(out.result, 1);
        EXPECT_EQ(out.completions, std::vector<int>{0});
        EXPECT_TRUE(out.written == plain);
    }
    // LZMA of unknown size runs until the decoder makes no more progress.
    Outcome unknown = Decode(Fixture(L"raw.lzma"), 14, VEK_UNKNOWN_SIZE, crc);
    EXPECT_EQ(unknown.result, 1);
    EXPECT_TRUE(unknown.written == plain);
}

TEST(Decoders, FailuresCarryTheirCodes) {
    const std::string plain = ReadFileBytes(FixtureNative(L"plain.bin"));
    const uint32_t crc = CrcOf(plain);
    ScratchFolder work;
    std::string deflated = ReadFileBytes(FixtureNative(L"raw.deflate"));
    WriteFileBytes(work.Native(L"cut.deflate"), deflated.substr(0, deflated.size() / 2));
    WriteFileBytes(work.Native(L"trailing.deflate"), deflated + "garbage after the end");
    std::string bzipped = ReadFileBytes(FixtureNative(L"raw.bz2"));
    WriteFileBytes(work.Native(L"two.bz2"), bzipped + bzipped);
    std::string damaged = bzipped;
    damaged[damaged.size() / 2] ^= 0x40;
    WriteFileBytes(work.Native(L"damaged.bz2"), damaged);
    WriteFileBytes(work.Native(L"cut.bz2"), bzipped.substr(0, bzipped.size() - 100));

    struct Case {
        std::wstring file;
        int method;
        uint32_t crc;
        int code;  // 0: succeeds with the plain text
    };
    const Case cases[] = {
        {work.Wide(L"cut.deflate"), 8, crc, VEKERR_INFLATE},
        {work.Wide(L"trailing.deflate"), 8, crc, 0},
        {Fixture(L"raw.deflate"), 8, crc ^ 1, VEKERR_CRC},
        {Fixture(L"raw.deflate"), 8, 0, 0},   // a CRC of 0 is never compared
        {work.Wide(L"two.bz2"), 12, crc, 0},  // only the first stream belongs to the entry
        {work.Wide(L"damaged.bz2"), 12, crc, VEKERR_BZIP2},
        {work.Wide(L"cut.bz2"), 12, crc, VEKERR_BZIP2},
        {Fixture(L"props4.lzma"), 14, crc, VEKERR_LZMA_HEADER},
        {Fixture(L"raw.lzma"), 14, crc ^ 1, VEKERR_CRC},
        {Fixture(L"plain.bin"), 99, crc, VEKERR_UNSUPPORTED_METHOD},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.method << " " << c.code);
        Outcome out = Decode(c.file, c.method, plain.size(), c.crc);
        EXPECT_EQ(out.result, c.code == 0 ? 1 : 0);
        EXPECT_EQ(out.completions, std::vector<int>{c.code});
        if (c.code == 0) {
            EXPECT_TRUE(out.written == plain);
        }
    }
}

// A header that understates the size cannot make a decoder write past it.
TEST(Decoders, OutputStopsAtTheDeclaredSize) {
    ScratchFolder work;
    std::string zeros(8 << 20, '\0');
    z_stream deflater{};
    ASSERT_EQ(deflateInit2(&deflater, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY), Z_OK);
    std::string bomb(deflateBound(&deflater, zeros.size()), '\0');
    deflater.next_in = reinterpret_cast<Bytef*>(zeros.data());
    deflater.avail_in = static_cast<uInt>(zeros.size());
    deflater.next_out = reinterpret_cast<Bytef*>(bomb.data());
    deflater.avail_out = static_cast<uInt>(bomb.size());
    ASSERT_EQ(deflate(&deflater, Z_FINISH), Z_STREAM_END);
    bomb.resize(deflater.total_out);
    deflateEnd(&deflater);
    WriteFileBytes(work.Native(L"bomb.deflate"), bomb);
    const uint64_t plainSize = ReadFileBytes(FixtureNative(L"plain.bin")).size();
    const uint64_t farSize = ReadFileBytes(FixtureNative(L"deflate64\\far.plain")).size();

    struct Case {
        int method;
        std::wstring input;
        uint64_t declared;
    } cases[] = {
        {8, work.Wide(L"bomb.deflate"), 10},
        {8, Fixture(L"raw.deflate"), plainSize - 1},  // one byte more is too many
        {0, Fixture(L"plain.bin"), 10},
        {0, Fixture(L"plain.bin"), plainSize - 1},
        {12, Fixture(L"raw.bz2"), 10},
        {9, Fixture(L"deflate64\\far.d64"), farSize - 1},
        {9, Fixture(L"deflate64\\far.d64"), 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "method " << c.method << ", " << c.declared);
        Outcome out = Decode(c.input, c.method, c.declared, 0);
        EXPECT_EQ(out.result, 0);
        EXPECT_EQ(out.completions, std::vector<int>{VEKERR_WRITE});
        EXPECT_LE(out.decoded.size(), c.declared);
        EXPECT_EQ(out.written, "");
    }
}

TEST(Decoders, EncryptedEntryWithoutPasswordFailsBeforeWriting) {
    for (int method : {0, 8, 12, 14}) {
        Outcome out = Decode(Fixture(L"plain.bin"), method, 300000, 0, 1, nullptr);
        EXPECT_EQ(out.completions, std::vector<int>{VEKERR_NO_PASSWORD}) << method;
        EXPECT_EQ(out.written, "");
    }
}

TEST(Decoders, ProgressIsReportedPerChunkAndStopsOnSkip) {
    SingleEntryExtractor extractor(Entry(8, 300000, 0));
    ASSERT_EQ(extractor.OpenFile(Fixture(L"raw.deflate").c_str()), 1);
    RecordingSink* recording = new RecordingSink();
    CVekRef<IVekProgress> sink(recording);
    recording->cancelInProgressOf = L"out.bin";
    recording->cancelAtProgressCall = 3;
    extractor.SetProgressSink(sink.Get());
    ScratchFolder target;
    EXPECT_EQ(extractor.ExtractAllItemsTo(target.Wide().c_str()), 0);
    EXPECT_EQ(recording->Completions(), std::vector<int>{VEKERR_USER_STOP});
    int progress = 0;
    for (const SinkCall& call : recording->calls) {
        progress += call.kind == "progress";
    }
    EXPECT_EQ(progress, 3);
    EXPECT_EQ(extractor.decoded.size(), 3u * 4096u);
    EXPECT_FALSE(fs::exists(target.Native(L"out.bin")));  // a stopped entry leaves no file
    extractor.SetProgressSink(nullptr);
}

}  // namespace
}  // namespace test
