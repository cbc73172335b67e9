// Archives read through the 7-Zip codec library, made at build time by 7zz, gcab, genisoimage,
// makensis, lha and Python's tarfile. The Linux build always has the library (Debian's 7z.so);
// the Windows build has it when a 7z.dll could be built beside the test program.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "archive/core/archive.h"
#include "archive/core/errors.h"
#include "archive/core/extractor_factory.h"
#include "archive/core/format_detection.h"
#include "archive/core/text_conversion.h"
#include "archive/formats/sevenzip/sevenzip_extractor.h"
#include "support/scratch.h"
#include "support/test_extractor.h"

namespace test {
namespace {

std::wstring Codec(const std::wstring& name) {
    return Fixture(L"codec\\" + name);
}

fs::path Source(const std::string& name) {
    return FixtureNative(L"codec\\src") / fs::u8path(name);
}

bool CodecLibraryPresent() {
    CVek7Zip probe;
    probe.OpenFile(Codec(L"solid.7z").c_str());
    return probe.GetLastErrorCode() != VEKERR_NO_CODEC_LIBRARY;
}

#define REQUIRE_CODEC_LIBRARY()                                                          \
    do {                                                                                 \
        if (!CodecLibraryPresent()) {                                                    \
            GTEST_SKIP() << "no 7-Zip codec library beside the test program (the build " \
                            "could not make 7z.dll)";                                    \
        }                                                                                \
    } while (0)

struct Outcome {
    int opened = 0;
    unsigned openError = 0;
    int damaged = 0;
    int encrypted = 0;
    int listed = 0;
    int type = 0;
    int extracted = -1;
    std::vector<SinkCall> calls;
    std::vector<int> errors;
    std::vector<int> completions;

