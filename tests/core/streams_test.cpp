// File streams: the buffered read rules, seeks, filters, output and reference counting.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "archive/core/entry.h"
#include "archive/core/in_file_stream.h"
#include "archive/core/out_file_stream.h"
#include "support/scratch.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace test {
namespace {

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    }
    return bytes;
}

struct InputFile {
    explicit InputFile(const std::string& bytes) : content(bytes) {
        WriteFileBytes(folder.Native(L"in.bin"), bytes);
        stream.Reset(new CVekInFileStream());
        EXPECT_EQ(stream->Open(folder.Wide(L"in.bin").c_str()), 1);
    }
    ScratchFolder folder;
    std::string content;
    CVekRef<IVekInStream> stream;
};

TEST(InFileStream, ReadsAcrossTheBufferAndStraightIntoTheCaller) {
    InputFile in(Pattern(10000));
    std::string got(10000, '\0');
    unsigned count = 0;
    // Small reads come through the buffer, a large one bypasses it, then small ones again.
    size_t at = 0;
    for (unsigned piece : {1u, 100u, 2000u, 3000u, 5u, 2047u, 2048u}) {
        ASSERT_EQ(in.stream->Read(&got[at], piece, &count), 1) << piece;
        ASSERT_EQ(count, piece);
        at += piece;
        EXPECT_EQ(in.stream->GetPosition(), static_cast<int64_t>(at));
    }
    EXPECT_EQ(got.substr(0, at), in.content.substr(0, at));
    EXPECT_EQ(in.stream->GetSize(), 10000u);
    EXPECT_EQ(in.stream->IsEnd(), 0);
}

TEST(InFileStream, ShortReadsAtTheEnd) {
    InputFile in(Pattern(100));
    char buffer[4096];
    unsigned count = 0;

    // The last 4 bytes already in the buffer: the refill brings nothing, so the call fails
    // though it delivered them.
    ASSERT_EQ(in.stream->Read(buffer, 96, &count), 1);
    EXPECT_EQ(in.stream->Read(buffer, 10, &count), 0);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(std::string(buffer, 4), in.content.substr(96));

    // Not yet buffered: the refill brings them and the call succeeds with 4.
    in.stream->Seek(96, VEK_SEEK_SET);
    EXPECT_EQ(in.stream->Read(buffer, 10, &count), 1);
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(in.stream->IsEnd(), 1);

    in.stream->Seek(96, VEK_SEEK_SET);
    EXPECT_EQ(in.stream->ReadExact(buffer, 10), 0);

    // A large read past the end succeeds short.
    in.stream->Seek(0, VEK_SEEK_SET);
    EXPECT_EQ(in.stream->Read(buffer, 4096, &count), 1);
    EXPECT_EQ(count, 100u);
    in.stream->Seek(0, VEK_SEEK_SET);
    EXPECT_EQ(in.stream->ReadExact(buffer, 4096), 0);
    EXPECT_EQ(in.stream->Read(buffer, 1, nullptr), 0);  // at the end, no counter given
}

TEST(InFileStream, Seeks) {
    InputFile in(Pattern(100));
    EXPECT_EQ(in.stream->Seek(22, VEK_SEEK_END), 78);
    EXPECT_EQ(in.stream->Seek(0, VEK_SEEK_CUR), 78);
    EXPECT_EQ(in.stream->Seek(5, 7), 78);  // unknown origin: nothing moves

    struct Step {
        int64_t offset;
        unsigned origin;
        int64_t position;
    };
    // Forward and back inside the buffered bytes, then out of them, then from the end.
    const Step steps[] = {{10, VEK_SEEK_SET, 10}, {5, VEK_SEEK_CUR, 16},  {-6, VEK_SEEK_CUR, 11},
                          {-5, VEK_SEEK_CUR, 7},  {60, VEK_SEEK_CUR, 68}, {1, VEK_SEEK_END, 99},
                          {-40, VEK_SEEK_CUR, 60}};
    char byte = 0;
    for (const Step& step : steps) {
        EXPECT_EQ(in.stream->Seek(step.offset, step.origin), step.position);
        ASSERT_EQ(in.stream->ReadExact(&byte, 1), 1) << step.position;
        EXPECT_EQ(byte, in.content[static_cast<size_t>(step.position)]) << step.position;
    }
    // Past the end and before the start: the seek answers, the next read fails.
    EXPECT_EQ(in.stream->Seek(200, VEK_SEEK_SET), 200);
    EXPECT_EQ(in.stream->ReadExact(&byte, 1), 0);
    EXPECT_EQ(in.stream->Seek(-10, VEK_SEEK_SET), -10);
    EXPECT_EQ(in.stream->ReadExact(&byte, 1), 0);
    EXPECT_EQ(in.stream->Seek(3, VEK_SEEK_SET), 3);
    ASSERT_EQ(in.stream->ReadExact(&byte, 1), 1);
    EXPECT_EQ(byte, in.content[3]);
}

