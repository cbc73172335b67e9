// Bond archives written by our own small writer at build time (no free program writes them).
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "archive/core/archive.h"
#include "archive/core/errors.h"
#include "archive/core/extractor_factory.h"
#include "archive/core/format_detection.h"
#include "support/scratch.h"
#include "support/test_extractor.h"

namespace test {
namespace {

std::wstring Bond(const std::string& name) {
    return Fixture(L"bond\\" + std::wstring(name.begin(), name.end()));
}

TEST(Bond, OpeningFollowsTheIndex) {
    std::ifstream list(FixtureNative(L"bond\\cases.txt"));
    ASSERT_TRUE(list.good());
    std::string line;
    int cases = 0;
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        std::string name;
        int opened = 0;
        unsigned code = 0;
        int count = 0;
        fields >> name >> opened >> code >> count;
        SCOPED_TRACE(name);
        std::unique_ptr<IVekExtractor> bond(CreateExtractor(VEK_FORMAT_BOND));
        EXPECT_EQ(bond->OpenFile(Bond(name).c_str()), opened);
        EXPECT_EQ(bond->GetLastErrorCode(), code);
        EXPECT_EQ(bond->GetEntryList()->count, count);
        ++cases;
    }
    EXPECT_GE(cases, 13);
}

struct Extracted {
    int result = -1;
    std::vector<int> completions;
};

Extracted ExtractAll(const std::string& name, const ScratchFolder& target,
                     RecordingSink* sink = new RecordingSink()) {
    Extracted extracted;
    CVekArchive archive;
    EXPECT_EQ(archive.Open(Bond(name).c_str(), nullptr), 1);
    EXPECT_EQ(archive.GetType(), VEK_FORMAT_BOND);
    CVekRef<IVekProgress> held(sink);
    archive.GetExtractor()->SetProgressSink(held.Get());
    extracted.result = archive.ExtractSelection(target.Wide().c_str());
    extracted.completions = sink->Completions();
    archive.GetExtractor()->SetProgressSink(nullptr);
    return extracted;
}

TEST(Bond, EntriesExtractWithNamesTimesAndChecks) {
    ScratchFolder target;
    Extracted good = ExtractAll("good.hv3", target);
    EXPECT_EQ(good.result, 1);
    EXPECT_EQ(good.completions, (std::vector<int>{0, 0, 0}));
    std::string readme;
    for (int i = 0; i < 40; ++i) {
        readme += "Bond archive\r\n";
    }
    EXPECT_EQ(ReadFileBytes(target.Native(L"readme.txt")), readme);
    EXPECT_EQ(ReadFileBytes(target.Native(L"folder\\\uD55C\uAE00.txt")).size(), 600u);
    EXPECT_TRUE(ReadFileBytes(target.Native(L"big.bin")) ==
                ReadFileBytes(FixtureNative(L"bond\\big.bin")));
    EXPECT_EQ(ModifyTime(target.Native(L"readme.txt")), 1600000000);

    // No SIZE: an empty file; no CRC3: no comparison; a NAME without its zero unit still names.
    ScratchFolder loose;
    Extracted sizeless = ExtractAll("sizeless.hv3", loose);
    EXPECT_EQ(sizeless.result, 1);
    EXPECT_EQ(ReadFileBytes(loose.Native(L"nosize.txt")), "");
    EXPECT_EQ(ReadFileBytes(loose.Native(L"nocrc.txt")), "no crc here");
    EXPECT_EQ(ReadFileBytes(loose.Native(L"unterminated.txt")), "name without its zero unit");

    ScratchFolder damaged;
    EXPECT_EQ(ExtractAll("bad-crc.hv3", damaged).completions, std::vector<int>{VEKERR_CRC});
}

TEST(Bond, TimesOutOfRangeAreUnknown) {
    // Five MTIM values no file system takes back (2^63, 2^64-1, 2^63-1, 1601, the year 3237),
    // then 1600000000: the first five list and extract without a time, the same in both builds.
    CVekArchive archive;
    ASSERT_EQ(archive.Open(Bond("times.hv3").c_str(), nullptr), 1);
    SVekEntryList* list = archive.GetExtractor()->GetEntryList();
    ASSERT_EQ(list->count, 6);
    for (int i = 0; i < list->count; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(list->At(i)->modifyTime, i < 5 ? 0 : 1600000000);
    }
    ScratchFolder target;
    EXPECT_EQ(archive.GetExtractor()->ExtractAllItemsTo(target.Wide().c_str()), 1);
    EXPECT_EQ(ModifyTime(target.Native(L"t5.txt")), 1600000000);
    EXPECT_EQ(ReadFileBytes(target.Native(L"t0.txt")), "t");
}

TEST(Bond, CancelDuringALargeEntry) {
    ScratchFolder target;
    RecordingSink* sink = new RecordingSink();
    sink->cancelInProgressOf = L"big.bin";
    sink->cancelAtProgressCall = 2;
    Extracted extracted = ExtractAll("good.hv3", target, sink);
    EXPECT_EQ(extracted.result, 0);
    EXPECT_EQ(extracted.completions.back(), static_cast<int>(VEKERR_USER_STOP));
    EXPECT_FALSE(fs::exists(target.Native(L"big.bin")));  // a cancelled entry leaves no file
}

}  // namespace
}  // namespace test
