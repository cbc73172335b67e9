// The command line's arguments: what to do, with which archives, into which folder.
#pragma once

#include <string>
#include <vector>

namespace cli {

enum class ECommand { kNone, kHelp, kList, kExtract };

// How an extraction chooses its folder. Without -o, --auto or --subfolder the automatic rule
// applies with the archive's own folder as base, as a double-click on an archive would.
enum class ETarget {
    kAuto,       // --auto[=BASE]: the automatic target rule
    kFolder,     // -o DIR: into DIR as it is
    kSubfolder,  // --subfolder: a folder named after each archive, inside DIR when -o is given
};

struct SOptions {
    ECommand command = ECommand::kNone;
    ETarget target = ETarget::kAuto;
    // -o DIR, or the base of --auto=BASE; empty for the archive's own folder. As typed.
    std::wstring folder;
    bool hasPassword = false;
    std::wstring password;
    int codePage = 0;
    // As typed; converted to library paths when they are used.
    std::vector<std::wstring> archives;
    // Entry names or indices after "--"; empty for every entry.
    std::vector<std::wstring> entries;
};

struct SParseResult {
    bool ok = false;
    std::wstring error;  // why the arguments were refused
    SOptions options;
};

SParseResult ParseArguments(const std::vector<std::wstring>& arguments);

// The help text.
std::wstring Usage();

}  // namespace cli
