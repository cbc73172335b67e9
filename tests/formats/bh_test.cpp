// BH archives: our writer's archives (with -lh5- data written by the real `lha`), and the real
// sample of 2,099 entries with code page 932 names.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "archive/core/archive.h"
#include "archive/core/crc32.h"
#include "archive/core/errors.h"
#include "archive/core/extractor_factory.h"
#include "archive/core/format_detection.h"
#include "support/scratch.h"
#include "support/test_extractor.h"

namespace test {
namespace {

std::wstring Widen(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

TEST(Bh, OurArchivesListAndExtract) {
    std::ifstream list(FixtureNative(L"bh\\cases.txt"));
    ASSERT_TRUE(list.good());
    std::string line;
    int cases = 0;
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        std::string name, codes;
        int listed = 0;
        unsigned code = 0;
        fields >> name >> listed >> code >> codes;
        SCOPED_TRACE(name);
        std::unique_ptr<IVekExtractor> bh(CreateExtractor(VEK_FORMAT_BH));
        bh->SetPassword("secret");
        EXPECT_EQ(bh->OpenFile(Fixture(L"bh\\" + Widen(name)).c_str()), code == 0 ? 1 : 0);
        EXPECT_EQ(bh->GetLastErrorCode(), code);
        EXPECT_EQ(bh->GetEntryList()->count, listed);

        CVekRef<IVekProgress> sink(new RecordingSink());
        bh->SetProgressSink(sink.Get());
        ScratchFolder target;
        bh->ExtractAllItemsTo(target.Wide().c_str());
        std::string got;
        for (int completion : static_cast<RecordingSink*>(sink.Get())->Completions()) {
            got += (got.empty() ? "" : ",") + std::to_string(completion);
        }
        EXPECT_EQ(got, codes == "-" ? "" : codes);
        bh->SetProgressSink(nullptr);
        // Whatever a case holds of our plain files comes out byte for byte.
        for (const wchar_t* plain : {L"text.txt", L"binary.bin", L"small.txt"}) {
            if (fs::exists(target.Native(plain))) {
                EXPECT_TRUE(ReadFileBytes(target.Native(plain)) ==
                            ReadFileBytes(FixtureNative(std::wstring(L"bh\\") + plain)))
                    << plain;
            }
        }
        ++cases;
    }
    EXPECT_GE(cases, 7);
}

TEST(Bh, MethodOneCutToItsSize) {
    std::unique_ptr<IVekExtractor> bh(CreateExtractor(VEK_FORMAT_BH));
    ASSERT_EQ(bh->OpenFile(Fixture(L"bh\\cut-to-size.bh").c_str()), 1);
    ScratchFolder target;
    EXPECT_EQ(bh->ExtractAllItemsTo(target.Wide().c_str()), 1);
    EXPECT_EQ(ReadFileBytes(target.Native(L"cut.txt")),
              ReadFileBytes(FixtureNative(L"bh\\text.txt")).substr(0, 1000));
}

TEST(Bh, RealSampleWithJapaneseNames) {
    const std::wstring archive = L"bh\\claybird_test_2099_deflate_sjis_2099files.bh";
    CVekArchive bh;
    bh.SetCodePage(932);
    ASSERT_EQ(bh.Open(Sample(archive).c_str(), nullptr), 1);
    EXPECT_EQ(bh.IsDamaged(), 0);
    EXPECT_EQ(bh.GetExtractor()->GetEntryList()->count, 2099);
    ScratchFolder target;
    EXPECT_EQ(bh.ExtractSelection(target.Wide().c_str()), 1);

    std::ifstream manifest(SampleNative(L"bh\\MANIFEST.tsv"));
    ASSERT_TRUE(manifest.good());
    std::string line;
    std::getline(manifest, line);  // the column names
    int files = 0;
    while (std::getline(manifest, line)) {
        std::vector<std::string> fields;
        std::istringstream columns(line);
        for (std::string field; std::getline(columns, field, '\t');) {
            fields.push_back(field);
        }
        ASSERT_GE(fields.size(), 5u);
        if (fields[2] != "file") {
            continue;
        }
        fs::path path = target.Path() / fs::u8path(fields[1]);
        std::string data = ReadFileBytes(path);
        ASSERT_TRUE(fs::exists(path)) << fields[1];
        EXPECT_EQ(data.size(), std::stoul(fields[3])) << fields[1];
        EXPECT_EQ(VekCrc32(0, data.data(), static_cast<int>(data.size())),
                  std::stoul(fields[4], nullptr, 16))
            << fields[1];
        ++files;
    }
    EXPECT_EQ(files, 2099);
}

}  // namespace
}  // namespace test
