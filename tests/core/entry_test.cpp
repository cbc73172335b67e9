// Entry records and the entry list.
#include <gtest/gtest.h>

#include <string>

#include "archive/core/entry.h"

namespace {

TEST(Entry, NamesAreRelativeOutputPaths) {
    SVekEntry entry;
    ASSERT_EQ(entry.SetNameA("dir/sub/file.txt\r\n", 65001), 1);
    EXPECT_STREQ(entry.narrowName, "dir\\sub\\file.txt");
    EXPECT_EQ(std::wstring(entry.name), L"dir\\sub\\file.txt");
    EXPECT_EQ(entry.SetNameA("", 65001), 0);

    // 한글/a in code page 949, turned into wide text.
    ASSERT_EQ(entry.SetNameA("\xC7\xD1\xB1\xDB/a", 949), 1);
    EXPECT_EQ(std::wstring(entry.name), L"\uD55C\uAE00\\a");

    ASSERT_EQ(entry.SetName(L"x/y\n", 1252), 1);
    EXPECT_STREQ(entry.narrowName, "x\\y");
    EXPECT_EQ(std::wstring(entry.name), L"x\\y");
    // There is no narrow form in decomposed UTF-8: the wide name stays, the call says so.
    EXPECT_EQ(entry.SetName(L"mac", 65002), 0);
    EXPECT_EQ(std::wstring(entry.name), L"mac");
    EXPECT_EQ(entry.narrowName, nullptr);
}

struct CountedExtra : VekExtraData {
    explicit CountedExtra(int* alive) : m_alive(alive) { ++*m_alive; }
    ~CountedExtra() override { --*m_alive; }
    int* m_alive;
};

TEST(EntryList, GrowsCountsAndFreesEverything) {
    int alive = 0;
    SVekEntryList list;
    EXPECT_FALSE(list.Add(nullptr));
    for (int i = 0; i < 3000; ++i) {
        SVekEntry* entry = new SVekEntry();
        entry->SetNameA(std::to_string(i).c_str(), 65001);
        entry->attributes = i % 3 == 0 ? VEK_ATTR_FOLDER : 0;
        entry->extra = new CountedExtra(&alive);
        ASSERT_TRUE(list.Add(entry));
    }
    EXPECT_EQ(list.count, 3000);
    EXPECT_EQ(list.capacity, 4096);
    EXPECT_EQ(list.folderCount, 1000);
    EXPECT_EQ(list.fileCount, 2000);
    EXPECT_STREQ(list.At(2999)->narrowName, "2999");
    EXPECT_EQ(list.At(3000), nullptr);
    EXPECT_EQ(list.At(-1), nullptr);
    EXPECT_EQ(alive, 3000);
    list.Clear();
    EXPECT_EQ(alive, 0);
    EXPECT_EQ(list.count + list.fileCount + list.folderCount + list.capacity, 0);
}

}  // namespace