    int Count(const std::string& kind) const {
        return static_cast<int>(std::count_if(calls.begin(), calls.end(),
                                              [&](const SinkCall& c) { return c.kind == kind; }));
    }
};

// Opens through the archive holder (detection picks the format) and extracts the selection
// (everything when selection is empty).
Outcome OpenAndExtract(const std::wstring& path, const ScratchFolder& target,
                       const char* password = nullptr, const std::vector<int>& selection = {}) {
    Outcome run;
    CVekArchive archive;
    run.opened = archive.Open(path.c_str(), password);
    run.openError = archive.GetLastErrorCode();
    if (!run.opened) {
        return run;
    }
    run.type = archive.GetType();
    run.damaged = archive.IsDamaged();
    run.encrypted = archive.IsEncrypted();
    IVekExtractor* extractor = archive.GetExtractor();
    run.listed = extractor->GetEntryList()->count;
    CVekRef<IVekProgress> sink(new RecordingSink());
    extractor->SetProgressSink(sink.Get());
    run.extracted =
        selection.empty()
            ? extractor->ExtractAllItemsTo(target.Wide().c_str())
            : extractor->ExtractItemsTo(selection.data(), static_cast<unsigned>(selection.size()),
                                        target.Wide().c_str());
    auto* recording = static_cast<RecordingSink*>(sink.Get());
    run.calls = recording->calls;
    run.errors = recording->Errors();
    run.completions = recording->Completions();
    extractor->SetProgressSink(nullptr);
    return run;
}

// Every file below target, each equal to the source file of the same name (or of the name
// given in sources), and no other file.
std::string FilesMatchSource(const fs::path& target,
                             const std::vector<std::pair<std::string, std::string>>& files) {
    std::set<std::string> expected;
    for (const auto& [name, source] : files) {
        expected.insert(name);
        if (ReadFileBytes(target / fs::u8path(name)) != ReadFileBytes(Source(source))) {
            return "differs: " + name;
        }
    }
    for (const std::string& name : ListTree(target)) {
        if (name.back() != '/' && expected.count(name) == 0) {
            return "unexpected: " + name;
        }
    }
    return "";
}

// The names the run's errors carried.
std::set<std::wstring> NamedInErrors(const Outcome& run) {
    std::set<std::wstring> names;
    for (const SinkCall& call : run.calls) {
        if (call.kind == "error") {
            names.insert(call.name);
        }
    }
    return names;
}

// Of the files the archive holds (source names with '/'), those not below target as they went
// in, spelt as the library names entries.
std::set<std::wstring> NotWritten(const fs::path& target, const std::vector<std::string>& files) {
    std::set<std::wstring> missing;
    for (const std::string& name : files) {
        fs::path written = target / fs::u8path(name);
        if (!fs::exists(written) || ReadFileBytes(written) != ReadFileBytes(Source(name))) {
            wchar_t* converted = ToWideString(name.c_str(), 65001);
            std::wstring wide = converted != nullptr ? converted : L"";
            delete[] converted;
            std::replace(wide.begin(), wide.end(), L'/', L'\\');
            missing.insert(wide);
        }
    }
    return missing;
}

const std::vector<std::string> kSourceFiles = {"a.txt", "sub/b.bin", "sub/deeper/c.txt",
                                               "\xED\x95\x9C\xEA\xB8\x80.txt", "empty.txt"};

TEST(CodecBridge, EveryFormatExtractsWhatWentIn) {
    REQUIRE_CODEC_LIBRARY();
    const std::string korean = "\xED\x95\x9C\xEA\xB8\x80.txt";
    const std::vector<std::pair<std::string, std::string>> three = {
        {"a.txt", "a.txt"}, {"sub/b.bin", "sub/b.bin"}, {"sub/deeper/c.txt", "sub/deeper/c.txt"}};
    struct Case {
        const wchar_t* archive;
        int type;
        int listed;
        bool wholeTree;  // else exactly `files` (formats without folders or empty entries)
        std::vector<std::pair<std::string, std::string>> files;
    };
    const Case cases[] = {
        {L"solid.7z", VEK_FORMAT_7Z, 8, true, {}},
        {L"nonsolid.7z", VEK_FORMAT_7Z, 8, true, {}},
        {L"seven.tar", VEK_FORMAT_TAR, 8, true, {}},
        {L"image.iso", VEK_FORMAT_ISO, 8, true, {}},
        // The 7z archive inside the numbered volumes, not the joined file.
        {L"split.7z.001", VEK_FORMAT_SPLIT, 8, true, {}},
        {L"files.cab", VEK_FORMAT_CAB, 3, false, three},
        {L"files.lzh", VEK_FORMAT_LZH, 5, false, three},
        // RAR 4 and RAR 5 (the library's second RAR format), written by small writers of ours
        // (stored entries).
        {L"stored4.rar", VEK_FORMAT_RAR, 5, false, three},
        {L"stored.rar", VEK_FORMAT_RAR, 5, false, three},
        {L"setup.exe",
         VEK_FORMAT_NSIS,
         2,
         false,
         {{"a.txt", "a.txt"}, {"c.txt", "sub/deeper/c.txt"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.archive)));
        ScratchFolder target;
        Outcome run = OpenAndExtract(Codec(c.archive), target);
        ASSERT_EQ(run.opened, 1) << run.openError;
        EXPECT_EQ(run.type, c.type);
        EXPECT_EQ(run.damaged, 0);
        EXPECT_EQ(run.listed, c.listed);
        EXPECT_EQ(run.extracted, 1);
        EXPECT_TRUE(run.errors.empty());
        if (c.wholeTree) {
            EXPECT_EQ(CompareTrees(FixtureNative(L"codec\\src"), target.Path()), "");
            EXPECT_EQ(ModifyTime(target.Path() / fs::u8path(korean)), 1600000000);
        } else {
            EXPECT_EQ(FilesMatchSource(target.Path(), c.files), "");
        }
    }
}

TEST(CodecBridge, ListingFacts) {
    REQUIRE_CODEC_LIBRARY();
    std::unique_ptr<IVekExtractor> bridge(CreateExtractor(VEK_FORMAT_7Z));
    bridge->SetCodePage(65001);
    ASSERT_EQ(bridge->OpenFile(Codec(L"solid.7z").c_str()), 1);
    EXPECT_EQ(bridge->IsSolid(), 1);
    EXPECT_EQ(bridge->IsEncrypted(), 0);
    SVekEntryList* list = bridge->GetEntryList();
    ASSERT_EQ(list->count, 8);
    EXPECT_EQ(list->folderCount, 3);
    bool sawB = false;
    for (int i = 0; i < list->count; ++i) {
        const SVekEntry* entry = list->At(i);
        if (std::wstring(entry->name) == L"sub\\b.bin") {
            sawB = true;
            EXPECT_EQ(entry->size, 40000u);
            EXPECT_NE(entry->crc, 0u);
            EXPECT_EQ(entry->modifyTime, 1600000000);
            EXPECT_EQ(entry->packedSize, 0u);  // not asked for
        }
    }
    EXPECT_TRUE(sawB);
}

// Code page 65002 has no narrow form: every entry still keeps the wide name the library gave,
// and the entries come out side by side rather than over one another.
TEST(CodecBridge, NamesSurviveACodePageWithoutNarrowForm) {
    REQUIRE_CODEC_LIBRARY();
    const std::pair<const wchar_t*, int> archives[] = {{L"solid.7z", VEK_FORMAT_7Z},
                                                       {L"seven.tar", VEK_FORMAT_TAR}};
    for (const auto& [name, type] : archives) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        std::vector<std::wstring> expected;
        {
            std::unique_ptr<IVekExtractor> plain(CreateExtractor(type));
            plain->SetCodePage(65001);
            ASSERT_EQ(plain->OpenFile(Codec(name).c_str()), 1);
            for (int i = 0; i < plain->GetEntryList()->count; ++i) {
                expected.push_back(plain->GetEntryList()->At(i)->name);
            }
        }
        std::unique_ptr<IVekExtractor> bridge(CreateExtractor(type));
        bridge->SetCodePage(65002);
        ASSERT_EQ(bridge->OpenFile(Codec(name).c_str()), 1);
        std::vector<std::wstring> names;
        for (int i = 0; i < bridge->GetEntryList()->count; ++i) {
            names.push_back(bridge->GetEntryList()->At(i)->name);
        }
        EXPECT_EQ(names, expected);
        ScratchFolder target;
        EXPECT_EQ(bridge->ExtractAllItemsTo(target.Wide().c_str()), 1);
        EXPECT_EQ(CompareTrees(FixtureNative(L"codec\\src"), target.Path()), "");
    }
}

TEST(CodecBridge, SplitSetReportsEachVolume) {
    REQUIRE_CODEC_LIBRARY();
    ScratchFolder target;
    Outcome run = OpenAndExtract(Codec(L"split.7z.001"), target);
    ASSERT_EQ(run.opened, 1);
    std::set<std::wstring> volumes;
    for (const SinkCall& call : run.calls) {
        if (call.kind == "volume") {
            volumes.insert(call.name.substr(call.name.find_last_of(L"\\/") + 1));
        }
    }
    EXPECT_EQ(volumes, (std::set<std::wstring>{L"split.7z.002", L"split.7z.003", L"split.7z.004",
                                               L"split.7z.005"}));
}

TEST(CodecBridge, Passwords) {
    REQUIRE_CODEC_LIBRARY();
    // Encrypted names: without the password the open succeeds with nothing listed and the
    // archive marked encrypted, so that the host can ask.
    {
        ScratchFolder target;
        Outcome run = OpenAndExtract(Codec(L"aes-names.7z"), target);
        ASSERT_EQ(run.opened, 1);
        EXPECT_EQ(run.listed, 0);
        EXPECT_EQ(run.encrypted, 1);
        run = OpenAndExtract(Codec(L"aes-names.7z"), target, "secret");
        EXPECT_EQ(run.listed, 8);
        EXPECT_EQ(run.extracted, 1);
        EXPECT_EQ(CompareTrees(FixtureNative(L"codec\\src"), target.Path()), "");
    }
    // Encrypted data: a wrong password fails the first file with 33, told through OnError, and
    // nothing after it is written; none at all gives 32.
    for (const char* password : {"wrong", static_cast<const char*>(nullptr)}) {
        SCOPED_TRACE(password == nullptr ? "none" : password);
        ScratchFolder target;
        Outcome run = OpenAndExtract(Codec(L"aes.7z"), target, password);
        ASSERT_EQ(run.opened, 1);
        EXPECT_EQ(run.encrypted, 1);
        EXPECT_EQ(run.listed, 8);
        EXPECT_EQ(run.extracted, 0);
        int code = password == nullptr ? VEKERR_NO_PASSWORD : VEKERR_WRONG_PASSWORD;
        // The first file fails, and every file after it that was not written is named.
        ASSERT_FALSE(run.errors.empty());
        EXPECT_EQ(std::set<int>(run.errors.begin(), run.errors.end()), std::set<int>{code});
        EXPECT_EQ(NamedInErrors(run), NotWritten(target.Path(), kSourceFiles));
        // With a password the library reports the entry's result; without one it stops when it
        // asks, before the entry starts.
        if (password != nullptr) {
            ASSERT_FALSE(run.completions.empty());
            EXPECT_EQ(run.completions.back(), code);
        }
        int files = 0;
        for (const std::string& name : ListTree(target.Path())) {
            files += name.back() != '/' && fs::file_size(target.Path() / fs::u8path(name)) > 0;
        }
        EXPECT_EQ(files, 0);
    }
}

// An entry that fails leaves the file already on disk under its name as it was, also when it
// fails after its data was written (a wrong password on stored data, found by the CRC); one
// that succeeds replaces it. No temporary file stays behind either way.
TEST(CodecBridge, AFailedEntryLeavesTheFileOnDiskAlone) {
    REQUIRE_CODEC_LIBRARY();
    struct Case {
        const char* password;
        int extracted;
        bool replaced;
    };
    const Case cases[] = {{"wrong", 0, false}, {nullptr, 0, false}, {"secret", 1, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password == nullptr ? "none" : c.password);
        ScratchFolder target;
        WriteFileBytes(target.Path() / "a.txt", "what the user had");
        Outcome run = OpenAndExtract(Codec(L"aes-stored.7z"), target, c.password);
        ASSERT_EQ(run.opened, 1);
        EXPECT_EQ(run.extracted, c.extracted);
        EXPECT_TRUE(ReadFileBytes(target.Path() / "a.txt") ==
                    (c.replaced ? ReadFileBytes(Source("a.txt")) : "what the user had"));
        EXPECT_EQ(ListTree(target.Path()), std::set<std::string>{"a.txt"});
    }
}

// The password reaches the library as UTF-16 from the system's ANSI code page (949 on Korean
// Windows, the locale's UTF-8 on Linux), so a Korean password typed by the user works.
TEST(CodecBridge, KoreanPassword) {
    REQUIRE_CODEC_LIBRARY();
    char* typed = ToMultiByteString(L"\uD55C\uAE00\uC554\uD638", 0);
    ASSERT_NE(typed, nullptr);
    ScratchFolder target;
    Outcome run = OpenAndExtract(Codec(L"korean-password.7z"), target, typed);
    delete[] typed;
    ASSERT_EQ(run.opened, 1);
    EXPECT_EQ(run.listed, 8);
    EXPECT_EQ(run.extracted, 1);
    EXPECT_EQ(CompareTrees(FixtureNative(L"codec\\src"), target.Path()), "");
}

TEST(CodecBridge, OnlyTheSelectedEntriesAreWritten) {
    REQUIRE_CODEC_LIBRARY();
    std::unique_ptr<IVekExtractor> bridge(CreateExtractor(VEK_FORMAT_7Z));
    ASSERT_EQ(bridge->OpenFile(Codec(L"solid.7z").c_str()), 1);
    SVekEntryList* list = bridge->GetEntryList();
    int last = -1;
    for (int i = 0; i < list->count; ++i) {
        if (std::wstring(list->At(i)->name) == L"sub\\deeper\\c.txt") {
            last = i;
        }
    }
    ASSERT_GE(last, 0);
    // In a solid archive the entries before it are decoded too, and discarded.
    CVekRef<IVekProgress> sink(new RecordingSink());
    bridge->SetProgressSink(sink.Get());
    ScratchFolder target;
    int selection[] = {last};
    EXPECT_EQ(bridge->ExtractItemsTo(selection, 1, target.Wide().c_str()), 1);
    auto* recording = static_cast<RecordingSink*>(sink.Get());
    int starts = 0;
    for (const SinkCall& call : recording->calls) {
        if (call.kind == "start") {
            ++starts;
            EXPECT_EQ(call.name, L"sub\\deeper\\c.txt");
        }
    }
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(ListTree(target.Path()),
              (std::set<std::string>{"sub/", "sub/deeper/", "sub/deeper/c.txt"}));
    EXPECT_EQ(ReadFileBytes(target.Path() / "sub" / "deeper" / "c.txt"),
              ReadFileBytes(Source("sub/deeper/c.txt")));
    // Indices outside the list are refused before the library is asked.
    int bad[] = {list->count};
    EXPECT_EQ(bridge->ExtractItemsTo(bad, 1, target.Wide().c_str()), 0);
    EXPECT_EQ(bridge->GetLastErrorCode(), static_cast<unsigned>(VEKERR_BAD_INDEX));
    bridge->SetProgressSink(nullptr);
}

// The host's cancel reaches the library as a failure: nothing after the cancelled entry, and
// the cancelled entry leaves no empty file.
TEST(CodecBridge, CancelStopsTheLibrary) {
    REQUIRE_CODEC_LIBRARY();
    std::unique_ptr<IVekExtractor> bridge(CreateExtractor(VEK_FORMAT_7Z));
    ASSERT_EQ(bridge->OpenFile(Codec(L"nonsolid.7z").c_str()), 1);
    CVekRef<IVekProgress> sink(new RecordingSink());
    auto* recording = static_cast<RecordingSink*>(sink.Get());
    recording->cancelAtStart = L"a.txt";
    bridge->SetProgressSink(sink.Get());
    ScratchFolder target;
    EXPECT_EQ(bridge->ExtractAllItemsTo(target.Wide().c_str()), 0);
    bridge->SetProgressSink(nullptr);
    EXPECT_FALSE(fs::exists(target.Path() / "a.txt"));
    EXPECT_FALSE(fs::exists(target.Path() / "sub" / "b.bin"));
    int startsAfter = 0;
    bool cancelled = false;
    for (const SinkCall& call : recording->calls) {
        startsAfter += cancelled && call.kind == "start";
        cancelled = cancelled || (call.kind == "start" && call.name == L"a.txt");
    }
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(startsAfter, 0);
}

TEST(CodecBridge, NothingIsWrittenOutsideTheTarget) {
    REQUIRE_CODEC_LIBRARY();
    ScratchFolder root;
    fs::create_directories(root.Path() / "inner" / "target");
    // The target is two levels down, so an escape by ".." would land inside root.
    std::wstring target = root.Wide(L"inner\\target");
    CVekArchive archive;
    ASSERT_EQ(archive.Open(Codec(L"hostile.tar").c_str(), nullptr), 1);
    CVekRef<IVekProgress> sink(new RecordingSink());
    archive.GetExtractor()->SetProgressSink(sink.Get());
    EXPECT_EQ(archive.GetExtractor()->ExtractAllItemsTo(target.c_str()), 0);
    auto* recording = static_cast<RecordingSink*>(sink.Get());
    EXPECT_EQ(recording->Errors(),
              (std::vector<int>{VEKERR_UNSAFE_FOLDER, VEKERR_UNSAFE_FOLDER, VEKERR_UNSAFE_FOLDER}));
    archive.GetExtractor()->SetProgressSink(nullptr);
    EXPECT_EQ(ListTree(root.Path()),
              (std::set<std::string>{"inner/", "inner/target/", "inner/target/good1.txt",
                                     "inner/target/good2.txt"}));
}

TEST(CodecBridge, PathLimitAndDamage) {
    REQUIRE_CODEC_LIBRARY();
    // A target path that would reach 260 characters is not created: 49, told with the name.
    {
        ScratchFolder target;
        Outcome run = OpenAndExtract(Codec(L"long.tar"), target);
        ASSERT_EQ(run.opened, 1);
        EXPECT_EQ(run.extracted, 0);
        EXPECT_EQ(run.errors, std::vector<int>{VEKERR_CREATE_FILE});
        EXPECT_TRUE(ListTree(target.Path()).empty());
    }
    // A method the library cannot decode fails that entry alone, with its name.
    {
        ScratchFolder target;
        Outcome run = OpenAndExtract(Codec(L"method.rar"), target);
        ASSERT_EQ(run.opened, 1);
        EXPECT_EQ(run.extracted, 0);
        EXPECT_EQ(run.errors, std::vector<int>{VEKERR_UNSUPPORTED_METHOD});
        EXPECT_EQ(FilesMatchSource(target.Path(),
                                   {{"a.txt", "a.txt"}, {"sub/deeper/c.txt", "sub/deeper/c.txt"}}),
                  "");
    }
    // Damaged data: 53 for the entry and nothing after it; a lost directory: the open fails
    // or shows what it could read as damaged.
    for (const wchar_t* name : {L"damaged.7z", L"damaged.rar"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        ScratchFolder target;
        Outcome run = OpenAndExtract(Codec(name), target);
        ASSERT_EQ(run.opened, 1);
        EXPECT_EQ(run.extracted, 0);
        ASSERT_FALSE(run.errors.empty());
        EXPECT_EQ(std::set<int>(run.errors.begin(), run.errors.end()),
                  std::set<int>{VEKERR_DAMAGED_OR_VOLUME_MISSING});
        // The damaged file and every one after it that was not written are named.
        bool rar = std::wstring(name) == L"damaged.rar";
        EXPECT_EQ(NamedInErrors(run),
                  NotWritten(target.Path(), rar ? std::vector<std::string>{"a.txt", "sub/b.bin",
                                                                           "sub/deeper/c.txt"}
                                                : kSourceFiles));
        if (rar) {
            // a.txt is the damaged one; the files stored after it are not written.
            EXPECT_FALSE(fs::exists(target.Path() / "sub" / "b.bin"));
        }
    }
    // A TAR whose open fails after an item was read (this crashed inside the library when the
    // failed archive was asked for its items).
    {
        ScratchFolder target;
        Outcome run = OpenAndExtract(Codec(L"broken-header.tar"), target);
        EXPECT_EQ(run.opened, 0);
    }
    {
        ScratchFolder target;
        Outcome run = OpenAndExtract(Codec(L"cut.7z"), target);
        if (run.opened) {
            EXPECT_EQ(run.damaged, 1);
            EXPECT_EQ(run.openError, static_cast<unsigned>(VEKERR_OPENED_WITH_ERRORS));
        } else {
            EXPECT_EQ(run.openError, 0u);
        }
    }
}

// An entry whose file cannot be created fails alone: the entries after it are written.
TEST(CodecBridge, AnEntryThatCannotBeCreatedFailsAlone) {
    REQUIRE_CODEC_LIBRARY();
    ScratchFolder target;
    Outcome run = OpenAndExtract(Codec(L"blocked.tar"), target);
    ASSERT_EQ(run.opened, 1);
    EXPECT_EQ(run.extracted, 0);
    EXPECT_EQ(run.errors, std::vector<int>{VEKERR_CREATE_FILE});
    EXPECT_EQ(NamedInErrors(run), std::set<std::wstring>{L"x\\y.txt"});
    EXPECT_EQ(ReadFileBytes(target.Path() / "x"), "a file\n");
    EXPECT_EQ(ReadFileBytes(target.Path() / "z.txt"), "after\n");
    // The entry without a file was never started, so it is never completed either.
    EXPECT_EQ(run.completions, (std::vector<int>{0, 0}));
}

// A long tail of entries that were never written is named in part and counted.
TEST(CodecBridge, ALongUnwrittenTailIsCounted) {
    REQUIRE_CODEC_LIBRARY();
    ScratchFolder target;
    Outcome run = OpenAndExtract(Codec(L"many-aes.7z"), target, "wrong");
    ASSERT_EQ(run.opened, 1);
    ASSERT_EQ(run.listed, 40);
    EXPECT_EQ(run.extracted, 0);
    std::vector<std::wstring> names;
    for (const SinkCall& call : run.calls) {
        if (call.kind == "error") {
            EXPECT_EQ(call.code, VEKERR_WRONG_PASSWORD);
            names.push_back(call.name);
        }
    }
    // The failed one, the next 16 by name, and the 23 others by their count.
    ASSERT_EQ(names.size(), 18u);
    EXPECT_EQ(names[0], L"f00.txt");
    EXPECT_EQ(names[16], L"f16.txt");
    EXPECT_EQ(names[17], L"\u2026 +23");
}

// A failure in data the host did not select, in the solid block of selected entries, names
// every selected entry that is not written.
TEST(CodecBridge, AFailureBeforeTheSelectionNamesTheSelection) {
    REQUIRE_CODEC_LIBRARY();
    std::unique_ptr<IVekExtractor> bridge(CreateExtractor(VEK_FORMAT_7Z));
    ASSERT_EQ(bridge->OpenFile(Codec(L"damaged-solid.7z").c_str()), 1);
    std::vector<int> selection;
    for (int i = 0; i < bridge->GetEntryList()->count; ++i) {
        std::wstring name = bridge->GetEntryList()->At(i)->name;
        if (name == L"sub\\b.bin" || name == L"sub\\deeper\\c.txt") {
            selection.push_back(i);
        }
    }
    ASSERT_EQ(selection.size(), 2u);
    CVekRef<IVekProgress> sink(new RecordingSink());
    bridge->SetProgressSink(sink.Get());
    ScratchFolder target;
    EXPECT_EQ(bridge->ExtractItemsTo(selection.data(), 2, target.Wide().c_str()), 0);
    bridge->SetProgressSink(nullptr);
    Outcome run;
    run.calls = static_cast<RecordingSink*>(sink.Get())->calls;
    std::set<std::wstring> missing = NotWritten(target.Path(), {"sub/b.bin", "sub/deeper/c.txt"});
    EXPECT_FALSE(missing.empty());
    EXPECT_EQ(NamedInErrors(run), missing);
    // The damaged entry was not asked for: nothing is said of it, its failure is no other
    // entry's, and no file is made for it.
    for (const SinkCall& call : run.calls) {
        EXPECT_TRUE(call.kind != "complete" || call.code == 0) << testing::PrintToString(call.name);
    }
    EXPECT_FALSE(fs::exists(target.Path() / "a.txt"));
}

// A sink that skips the named entry at its first progress call.
class SkipInProgressSink : public RecordingSink {
  public:
    explicit SkipInProgressSink(std::wstring name) : m_name(std::move(name)) {}
    int32_t OnStartEntry(const SVekEntry* entry, int* skip, int* cancel) override {
        m_current = entry->name;
        return RecordingSink::OnStartEntry(entry, skip, cancel);
    }
    int32_t OnProgress(int64_t compressedDone, int64_t decodedDone, int* skip,
                       int* cancel) override {
        RecordingSink::OnProgress(compressedDone, decodedDone, skip, cancel);
        if (m_current == m_name) {
            *skip = 1;
        }
        return 0;
    }

  private:
    std::wstring m_name, m_current;
};

// Skipping one entry, at its start or while it is written, skips that entry alone.
TEST(CodecBridge, SkipSkipsOneEntry) {
    REQUIRE_CODEC_LIBRARY();
    for (const wchar_t* archive : {L"seven.tar", L"nonsolid.7z", L"solid.7z"}) {
        for (bool inProgress : {false, true}) {
            SCOPED_TRACE(testing::PrintToString(std::wstring(archive)) +
                         (inProgress ? " in progress" : " at start"));
            CVekArchive holder;
            ASSERT_EQ(holder.Open(Codec(archive).c_str(), nullptr), 1);
            IVekExtractor* extractor = holder.GetExtractor();
            auto* recording = inProgress ? new SkipInProgressSink(L"a.txt") : new RecordingSink();
            CVekRef<IVekProgress> sink(recording);
            if (!inProgress) {
                recording->skipAtStart = L"a.txt";
            }
            extractor->SetProgressSink(sink.Get());
            ScratchFolder target;
            // Not every selected entry came out, so the run is not a success.
            EXPECT_EQ(extractor->ExtractAllItemsTo(target.Wide().c_str()), 0);
            extractor->SetProgressSink(nullptr);
            EXPECT_TRUE(recording->Errors().empty());
            EXPECT_EQ(NotWritten(target.Path(), kSourceFiles), std::set<std::wstring>{L"a.txt"});
            EXPECT_FALSE(fs::exists(target.Path() / "a.txt"));
            // a.txt completes with the code the loop gives a skip; every other file is
            // started and completes.
            std::wstring current;
            int starts = 0;
            for (const SinkCall& call : recording->calls) {
                if (call.kind == "start") {
                    current = call.name;
                    ++starts;
                } else if (call.kind == "complete") {
                    EXPECT_EQ(call.code, current == L"a.txt" ? int{VEKERR_USER_STOP} : 0)
                        << testing::PrintToString(current);
                }
            }
            EXPECT_EQ(starts, 8);
        }
    }
}

// A hard link comes out with the content of the entry it links to, also when that entry is
// not selected; a link to a name the archive does not hold fails with its name.
TEST(CodecBridge, HardLinksComeOutAsCopies) {
    REQUIRE_CODEC_LIBRARY();
    std::unique_ptr<IVekExtractor> bridge(CreateExtractor(VEK_FORMAT_TAR));
    ASSERT_EQ(bridge->OpenFile(Codec(L"hardlinks.tar").c_str()), 1);
    SVekEntryList* list = bridge->GetEntryList();
    ASSERT_EQ(list->count, 4);
    EXPECT_EQ(list->At(1)->size, 3000u);  // listed with the size of what it comes out as
    const std::string orig = ReadFileBytes(Source("a.txt")).substr(0, 3000);
    struct Case {
        std::vector<int> selection;
        std::set<std::string> files;
    };
    const Case cases[] = {
        {{0, 1, 2, 3}, {"orig.txt", "hard.txt", "sub/hard2.txt", "last.txt"}},
        {{1, 2}, {"hard.txt", "sub/hard2.txt"}},
        {{2}, {"sub/hard2.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.selection));
        CVekRef<IVekProgress> sink(new RecordingSink());
        bridge->SetProgressSink(sink.Get());
        ScratchFolder target;
        EXPECT_EQ(
            bridge->ExtractItemsTo(c.selection.data(), static_cast<unsigned>(c.selection.size()),
                                   target.Wide().c_str()),
            1);
        bridge->SetProgressSink(nullptr);
        EXPECT_TRUE(static_cast<RecordingSink*>(sink.Get())->Errors().empty());
        std::set<std::string> files;
        for (const std::string& name : ListTree(target.Path())) {
            if (name.back() != '/') {
                files.insert(name);
                EXPECT_EQ(ReadFileBytes(target.Path() / fs::u8path(name)),
                          name == "last.txt" ? "last\n" : orig)
                    << name;
            }
        }
        EXPECT_EQ(files, c.files);
    }

    ScratchFolder target;
    Outcome run = OpenAndExtract(Codec(L"dangling.tar"), target);
    ASSERT_EQ(run.opened, 1);
    EXPECT_EQ(run.extracted, 0);
    EXPECT_EQ(run.errors, std::vector<int>{VEKERR_DAMAGED_OR_VOLUME_MISSING});
    EXPECT_EQ(NamedInErrors(run), std::set<std::wstring>{L"lost.txt"});
    EXPECT_EQ(ListTree(target.Path()), std::set<std::string>{"kept.txt"});
}

// A symbolic link comes out as a plain file holding the link's text, and an entry through it
// is never written where the link points.
TEST(CodecBridge, SymbolicLinksAreNeverFollowed) {
    REQUIRE_CODEC_LIBRARY();
    ScratchFolder root;
    fs::create_directories(root.Path() / "inner" / "target");
    CVekArchive archive;
    ASSERT_EQ(archive.Open(Codec(L"symlinks.tar").c_str(), nullptr), 1);
    CVekRef<IVekProgress> sink(new RecordingSink());
    archive.GetExtractor()->SetProgressSink(sink.Get());
    EXPECT_EQ(archive.GetExtractor()->ExtractAllItemsTo(root.Wide(L"inner\\target").c_str()), 0);
    archive.GetExtractor()->SetProgressSink(nullptr);
    Outcome run;
    run.calls = static_cast<RecordingSink*>(sink.Get())->calls;
    EXPECT_EQ(NamedInErrors(run), (std::set<std::wstring>{L"up\\marlox-codec-escape.txt",
                                                          L"upup\\marlox-codec-escape.txt",
                                                          L"abs\\marlox-codec-escape.txt"}));
    const fs::path target = root.Path() / "inner" / "target";
    EXPECT_EQ(
        ListTree(root.Path()),
        (std::set<std::string>{"inner/", "inner/target/", "inner/target/up", "inner/target/upup",
                               "inner/target/abs", "inner/target/inside.txt"}));
    EXPECT_FALSE(fs::is_symlink(target / "up"));
    EXPECT_EQ(ReadFileBytes(target / "up"), "..");
    EXPECT_EQ(ReadFileBytes(target / "upup"), "../..");
    EXPECT_EQ(ReadFileBytes(target / "abs"), "/tmp");
    EXPECT_FALSE(fs::exists(fs::path("/tmp") / "marlox-codec-escape.txt"));
}

// File times of 2^63 and more are no time at all: listed as unknown, and not applied.
TEST(CodecBridge, TimesBeyondAnySystemAreUnknown) {
    REQUIRE_CODEC_LIBRARY();
    for (const wchar_t* name : {L"time-top.7z", L"time-half.7z"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        std::unique_ptr<IVekExtractor> bridge(CreateExtractor(VEK_FORMAT_7Z));
        ASSERT_EQ(bridge->OpenFile(Codec(name).c_str()), 1);
        ASSERT_EQ(bridge->GetEntryList()->count, 1);
        EXPECT_EQ(bridge->GetEntryList()->At(0)->modifyTime, 0);
        ScratchFolder target;
        EXPECT_EQ(bridge->ExtractAllItemsTo(target.Wide().c_str()), 1);
        EXPECT_EQ(ReadFileBytes(target.Path() / "t.txt"), "timeless\n");
    }
}

TEST(CodecBridge, WithoutTheLibraryOpenFailsWith769) {
    SVekGuid sevenZip = sevenzip::kFormat7z;
    CVek7Zip bridge(&sevenZip, L"\\nowhere\\no-such-codec-library");
    EXPECT_EQ(bridge.OpenFile(Codec(L"solid.7z").c_str()), 0);
    EXPECT_EQ(bridge.GetLastErrorCode(), static_cast<unsigned>(VEKERR_NO_CODEC_LIBRARY));
    EXPECT_EQ(bridge.GetEntryList()->count, 0);
}

}  // namespace
}  // namespace test
