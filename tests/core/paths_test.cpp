// Output paths: the root of a path that folder creation must never try to make.
#include <gtest/gtest.h>

#include <string>

#include "archive/core/paths.h"
#include "support/scratch.h"

namespace test {
namespace {

TEST(Paths, RootsAreNeverCreatedOrSanitised) {
    struct Case {
        const wchar_t* path;
        const wchar_t* root;
    } cases[] = {
        {L"\\\\nas\\share\\out\\sub\\f.txt", L"\\\\nas\\share\\"},
        {L"//nas/share/out", L"//nas/share/"},
        {L"\\\\nas\\share", L"\\\\nas\\share"},
        {L"\\\\?\\C:\\out\\f.txt", L"\\\\?\\C:\\"},
        {L"\\\\?\\UNC\\nas\\share\\out\\f.txt", L"\\\\?\\UNC\\nas\\share\\"},
        {L"\\\\.\\C:\\out", L"\\\\.\\C:\\"},
        {L"C:\\out\\f.txt", L"C:\\"},
        {L"C:\\", L"C:\\"},
        {L"C:out", L"C:"},
        {L"\\out\\f.txt", L"\\"},
        {L"out\\f.txt", L""},
    };
    for (const Case& c : cases) {
        std::wstring path = c.path;
        EXPECT_EQ(path.substr(0, PathRootLength(path)), c.root)
            << std::string(path.begin(), path.end());
    }
    // The long-path prefix keeps its '?' and the drive its colon; names below are cleaned.
    EXPECT_EQ(SanitizePath(L"\\\\?\\C:\\a?b\\c:d"), L"\\\\?\\C:\\a_b\\c_d");
    EXPECT_EQ(SanitizePath(L"\\\\?\\UNC\\nas\\share\\x|y"), L"\\\\?\\UNC\\nas\\share\\x_y");
    EXPECT_EQ(SanitizePath("C:\\a?b"), "C:\\a_b");
}

TEST(Paths, CreatesEveryFolderBelowTheRoot) {
    ScratchFolder root;
    EXPECT_TRUE(CreateFolderPath(root.Wide(L"a\\b\\c\\").c_str()));
    EXPECT_TRUE(fs::is_directory(root.Native(L"a\\b\\c")));
    EXPECT_FALSE(CreateFolderPath(root.Wide(L"d\\e\\f.txt").c_str()));  // not a folder itself
    EXPECT_TRUE(fs::is_directory(root.Native(L"d\\e")));
    EXPECT_FALSE(fs::exists(root.Native(L"d\\e\\f.txt")));
#ifdef _WIN32
    // Behind the long-path prefix, as Explorer hands out paths on some drives.
    std::wstring prefixed = L"\\\\?\\" + root.Wide(L"long\\er\\");
    EXPECT_TRUE(CreateFolderPath(prefixed.c_str()));
    EXPECT_TRUE(fs::is_directory(root.Native(L"long\\er")));
#endif
}

}  // namespace
}  // namespace test
