// The automatic target rule and the folder named after the archive.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "app/auto_target.h"
#include "support/scratch.h"

namespace test {
namespace {

struct EntryRow {
    const wchar_t* name;
    bool folder;
};

void Fill(SVekEntryList& list, std::initializer_list<EntryRow> rows) {
    for (const EntryRow& row : rows) {
        SVekEntry* entry = new SVekEntry();
        entry->SetName(row.name, 65001);
        entry->attributes = row.folder ? VEK_ATTR_FOLDER : 0;
        list.Add(entry);
    }
}

TEST(AutoTarget, SingleRootDecision) {
    struct Case {
        const char* what;
        std::initializer_list<EntryRow> entries;
        bool single;
    };
    const Case cases[] = {
        {"one folder with its files", {{L"X\\", true}, {L"X\\a", false}, {L"X\\b", false}}, true},
        {"folder stored without separator", {{L"X", true}, {L"X\\a", false}}, true},
        {"files only below one folder", {{L"X\\a", false}, {L"X\\sub\\b", false}}, true},
        {"one file", {{L"a.txt", false}}, true},
        {"one top-level file among others", {{L"X\\a", false}, {L"b", false}}, false},
        {"two top-level files", {{L"a", false}, {L"b", false}}, false},
        {"two folders", {{L"X", true}, {L"Y", true}}, false},
        {"case differs", {{L"X\\a", false}, {L"x\\b", false}}, false},
        {"second root late", {{L"X\\a", false}, {L"X\\b", false}, {L"Y\\c", false}}, false},
    };
    for (const Case& c : cases) {
        SVekEntryList list;
        Fill(list, c.entries);
        EXPECT_EQ(HasSingleRoot(list), c.single) << c.what;
    }
}

TEST(AutoTarget, SingleRootGoesIntoTheBase) {
    ScratchFolder root;
    fs::create_directories(root.Path() / "in");
    fs::create_directories(root.Path() / "base");
    const std::wstring archive = root.Wide(L"in\\arc.zip");
    SVekEntryList list;
    Fill(list, {{L"X\\", true}, {L"X\\a", false}, {L"X\\b", false}});

    EXPECT_EQ(GetAutoTargetPath(root.Wide(L"base"), archive, list), root.Wide(L"base"));
    // A missing or empty base falls back to the archive's own folder.
    EXPECT_EQ(GetAutoTargetPath(root.Wide(L"missing"), archive, list), root.Wide(L"in\\"));
    EXPECT_EQ(GetAutoTargetPath(L"", archive, list), root.Wide(L"in\\"));
    // A file is not a folder to extract into.
    WriteFileBytes(root.Path() / "in" / "file", "x");
    EXPECT_EQ(GetAutoTargetPath(root.Wide(L"in\\file"), archive, list), root.Wide(L"in\\"));
}

TEST(AutoTarget, SeveralRootsGetAFreshFolderNamedAfterTheArchive) {
    ScratchFolder root;
    fs::create_directories(root.Path() / "in");
    const std::wstring archive = root.Wide(L"in\\arc.tar.gz");
    SVekEntryList list;
    Fill(list, {{L"a", false}, {L"b", false}});

    EXPECT_EQ(GetAutoTargetPath(L"", archive, list), root.Wide(L"in\\arc.tar"));
    fs::create_directories(root.Path() / "in" / "arc.tar");
    EXPECT_EQ(GetAutoTargetPath(L"", archive, list), root.Wide(L"in\\arc.tar (2)"));
    fs::create_directories(root.Path() / "in" / "arc.tar (2)");
    EXPECT_EQ(GetAutoTargetPath(L"", archive, list), root.Wide(L"in\\arc.tar (3)"));
    // A file of that name does not count as taken.
    WriteFileBytes(root.Path() / "in" / "arc.tar (3)", "x");
    EXPECT_EQ(GetAutoTargetPath(L"", archive, list), root.Wide(L"in\\arc.tar (3)"));

    // With every number taken, the search stops at the last one rather than going on forever.
    fs::remove(root.Path() / "in" / "arc.tar (3)");
    for (int i = 3; i <= 999; ++i) {
        fs::create_directory(root.Path() / "in" / ("arc.tar (" + std::to_string(i) + ")"));
    }
    EXPECT_EQ(GetAutoTargetPath(L"", archive, list), root.Wide(L"in\\arc.tar (999)"));
}

TEST(AutoTarget, FolderNamedAfterTheArchive) {
    struct Case {
        const wchar_t* folder;
        const wchar_t* archive;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"D:\\out", L"C:\\a.zip", L"D:\\out\\a"},
        {L"D:\\out\\", L"C:\\b.tar.gz", L"D:\\out\\b.tar"},
        {L"", L"C:\\in\\a.zip", L"C:\\in\\a"},  // no folder: beside the archive
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetFileNameTargetPath(c.folder, c.archive), c.expected) << c.archive;
    }
}

}  // namespace
}  // namespace test
