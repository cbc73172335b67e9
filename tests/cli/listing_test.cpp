// The rows and the summary of "marlox list". The test environment runs in KST (UTC+9).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/size_format.h"
#include "archive/core/format_detection.h"
#include "cli/listing.h"

namespace {

using Row = std::vector<std::wstring>;

SVekEntry* MakeEntry(const wchar_t* name, uint64_t size, uint32_t attributes) {
    SVekEntry* entry = new SVekEntry();
    entry->SetName(name, 65001);
    entry->size = size;
    entry->attributes = attributes;
    return entry;
}

TEST(CliListing, EntryColumns) {
    SVekEntry* file = MakeEntry(L"dir\\f.txt", 1234, VEK_ATTR_READONLY | VEK_ATTR_ARCHIVE);
    file->packedSize = 600;
    file->modifyTime = 1600000000;  // 2020-09-13 12:26:40 UTC
    file->crc = 0x1A2B3C4D;
    file->method = 8;
    file->encryption = 2;
    SVekEntry* folder = MakeEntry(L"dir\\", 0, VEK_ATTR_FOLDER | VEK_ATTR_HIDDEN);
    SVekEntry* odd = MakeEntry(L"x", 5, 0);
    odd->method = 999;
    odd->encryption = 153;
    // The single-stream formats leave the method at 0 for a compressed entry.
    SVekEntry* gz = MakeEntry(L"report.txt", 10, 0);
    SVekEntry* bz = MakeEntry(L"text", VEK_UNKNOWN_SIZE, 0);
    SVekEntryList list;
    for (SVekEntry* entry : {file, folder, odd, gz, bz}) {
        list.Add(entry);
    }

    EXPECT_EQ(cli::DescribeEntry(*file, VEK_FORMAT_ZIP),
              (Row{L"dir\\f.txt", L"1234", L"600", L"2020-09-13 21:26:40", L"1A2B3C4D", L"Deflate",
                   L"AES-128", L"-R-A"}));
    EXPECT_EQ(cli::DescribeEntry(*folder, VEK_FORMAT_ZIP),
              (Row{L"dir\\", L"", L"", L"", L"-", L"", L"-", L"D-H-"}));
    EXPECT_EQ(cli::DescribeEntry(*odd, VEK_FORMAT_EGG),
              (Row{L"x", L"5", L"0", L"", L"-", L"999", L"Encrypted", L"----"}));
    // The codec library is not asked for packed sizes and methods.
    EXPECT_EQ(cli::DescribeEntry(*odd, VEK_FORMAT_7Z),
              (Row{L"x", L"5", L"-", L"", L"-", L"-", L"Encrypted", L"----"}));
    EXPECT_EQ(cli::DescribeEntry(*gz, VEK_FORMAT_ZIP)[5], L"Stored");
    EXPECT_EQ(cli::DescribeEntry(*gz, VEK_FORMAT_GZIP)[5], L"Deflate");
    EXPECT_EQ(cli::DescribeEntry(*bz, VEK_FORMAT_BZIP2)[1], L"?");
    EXPECT_EQ(cli::DescribeEntry(*bz, VEK_FORMAT_BZIP2)[5], L"BZip2");

    // Sizes add up where known; the folder and the unknown size count nothing.
    EXPECT_EQ(cli::FormatSummary(list), L"Files: 4  Folders: 1  Total size: 1.2KB\n");
}

TEST(CliListing, SummaryAsTheStatusBarShowsIt) {
    SVekEntryList list;
    list.Add(MakeEntry(L"d\\", 0, VEK_ATTR_FOLDER));
    list.Add(MakeEntry(L"d\\a", 1000000, 0));
    list.Add(MakeEntry(L"d\\b", 400000, 0));
    list.Add(MakeEntry(L"d\\c", 100000, 0));
    EXPECT_EQ(cli::FormatSummary(list), L"Files: 3  Folders: 1  Total size: 1.4MB\n");
}

TEST(CliListing, TotalOfHugeSizesSaturates) {
    SVekEntryList list;
    list.Add(MakeEntry(L"a", uint64_t{1} << 62, 0));
    list.Add(MakeEntry(L"b", uint64_t{1} << 62, 0));
    list.Add(MakeEntry(L"c", uint64_t{1} << 63, 0));
    EXPECT_EQ(cli::FormatSummary(list),
              L"Files: 3  Folders: 0  Total size: " + FormatSize(INT64_MAX) + L"\n");
}

TEST(CliListing, ColumnsAlignOnTheTerminalsCellWidth) {
    SVekEntryList list;
    SVekEntry* korean = MakeEntry(L"\uD55C\uAE00.txt", 12345, 0);  // eight cells wide
    korean->packedSize = 100;
    list.Add(korean);
    list.Add(MakeEntry(L"a", 0, VEK_ATTR_FOLDER));
    EXPECT_EQ(cli::FormatListing(list, VEK_FORMAT_ZIP),
              L"Name       Size  Packed  Modified  CRC  Method  Encryption  Attr\n"
              L"\uD55C\uAE00.txt  12345     100            -    Stored  -           ----\n"
              L"a                                  -            -           D---\n");
    EXPECT_EQ(cli::DisplayWidth(L"a\uD55C\uFF21"), 5u);
}

}  // namespace
