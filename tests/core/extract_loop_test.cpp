// The common extraction loop, driven through a fake extractor into real folders.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "archive/core/errors.h"
#include "support/scratch.h"
#include "support/test_extractor.h"

namespace test {
namespace {

using Errors = std::vector<int>;

// An extractor with a recording sink attached, and a scratch folder to extract into.
struct Fixture {
    Fixture(std::initializer_list<FakeEntry> entries) : extractor(std::vector(entries)) {
        sink.Reset(new RecordingSink());
        EXPECT_EQ(extractor.Open(), 1);
        EXPECT_EQ(extractor.SetProgressSink(sink.Get()), 1);
    }
    ~Fixture() { extractor.SetProgressSink(nullptr); }

    int ExtractAll() { return extractor.ExtractAllItemsTo(target.Wide().c_str()); }
    int Extract(std::vector<int> indices) {
        return extractor.ExtractItemsTo(indices.data(), static_cast<unsigned>(indices.size()),
                                        target.Wide().c_str());
    }
    RecordingSink& Sink() { return *static_cast<RecordingSink*>(sink.Get()); }
    std::string Read(const std::wstring& name) { return ReadFileBytes(target.Native(name)); }
    bool Exists(const std::wstring& name) { return fs::exists(target.Native(name)); }

    ScratchFolder target;
    FakeExtractor extractor;
    CVekRef<IVekProgress> sink;
};

TEST(ExtractLoop, TargetFolderWithAndWithoutTrailingSeparator) {
    for (const wchar_t* suffix : {L"", L"\\"}) {
        FakeExtractor extractor{{"a.txt", "alpha"}, {"sub/b.txt", "beta"}};
        ASSERT_EQ(extractor.Open(), 1);
        ScratchFolder target;
        std::wstring folder = target.Wide() + suffix;
        EXPECT_EQ(extractor.ExtractAllItemsTo(folder.c_str()), 1);
        EXPECT_EQ(ReadFileBytes(target.Native(L"a.txt")), "alpha");
        EXPECT_EQ(ReadFileBytes(target.Native(L"sub\\b.txt")), "beta");
    }
}

TEST(ExtractLoop, TargetFolderLeavingUpwardsIsRefusedBeforeAnythingIsTouched) {
    ScratchFolder root;
    for (const wchar_t* folder : {L"\\x\\..\\y", L"\\x/../y", L"\\x\\.."}) {
        Fixture f{{"a.txt", "alpha"}};
        std::wstring path = root.Wide() + folder;
        EXPECT_EQ(f.extractor.ExtractAllItemsTo(path.c_str()), 0);
        EXPECT_EQ(f.extractor.GetLastErrorCode(), VEKERR_UNSAFE_FOLDER);
        EXPECT_TRUE(f.Sink().calls.empty());
    }
    EXPECT_TRUE(ListTree(root.Path()).empty());
}

TEST(ExtractLoop, InvalidIndexStopsTheRunAfterTheEntriesBeforeIt) {
    Fixture f{{"a.txt", "alpha"}, {"b.txt", "beta"}};
    EXPECT_EQ(f.Extract({0, -1, 1}), 0);
    EXPECT_TRUE(f.Exists(L"a.txt"));
    EXPECT_FALSE(f.Exists(L"b.txt"));
    EXPECT_EQ(f.Sink().Errors(), Errors{VEKERR_BAD_INDEX});
    EXPECT_EQ(f.Extract({5}), 0);
    int none = 0;
    EXPECT_EQ(f.extractor.ExtractItemsTo(&none, 0, f.target.Wide().c_str()), 1);
}

TEST(ExtractLoop, NoEntriesIsSuccess) {
    FakeExtractor extractor;
    ASSERT_EQ(extractor.Open(), 1);
    ScratchFolder target;
    EXPECT_EQ(extractor.ExtractAllItemsTo(target.Wide().c_str()), 1);
    EXPECT_EQ(extractor.ExtractItemsTo(nullptr, 0, target.Wide().c_str()), 0);
}

TEST(ExtractLoop, SizesTimesAndAttributes) {
    constexpr int64_t kTime = 1700000000;       // 2023-11-14
    constexpr int64_t kAfter2038 = 4102444800;  // 2100-01-01
    FakeEntry empty{"empty.txt", ""};
    empty.modifyTime = kTime;
    FakeEntry unknown{"unknown.txt", "whatever"};
    unknown.size = VEK_UNKNOWN_SIZE;
    FakeEntry mismatch{"short.txt", "abc"};
    mismatch.size = 10;
    FakeEntry liar{"liar.txt", "data behind a size of 0"};
    liar.size = 0;
    FakeEntry stamped{"stamped.txt", "time"};
    stamped.modifyTime = kTime;
    FakeEntry late{"late.txt", "later"};
    late.modifyTime = kAfter2038;
    FakeEntry readOnly{"ro.txt", "locked"};
    readOnly.attributes = VEK_ATTR_READONLY | VEK_ATTR_ARCHIVE;
    Fixture f{empty, unknown, mismatch, liar, stamped, late, readOnly};

    EXPECT_EQ(f.ExtractAll(), 0);  // only the size mismatches fail
    EXPECT_EQ(f.Sink().Errors(), (Errors{VEKERR_WRITE, VEKERR_WRITE}));
    EXPECT_EQ(f.Sink().Completions(), (Errors{0, 0, VEKERR_WRITE, VEKERR_WRITE, 0, 0, 0}));
    EXPECT_FALSE(f.Exists(L"liar.txt"));

    EXPECT_TRUE(f.Exists(L"empty.txt"));
    EXPECT_EQ(f.Read(L"empty.txt"), "");
    EXPECT_NE(ModifyTime(f.target.Native(L"empty.txt")), kTime);  // empty files get no time
    EXPECT_EQ(f.Read(L"unknown.txt"), "whatever");
    EXPECT_FALSE(f.Exists(L"short.txt"));  // a failed entry leaves nothing
    EXPECT_EQ(ModifyTime(f.target.Native(L"stamped.txt")), kTime);
    EXPECT_EQ(ModifyTime(f.target.Native(L"late.txt")), kAfter2038);
    EXPECT_TRUE(IsReadOnly(f.target.Native(L"ro.txt")));
    EXPECT_FALSE(IsReadOnly(f.target.Native(L"stamped.txt")));
}

TEST(ExtractLoop, FolderEntriesWithAndWithoutTrailingSeparator) {
    FakeEntry withSeparator{"dir/", ""};
    withSeparator.attributes = VEK_ATTR_FOLDER;
    FakeEntry without{"deep/er/dir", ""};
    without.attributes = VEK_ATTR_FOLDER;
    Fixture f{withSeparator, without, {"deep/er/dir/file.txt", "x"}};
    EXPECT_EQ(f.ExtractAll(), 1);
    EXPECT_EQ(ListTree(f.target.Path()),
              (std::set<std::string>{"dir/", "deep/", "deep/er/", "deep/er/dir/",
                                     "deep/er/dir/file.txt"}));
    EXPECT_TRUE(f.Sink().Errors().empty());
    // Folder entries are not announced or completed.
    EXPECT_EQ(f.Sink().Completions(), Errors{0});
}

TEST(ExtractLoop, SkipAndCancelWhenAnEntryStarts) {
    Fixture f{{"a.txt", "alpha"}, {"b.txt", "beta"}, {"c.txt", "gamma"}, {"d.txt", "delta"}};
    f.Sink().skipAtStart = L"a.txt";
    f.Sink().cancelAtStart = L"c.txt";
    EXPECT_EQ(f.ExtractAll(), 0);
    EXPECT_FALSE(f.Exists(L"a.txt"));
    EXPECT_EQ(f.Read(L"b.txt"), "beta");
    EXPECT_FALSE(f.Exists(L"c.txt"));
    EXPECT_FALSE(f.Exists(L"d.txt"));
    EXPECT_EQ(f.Sink().Completions(), (Errors{0, 0, 0}));
    EXPECT_TRUE(f.Sink().Errors().empty());
}

TEST(ExtractLoop, CancelDuringProgressLeavesNoPartialFile) {
    Fixture f{{"big.txt", "0123456789abcdef"}, {"next.txt", "n"}};
    f.Sink().cancelInProgressOf = L"big.txt";
    f.Sink().cancelAtProgressCall = 2;
    EXPECT_EQ(f.ExtractAll(), 0);
    EXPECT_EQ(ListTree(f.target.Path()), std::set<std::string>{});
    EXPECT_EQ(f.Sink().Completions(), Errors{VEKERR_USER_STOP});
}

// Every way an entry can fail, each over a file the user already had.
TEST(ExtractLoop, FailedEntriesNeverChangeAnExistingFile) {
    FakeEntry crc{"crc.txt", "written before the check failed"};
    crc.failWith = VEKERR_CRC;
    FakeEntry mismatch{"short.txt", "abc"};
    mismatch.size = 10;
    FakeEntry silent{"silent.txt", "some"};
    silent.failSilently = true;
    Fixture f{crc,
              mismatch,
              silent,
              {"skipped.txt", "s"},
              {"cancelled.txt", "0123456789"},
              {"never.txt", "n"}};
    const std::wstring names[] = {L"crc.txt",     L"short.txt",     L"silent.txt",
                                  L"skipped.txt", L"cancelled.txt", L"never.txt"};
    for (const std::wstring& name : names) {
        WriteFileBytes(f.target.Native(name), "old");
    }
    f.Sink().skipAtStart = L"skipped.txt";
    f.Sink().cancelInProgressOf = L"cancelled.txt";
    f.Sink().cancelAtProgressCall = 2;
    EXPECT_EQ(f.ExtractAll(), 0);
    for (const std::wstring& name : names) {
        SCOPED_TRACE(std::string(name.begin(), name.end()));
        EXPECT_EQ(f.Read(name), "old");
    }
    EXPECT_EQ(ListTree(f.target.Path()).size(), std::size(names));  // no temporary file left
}

TEST(ExtractLoop, EntryThatCannotBePutInPlaceFails) {
    Fixture f{{"taken", "data"}, {"after.txt", "z"}};
    fs::create_directories(f.target.Native(L"taken\\inside"));
    EXPECT_EQ(f.ExtractAll(), 0);
    EXPECT_EQ(f.Sink().Errors(), Errors{VEKERR_CREATE_FILE});
    EXPECT_EQ(ListTree(f.target.Path()),
              (std::set<std::string>{"taken/", "taken/inside/", "after.txt"}));
}

TEST(ExtractLoop, SuccessReplacesAnExistingFileAndAppliesItsAttributes) {
    FakeEntry readOnly{"ro.txt", "new and locked"};
    readOnly.attributes = VEK_ATTR_READONLY;
    readOnly.modifyTime = 1700000000;
    Fixture f{{"a.txt", "new"}, readOnly};
    WriteFileBytes(f.target.Native(L"a.txt"), "old, and longer than the new content");
    WriteFileBytes(f.target.Native(L"ro.txt"), "old");
    EXPECT_EQ(f.ExtractAll(), 1);
    EXPECT_EQ(f.Read(L"a.txt"), "new");
    EXPECT_EQ(f.Read(L"ro.txt"), "new and locked");
    EXPECT_TRUE(IsReadOnly(f.target.Native(L"ro.txt")));
    EXPECT_EQ(ModifyTime(f.target.Native(L"ro.txt")), 1700000000);
    EXPECT_EQ(ListTree(f.target.Path()), (std::set<std::string>{"a.txt", "ro.txt"}));
}

TEST(ExtractLoop, DecoderFailuresAreReportedNeverSilent) {
    FakeEntry crc{"crc.txt", "data"};
    crc.failWith = VEKERR_CRC;
    FakeEntry nothing{"nothing.txt", ""};
    nothing.size = 5;
    nothing.failWith = VEKERR_READ_DATA;
    FakeEntry silent{"silent.txt", "some"};
    silent.failSilently = true;
    Fixture f{crc, nothing, silent, {"ok.txt", "fine"}};
    EXPECT_EQ(f.ExtractAll(), 0);
    EXPECT_EQ(f.Sink().Completions(), (Errors{VEKERR_CRC, VEKERR_READ_DATA, VEKERR_READ_DATA, 0}));
    EXPECT_EQ(ListTree(f.target.Path()), std::set<std::string>{"ok.txt"});
    EXPECT_EQ(f.Read(L"ok.txt"), "fine");
}

TEST(ExtractLoop, OutputNamesAreSanitised) {
    Fixture f{{"x?y*z.txt", "q"}, {"a<b>|c.txt", "r"}, {"colon:name.txt", "s"}};
    EXPECT_EQ(f.ExtractAll(), 1);
    EXPECT_EQ(ListTree(f.target.Path()),
              (std::set<std::string>{"x_y_z.txt", "a_b__c.txt", "colon_name.txt"}));
}

TEST(ExtractLoop, HostileNamesNeverWriteOutsideTheTarget) {
    const char* hostile[] = {
        "../evil.txt",
        "..\\evil.txt",
        "a/../../evil.txt",
        "a\\..\\..\\evil.txt",
        "/abs.txt",
        "\\abs.txt",
        "C:\\evil.txt",
        "C:evil.txt",
        "../",
        "...\\evil.txt",
        ".. /evil.txt",
        "a/../..",
        "CON",
        "con.txt",
        "dir/NUL.tar.gz",
        "COM1",
        "lpt9.log",
        "Aux ",
        "prn.",
        "com\xc2\xb9.txt",
    };
    ScratchFolder root;
    test::fs::create_directories(root.Path() / "target");
    for (const char* name : hostile) {
        SCOPED_TRACE(name);
        FakeExtractor extractor{{name, "payload"}, {"safe.txt", "ok"}};
        ASSERT_EQ(extractor.Open(), 1);
        CVekRef<IVekProgress> sink(new RecordingSink());
        extractor.SetProgressSink(sink.Get());
        std::wstring target = root.Wide(L"target");
        EXPECT_EQ(extractor.ExtractAllItemsTo(target.c_str()), 0);
        auto& calls = static_cast<RecordingSink*>(sink.Get())->calls;
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.front().kind, "error");
        EXPECT_EQ(calls.front().code, static_cast<int>(VEKERR_UNSAFE_FOLDER));
        EXPECT_EQ(ListTree(root.Path()), (std::set<std::string>{"target/", "target/safe.txt"}));
        extractor.SetProgressSink(nullptr);
        test::fs::remove(root.Path() / "target" / "safe.txt");
    }
    // Names that only look alike are ordinary files.
    Fixture f{{"a..b.txt", "1"},    {"..a", "2"},       {"con2.txt", "3"}, {"com10", "4"},
              {"console.txt", "5"}, {"x/.hidden", "6"}, {"nul_", "7"}};
    EXPECT_EQ(f.ExtractAll(), 1);
    EXPECT_EQ(ListTree(f.target.Path()).size(), 8u);
}

TEST(ExtractLoop, PathsBeyondTheBoundsAreRefusedAndTheRunGoesOn) {
    std::string longName(530, 'n');
    FakeEntry longFolder{std::string(300, 'f') + "/", ""};
    longFolder.attributes = VEK_ATTR_FOLDER;
    std::string deepFile = std::string(120, 'p') + "/" + std::string(120, 'q') + "/" +
                           std::string(30, 'r') + "/file.txt";
    Fixture f{{longName, "x"}, longFolder, {deepFile, "y"}, {"after.txt", "z"}};
    EXPECT_EQ(f.ExtractAll(), 0);
    EXPECT_EQ(f.Sink().Errors(),
              (Errors{VEKERR_CREATE_FILE, VEKERR_CREATE_FOLDER, VEKERR_CREATE_FILE}));
    EXPECT_EQ(ListTree(f.target.Path()), std::set<std::string>{"after.txt"});
}

TEST(ExtractLoop, FileThatCannotBeCreatedIsReported) {
    Fixture f{{"blocker", "file"}, {"blocker/inside.txt", "x"}, {"after.txt", "z"}};
    EXPECT_EQ(f.ExtractAll(), 0);
    EXPECT_EQ(f.Sink().Errors(), Errors{VEKERR_CREATE_FILE});
    EXPECT_EQ(f.Read(L"after.txt"), "z");
}

TEST(Extractor, PasswordKeepsAtMost511Bytes) {
    FakeExtractor extractor;
    extractor.SetPassword(std::string(600, 'p').c_str());
    EXPECT_EQ(std::string(extractor.GetPassword()), std::string(511, 'p'));
    extractor.SetPassword("");
    EXPECT_EQ(std::string(extractor.GetPassword()), "");
    extractor.SetPassword("secret");
    extractor.Close();  // the password survives Close
    EXPECT_EQ(std::string(extractor.GetPassword()), "secret");
}

TEST(Extractor, ProgressSinkMustAnswerItsInterface) {
    struct NotASink : CVekUnknownImp<IVekInStream> {
        int Open(const wchar_t*) override { return 0; }
        int OpenA(const char*) override { return 0; }
        int ReadExact(void*, unsigned) override { return 0; }
        int Read(void*, unsigned, unsigned*) override { return 0; }
        int64_t Seek(int64_t, unsigned) override { return 0; }
        int64_t GetPosition() override { return 0; }
        uint64_t GetSize() override { return 0; }
        int Close() override { return 1; }
        int IsEnd() override { return 1; }
        const wchar_t* GetFileName() override { return nullptr; }
        void SetFilter(IVekStreamFilter*) override {}
    };
    FakeExtractor extractor;
    CVekRef<IVekInStream> other(new NotASink());
    EXPECT_EQ(extractor.SetProgressSink(other.Get()), 0);
    // A stream is what OpenStream wants: the directory is read from it.
    EXPECT_EQ(extractor.OpenStream(other.Get()), 1);
    EXPECT_EQ(extractor.directoryReads, 1);
    extractor.Close();
}

TEST(Extractor, OpenFileOfAMissingFileFailsWithCode1) {
    FakeExtractor extractor;
    ScratchFolder folder;
    EXPECT_EQ(extractor.OpenFile(folder.Wide(L"missing.zip").c_str()), 0);
    EXPECT_EQ(extractor.GetLastErrorCode(), VEKERR_CANNOT_OPEN_FILE);
    EXPECT_EQ(extractor.directoryReads, 0);
}

}  // namespace
}  // namespace test
