// .gz and .bz2 files opened through the archive holder, made by gzip, bzip2 and tar.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "archive/core/archive.h"
#include "archive/core/errors.h"
#include "archive/core/extractor_factory.h"
#include "archive/core/format_detection.h"
#include "archive/core/in_file_stream.h"
#include "support/scratch.h"
#include "support/test_extractor.h"

namespace test {
namespace {

struct Opened {
    explicit Opened(const std::wstring& path) { ok = archive.Open(path.c_str(), nullptr); }
    const SVekEntry* Entry() const {
        return archive.GetExtractor() ? archive.GetExtractor()->GetEntryList()->At(0) : nullptr;
    }
    // Extracts everything; returns the completion codes.
    std::vector<int> Extract(const ScratchFolder& target) {
        CVekRef<IVekProgress> sink(new RecordingSink());
        archive.GetExtractor()->SetProgressSink(sink.Get());
        result = archive.ExtractSelection(target.Wide().c_str());
        std::vector<int> codes = static_cast<RecordingSink*>(sink.Get())->Completions();
        for (int code : static_cast<RecordingSink*>(sink.Get())->Errors()) {
            codes.push_back(-code);
        }
        archive.GetExtractor()->SetProgressSink(nullptr);
        return codes;
    }
    CVekArchive archive;
    int ok = 0;
    int result = -1;
};

TEST(Gzip, EntryNamesAndTimes) {
    struct Case {
        const wchar_t* file;
        const wchar_t* name;
        int64_t time;
    };
    const Case cases[] = {
        {L"renamed.gz", L"report.txt", 1600000000},  // the stored name, whatever the file is
        {L"commented.gz", L"report.txt", 1600000000},
        {L"stdin.gz", L"stdin", 0},
        {L"upper.TGZ", L"upper.tar", 0},
        {L"tree.tgz", L"tree.tar", -1},
        {L"text.bz2", L"text", 0},
        {L"tree.tbz2", L"tree.tar", 0},
        {L"tree.tar.bz2", L"tree.tar", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Opened opened(Fixture(c.file));
        ASSERT_EQ(opened.ok, 1);
        ASSERT_NE(opened.Entry(), nullptr);
        EXPECT_EQ(std::wstring(opened.Entry()->name), c.name);
        if (c.time >= 0) {
            EXPECT_EQ(opened.Entry()->modifyTime, c.time);
        }
        EXPECT_EQ(opened.archive.GetExtractor()->GetEntryList()->count, 1);
    }
}

TEST(Gzip, ExtractsByteForByte) {
    const std::string plain = ReadFileBytes(FixtureNative(L"plain.bin"));
    const std::string tar = ReadFileBytes(FixtureNative(L"tree.tar"));
    struct Case {
        const wchar_t* file;
        const wchar_t* out;
        const std::string* expected;
    };
    const std::string nothing;
    const Case cases[] = {
        // Trailers that read 0: the data is decoded to the stream's end all the same.
        {L"padded.gz", L"padded", &plain},        {L"empty-last.gz", L"empty-last", &plain},
        {L"empty.gz", L"empty", &nothing},        {L"renamed.gz", L"report.txt", &plain},
        {L"commented.gz", L"report.txt", &plain}, {L"members.gz", L"members", &plain},
        {L"garbage.gz", L"garbage", nullptr},     {L"text.bz2", L"text", &plain},
        {L"streams.bz2", L"streams", &plain},     {L"tree.tgz", L"tree.tar", &tar},
        {L"tree.tbz2", L"tree.tar", &tar},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Opened opened(Fixture(c.file));
        ASSERT_EQ(opened.ok, 1);
        ScratchFolder target;
        EXPECT_EQ(opened.Extract(target), std::vector<int>{0});
        EXPECT_EQ(opened.result, 1);
        std::string written = ReadFileBytes(target.Native(c.out));
        if (c.expected != nullptr) {
            EXPECT_TRUE(written == *c.expected) << written.size();
        } else {
            EXPECT_TRUE(written == plain.substr(0, 100000)) << written.size();
        }
    }
    // The stored time is applied to the file.
    Opened named(Fixture(L"renamed.gz"));
    ScratchFolder target;
    named.Extract(target);
    EXPECT_EQ(ModifyTime(target.Native(L"report.txt")), 1600000000);
}

TEST(Gzip, DamageIsReported) {
    struct Case {
        const wchar_t* file;
        int code;
    };
    const Case cases[] = {
        {L"badcrc.gz", VEKERR_CRC},
        {L"isize-zero.gz", VEKERR_WRITE},  // data where the trailer promises none
        {L"cut.gz", VEKERR_INFLATE},
        {L"broken.bz2", VEKERR_BZIP2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Opened opened(Fixture(c.file));
        ASSERT_EQ(opened.ok, 1);
        ScratchFolder target;
        EXPECT_EQ(opened.Extract(target), std::vector<int>{c.code});
        EXPECT_EQ(opened.result, 0);
    }
}

// A stream that does not know its file's name.
class NamelessStream : public CVekInFileStream {
  public:
    const wchar_t* GetFileName() override { return nullptr; }
};

TEST(Gzip, StreamsWithoutANameGiveNoname) {
    for (auto [file, type] :
         {std::pair{L"stdin.gz", VEK_FORMAT_GZIP}, std::pair{L"text.bz2", VEK_FORMAT_BZIP2}}) {
        CVekRef<IVekInStream> stream(new NamelessStream());
        ASSERT_EQ(stream->Open(Fixture(file).c_str()), 1);
        std::unique_ptr<IVekExtractor> extractor(CreateExtractor(type));
        ASSERT_EQ(extractor->OpenStream(stream.Get()), 1);
        EXPECT_EQ(std::wstring(extractor->GetEntryList()->At(0)->name), L"noname") << file;
    }
}

TEST(Archive, OpenFailuresAndSizes) {
    ScratchFolder folder;
    CVekArchive archive;
    EXPECT_EQ(archive.Open(folder.Wide(L"missing.gz").c_str(), nullptr), 0);
    EXPECT_EQ(archive.GetLastErrorCode(), VEKERR_CANNOT_OPEN_FILE);

    WriteFileBytes(folder.Native(L"random.bin"), std::string(3000, '\x42'));
    EXPECT_EQ(archive.Open(folder.Wide(L"random.bin").c_str(), nullptr), 0);
    EXPECT_EQ(archive.GetExtractor(), nullptr);

    // A header that is not a gzip member lists nothing: the open fails cleanly.
    WriteFileBytes(folder.Native(L"fake.gz"), std::string("\x1F\x8B\x08", 3));
    EXPECT_EQ(archive.Open(folder.Wide(L"fake.gz").c_str(), nullptr), 0);

    // A 7z signature without an archive behind it: the codec library does not recognise it
    // (or, where there is none, the open says so with 769).
    WriteFileBytes(folder.Native(L"x.7z"),
                   std::string("7z\xBC\xAF\x27\x1C", 6) + std::string(40, '\0'));
    EXPECT_EQ(archive.Open(folder.Wide(L"x.7z").c_str(), nullptr), 0);
    EXPECT_TRUE(archive.GetLastErrorCode() == 0 ||
                archive.GetLastErrorCode() == VEKERR_NO_CODEC_LIBRARY)
        << archive.GetLastErrorCode();

    ASSERT_EQ(archive.Open(Fixture(L"renamed.gz").c_str(), nullptr), 1);
    EXPECT_EQ(archive.GetType(), VEK_FORMAT_GZIP);
    EXPECT_EQ(archive.IsDamaged(), 0);
    EXPECT_EQ(archive.GetLastErrorCode(), 0u);
    int64_t packed = 0;
    int64_t size = 0;
    ASSERT_EQ(archive.GetSelectionSizes(&packed, &size), 1);
    EXPECT_EQ(size, 300000);
    EXPECT_GT(packed, 0);

    ASSERT_EQ(archive.Open(Fixture(L"text.bz2").c_str(), nullptr), 1);
    ASSERT_EQ(archive.GetSelectionSizes(&packed, &size), 1);
    EXPECT_EQ(size, -1);               // bzip2 does not store the size
    archive.Selection().push_back(7);  // indices outside the list are skipped
    ASSERT_EQ(archive.GetSelectionSizes(&packed, &size), 1);
    EXPECT_EQ(packed, -1);
    archive.Close();
    EXPECT_EQ(archive.GetSelectionSizes(&packed, &size), 0);
}

TEST(Archive, SizeSumsSaturateInsteadOfWrapping) {
    CVekArchive archive;
    ASSERT_EQ(archive.Open(Fixture(L"sizes\\huge.zip").c_str(), nullptr), 1);
    int64_t packed = 0;
    int64_t size = 0;
    ASSERT_EQ(archive.GetSelectionSizes(&packed, &size), 1);
    EXPECT_EQ(size, INT64_MAX);  // 2^62 + 2^62 wraps to -2^63
    EXPECT_EQ(packed, INT64_MAX);
}

}  // namespace
}  // namespace test
