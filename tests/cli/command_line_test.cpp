// The marlox program end to end, on archives made by gzip, bzip2 and tar at test time.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/size_format.h"
#include "archive/core/crc32.h"
#include "support/manifest.h"
#include "support/scratch.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace test {
namespace {

#ifndef _WIN32

constexpr int64_t kStoredTime = 1600000000;  // 2020-09-13 21:26:40 in KST

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs a shell command in folder with input on its standard input; its output is kept out of
// the folder.
RunResult Shell(const fs::path& folder, const std::string& command,
                const std::string& input = std::string()) {
    ScratchFolder logs;
    fs::path in = logs.Path() / "in";
    fs::path out = logs.Path() / "out";
    fs::path err = logs.Path() / "err";
    WriteFileBytes(in, input);
    std::string line = "cd " + Quote(folder.string()) + " && (" + command + ") >" +
                       Quote(out.string()) + " 2>" + Quote(err.string()) + " <" +
                       Quote(in.string());
    int raw = std::system(line.c_str());
    RunResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = ReadFileBytes(out);
    result.err = ReadFileBytes(err);
    return result;
}

RunResult Marlox(const fs::path& folder, const std::vector<std::string>& arguments,
                 const std::string& input = std::string()) {
    std::string command = Quote(MARLOX_BINARY);
    for (const std::string& argument : arguments) {
        command += " " + Quote(argument);
    }
    return Shell(folder, command, input);
}

std::string Content() {
    std::string text;
    for (int i = 0; i < 2000; ++i) {
        text += "line " + std::to_string(i * 7919 % 1000) + " of the report\n";
    }
    return text;
}

std::string Utf8(const fs::path& path) {
    return path.u8string();
}

class CommandLine : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(m_root.Path() / "in");
        fs::create_directories(m_root.Path() / "base");
        WriteFileBytes(m_root.Path() / "in" / "report.txt", m_content);
        // gzip keeps the file's name and time in the member header.
        ASSERT_EQ(Shell(m_root.Path() / "in",
                        "touch -d @1600000000 report.txt && gzip report.txt && "
                        "mv report.txt.gz renamed.gz")
                      .status,
                  0);
    }

    fs::path Root() const { return m_root.Path(); }

    const std::string m_content = Content();
    ScratchFolder m_root;
};

