// ZIP archives made by Info-ZIP zip, 7-Zip and Python's zipfile at build time, opened through
// the archive holder and extracted; damaged and hostile variants made from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "archive/core/archive.h"
#include "archive/core/errors.h"
#include "archive/core/format_detection.h"
#include "support/scratch.h"
#include "support/test_extractor.h"

namespace test {
namespace {

constexpr int64_t kSourceTime = 1700000000;

struct Result {
    int opened = 0;
    int extracted = -1;
    std::vector<int> completions;
    std::vector<int> errors;
};

// Opens an archive under fixtures/zip and extracts everything (or the selection) into target.
Result Extract(const std::wstring& name, const ScratchFolder& target, int codePage = 0,
               const char* password = "secret", std::vector<int> selection = {}) {
    Result result;
    CVekArchive archive;
    archive.SetCodePage(codePage);
    result.opened = archive.Open(Fixture(L"zip\\" + name).c_str(), password);
    if (!result.opened) {
        return result;
    }
    archive.Selection() = selection;
    CVekRef<IVekProgress> sink(new RecordingSink());
    archive.GetExtractor()->SetProgressSink(sink.Get());
    result.extracted = archive.ExtractSelection(target.Wide().c_str());
    auto* recording = static_cast<RecordingSink*>(sink.Get());
    result.completions = recording->Completions();
    result.errors = recording->Errors();
    archive.GetExtractor()->SetProgressSink(nullptr);
    return result;
}

std::wstring Widen(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

TEST(Zip, RealArchivesExtractExactly) {
    std::ifstream list(FixtureNative(L"zip\\cases.txt"));
    ASSERT_TRUE(list.good());
    std::string line;
    int cases = 0;
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        std::string name, expected;
        int codePage = 0;
        fields >> name >> expected >> codePage;
        SCOPED_TRACE(name);
        ScratchFolder target;
        Result result = Extract(Widen(name), target, codePage);
        ASSERT_EQ(result.opened, 1);
        EXPECT_EQ(result.extracted, 1);
        EXPECT_TRUE(result.errors.empty());
        for (int code : result.completions) {
            EXPECT_EQ(code, 0);
        }
        fs::path source = FixtureNative(L"zip\\" + Widen(expected));
        EXPECT_EQ(CompareTrees(source, target.Path()), "");
        if (expected == "src") {
            // DOS times have two-second steps.
            int64_t time = ModifyTime(target.Native(L"docs\\big.txt"));
            EXPECT_LE(std::llabs(time - kSourceTime), 2);
        }
        ++cases;
    }
    EXPECT_GE(cases, 20);
}

TEST(Zip, ListingFacts) {
    CVekArchive archive;
    ASSERT_EQ(archive.Open(Fixture(L"zip\\py-many.zip").c_str(), nullptr), 1);
    EXPECT_EQ(archive.GetType(), VEK_FORMAT_ZIP);
    SVekEntryList* list = archive.GetExtractor()->GetEntryList();
    EXPECT_EQ(list->count, 70000);
    EXPECT_EQ(list->fileCount, 70000);
    EXPECT_EQ(std::wstring(list->At(69999)->name), L"d99\\f69999.txt");

    ASSERT_EQ(archive.Open(Fixture(L"zip\\7z-aes256.zip").c_str(), nullptr), 1);
    EXPECT_EQ(archive.IsEncrypted(), 1);
    list = archive.GetExtractor()->GetEntryList();
    bool sawFolder = false;
    for (int i = 0; i < list->count; ++i) {
        const SVekEntry* entry = list->At(i);
        if (entry->IsFolder()) {
            sawFolder = true;
            continue;
        }
        EXPECT_EQ(entry->encryption, 4u) << i;
        // The AES field's actual method replaces the header's 99.
        EXPECT_TRUE(entry->method == 8 || entry->method == 0) << entry->method;
    }
    EXPECT_TRUE(sawFolder);
    EXPECT_EQ(archive.IsDamaged(), 0);

    ASSERT_EQ(archive.Open(Fixture(L"zip\\infozip-split.zip").c_str(), nullptr), 1);
    EXPECT_GE(archive.GetFileSize(), 150000u);  // all volumes
}

TEST(Zip, ManyEntriesExtractBySelection) {
    ScratchFolder target;
    Result result = Extract(L"py-many.zip", target, 0, nullptr, {0, 12345, 69999});
    EXPECT_EQ(result.extracted, 1);
    EXPECT_EQ(ReadFileBytes(target.Native(L"d45\\f12345.txt")), "12345");
    EXPECT_EQ(ListTree(target.Path()).size(), 6u);
}

TEST(Zip, PasswordsAndAuthentication) {
    struct Case {
        const wchar_t* archive;
        const char* password;
        int code;  // expected on every encrypted file entry with data
        // Traditional encryption checks one byte: a wrong password passes it once in 256 tries
        // (the tools draw a new header each time the fixtures are made), and the entry then
        // fails in its data or its CRC instead.
        bool oneByteCheck;
    };
    std::string longPassword(129, 'p');
    const Case cases[] = {
        {L"infozip-crypt.zip", "wrong", VEKERR_WRONG_PASSWORD, true},
        {L"infozip-crypt.zip", nullptr, VEKERR_NO_PASSWORD, false},
        {L"7z-aes128.zip", "wrong", VEKERR_WRONG_PASSWORD, false},
        {L"7z-aes256.zip", nullptr, VEKERR_NO_PASSWORD, false},
        {L"7z-aes256.zip", longPassword.c_str(), VEKERR_WRONG_PASSWORD, false},
        {L"7z-deflate64-crypt.zip", "wrong", VEKERR_WRONG_PASSWORD, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        ScratchFolder target;
        Result result = Extract(c.archive, target, 65001, c.password);
        ASSERT_EQ(result.opened, 1);
        EXPECT_EQ(result.extracted, 0);
        int failures = 0;
        bool allRefused = true;
        for (int code : result.completions) {
            if (code == 0) {
                continue;
            }
            ++failures;
            allRefused = allRefused && code == c.code;
            if (c.oneByteCheck && code != c.code) {
                EXPECT_TRUE(code == VEKERR_READ_DATA || code == VEKERR_INFLATE ||
                            code == VEKERR_CRC || code == VEKERR_WRITE)
                    << code;
            } else {
                EXPECT_EQ(code, c.code);
            }
        }
        // Every file: the empty one's encryption header is checked too, though a one-byte
        // check lets a wrong password through once in 256, with no CRC to catch it.
        EXPECT_EQ(failures, c.oneByteCheck ? std::max(failures, 4) : 5);
        // A refused password leaves nothing behind.
        if (allRefused) {
            EXPECT_FALSE(fs::exists(target.Native(L"docs\\big.txt")));
        }
    }
    // Info-ZIP's traditional encryption of standard input checks the time, not the CRC.
    ScratchFolder piped;
    Result result = Extract(L"infozip-stdin.zip", piped, 0, "secret");
    EXPECT_EQ(result.extracted, 1);
    std::string expected;
    for (int i = 0; i < 500; ++i) {
        expected += "piped data\n";
    }
    EXPECT_EQ(ReadFileBytes(piped.Native(L"-")), expected);
}

TEST(Zip, AlteredAesDataOrCodeFailsAfterTheData) {
    for (const wchar_t* name : {L"aes-badcode.zip", L"aes-baddata.zip"}) {
        SCOPED_TRACE(name);
        ScratchFolder target;
        Result result = Extract(name, target);
        ASSERT_EQ(result.opened, 1);
        EXPECT_EQ(result.extracted, 0);
        int failed = 0;
        for (int code : result.completions) {
            if (code != 0) {
                ++failed;
                EXPECT_TRUE(code == VEKERR_READ_DATA || code == VEKERR_INFLATE) << code;
            }
        }
        EXPECT_EQ(failed, 1);
    }
}

TEST(Zip, DamagedDirectories) {
    // The central directory cannot be found where the end record says: the local headers are
    // walked instead, and everything extracts.
    for (const wchar_t* name : {L"cd-past-end.zip", L"huge-comment.zip"}) {
        SCOPED_TRACE(name);
        ScratchFolder target;
        Result result = Extract(name, target, 65001);
        ASSERT_EQ(result.opened, 1);
        EXPECT_EQ(result.extracted, 1);
        EXPECT_EQ(CompareTrees(FixtureNative(L"zip\\src"), target.Path()), "");
    }
    // A central directory damaged after its first record: what was read is shown, damaged.
    CVekArchive archive;
    ASSERT_EQ(archive.Open(Fixture(L"zip\\cd-damaged.zip").c_str(), nullptr), 1);
    EXPECT_EQ(archive.IsDamaged(), 1);
    EXPECT_EQ(archive.GetExtractor()->GetEntryList()->count, 1);
}

TEST(Zip, HostileArchives) {
    // Names that would leave the target are refused; the rest is extracted.
    ScratchFolder root;
    fs::create_directories(root.Path() / "target");
    CVekArchive archive;
    ASSERT_EQ(archive.Open(Fixture(L"zip\\hostile.zip").c_str(), nullptr), 1);
    CVekRef<IVekProgress> sink(new RecordingSink());
    archive.GetExtractor()->SetProgressSink(sink.Get());
    EXPECT_EQ(archive.ExtractSelection(root.Wide(L"target").c_str()), 0);
    EXPECT_EQ(static_cast<RecordingSink*>(sink.Get())->Errors(),
              (std::vector<int>(4, VEKERR_UNSAFE_FOLDER)));
    archive.GetExtractor()->SetProgressSink(nullptr);
    EXPECT_EQ(ListTree(root.Path()), (std::set<std::string>{"target/", "target/ok.txt"}));

    // An entry claiming more stored data than the file holds fails alone, cleanly.
    ScratchFolder beyond;
    Result result = Extract(L"size-beyond.zip", beyond, 65001);
    ASSERT_EQ(result.opened, 1);
    EXPECT_EQ(result.extracted, 0);
    std::vector<int> failed;
    for (int code : result.completions) {
        if (code != 0) {
            failed.push_back(code);
        }
    }
    // Its stored bytes pass the entry's size before the file ends.
    EXPECT_EQ(failed, std::vector<int>{VEKERR_WRITE});
    EXPECT_EQ(ReadFileBytes(beyond.Native(L"docs\\big.txt")),
              ReadFileBytes(FixtureNative(L"zip\\src\\docs\\big.txt")));

    // Two directory records for one local header: both read the same data.
    ScratchFolder overlap;
    result = Extract(L"overlap.zip", overlap, 65001);
    EXPECT_EQ(result.extracted, 1);
    EXPECT_EQ(CompareTrees(FixtureNative(L"zip\\src"), overlap.Path()), "");
}

TEST(Zip, HandMadeRecords) {
    ScratchFolder folder;
    // Only an end record: an empty archive.
    std::string empty("PK\x05\x06", 4);
    empty += std::string(18, '\0');
    WriteFileBytes(folder.Native(L"empty.zip"), empty);
    CVekArchive archive;
    ASSERT_EQ(archive.Open(folder.Wide(L"empty.zip").c_str(), nullptr), 1);
    EXPECT_EQ(archive.GetExtractor()->GetEntryList()->count, 0);

    // A local header whose ZIP64 field claims a packed size that would wrap the position
    // backwards: the walk over the local headers must still end.
    std::string local("PK\x03\x04\x2d\x00\x00\x00\x00\x00\x00\x00\x00\x00", 14);
    local += std::string(4, '\0');                                // CRC
    local += std::string("\xff\xff\xff\xff\xff\xff\xff\xff", 8);  // sizes in ZIP64
    local += std::string("\x01\x00\x14\x00", 4);                  // name 1, extra 20
    local += "a";
    local += std::string("\x01\x00\x10\x00", 4);
    local += std::string("\x00\x00\x00\x00\x00\x00\x00\x00", 8);  // size 0
    local += std::string("\xcd\xff\xff\xff\xff\xff\xff\xff", 8);  // back to the header
    WriteFileBytes(folder.Native(L"wrap.zip"), "MZ" + std::string(100, '\0') + local);
    EXPECT_EQ(archive.Open(folder.Wide(L"wrap.zip").c_str(), nullptr), 1);

    // A program with no archive in its first 204,800 bytes is not a ZIP.
    std::string program = "MZ" + std::string(250000, '\x90') + "PK\x03\x04" + std::string(100, 'x');
    WriteFileBytes(folder.Native(L"late.zip"), program);
    EXPECT_EQ(archive.Open(folder.Wide(L"late.zip").c_str(), nullptr), 0);
    EXPECT_EQ(archive.GetExtractor(), nullptr);
}

}  // namespace
}  // namespace test
