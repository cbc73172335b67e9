// ALZ archives: our writer's (bzip2-variant data rewrapped from what the real bzip2 wrote), and
// the real samples under shared/samples/alz checked against their MANIFEST.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "archive/core/errors.h"
#include "archive/core/extractor_factory.h"
#include "archive/core/format_detection.h"
#include "archive/core/time_conversion.h"
#include "support/manifest.h"
#include "support/scratch.h"
#include "support/test_extractor.h"

namespace test {
namespace {

std::wstring Widen(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

struct Outcome {
    int opened = 0;
    unsigned code = 0;
    int listed = 0;
    std::string completions;  // comma-separated, "-" for none
};

std::string Join(const std::vector<int>& codes) {
    std::string joined;
    for (int code : codes) {
        joined += (joined.empty() ? "" : ",") + std::to_string(code);
    }
    return joined.empty() ? "-" : joined;
}

// Opens the file with the ALZ reader (as detection would pick it) and extracts everything,
// whether or not the directory was read to its end.
Outcome OpenAndExtract(const std::wstring& path, const ScratchFolder& target, const char* password,
                       int codePage = 949) {
    Outcome outcome;
    std::unique_ptr<IVekExtractor> alz(CreateExtractor(VEK_FORMAT_ALZ));
    alz->SetCodePage(codePage);
    alz->SetPassword(password);
    outcome.opened = alz->OpenFile(path.c_str());
    outcome.code = alz->GetLastErrorCode();
    outcome.listed = alz->GetEntryList()->count;
    CVekRef<IVekProgress> sink(new RecordingSink());
    alz->SetProgressSink(sink.Get());
    alz->ExtractAllItemsTo(target.Wide().c_str());
    outcome.completions = Join(static_cast<RecordingSink*>(sink.Get())->Completions());
    alz->SetProgressSink(nullptr);
    return outcome;
}

TEST(Alz, OurArchives) {
    std::ifstream list(FixtureNative(L"alz\\cases.txt"));
    ASSERT_TRUE(list.good());
    std::string line;
    int cases = 0;
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        std::string name, tree, completions;
        int opened = 0, listed = 0;
        unsigned code = 0;
        fields >> name >> tree >> opened >> code >> listed >> completions;
        SCOPED_TRACE(name);
        ScratchFolder target;
        Outcome got = OpenAndExtract(Fixture(L"alz\\" + Widen(name)), target, "secret");
        EXPECT_EQ(got.opened, opened);
        EXPECT_EQ(got.code, code);
        EXPECT_EQ(got.listed, listed);
        EXPECT_EQ(got.completions, completions);
        if (tree != "-") {
            EXPECT_EQ(CompareTrees(FixtureNative(L"alz\\" + Widen(tree)), target.Path()), "");
        }
        ++cases;
    }
    EXPECT_GE(cases, 20);
}

TEST(Alz, ListingFacts) {
    std::unique_ptr<IVekExtractor> alz(CreateExtractor(VEK_FORMAT_ALZ));
    alz->SetCodePage(949);
    ASSERT_EQ(alz->OpenFile(Fixture(L"alz\\encrypted.alz").c_str()), 1);
    EXPECT_EQ(alz->IsEncrypted(), 1);
    SVekEntryList* list = alz->GetEntryList();
    ASSERT_EQ(list->count, 9);
    const uint32_t dosTime = (44u << 25) | (3u << 21) | (15u << 16) | (10u << 11) | (20u << 5) | 15;

    const SVekEntry* readme = list->At(0);
    EXPECT_EQ(std::wstring(readme->name), L"readme.txt");
    EXPECT_EQ(readme->method, 0);
    EXPECT_EQ(readme->attributes, VEK_ATTR_READONLY | VEK_ATTR_ARCHIVE);
    EXPECT_EQ(readme->dosTime, dosTime);
    EXPECT_EQ(readme->modifyTime, DosTimeToUnixTime(dosTime));
    EXPECT_EQ(readme->encryption, 1u);
    EXPECT_EQ(readme->checkByte, readme->crc >> 24);

    const SVekEntry* docs = list->At(1);  // descriptor 0: no sizes, no method
    EXPECT_TRUE(docs->IsFolder());
    EXPECT_EQ(docs->size, 0u);
    EXPECT_EQ(docs->encryption, 0u);
    EXPECT_EQ(list->At(2)->method, 8);
    EXPECT_EQ(list->At(3)->method, 12);
    // An encrypted stored entry of 100 bytes: the 12-byte encryption header counts in.
    const SVekEntry* hundred = list->At(4);
    EXPECT_EQ(hundred->size, 100u);
    EXPECT_EQ(hundred->packedSize, 112u);
    EXPECT_EQ(hundred->dataOffset + 112, list->At(5)->headerOffset - 4);
    EXPECT_EQ(std::wstring(list->At(6)->name), L"\ud55c\uae00.txt");
    EXPECT_EQ(list->At(7)->size, 5000u);  // 8-byte size fields

    // A self-extractor: the archive header sits at 30,000, behind the program.
    ASSERT_EQ(alz->OpenFile(Fixture(L"alz\\sfx.exe").c_str()), 1);
    EXPECT_EQ(alz->GetEntryList()->At(0)->headerOffset, 30000u + 8 + 4);
    ASSERT_EQ(alz->OpenFile(Fixture(L"alz\\method-3.alz").c_str()), 1);
    EXPECT_EQ(alz->GetEntryList()->At(0)->method, 999);

#ifdef _WIN32
    // The default code page is the system's, 949 under the tests' Wine.
    alz->SetCodePage(0);
    ASSERT_EQ(alz->OpenFile(Fixture(L"alz\\plain.alz").c_str()), 1);
    EXPECT_EQ(std::wstring(alz->GetEntryList()->At(6)->name), L"\ud55c\uae00.txt");
#endif
}

TEST(Alz, Passwords) {
    struct Case {
        std::wstring archive;
        const char* password;
        const char* completions;
    };
    const Case cases[] = {
        {Sample(L"alz\\blurfx_zipcrypto_deflate_1file.alz"), "1234asdf!", "0"},
        {Sample(L"alz\\blurfx_zipcrypto_deflate_1file.alz"), "1234asdf", "33"},
        {Sample(L"alz\\blurfx_zipcrypto_deflate_1file.alz"), nullptr, "32"},
        // Only the empty file is stored without encryption.
        {Fixture(L"alz\\encrypted.alz"), "wrong", "33,33,33,33,0,33,33"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password != nullptr ? c.password : "(none)");
        ScratchFolder target;
        EXPECT_EQ(OpenAndExtract(c.archive, target, c.password).completions, c.completions);
        // Nothing of a refused entry is left behind.
        for (const std::string& name : ListTree(target.Path())) {
            EXPECT_TRUE(name == "empty.txt" || name.back() == '/' || c.completions[0] == '0')
                << name;
        }
    }
}

TEST(Alz, CancelDuringTheVariant) {
    std::unique_ptr<IVekExtractor> alz(CreateExtractor(VEK_FORMAT_ALZ));
    ASSERT_EQ(alz->OpenFile(Fixture(L"alz\\blocks.alz").c_str()), 1);
    CVekRef<IVekProgress> sink(new RecordingSink());
    auto* recording = static_cast<RecordingSink*>(sink.Get());
    recording->cancelInProgressOf = L"level1.bin";
    recording->cancelAtProgressCall = 3;
    alz->SetProgressSink(sink.Get());
    ScratchFolder target;
    EXPECT_EQ(alz->ExtractAllItemsTo(target.Wide().c_str()), 0);
    EXPECT_EQ(Join(recording->Completions()), "23");
    alz->SetProgressSink(nullptr);
}

// Every real sample behaves as its README says, and what comes out matches the MANIFEST.
TEST(Alz, RealSamples) {
    struct Case {
        const char* archive;
        const char* password;
        const char* completions;
    };
    const Case cases[] = {
        {"blurfx_store_1file.alz", nullptr, "0"},
        {"blurfx_deflate_1file.alz", nullptr, "0"},
        {"blurfx_zipcrypto_deflate_1file.alz", "1234asdf!", "0"},
        {"blurfx_split2_deflate.alz", nullptr, "0"},
        {"blurfx_cp949_lossy_cjk_emoji_name.alz", nullptr, "0"},
        {"alkegi_deflate_low_10files_korean_dirs.alz", nullptr, "0,0,0,0,0,0,0,0,0,0"},
        {"alkegi_store_10files_korean_dirs.alz", nullptr, "0,0,0,0,0,0,0,0,0,0"},
        {"alkegi_zipcrypto_deflate_10files_korean_dirs.alz", "test1234", "0,0,0,0,0,0,0,0,0,0"},
        {"large/alkegi_split8_deflate_10MB.alz", nullptr, "0,0,0,0,0,0,0,0,0,0"},
        // Standard bzip2 streams where ALZ's framing belongs: each entry fails on its own.
        {"clamav_bzip2_5files_dirs.alz", nullptr, "50,50,50,50,50"},
        {"patool_t_deflate_subdir.alz", nullptr, "0"},
    };
    const auto manifest = ReadManifest(L"alz");
    size_t checked = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        ScratchFolder target;
        std::wstring relative = Widen(c.archive);
        for (wchar_t& ch : relative) {
            ch = ch == L'/' ? L'\\' : ch;
        }
        Outcome got = OpenAndExtract(Sample(L"alz\\" + relative), target, c.password);
        EXPECT_EQ(got.opened, 1);
        EXPECT_EQ(got.code, 0u);
        EXPECT_EQ(got.completions, c.completions);
        auto rows = manifest.find(c.archive);
        ASSERT_NE(rows, manifest.end());
        checked += rows->second.size();
        if (c.completions[0] == '0') {
            EXPECT_EQ(CompareWithManifest(target.Path(), rows->second), "");
        } else {
            for (const ManifestEntry& entry : rows->second) {
                EXPECT_FALSE(fs::exists(target.Path() / fs::u8path(entry.name))) << entry.name;
            }
        }
    }
    size_t rows = 0;
    for (const auto& archive : manifest) {
        rows += archive.second.size();
    }
    EXPECT_EQ(checked, rows);
}

}  // namespace
}  // namespace test