TEST_F(CommandLine, ListsTheStoredNameTimeAndCrc) {
    RunResult run = Marlox(Root(), {"list", "in/renamed.gz"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    char crc[16];
    std::snprintf(crc, sizeof(crc), "%08X",
                  VekCrc32(0, m_content.data(), static_cast<int>(m_content.size())));
    EXPECT_NE(run.out.find("report.txt  " + std::to_string(m_content.size())), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("2020-09-13 21:26:40  " + std::string(crc) + "  Deflate  -"),
              std::string::npos)
        << run.out;
    std::wstring total = FormatSize(static_cast<int64_t>(m_content.size()));
    EXPECT_NE(run.out.find("Files: 1  Folders: 0  Total size: " +
                           std::string(total.begin(), total.end())),
              std::string::npos)
        << run.out;
}

TEST_F(CommandLine, ExtractsUnderTheStoredNameAndTime) {
    RunResult run = Marlox(Root(), {"extract", "-o", "out", "in/renamed.gz"});
    ASSERT_EQ(run.status, 0) << run.err;
    // Not a terminal: no progress line, and nothing went wrong.
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(ListTree(Root() / "out"), (std::set<std::string>{"report.txt"}));
    EXPECT_TRUE(ReadFileBytes(Root() / "out" / "report.txt") == m_content)
        << Root() / "out" / "report.txt";
    EXPECT_EQ(ModifyTime(Root() / "out" / "report.txt"), kStoredTime);
    EXPECT_NE(run.out.find("into " + Utf8(Root() / "out")), std::string::npos) << run.out;
}

TEST_F(CommandLine, TgzHoldsTheInnerTarByteForByte) {
    fs::create_directories(Root() / "tree" / "sub");
    WriteFileBytes(Root() / "tree" / "a.txt", "alpha\n");
    WriteFileBytes(Root() / "tree" / "sub" / "b.bin", std::string(70000, '\x5A'));
    ASSERT_EQ(Shell(Root(), "tar czf in/tree.tgz tree && gzip -dc in/tree.tgz > tree.tar").status,
              0);

    RunResult listed = Marlox(Root(), {"list", "in/tree.tgz"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find("\ntree.tar  "), std::string::npos) << listed.out;

    RunResult run = Marlox(Root(), {"extract", "-o", "out", "in/tree.tgz"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ListTree(Root() / "out"), (std::set<std::string>{"tree.tar"}));
    const std::string tar = ReadFileBytes(Root() / "tree.tar");
    ASSERT_GT(tar.size(), 70000u);
    // Compared as a whole: a failure should not print a tar file.
    EXPECT_TRUE(ReadFileBytes(Root() / "out" / "tree.tar") == tar);
}

TEST_F(CommandLine, TargetFolderRules) {
    struct Case {
        const char* cwd;  // below the root
        std::vector<std::string> arguments;
        const char* lands;  // where report.txt ends up, below the root
    };
    const Case cases[] = {
        // Without a target option the automatic rule runs from the archive's folder; a
        // single-entry archive goes straight into it.
        {".", {"extract", "in/renamed.gz"}, "in/report.txt"},
        {"in", {"extract", "--auto", "renamed.gz"}, "in/report.txt"},
        {".", {"extract", "--auto=base", "in/renamed.gz"}, "base/report.txt"},
        {".", {"extract", "--auto=missing", "in/renamed.gz"}, "in/report.txt"},
        {".", {"extract", "--subfolder", "in/renamed.gz"}, "in/renamed/report.txt"},
        {".", {"extract", "-o", "out", "--subfolder", "in/renamed.gz"}, "out/renamed/report.txt"},
        // Relative paths are resolved before the library sees them: it refuses ".." in a target.
        {"in", {"extract", "-o", "../out/x", "renamed.gz"}, "out/x/report.txt"},
        {"base", {"extract", "-o", "./../out/", "../in/./renamed.gz"}, "out/report.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        ScratchFolder root;
        fs::create_directories(root.Path() / "in");
        fs::create_directories(root.Path() / "base");
        fs::copy_file(Root() / "in" / "renamed.gz", root.Path() / "in" / "renamed.gz");
        RunResult run = Marlox(root.Path() / c.cwd, c.arguments);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(ReadFileBytes(root.Path() / c.lands) == m_content) << root.Path() / c.lands;
        std::set<std::string> files;
        for (const std::string& name : ListTree(root.Path())) {
            if (name.back() != '/') {
                files.insert(name);
            }
        }
        EXPECT_EQ(files, (std::set<std::string>{"in/renamed.gz", c.lands}));
    }
}

TEST_F(CommandLine, ExtractsOnlyTheEntriesAsked) {
    for (const char* request : {"0", "report.txt"}) {
        SCOPED_TRACE(request);
        fs::remove_all(Root() / "out");
        RunResult run = Marlox(Root(), {"extract", "-o", "out", "in/renamed.gz", "--", request});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(ReadFileBytes(Root() / "out" / "report.txt") == m_content)
            << Root() / "out" / "report.txt";
    }
    fs::remove_all(Root() / "out");
    for (const char* request : {"1", "other.txt"}) {
        SCOPED_TRACE(request);
        RunResult run = Marlox(Root(), {"extract", "-o", "out", "in/renamed.gz", "--", request});
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(std::string("no entry ") + request), std::string::npos) << run.err;
        // Nothing asked for was found, so nothing is extracted (not everything).
        EXPECT_FALSE(fs::exists(Root() / "out"));
    }
}

TEST_F(CommandLine, ExitStatuses) {
    // A damaged member: the trailer's CRC no longer matches the data.
    std::string bytes = ReadFileBytes(Root() / "in" / "renamed.gz");
    bytes[bytes.size() - 8] = static_cast<char>(bytes[bytes.size() - 8] ^ 0x01);
    WriteFileBytes(Root() / "in" / "bad.gz", bytes);
    WriteFileBytes(Root() / "in" / "notes.txt", "not an archive at all, just some text\n");

    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char* err;  // expected in stderr
    };
    const Case cases[] = {
        {{"extract", "-o", "out1", "in/bad.gz"}, 1, "report.txt: CRC mismatch (error 24)"},
        {{"extract", "-o", "out2", "in/missing.gz"}, 2, "cannot open"},
        {{"list", "in/missing.gz"}, 2, "cannot open"},
        {{"extract", "-o", "out3", "in/notes.txt"}, 2, "not a recognised archive"},
        {{"list", "in"}, 2, "cannot open"},  // a folder is no archive
        {{}, 2, "Usage"},
        {{"extract", "--bogus", "in/renamed.gz"}, 2, "unknown option '--bogus'"},
        {{"list", "in/renamed.gz", "in/bad.gz"}, 2, "exactly one archive"},
        {{"--help"}, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        RunResult run = Marlox(Root(), c.arguments);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    }
    EXPECT_FALSE(fs::exists(Root() / "out2"));

    // One archive that cannot be opened does not keep the others from being extracted, and the
    // worst outcome decides the status.
    RunResult run =
        Marlox(Root(), {"extract", "-o", "out4", "in/missing.gz", "in/bad.gz", "in/renamed.gz"});
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("CRC mismatch"), std::string::npos) << run.err;
    EXPECT_TRUE(ReadFileBytes(Root() / "out4" / "report.txt") == m_content)
        << Root() / "out4" / "report.txt";
}

TEST_F(CommandLine, Bzip2AndKoreanNames) {
    const std::string korean = "\xED\x95\x9C\xEA\xB8\x80.txt";  // 한글.txt
    WriteFileBytes(Root() / fs::u8path(korean), m_content);
    ASSERT_EQ(Shell(Root(), "bzip2 -k " + Quote(korean) + " && gzip -c " + Quote(korean) +
                                " > in/named.gz && mv " + Quote(korean + ".bz2") + " in/")
                  .status,
              0);

    // A .bz2 entry is named after the file; its size is unknown until decoded.
    RunResult listed = Marlox(Root(), {"list", "in/" + korean + ".bz2"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    size_t row = listed.out.find("\n" + korean + "  ");
    ASSERT_NE(row, std::string::npos) << listed.out;
    std::string line = listed.out.substr(row + 1, listed.out.find('\n', row + 1) - row - 1);
    EXPECT_NE(line.find(" ?  "), std::string::npos) << line;
    EXPECT_NE(line.find("  BZip2  "), std::string::npos) << line;

    RunResult run = Marlox(Root(), {"extract", "-o", "out", "in/" + korean + ".bz2"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(ReadFileBytes(Root() / "out" / fs::u8path(korean)) == m_content)
        << Root() / "out" / fs::u8path(korean);

    // gzip stores the name's bytes as they are; read as UTF-8 they are the Korean name.
    listed = Marlox(Root(), {"list", "--codepage", "65001", "in/named.gz"});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find("\n" + korean + "  "), std::string::npos) << listed.out;
}

// Archives with several entries, made by Info-ZIP's zip.
class ZipCommandLine : public testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(Root() / "in");
        fs::create_directories(Root() / "base");
        fs::create_directories(Root() / "src" / "d" / "sub");
        WriteFileBytes(Root() / "src" / "d" / "a.txt", "alpha\n");
        WriteFileBytes(Root() / "src" / "d" / "sub" / "b.txt", "beta\n");
        WriteFileBytes(Root() / "src" / "top.txt", "top\n");
        ASSERT_EQ(Shell(Root() / "src",
                        "zip -qr ../in/multi.zip d top.txt && zip -qr ../in/single.zip d && "
                        "zip -q -P secret ../in/locked.zip top.txt d/a.txt")
                      .status,
                  0);
    }

    fs::path Root() const { return m_root.Path(); }

    // Every file below folder, relative, '/' separated.
    std::set<std::string> Files(const fs::path& folder) const {
        std::set<std::string> files;
        for (const std::string& name : ListTree(folder)) {
            if (name.back() != '/') {
                files.insert(name);
            }
        }
        return files;
    }

    ScratchFolder m_root;
};

TEST_F(ZipCommandLine, AutomaticRuleWithSeveralRoots) {
    const std::set<std::string> multi = {"d/a.txt", "d/sub/b.txt", "top.txt"};
    // Several top-level entries: a new folder named after the archive, numbered once it exists.
    for (const char* folder : {"in/multi", "in/multi (2)", "in/multi (3)"}) {
        RunResult run = Marlox(Root(), {"extract", "in/multi.zip"});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(Files(Root() / folder), multi) << folder;
    }
    RunResult run = Marlox(Root(), {"extract", "--auto=base", "in/multi.zip"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Files(Root() / "base"),
              (std::set<std::string>{"multi/d/a.txt", "multi/d/sub/b.txt", "multi/top.txt"}));

    // One top-level folder: straight into the base.
    run = Marlox(Root(), {"extract", "--auto=base", "in/single.zip"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFileBytes(Root() / "base" / "d" / "sub" / "b.txt"), "beta\n");

    // Names are shown with the system's separator, and select a whole folder.
    run = Marlox(Root(), {"list", "in/multi.zip"});
    EXPECT_NE(run.out.find("\nd/sub/b.txt "), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Files: 3  Folders: 2  Total size: 15B"), std::string::npos) << run.out;
    run = Marlox(Root(), {"extract", "-o", "some", "in/multi.zip", "--", "d/sub"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Files(Root() / "some"), (std::set<std::string>{"d/sub/b.txt"}));
}

TEST_F(ZipCommandLine, Passwords) {
    struct Case {
        std::vector<std::string> arguments;
        std::string typed;   // standard input, where the password prompt reads
        const char* reason;  // of every entry's failure; null when the run succeeds
    };
    // A wrong password passes the traditional header check once in 256 tries and then fails on
    // the CRC instead, so only the entry, not the reason, is certain for it.
    const Case cases[] = {
        {{"-p", "secret"}, "", nullptr},
        {{"--password=wrong"}, "", ""},
        // No password given: it is asked for.
        {{}, "secret\n", nullptr},
        {{}, "wrong\n", ""},
        // Nothing to read: the run goes on without one.
        {{}, "", "password required (error 32)"},
        // An empty password given on purpose is not asked for again.
        {{"--password="}, "secret\n", "password required (error 32)"},
    };
    int serial = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments) + " typed " + c.typed);
        std::string target = "out" + std::to_string(serial++);
        std::vector<std::string> arguments = {"extract", "-o", target, "in/locked.zip"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        RunResult run = Marlox(Root(), arguments, c.typed);
        // Asked for exactly when none was given.
        EXPECT_EQ(run.err.find("Password for ") != std::string::npos, c.arguments.empty())
            << run.err;
        if (c.reason == nullptr) {
            EXPECT_EQ(run.status, 0) << run.err;
            EXPECT_EQ(Files(Root() / target), (std::set<std::string>{"d/a.txt", "top.txt"}));
            EXPECT_EQ(ReadFileBytes(Root() / target / "top.txt"), "top\n");
            continue;
        }
        EXPECT_EQ(run.status, 1) << run.err;
        for (const char* name : {"top.txt", "d/a.txt"}) {
            EXPECT_NE(run.err.find(std::string("locked.zip: ") + name + ": " + c.reason),
                      std::string::npos)
                << run.err;
        }
    }
}

// ALZ and EGG, the formats Korean users are sent, through the whole program: our writer's
// archives (split, self-extracting, solid, encrypted) and the real samples.
TEST(KoreanFormatsCommandLine, ListAndExtract) {
    struct Case {
        const char* archive;  // fixture, or "samples/<format>/<name>"
        std::vector<std::string> options;
        const char* tree;    // the fixture tree it must equal, or null for a sample's manifest
        const char* listed;  // a name the listing shows
    };
    const Case cases[] = {
        {"alz/split.alz", {"--codepage", "949"}, "alz/src", "docs/packed.bin"},
        {"alz/sfx.exe", {"--codepage", "949"}, "alz/src", "empty folder/"},
        {"alz/encrypted.alz", {"--codepage", "949", "-p", "secret"}, "alz/src", "wide.bin"},
        {"samples/alz/large/alkegi_split8_deflate_10MB.alz",
         {"--codepage", "949"},
         nullptr,
         "large.txt"},
        {"egg/solid.egg", {}, "egg/solid_src", "tail/"},
        {"samples/egg/blurfx_split2_lzma.vol1.egg", {}, nullptr, "data.txt"},
        {"samples/egg/octo_aes256_deflate_10files_korean_dirs.egg",
         {"-p", "test1234"},
         nullptr,
         "binary.bin"},
    };
    ScratchFolder root;
    int serial = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        std::string archive = c.archive;
        const bool sample = archive.rfind("samples/", 0) == 0;
        fs::path path = sample ? SampleNative(L"") / fs::u8path(archive.substr(8))
                               : FixtureNative(L"") / fs::u8path(archive);
        std::vector<std::string> arguments = {"list", Utf8(path)};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        RunResult run = Marlox(root.Path(), arguments);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find(std::string("\n") + c.listed), std::string::npos) << run.out;

        std::string target = "out" + std::to_string(serial++);
        arguments[0] = "extract";
        arguments.insert(arguments.begin() + 1, {"-o", target});
        run = Marlox(root.Path(), arguments);
        ASSERT_EQ(run.status, 0) << run.err;
        if (c.tree != nullptr) {
            EXPECT_EQ(CompareTrees(FixtureNative(L"") / c.tree, root.Path() / target), "");
            continue;
        }
        std::string format = archive.substr(8, 3);
        auto manifest = ReadManifest(std::wstring(format.begin(), format.end()));
        auto rows = manifest.find(archive.substr(12));
        ASSERT_NE(rows, manifest.end());
        EXPECT_EQ(CompareWithManifest(root.Path() / target, rows->second), "");
    }

    // Wrong passwords fail every encrypted entry, whatever the cipher, and say why.
    for (const char* archive : {"alz/blurfx_zipcrypto_deflate_1file.alz",
                                "egg/octo_aes128_deflate_10files_korean_dirs.egg",
                                "egg/blurfx_zipcrypto_deflate_1file.egg"}) {
        SCOPED_TRACE(archive);
        RunResult run = Marlox(root.Path(), {"extract", "-o", "wrong", "-p", "not it",
                                             Utf8(SampleNative(L"") / archive)});
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find("(error 33)"), std::string::npos) << run.err;
    }
}

// The formats read through the 7-Zip codec library, through the whole program.
TEST(CodecFormatsCommandLine, ListAndExtract) {
    struct Case {
        const char* archive;
        const char* listed;
        // extracted file -> file of codec/src it must equal; empty: the whole tree
        std::vector<std::pair<std::string, std::string>> files;
    };
    const std::vector<std::pair<std::string, std::string>> three = {
        {"a.txt", "a.txt"}, {"sub/b.bin", "sub/b.bin"}, {"sub/deeper/c.txt", "sub/deeper/c.txt"}};
    const Case cases[] = {
        {"solid.7z", "sub/deeper/c.txt", {}},
        {"split.7z.001", "empty folder", {}},
        {"seven.tar", "a.txt", {}},
        {"image.iso", "sub/b.bin", {}},
        {"files.cab", "sub/b.bin", three},
        {"files.lzh", "sub/deeper/c.txt", three},
        {"stored.rar", "sub/b.bin", three},
        {"stored4.rar", "sub/deeper/c.txt", three},
        {"setup.exe", "c.txt", {{"a.txt", "a.txt"}, {"c.txt", "sub/deeper/c.txt"}}},
    };
    ScratchFolder root;
    const fs::path source = FixtureNative(L"codec\\src");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        std::string path = Utf8(FixtureNative(L"codec") / c.archive);
        RunResult run = Marlox(root.Path(), {"list", path});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.out.find(std::string("\n") + c.listed), std::string::npos) << run.out;
        std::string target = std::string("out-") + c.archive;
        run = Marlox(root.Path(), {"extract", "-o", target, path});
        ASSERT_EQ(run.status, 0) << run.err;
        if (c.files.empty()) {
            EXPECT_EQ(CompareTrees(source, root.Path() / target), "");
            continue;
        }
        for (const auto& [name, original] : c.files) {
            EXPECT_TRUE(ReadFileBytes(root.Path() / target / name) ==
                        ReadFileBytes(source / original))
                << name;
        }
    }
    // Encrypted 7z: asked for and refused; damaged: told.
    RunResult run = Marlox(root.Path(), {"extract", "-o", "locked", "-p", "wrong",
                                         Utf8(FixtureNative(L"codec") / "aes.7z")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("(error 33)"), std::string::npos) << run.err;
    run = Marlox(root.Path(),
                 {"extract", "-o", "names", Utf8(FixtureNative(L"codec") / "aes-names.7z")},
                 "secret\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(CompareTrees(source, root.Path() / "names"), "");
    run = Marlox(root.Path(),
                 {"extract", "-o", "damaged", Utf8(FixtureNative(L"codec") / "damaged.7z")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("(error 53)"), std::string::npos) << run.err;
}

TEST_F(CommandLine, ProgressLineOnATerminal) {
    if (Shell(Root(), "script -qec true /dev/null").status != 0) {
        GTEST_SKIP() << "no script program to give marlox a terminal";
    }
    std::string command = Quote(MARLOX_BINARY) + " extract -o out in/renamed.gz";
    RunResult run = Shell(Root(), "script -qec " + Quote(command) + " /dev/null");
    ASSERT_EQ(run.status, 0) << run.out;
    EXPECT_NE(run.out.find("\r100 %  00:00:"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("report.txt  100 %"), std::string::npos) << run.out;
    EXPECT_TRUE(ReadFileBytes(Root() / "out" / "report.txt") == m_content)
        << Root() / "out" / "report.txt";
}

#else

TEST(CommandLine, NeedsThePosixTools) {
    GTEST_SKIP() << "the end-to-end runs use gzip, bzip2 and tar through a POSIX shell";
}

#endif

}  // namespace
}  // namespace test
