// An entry is written beside its target and put in place only when it has succeeded: a file
// already there survives every failure, and no temporary file is left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/core/archive.h"
#include "archive/core/errors.h"
#include "support/scratch.h"
#include "support/test_extractor.h"

namespace test {
namespace {

const std::string kPrecious = "precious bytes the user already had";

struct Case {
    std::wstring archive;  // as the library spells it
    const char* password;
    std::wstring entry;  // a file entry of the archive, placed beforehand at its target
    int expectedCode;    // what OnCompleteEntry reports for it
    std::wstring cancelInProgressOf = L"";
};

// Names in the folder that are neither the entries' nor the user's files.
std::vector<std::string> Leftovers(const fs::path& folder) {
    std::vector<std::string> found;
    for (const std::string& name : ListTree(folder)) {
        if (name.find(".tmp") != std::string::npos || name.find('~') != std::string::npos) {
            found.push_back(name);
        }
    }
    return found;
}

struct Outcome {
    int result = -1;
    std::vector<int> completions;
};

Outcome ExtractInto(const Case& c, const ScratchFolder& target) {
    Outcome run;
    CVekArchive archive;
    archive.SetCodePage(65001);
    EXPECT_EQ(archive.Open(c.archive.c_str(), c.password), 1);
    if (archive.GetExtractor() == nullptr) {
        return run;
    }
    CVekRef<IVekProgress> sink(new RecordingSink());
    auto* recording = static_cast<RecordingSink*>(sink.Get());
    recording->cancelInProgressOf = c.cancelInProgressOf;
    archive.GetExtractor()->SetProgressSink(sink.Get());
    run.result = archive.ExtractSelection(target.Wide().c_str());
    run.completions = recording->Completions();
    archive.GetExtractor()->SetProgressSink(nullptr);
    return run;
}

TEST(StagedOutput, FailedEntriesLeaveTheExistingFileUntouched) {
    const Case cases[] = {
        {Fixture(L"zip\\infozip-crypt.zip"), "wrong", L"readme.txt", VEKERR_WRONG_PASSWORD},
        {Fixture(L"zip\\infozip-crypt.zip"), "", L"readme.txt", VEKERR_NO_PASSWORD},
        {Fixture(L"zip\\7z-aes256.zip"), "wrong", L"readme.txt", VEKERR_WRONG_PASSWORD},
        {Fixture(L"staged\\unsupported.zip"), nullptr, L"data.txt", VEKERR_UNSUPPORTED_METHOD},
        {Fixture(L"staged\\crc.zip"), nullptr, L"data.txt", VEKERR_CRC},
        {Fixture(L"zip\\py-stored.zip"), nullptr, L"docs\\big.txt", VEKERR_USER_STOP,
         L"docs\\big.txt"},
        {Sample(L"alz\\blurfx_zipcrypto_deflate_1file.alz"), "wrong", L"data.txt",
         VEKERR_WRONG_PASSWORD},
        {Sample(L"egg\\blurfx_zipcrypto_deflate_1file.egg"), "wrong", L"unegg.txt",
         VEKERR_WRONG_PASSWORD},
        {Sample(L"egg\\octo_aes256_deflate_10files_korean_dirs.egg"), "wrong", L"hello.txt",
         VEKERR_WRONG_PASSWORD},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.archive.begin(), c.archive.end()) << " "
                                        << (c.password ? c.password : "(none)"));
        ScratchFolder target;
        fs::create_directories(target.Native(c.entry).parent_path());
        WriteFileBytes(target.Native(c.entry), kPrecious);
        Outcome run = ExtractInto(c, target);
        EXPECT_EQ(run.result, 0);
        EXPECT_NE(std::find(run.completions.begin(), run.completions.end(), c.expectedCode),
                  run.completions.end());
        EXPECT_EQ(ReadFileBytes(target.Native(c.entry)), kPrecious);
        EXPECT_EQ(Leftovers(target.Path()), std::vector<std::string>{});
    }
}

TEST(StagedOutput, SuccessReplacesTheExistingFile) {
    const Case cases[] = {
        {Fixture(L"zip\\infozip-crypt.zip"), "secret", L"readme.txt", 0},
        {Fixture(L"zip\\py-stored.zip"), nullptr, L"docs\\big.txt", 0},
    };
    for (const Case& c : cases) {
        ScratchFolder target;
        fs::create_directories(target.Native(c.entry).parent_path());
        WriteFileBytes(target.Native(c.entry), kPrecious);
        Outcome run = ExtractInto(c, target);
        EXPECT_EQ(run.result, 1);
        EXPECT_EQ(ReadFileBytes(target.Native(c.entry)),
                  ReadFileBytes(FixtureNative(L"zip\\src\\" + c.entry)));
        EXPECT_EQ(Leftovers(target.Path()), std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace test
