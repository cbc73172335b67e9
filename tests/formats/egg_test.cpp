// EGG archives from shared/samples (made by other programs, the format's own archiver among
// them): every entry of MANIFEST.tsv must come out with its size and CRC-32, and the archives
// our reader cannot handle must be refused cleanly.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "archive/core/archive.h"
#include "archive/core/crc32.h"
#include "archive/core/errors.h"
#include "archive/core/format_detection.h"
#include "support/manifest.h"
#include "support/scratch.h"
#include "support/test_extractor.h"

namespace test {
namespace {

std::wstring Widen(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

struct Result {
    int opened = 0;
    unsigned openError = 0;
    int extracted = -1;
    std::vector<int> errors;
    std::vector<int> completions;
};

Result Extract(const std::string& name, const ScratchFolder& target, const char* password) {
    Result result;
    CVekArchive archive;
    result.opened = archive.Open(Sample(L"egg\\" + Widen(name)).c_str(), password);
    if (!result.opened) {
        result.openError = archive.GetLastErrorCode();
        return result;
    }
    CVekRef<IVekProgress> sink(new RecordingSink());
    archive.GetExtractor()->SetProgressSink(sink.Get());
    result.extracted = archive.ExtractSelection(target.Wide().c_str());
    result.errors = static_cast<RecordingSink*>(sink.Get())->Errors();
    result.completions = static_cast<RecordingSink*>(sink.Get())->Completions();
    archive.GetExtractor()->SetProgressSink(nullptr);
    return result;
}

const char* PasswordFor(const std::string& name) {
    if (name.find("zipcrypto") != std::string::npos) {
        return "1q2w3e4r!";
    }
    if (name.find("aes") != std::string::npos) {
        return "test1234";
    }
    return nullptr;
}

TEST(Egg, SamplesExtractAsTheManifestSays) {
    auto archives = ReadManifest(L"egg");
    ASSERT_GE(archives.size(), 10u);
    for (const auto& [name, entries] : archives) {
        if (name.find("lea") != std::string::npos) {
            continue;  // refused below
        }
        SCOPED_TRACE(name);
        ScratchFolder target;
        Result result = Extract(name, target, PasswordFor(name));
        ASSERT_EQ(result.opened, 1) << result.openError;
        EXPECT_EQ(result.extracted, 1);
        EXPECT_TRUE(result.errors.empty());
        EXPECT_EQ(CompareWithManifest(target.Path(), entries), "");
    }
}

TEST(Egg, UnknownEncryptionIsRefusedAnUnknownRecordIsDamage) {
    for (const char* name : {"octo_lea128_deflate_10files_korean_dirs.egg",
                             "octo_lea256_deflate_10files_korean_dirs.egg"}) {
        SCOPED_TRACE(name);
        ScratchFolder target;
        Result result = Extract(name, target, "test1234");
        EXPECT_EQ(result.opened, 0);
        EXPECT_EQ(result.openError, static_cast<unsigned>(VEKERR_READ_HEADER));
    }

    // The archive comment record is not one the walk knows: the file before it is read whole,
    // so it is listed and extracts (its CRC checked), and the archive shows as damaged.
    CVekArchive archive;
    ASSERT_EQ(archive.Open(Sample(L"egg\\eggdotnet_archive_comment.egg").c_str(), nullptr), 1);
    EXPECT_EQ(archive.IsDamaged(), 1);
    SVekEntryList* list = archive.GetExtractor()->GetEntryList();
    ASSERT_EQ(list->count, 1);
    EXPECT_NE(list->At(0)->crc, 0u);
    ScratchFolder target;
    EXPECT_EQ(archive.GetExtractor()->ExtractAllItemsTo(target.Wide().c_str()), 1);
    EXPECT_EQ(ListTree(target.Path()).size(), 1u);
}

TEST(Egg, WrongPasswordAndListingFacts) {
    ScratchFolder target;
    Result wrong = Extract("octo_aes128_deflate_10files_korean_dirs.egg", target, "nope");
    ASSERT_EQ(wrong.opened, 1);
    EXPECT_EQ(wrong.extracted, 0);
    int refused = 0;
    for (int code : wrong.completions) {
        if (code != 0) {
            EXPECT_EQ(code, static_cast<int>(VEKERR_WRONG_PASSWORD));
            ++refused;
        }
    }
    EXPECT_EQ(refused, 9);  // every file with data; the empty one needs no password

    CVekArchive archive;
    ASSERT_EQ(
        archive.Open(Sample(L"egg\\octo_bzip2+deflate_10files_korean_dirs.egg").c_str(), nullptr),
        1);
    EXPECT_EQ(archive.GetType(), VEK_FORMAT_EGG);
    EXPECT_EQ(archive.IsEncrypted(), 0);
    SVekEntryList* list = archive.GetExtractor()->GetEntryList();
    bool sawBzip2 = false, sawEmpty = false;
    for (int i = 0; i < list->count; ++i) {
        const SVekEntry* entry = list->At(i);
        sawBzip2 |= entry->method == 12;
        // An entry without blocks shows the "unknown" method code.
        if (entry->size == 0 && !entry->IsFolder()) {
            sawEmpty = true;
            EXPECT_EQ(entry->method, 999);
        }
    }
    EXPECT_TRUE(sawBzip2);
    EXPECT_TRUE(sawEmpty);
}

Result ExtractOurs(const std::wstring& name, const ScratchFolder& target,
                   std::vector<int> selection = {}, const char* password = nullptr) {
    Result result;
    CVekArchive archive;
    result.opened = archive.Open(Fixture(L"egg\\" + name).c_str(), password);
    if (!result.opened) {
        result.openError = archive.GetLastErrorCode();
        return result;
    }
    archive.Selection() = selection;
    CVekRef<IVekProgress> sink(new RecordingSink());
    archive.GetExtractor()->SetProgressSink(sink.Get());
    result.extracted = archive.ExtractSelection(target.Wide().c_str());
    result.errors = static_cast<RecordingSink*>(sink.Get())->Errors();
    result.completions = static_cast<RecordingSink*>(sink.Get())->Completions();
    archive.GetExtractor()->SetProgressSink(nullptr);
    return result;
}

TEST(Egg, DamagedArchivesAreRefusedAtOpen) {
    struct Case {
        const wchar_t* name;
        unsigned code;
    };
    const Case cases[] = {
        {L"unknown-record.egg", VEKERR_READ_HEADER},
        {L"too-long.egg", VEKERR_READ_HEADER},  // blocks unpack to more than the file length
        {L"name780.egg", VEKERR_BAD_NAME},
        {L"short-key.egg", VEKERR_READ_HEADER},  // key data shorter than AES-256 needs
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder target;
        Result result = ExtractOurs(c.name, target);
        EXPECT_EQ(result.opened, 0);
        EXPECT_EQ(result.openError, c.code);
    }
}

TEST(Egg, BlocksAndMethodsOfOurWriter) {
    ScratchFolder target;
    Result result = ExtractOurs(L"two-blocks.egg", target);
    ASSERT_EQ(result.opened, 1);
    EXPECT_EQ(result.extracted, 1);
    std::string a;
    for (int i = 0; i < 3000; ++i) {
        a += "alpha ";
    }
    EXPECT_EQ(ReadFileBytes(target.Native(L"two.txt")), a);

    // The listed CRC chains the first block's CRC over the second block's CRC bytes.
    CVekArchive archive;
    ASSERT_EQ(archive.Open(Fixture(L"egg\\two-blocks.egg").c_str(), nullptr), 1);
    const SVekEntry* two = archive.GetExtractor()->GetEntryList()->At(0);
    size_t half = a.size() / 2;
    uint32_t first = VekCrc32(0, a.data(), static_cast<int>(half));
    uint32_t second = VekCrc32(0, a.data() + half, static_cast<int>(a.size() - half));
    uint8_t bytes[4] = {static_cast<uint8_t>(second), static_cast<uint8_t>(second >> 8),
                        static_cast<uint8_t>(second >> 16), static_cast<uint8_t>(second >> 24)};
    EXPECT_EQ(two->crc, VekCrc32(first, bytes, 4));
    EXPECT_EQ(two->method, 8);

    ScratchFolder long779;
    EXPECT_EQ(ExtractOurs(L"name779.egg", long779).opened, 1);

    // A file longer than its blocks' data fails the size check, told through OnError.
    ScratchFolder shortFile;
    Result cut = ExtractOurs(L"short-file.egg", shortFile);
    ASSERT_EQ(cut.opened, 1);
    EXPECT_EQ(cut.extracted, 0);
    EXPECT_FALSE(cut.errors.empty());

    // Method 3 is known but not decodable.
    for (const wchar_t* name : {L"method3.egg"}) {
        SCOPED_TRACE(name);
        ScratchFolder failed;
        Result r = ExtractOurs(name, failed);
        ASSERT_EQ(r.opened, 1);
        EXPECT_EQ(r.extracted, 0);
        ASSERT_EQ(r.completions.size(), 1u);
        EXPECT_NE(r.completions[0], 0);
        if (std::wstring(name) == L"method3.egg") {
            EXPECT_EQ(r.completions[0], static_cast<int>(VEKERR_UNSUPPORTED_METHOD));
        }
    }
}

TEST(Egg, EntriesReadWholeBeforeDamageAreKept) {
    // two-blocks.egg: two.txt, then b.bin in one LZMA block, then the final end record. The
    // walk fails at whatever follows; every entry read whole stays listed and extracts, and
    // the archive shows as damaged.
    const std::string archiveBytes = ReadFileBytes(FixtureNative(L"egg\\two-blocks.egg"));
    struct Case {
        const char* what;
        std::string bytes;
        int entries;
    };
    const Case cases[] = {
        {"bytes after the end record", archiveBytes + std::string(4, '\0'), 2},
        {"a record after the end record", archiveBytes + "\x13\x0c\xb5\x02", 2},
        {"no final end record", archiveBytes.substr(0, archiveBytes.size() - 4), 2},
        {"cut inside the last block", archiveBytes.substr(0, archiveBytes.size() - 40), 1},
    };
    std::string a;
    for (int i = 0; i < 3000; ++i) {
        a += "alpha ";
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchFolder folder;
        WriteFileBytes(folder.Native(L"damaged.egg"), c.bytes);
        CVekArchive archive;
        ASSERT_EQ(archive.Open(folder.Wide(L"damaged.egg").c_str(), nullptr), 1);
        EXPECT_EQ(archive.IsDamaged(), 1);
        EXPECT_EQ(archive.GetLastErrorCode(), static_cast<unsigned>(VEKERR_READ_HEADER));
        ASSERT_EQ(archive.GetExtractor()->GetEntryList()->count, c.entries);
        ScratchFolder target;
        EXPECT_EQ(archive.GetExtractor()->ExtractAllItemsTo(target.Wide(L"out").c_str()), 1);
        EXPECT_EQ(ReadFileBytes(target.Native(L"out\\two.txt")), a);
        if (c.entries == 2) {
            EXPECT_EQ(ReadFileBytes(target.Native(L"out\\b.bin")).size(), 10240u);
        }
    }
}

TEST(Egg, SolidArchivesExtractInOnePass) {
    CVekArchive archive;
    ASSERT_EQ(archive.Open(Fixture(L"egg\\solid.egg").c_str(), nullptr), 1);
    EXPECT_EQ(archive.GetExtractor()->IsSolid(), 1);
    SVekEntryList* list = archive.GetExtractor()->GetEntryList();
    ASSERT_EQ(list->count, 6);
    for (int i = 0; i < list->count; ++i) {
        EXPECT_EQ(list->At(i)->packedSize, 0u);
        EXPECT_EQ(list->At(i)->crc, 0u);
        EXPECT_EQ(list->At(i)->method, 999);
    }

    ScratchFolder all;
    Result result = ExtractOurs(L"solid.egg", all);
    EXPECT_EQ(result.extracted, 1);
    EXPECT_TRUE(result.errors.empty()) << ::testing::PrintToString(result.errors);
    EXPECT_EQ(CompareTrees(FixtureNative(L"egg\\solid_src"), all.Path()), "");

    // Only the first file: every block is still decoded, the rest is discarded. Out of order
    // selections are sorted.
    ScratchFolder first;
    EXPECT_EQ(ExtractOurs(L"solid.egg", first, {1}).extracted, 1);
    EXPECT_EQ(ListTree(first.Path()), (std::set<std::string>{"dir/", "dir/a.txt"}));
    ScratchFolder some;
    EXPECT_EQ(ExtractOurs(L"solid.egg", some, {5, 2}).extracted, 1);
    EXPECT_EQ(ListTree(some.Path()), (std::set<std::string>{"b.bin", "tail/"}));

    // A block that fails fails the entry it carries, by name: an unknown method before any of
    // its data (OnError), a block CRC after the entry was written whole (its completion waits
    // for the check).
    struct Case {
        const wchar_t* name;
        SinkCall failure;
    };
    for (const Case& c :
         {Case{L"solid-method2.egg", {"error", VEKERR_UNSUPPORTED_METHOD, L"x.txt"}},
          Case{L"solid-badcrc.egg", {"complete", VEKERR_CRC, L"x.txt"}}}) {
        SCOPED_TRACE(c.name);
        ScratchFolder failed;
        CVekArchive archive;
        ASSERT_EQ(archive.Open(Fixture(L"egg\\" + std::wstring(c.name)).c_str(), nullptr), 1);
        CVekRef<IVekProgress> sink(new RecordingSink());
        archive.GetExtractor()->SetProgressSink(sink.Get());
        EXPECT_EQ(archive.ExtractSelection(failed.Wide().c_str()), 0);
        const std::vector<SinkCall>& calls = static_cast<RecordingSink*>(sink.Get())->calls;
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back().kind, c.failure.kind);
        EXPECT_EQ(calls.back().code, c.failure.code);
        EXPECT_EQ(calls.back().name, c.failure.name);
        archive.GetExtractor()->SetProgressSink(nullptr);
    }
}

// The calls a sink received, each run of progress calls of one entry folded into its last one;
// with totals false the progress totals are left out (where chunking decides them).
std::vector<std::string> Folded(const std::vector<SinkCall>& calls, bool totals) {
    std::vector<std::string> folded;
    std::wstring last;
    for (const SinkCall& call : calls) {
        std::string name;
        for (wchar_t c : call.name) {
            name += c < 128 ? static_cast<char>(c) : '?';
        }
        int code = call.kind == "progress" && !totals ? 0 : call.code;
        std::string text = call.kind + " " + std::to_string(code) + " " + name;
        if (call.kind == "progress" && !folded.empty() && folded.back().rfind("progress", 0) == 0 &&
            call.name == last) {
            folded.back() = text;
        } else {
            folded.push_back(text);
        }
        last = call.name;
    }
    return folded;
}

TEST(Egg, SolidPassSpeaksTheProtocolOfTheCommonLoop) {
    // plain.egg holds the entries of solid.egg (a folder, three files, an empty file, a
    // folder), each file in its own block; in solid.egg b.bin runs across the two blocks.
    struct Cue {
        const char* what;
        std::wstring skipAtStart, cancelAtStart, cancelInProgressOf;
    };
    const Cue cues[] = {
        {"none", L"", L"", L""},
        {"skip b.bin", L"b.bin", L"", L""},
        {"cancel at b.bin", L"", L"b.bin", L""},
        {"cancel in b.bin", L"", L"", L"b.bin"},
        {"skip the empty file", L"empty.txt", L"", L""},
    };
    for (const Cue& cue : cues) {
        SCOPED_TRACE(cue.what);
        std::vector<std::string> sequences[2];
        std::set<std::string> trees[2];
        int results[2] = {-1, -1};
        ScratchFolder targets[2];
        const wchar_t* names[2] = {L"plain.egg", L"solid.egg"};
        for (int i = 0; i < 2; ++i) {
            CVekArchive archive;
            ASSERT_EQ(archive.Open(Fixture(L"egg\\" + std::wstring(names[i])).c_str(), nullptr), 1);
            ASSERT_EQ(archive.GetExtractor()->IsSolid(), i);
            auto* recording = new RecordingSink();
            recording->skipAtStart = cue.skipAtStart;
            recording->cancelAtStart = cue.cancelAtStart;
            recording->cancelInProgressOf = cue.cancelInProgressOf;
            CVekRef<IVekProgress> sink(recording);
            archive.GetExtractor()->SetProgressSink(sink.Get());
            results[i] = archive.ExtractSelection(targets[i].Wide().c_str());
            archive.GetExtractor()->SetProgressSink(nullptr);
            sequences[i] = Folded(recording->calls, cue.cancelInProgressOf.empty());
            trees[i] = ListTree(targets[i].Path());
        }
        EXPECT_EQ(sequences[1], sequences[0]);
        EXPECT_EQ(results[1], results[0]);
        EXPECT_EQ(trees[1], trees[0]);
        if (cue.cancelInProgressOf.empty()) {
            EXPECT_EQ(CompareTrees(targets[0].Path(), targets[1].Path()), "");
        }
    }

    // Skipping the second of three files writes the first and the third whole.
    ScratchFolder target;
    CVekArchive archive;
    ASSERT_EQ(archive.Open(Fixture(L"egg\\solid.egg").c_str(), nullptr), 1);
    auto* recording = new RecordingSink();
    recording->skipAtStart = L"b.bin";
    CVekRef<IVekProgress> sink(recording);
    archive.GetExtractor()->SetProgressSink(sink.Get());
    EXPECT_EQ(archive.ExtractSelection(target.Wide().c_str()), 0);
    archive.GetExtractor()->SetProgressSink(nullptr);
    EXPECT_EQ(Folded(recording->calls, true),
              (std::vector<std::string>{
                  "start 0 dir\\a.txt", "progress 18000 dir\\a.txt", "complete 0 dir\\a.txt",
                  "start 0 b.bin", "complete 23 b.bin", "start 0 ??.txt", "progress 600 ??.txt",
                  "complete 0 ??.txt", "start 0 empty.txt", "complete 0 empty.txt"}));
    fs::path source = FixtureNative(L"egg\\solid_src");
    for (const char* name : {"dir/a.txt", "\xed\x95\x9c\xea\xb8\x80.txt", "empty.txt"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadFileBytes(target.Path() / fs::u8path(name)),
                  ReadFileBytes(source / fs::u8path(name)));
    }
    EXPECT_FALSE(fs::exists(target.Path() / "b.bin"));
}

TEST(Egg, SolidEntriesThatFailLeaveTheExistingFileUntouched) {
    // The file is there before the run; the tree afterwards holds exactly the given names, so
    // no temporary file is left either.
    const std::string precious = "precious bytes the user already had";
    struct Case {
        const char* what;
        const wchar_t* archive;
        const char* password;
        const wchar_t* entry;
        int code;  // told for it (its completion or an error); -1: any failure
        std::wstring skipAtStart, cancelInProgressOf;
        std::set<std::string> tree;
    };
    const std::set<std::string> solidTree = {
        "dir/", "dir/a.txt", "b.bin", "\xed\x95\x9c\xea\xb8\x80.txt", "empty.txt", "tail/"};
    const Case cases[] = {
        {"block CRC after the data",
         L"solid-badcrc.egg",
         nullptr,
         L"x.txt",
         VEKERR_CRC,
         L"",
         L"",
         {"x.txt"}},
        {"unknown block method",
         L"solid-method2.egg",
         nullptr,
         L"x.txt",
         VEKERR_UNSUPPORTED_METHOD,
         L"",
         L"",
         {"x.txt"}},
        {"encrypted solid data",
         L"solid-crypt.egg",
         "secret",
         L"a.txt",
         VEKERR_INFLATE,
         L"",
         L"",
         {"a.txt"}},
        {"skip", L"solid.egg", nullptr, L"b.bin", VEKERR_USER_STOP, L"b.bin", L"", solidTree},
        {"cancel",
         L"solid.egg",
         nullptr,
         L"b.bin",
         VEKERR_USER_STOP,
         L"",
         L"b.bin",
         {"dir/", "dir/a.txt", "b.bin"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchFolder target;
        WriteFileBytes(target.Native(c.entry), precious);
        CVekArchive archive;
        ASSERT_EQ(archive.Open(Fixture(L"egg\\" + std::wstring(c.archive)).c_str(), c.password), 1);
        auto* recording = new RecordingSink();
        recording->skipAtStart = c.skipAtStart;
        recording->cancelInProgressOf = c.cancelInProgressOf;
        CVekRef<IVekProgress> sink(recording);
        archive.GetExtractor()->SetProgressSink(sink.Get());
        EXPECT_EQ(archive.ExtractSelection(target.Wide().c_str()), 0);
        archive.GetExtractor()->SetProgressSink(nullptr);
        bool told = false;
        for (const SinkCall& call : recording->calls) {
            told |= call.name == c.entry && (call.kind == "complete" || call.kind == "error") &&
                    (c.code < 0 ? call.code != 0 : call.code == c.code);
        }
        EXPECT_TRUE(told);
        EXPECT_EQ(ReadFileBytes(target.Native(c.entry)), precious);
        EXPECT_EQ(ListTree(target.Path()), c.tree);
    }

    // An entry that succeeds replaces the file.
    ScratchFolder target;
    WriteFileBytes(target.Native(L"b.bin"), precious);
    EXPECT_EQ(ExtractOurs(L"solid.egg", target).extracted, 1);
    EXPECT_EQ(CompareTrees(FixtureNative(L"egg\\solid_src"), target.Path()), "");
}

TEST(Egg, EncryptedEntriesOfOurWriter) {
    // Every archive holds the same five files: deflate, LZMA (its header is ciphertext too),
    // stored, bzip2, and one file in two blocks that are each decrypted from a fresh state.
    struct Case {
        const char* name;
        uint32_t type;
        const char* password;
        int code;  // on every entry; 0: the files come out whole
    };
    const Case cases[] = {
        {"crypt-zip.egg", 5, "secret", 0},
        {"crypt-aes128.egg", 6, "secret", 0},
        {"crypt-aes256.egg", 7, "secret", 0},
        {"crypt-zip.egg", 5, "wrong", VEKERR_WRONG_PASSWORD},
        {"crypt-aes128.egg", 6, "wrong", VEKERR_WRONG_PASSWORD},
        {"crypt-aes256.egg", 7, "wrong", VEKERR_WRONG_PASSWORD},
        {"crypt-zip.egg", 5, nullptr, VEKERR_NO_PASSWORD},
        {"crypt-aes256.egg", 7, nullptr, VEKERR_NO_PASSWORD},
        // The authentication code in the key data is damaged.
        {"crypt-badcode.egg", 7, "secret", VEKERR_READ_DATA},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + (c.password != nullptr ? c.password : "(none)"));
        CVekArchive archive;
        ASSERT_EQ(archive.Open(Fixture(L"egg\\" + Widen(c.name)).c_str(), nullptr), 1);
        EXPECT_EQ(archive.IsEncrypted(), 1);
        SVekEntryList* list = archive.GetExtractor()->GetEntryList();
        ASSERT_EQ(list->count, 5);
        for (int i = 0; i < list->count; ++i) {
            EXPECT_EQ(list->At(i)->encryption, c.type);
        }

        ScratchFolder target;
        Result result = ExtractOurs(Widen(c.name), target, {}, c.password);
        ASSERT_EQ(result.opened, 1);
        EXPECT_EQ(result.completions, std::vector<int>(5, c.code));
        if (c.code == 0) {
            EXPECT_EQ(result.extracted, 1);
            EXPECT_EQ(CompareTrees(FixtureNative(L"egg\\crypt_src"), target.Path()), "");
            continue;
        }
        EXPECT_EQ(result.extracted, 0);
        if (c.code != VEKERR_READ_DATA) {
            // Refused before any byte is written: no file is left behind.
            for (const std::string& name : ListTree(target.Path())) {
                EXPECT_EQ(name.back(), '/') << name;
            }
        }
    }
}

TEST(Egg, Bzip2BlocksOfOurWriter) {
    CVekArchive archive;
    ASSERT_EQ(archive.Open(Fixture(L"egg\\bzip2.egg").c_str(), nullptr), 1);
    ASSERT_EQ(archive.GetExtractor()->GetEntryList()->count, 1);
    EXPECT_EQ(archive.GetExtractor()->GetEntryList()->At(0)->method, 12);

    // Two blocks, each a whole bzip2 stream of its own.
    ScratchFolder target;
    Result result = ExtractOurs(L"bzip2.egg", target);
    EXPECT_EQ(result.extracted, 1);
    EXPECT_EQ(CompareTrees(FixtureNative(L"egg\\bzip2_src"), target.Path()), "");
}

TEST(Egg, SplitSetWithRecordsAcrossVolumeBorders) {
    // Four volumes; the borders fall inside deflate data, inside a UTF-8 name and inside
    // AES-256 encrypted LZMA data.
    CVekArchive archive;
    ASSERT_EQ(archive.Open(Fixture(L"egg\\split1.egg").c_str(), "secret"), 1);
    EXPECT_EQ(archive.IsDamaged(), 0);
    SVekEntryList* list = archive.GetExtractor()->GetEntryList();
    ASSERT_EQ(list->count, 3);
    EXPECT_EQ(std::wstring(list->At(0)->name), L"big.txt");
    EXPECT_EQ(list->At(0)->size, 60000u);
    EXPECT_EQ(list->At(1)->size, 700u);
    EXPECT_EQ(list->At(2)->encryption, 7u);

    ScratchFolder target;
    Result result = ExtractOurs(L"split1.egg", target, {}, "secret");
    EXPECT_EQ(result.extracted, 1);
    EXPECT_TRUE(result.errors.empty()) << ::testing::PrintToString(result.errors);
    EXPECT_EQ(CompareTrees(FixtureNative(L"egg\\split_src"), target.Path()), "");
}

TEST(Egg, SolidBlocksAreNeverDecrypted) {
    CVekArchive archive;
    ASSERT_EQ(archive.Open(Fixture(L"egg\\solid-crypt.egg").c_str(), "secret"), 1);
    EXPECT_EQ(archive.GetExtractor()->IsSolid(), 1);
    EXPECT_EQ(archive.IsEncrypted(), 1);

    // Even with the right password the encrypted block reaches the decoder as it is stored.
    ScratchFolder target;
    Result result = ExtractOurs(L"solid-crypt.egg", target, {}, "secret");
    EXPECT_EQ(result.extracted, 0);
    ASSERT_FALSE(result.errors.empty());
    EXPECT_TRUE(result.errors.front() == VEKERR_INFLATE || result.errors.front() == VEKERR_CRC)
        << result.errors.front();
}

}  // namespace
}  // namespace test