TEST(InFileStream, PositionsBeyondFourGigabytes) {
    ScratchFolder folder;
    constexpr int64_t kFour = 4LL << 30;
    {
        // Sparse: only the marker around the 4 GiB line takes room.
        std::fstream out(folder.Native(L"big.bin"), std::ios::binary | std::ios::out);
        out.seekp(kFour - 3);
        out.write("MARKER", 6);
        out.seekp(kFour + 9999);
        out.write("!", 1);
    }
    CVekRef<IVekInStream> in(new CVekInFileStream());
    ASSERT_EQ(in->Open(folder.Wide(L"big.bin").c_str()), 1);
    EXPECT_EQ(in->GetSize(), static_cast<uint64_t>(kFour + 10000));
    std::string got(8000, '\0');
    unsigned count = 0;
    EXPECT_EQ(in->Seek(kFour - 3000, VEK_SEEK_SET), kFour - 3000);
    ASSERT_EQ(in->Read(&got[0], 8000, &count), 1);
    EXPECT_EQ(count, 8000u);
    EXPECT_EQ(got.substr(2997, 6), "MARKER");
    EXPECT_EQ(in->GetPosition(), kFour + 5000);
    EXPECT_EQ(in->Seek(1, VEK_SEEK_END), kFour + 9999);
    char byte = 0;
    ASSERT_EQ(in->ReadExact(&byte, 1), 1);
    EXPECT_EQ(byte, '!');
    EXPECT_EQ(in->IsEnd(), 1);
}

struct XorFilter : IVekStreamFilter {
    void Filter(char* data, int length) override {
        for (int i = 0; i < length; ++i) {
            data[i] ^= 0x5A;
        }
        filtered += length;
    }
    int filtered = 0;
};

TEST(InFileStream, FilterSeesEveryDeliveredByteOnce) {
    InputFile in(Pattern(5000));
    XorFilter filter;
    in.stream->SetFilter(&filter);
    std::string got(5000, '\0');
    ASSERT_EQ(in.stream->ReadExact(&got[0], 10), 1);
    ASSERT_EQ(in.stream->ReadExact(&got[10], 3000), 1);
    ASSERT_EQ(in.stream->ReadExact(&got[3010], 1990), 1);
    EXPECT_EQ(filter.filtered, 5000);
    for (size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(static_cast<char>(got[i] ^ 0x5A), in.content[i]) << i;
    }
    in.stream->SetFilter(nullptr);
    in.stream->Seek(0, VEK_SEEK_SET);
    ASSERT_EQ(in.stream->ReadExact(&got[0], 10), 1);
    EXPECT_EQ(got.substr(0, 10), in.content.substr(0, 10));
}

TEST(InFileStream, OpenCloseAndReopen) {
    InputFile in(Pattern(50));
    EXPECT_NE(in.stream->GetFileName(), nullptr);
    EXPECT_EQ(in.stream->Close(), 1);
    EXPECT_EQ(in.stream->GetFileName(), nullptr);
    char byte;
    EXPECT_EQ(in.stream->ReadExact(&byte, 1), 0);
    // A failed open leaves the stream closed and reusable.
    EXPECT_EQ(in.stream->Open(in.folder.Wide(L"missing.bin").c_str()), 0);
    EXPECT_EQ(in.stream->Open(in.folder.Wide().c_str()), 0);  // a folder is not a file
    ASSERT_EQ(in.stream->OpenA(in.folder.Native(L"in.bin").string().c_str()), 1);
    in.stream->Seek(0, VEK_SEEK_SET);
    ASSERT_EQ(in.stream->ReadExact(&byte, 1), 1);
    EXPECT_EQ(byte, in.content[0]);
}

