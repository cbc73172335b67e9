// The path helpers on the library's '\' paths.
#include <gtest/gtest.h>

#include <string>

#include "app/path_helpers.h"

namespace {

struct PathCase {
    const wchar_t* input;
    const wchar_t* expected;
};

TEST(PathHelpers, ParentFolderKeepsItsSeparator) {
    const PathCase cases[] = {
        {L"C:\\a\\b.zip", L"C:\\a\\"},
        {L"C:\\a\\b\\", L"C:\\a\\"},  // one trailing separator goes first
        {L"C:\\a\\b\\\\", L"C:\\a\\b\\"},
        {L"C:\\", L""},
        {L"b.zip", L""},
        {L"", L""},
        {L"\\\\server\\share\\x.zip", L"\\\\server\\share\\"},
    };
    for (const PathCase& c : cases) {
        EXPECT_EQ(GetParentFolder(c.input), c.expected) << "input: " << c.input;
    }
}

TEST(PathHelpers, BaseNameDropsFolderAndLastExtension) {
    const PathCase cases[] = {
        {L"C:\\a\\b.tar.gz", L"b.tar"},
        {L"C:\\a\\b", L"b"},
        {L"C:\\a.d\\b", L"b"},  // a dot in a folder is no extension
        {L"C:/a/b.zip", L"b"},
        {L"x.y.z", L"x.y"},
        {L"C:\\a\\.hidden", L""},
        {L"C:\\a\\", L""},
        {L"C:\\a\\\uD55C\uAE00.zip", L"\uD55C\uAE00"},
    };
    for (const PathCase& c : cases) {
        EXPECT_EQ(GetBaseName(c.input), c.expected) << "input: " << c.input;
    }
}

TEST(PathHelpers, FileNamePartAfterAnySeparator) {
    const PathCase cases[] = {
        {L"C:\\a\\b.zip", L"b.zip"}, {L"a/b", L"b"},    {L"arc.7z|inner.txt", L"inner.txt"},
        {L"plain", L"plain"},        {L"C:\\a\\", L""}, {L"", L""},
    };
    for (const PathCase& c : cases) {
        EXPECT_EQ(GetFileNamePart(c.input), c.expected) << "input: " << c.input;
    }
}

TEST(PathHelpers, JoinPathPutsExactlyOneSeparator) {
    struct JoinCase {
        const wchar_t* folder;
        const wchar_t* name;
        const wchar_t* expected;
    };
    const JoinCase cases[] = {
        {L"C:\\a", L"b", L"C:\\a\\b"},
        {L"C:\\a\\", L"b", L"C:\\a\\b"},
        {L"C:\\a", L"\\b", L"C:\\a\\b"},
        {L"C:\\a\\", L"\\b", L"C:\\a\\b"},
        {L"C:\\a", L"\\", L"C:\\a\\"},        // a name of just "\" becomes empty
        {L"C:\\a", L"\\\\b", L"C:\\a\\\\b"},  // only one leading separator goes
        {L"", L"b", L"\\b"},
    };
    for (const JoinCase& c : cases) {
        EXPECT_EQ(JoinPath(c.folder, c.name), c.expected)
            << "folder: " << c.folder << " name: " << c.name;
    }
}

}  // namespace
