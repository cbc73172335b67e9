// The platform's files and folders, on paths written the library's way.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "archive/platform/files.h"
#include "support/scratch.h"

namespace test {
namespace {

namespace plat = vek::platform;

TEST(PlatformFiles, FoldersAndFilesOnBackslashPaths) {
    ScratchFolder root;
    std::wstring folder = root.Wide(L"one");
    std::wstring nested = root.Wide(L"one\\two");
    EXPECT_FALSE(plat::PathExists(folder.c_str()));
    EXPECT_TRUE(plat::CreateFolder(folder.c_str()));
    EXPECT_FALSE(plat::CreateFolder(folder.c_str()));  // already there
    EXPECT_TRUE(plat::CreateFolder(nested.c_str()));
    EXPECT_TRUE(plat::IsFolder(nested.c_str()));
    EXPECT_TRUE(fs::is_directory(root.Path() / "one" / "two"));

    std::wstring file = root.Wide(L"one\\two\\\uD55C\uAE00.txt");
    plat::FileHandle out = plat::CreateFileForWriting(file.c_str());
    ASSERT_NE(out, plat::kInvalidFile);
    uint32_t done = 0;
    EXPECT_TRUE(plat::WriteFileData(out, "abc", 3, &done));
    EXPECT_EQ(done, 3u);
    plat::CloseFile(out);
    EXPECT_TRUE(plat::PathExists(file.c_str()));
    EXPECT_FALSE(plat::IsFolder(file.c_str()));

    plat::FileHandle in = plat::OpenFileForReading(file.c_str(), true);
    ASSERT_NE(in, plat::kInvalidFile);
    uint64_t size = 0;
    EXPECT_TRUE(plat::QueryFileSize(in, &size));
    EXPECT_EQ(size, 3u);
    char buffer[8];
    EXPECT_TRUE(plat::SeekFile(in, 1));
    EXPECT_TRUE(plat::ReadFileData(in, buffer, 8, &done));
    EXPECT_EQ(std::string(buffer, done), "bc");
    plat::CloseFile(in);

    EXPECT_TRUE(plat::SetPathAttributes(file.c_str(), 0x1));
    EXPECT_TRUE(IsReadOnly(root.Native(L"one\\two\\\uD55C\uAE00.txt")));
    EXPECT_TRUE(plat::SetPathAttributes(file.c_str(), 0x20));
    EXPECT_FALSE(IsReadOnly(root.Native(L"one\\two\\\uD55C\uAE00.txt")));

    EXPECT_TRUE(plat::RemoveFile(file.c_str()));
    EXPECT_FALSE(plat::RemoveFile(file.c_str()));
    EXPECT_EQ(plat::OpenFileForReading(file.c_str(), true), plat::kInvalidFile);
}

TEST(PlatformFiles, LastWriteTimes) {
    ScratchFolder root;
    std::wstring file = root.Wide(L"t.txt");
    plat::FileHandle out = plat::CreateFileForWriting(file.c_str());
    ASSERT_NE(out, plat::kInvalidFile);
    constexpr int64_t kUnitsPerSecond = 10000000;
    constexpr int64_t k2020 = (1600000000LL + 11644473600LL) * kUnitsPerSecond;
    EXPECT_TRUE(plat::SetLastWriteTime(out, k2020));
    // Before 1601 (what a hostile archive may store) is refused and changes nothing.
    for (int64_t bad : {int64_t{-1}, INT64_MIN, INT64_MIN + 1}) {
        EXPECT_FALSE(plat::SetLastWriteTime(out, bad)) << bad;
    }
    plat::CloseFile(out);
    EXPECT_EQ(ModifyTime(root.Native(L"t.txt")), 1600000000);
}

TEST(PlatformFiles, ExclusiveCreateAndReplacingMove) {
    ScratchFolder root;
    std::wstring target = root.Wide(L"target.txt");
    std::wstring staged = root.Wide(L"staged.tmp");
    WriteFileBytes(root.Native(L"target.txt"), "old");
    bool taken = false;
    // An existing file is never opened, let alone truncated.
    EXPECT_EQ(plat::CreateNewFileForWriting(target.c_str(), &taken), plat::kInvalidFile);
    EXPECT_TRUE(taken);
    EXPECT_EQ(ReadFileBytes(root.Native(L"target.txt")), "old");
    std::wstring missing = root.Wide(L"no\\such\\folder.tmp");
    EXPECT_EQ(plat::CreateNewFileForWriting(missing.c_str(), &taken), plat::kInvalidFile);
    EXPECT_FALSE(taken);

    plat::FileHandle out = plat::CreateNewFileForWriting(staged.c_str(), &taken);
    ASSERT_NE(out, plat::kInvalidFile);
    EXPECT_FALSE(taken);
    uint32_t done = 0;
    EXPECT_TRUE(plat::WriteFileData(out, "new", 3, &done));
    plat::CloseFile(out);
    EXPECT_TRUE(plat::MoveFileReplacing(staged.c_str(), target.c_str()));
    EXPECT_EQ(ReadFileBytes(root.Native(L"target.txt")), "new");
    EXPECT_FALSE(plat::PathExists(staged.c_str()));
    // A folder in the way is not replaced.
    WriteFileBytes(root.Native(L"staged.tmp"), "x");
    fs::create_directories(root.Native(L"dir"));
    EXPECT_FALSE(plat::MoveFileReplacing(staged.c_str(), root.Wide(L"dir").c_str()));
    EXPECT_TRUE(fs::is_directory(root.Native(L"dir")));
}

}  // namespace
}  // namespace test