#ifdef _WIN32
TEST(InFileStream, OpensAFileAnotherProgramIsWriting) {
    ScratchFolder folder;
    std::wstring path = folder.Wide(L"busy.bin");
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(writer, "busy", 4, &written, nullptr);
    CVekRef<IVekInStream> in(new CVekInFileStream());
    EXPECT_EQ(in->Open(path.c_str()), 1);
    EXPECT_EQ(in->GetSize(), 4u);
    in->Close();
    CloseHandle(writer);
}
#endif

TEST(OutFileStream, WritesStampsAndCounts) {
    ScratchFolder folder;
    CVekRef<IVekOutStream> out(new CVekOutFileStream());
    ASSERT_EQ(out->Open(folder.Wide(L"x?y.txt").c_str()), 1);
    unsigned written = 0;
    EXPECT_EQ(out->Write("hello", 5, &written), 1);
    EXPECT_EQ(written, 5u);
    EXPECT_EQ(out->Write(" world", 6, nullptr), 1);
    EXPECT_EQ(out->GetWrittenSize(), 11u);
    EXPECT_EQ(out->AcceptSize(1LL << 40), 1);
    // Times that pass a file time's 64 bits are refused, not multiplied into nonsense.
    for (int64_t bad : {INT64_MAX, INT64_MIN, int64_t{1} << 60}) {
        EXPECT_EQ(out->SetModifyTime(bad), 0) << bad;
    }
    EXPECT_EQ(out->SetModifyTime(0), 1);
    EXPECT_EQ(out->SetAttributes(VEK_ATTR_READONLY), 1);
    EXPECT_EQ(out->Close(), 1);
    EXPECT_EQ(out->GetWrittenSize(), 0u);
    fs::path written_path = folder.Native(L"x_y.txt");
    EXPECT_EQ(ReadFileBytes(written_path), "hello world");
    EXPECT_EQ(ModifyTime(written_path), 0);
    EXPECT_TRUE(IsReadOnly(written_path));

    // Create-always replaces an existing file.
    ASSERT_EQ(out->Open(folder.Wide(L"again.txt").c_str()), 1);
    out->Write("long content", 12, nullptr);
    ASSERT_EQ(out->Open(folder.Wide(L"again.txt").c_str()), 1);
    out->Write("short", 5, nullptr);
    out->Close();
    EXPECT_EQ(ReadFileBytes(folder.Native(L"again.txt")), "short");
    EXPECT_EQ(out->Open(folder.Wide(L"no\\such\\folder.txt").c_str()), 0);
}

struct Counted : CVekUnknownImp<IVekOutStream> {
    explicit Counted(bool* destroyed) : m_destroyed(destroyed) {}
    ~Counted() override { *m_destroyed = true; }
    int Open(const wchar_t*) override { return 0; }
    int OpenA(const char*) override { return 0; }
    int Write(const void*, unsigned, unsigned*) override { return 0; }
    int Close() override { return 1; }
    int AcceptSize(int64_t) override { return 1; }
    int SetModifyTime(int64_t) override { return 0; }
    int SetAttributes(uint32_t) override { return 0; }
    uint64_t GetWrittenSize() override { return 0; }
    bool* m_destroyed;
};

TEST(ReferenceCounting, StartsAtZeroAndDestroysAtTheLastRelease) {
    bool destroyed = false;
    Counted* object = new Counted(&destroyed);
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(object->QueryInterface(IVekInStream::kIid, &out), VEK_E_NOINTERFACE);
    EXPECT_EQ(out, reinterpret_cast<void*>(0x1));  // untouched on refusal
    EXPECT_EQ(object->QueryInterface(IVekOutStream::kIid, &out), VEK_S_OK);
    EXPECT_EQ(out, static_cast<IVekOutStream*>(object));
    EXPECT_EQ(object->AddRef(), 2u);
    EXPECT_EQ(object->Release(), 1u);
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_TRUE(destroyed);
}

}  // namespace
}  // namespace test
