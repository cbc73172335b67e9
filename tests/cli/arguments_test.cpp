// The command line's arguments and the entries they select.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/selection.h"

namespace {

using cli::ECommand;
using cli::ETarget;
using Words = std::vector<std::wstring>;

// The parsed options in one line: command, target rule, archives, and entries after "--".
std::wstring Describe(const cli::SOptions& options) {
    const wchar_t* commands[] = {L"none", L"help", L"list", L"extract"};
    std::wstring text = commands[static_cast<int>(options.command)];
    switch (options.target) {
        case ETarget::kAuto:
            text += L" auto";
            break;
        case ETarget::kFolder:
            text += L" folder";
            break;
        case ETarget::kSubfolder:
            text += L" subfolder";
            break;
    }
    if (!options.folder.empty()) {
        text += L"=" + options.folder;
    }
    text += L" |";
    for (const std::wstring& archive : options.archives) {
        text += L" " + archive;
    }
    if (!options.entries.empty()) {
        text += L" --";
        for (const std::wstring& entry : options.entries) {
            text += L" " + entry;
        }
    }
    return text;
}

TEST(CliArguments, AcceptedCommandLines) {
    struct Case {
        Words arguments;
        const wchar_t* parsed;
    };
    const Case cases[] = {
        {{L"list", L"a.gz"}, L"list auto | a.gz"},
        {{L"extract", L"a.gz", L"b.gz"}, L"extract auto | a.gz b.gz"},
        {{L"extract", L"-o", L"out", L"a.gz"}, L"extract folder=out | a.gz"},
        // Options may follow the archives.
        {{L"extract", L"a.gz", L"--output=out"}, L"extract folder=out | a.gz"},
        {{L"extract", L"--output", L"out", L"a.gz"}, L"extract folder=out | a.gz"},
        {{L"extract", L"--auto", L"a.gz"}, L"extract auto | a.gz"},
        {{L"extract", L"--auto=base", L"a.gz"}, L"extract auto=base | a.gz"},
        {{L"extract", L"--subfolder", L"a.gz"}, L"extract subfolder | a.gz"},
        {{L"extract", L"-o", L"out", L"--subfolder", L"a.gz"}, L"extract subfolder=out | a.gz"},
        // After "--" everything is an entry, options included.
        {{L"extract", L"a.gz", L"--", L"0", L"-o", L"dir\\x"},
         L"extract auto | a.gz -- 0 -o dir\\x"},
        {{L"extract", L"-"}, L"extract auto | -"},
        {{L"--help"}, L"help auto |"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        cli::SParseResult parsed = cli::ParseArguments(c.arguments);
        ASSERT_TRUE(parsed.ok) << testing::PrintToString(parsed.error);
        EXPECT_EQ(Describe(parsed.options), c.parsed);
        EXPECT_FALSE(parsed.options.hasPassword);
        EXPECT_EQ(parsed.options.codePage, 0);
    }
}

TEST(CliArguments, PasswordsAndCodePages) {
    cli::SParseResult parsed =
        cli::ParseArguments({L"extract", L"-p", L"-secret", L"--codepage", L"949", L"a.gz"});
    ASSERT_TRUE(parsed.ok);
    EXPECT_TRUE(parsed.options.hasPassword);
    EXPECT_EQ(parsed.options.password, L"-secret");  // a value may begin with '-'
    EXPECT_EQ(parsed.options.codePage, 949);

    parsed = cli::ParseArguments({L"list", L"--password=", L"--codepage=65002", L"a.gz"});
    ASSERT_TRUE(parsed.ok);
    EXPECT_TRUE(parsed.options.hasPassword);  // given, though empty: no prompt
    EXPECT_EQ(parsed.options.password, L"");
    EXPECT_EQ(parsed.options.codePage, 65002);
}

TEST(CliArguments, RefusedCommandLines) {
    const Words cases[] = {
        {},
        {L"unpack", L"a.gz"},
        {L"list"},
        {L"list", L"a.gz", L"b.gz"},
        {L"list", L"-o", L"out", L"a.gz"},
        {L"list", L"a.gz", L"--", L"x"},
        {L"extract"},
        {L"extract", L"a.gz", L"-o"},
        {L"extract", L"-o", L"", L"a.gz"},
        {L"extract", L"--output"},
        {L"extract", L"--codepage", L"1234", L"a.gz"},  // not a code page the menu offers
        {L"extract", L"--codepage", L"9x", L"a.gz"},
        {L"extract", L"--auto", L"-o", L"out", L"a.gz"},
        {L"extract", L"--auto=b", L"--subfolder", L"a.gz"},
        {L"extract", L"--bogus", L"a.gz"},
        {L"extract", L"--autox", L"a.gz"},
        {L"extract", L"-oout", L"a.gz"},
    };
    for (const Words& arguments : cases) {
        cli::SParseResult parsed = cli::ParseArguments(arguments);
        EXPECT_FALSE(parsed.ok) << testing::PrintToString(arguments);
        EXPECT_FALSE(parsed.error.empty()) << testing::PrintToString(arguments);
    }
}

TEST(CliSelection, NamesIndicesAndFolders) {
    SVekEntryList list;
    const std::initializer_list<std::pair<const wchar_t*, bool>> names = {
        {L"docs\\", true},     {L"docs\\a.txt", false}, {L"docs\\sub\\b.txt", false},
        {L"docsx.txt", false}, {L"readme", false},      {L"\uD55C\uAE00.txt", false},
    };
    for (const auto& [name, folder] : names) {
        SVekEntry* entry = new SVekEntry();
        entry->SetName(name, 65001);
        entry->attributes = folder ? VEK_ATTR_FOLDER : 0;
        list.Add(entry);
    }
    struct Case {
        Words requests;
        std::vector<int> indices;
        Words unmatched;
    };
    const Case cases[] = {
        {{L"readme"}, {4}, {}},
        {{L"docs"}, {0, 1, 2}, {}},  // a folder takes what lies below it, not docsx.txt
        {{L"docs/"}, {0, 1, 2}, {}},
        {{L"docs/sub"}, {2}, {}},
        {{L"4", L"0"}, {0, 4}, {}},  // archive order, whatever the order asked
        {{L"1", L"docs\\a.txt"}, {1}, {}},
        {{L"\uD55C\uAE00.txt"}, {5}, {}},
        {{L"6"}, {}, {L"6"}},
        {{L"README"}, {}, {L"README"}},  // names compare exactly
        {{L"nothing", L"readme"}, {4}, {L"nothing"}},
        {{L"docs\\a"}, {}, {L"docs\\a"}},
        {{L""}, {}, {L""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.requests));
        cli::SSelection selection = cli::SelectEntries(list, c.requests);
        EXPECT_EQ(selection.indices, c.indices);
        EXPECT_EQ(selection.unmatched, c.unmatched);
    }
}

}  // namespace
