#include "cli/options.h"

#include "archive/core/text_conversion.h"

namespace cli {
namespace {

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Only the code pages the main program's menu offers: the library converts names in those.
bool ParseCodePage(const std::wstring& text, int& codePage) {
    if (text.empty() || text.size() > 6) {
        return false;
    }
    int value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return false;
        }
        value = value * 10 + (c - L'0');
    }
    for (const SVekCodePageChoice& choice : g_vekCodePageChoices) {
        if (choice.codePage == value) {
            codePage = value;
            return true;
        }
    }
    return false;
}

class CParser {
  public:
    explicit CParser(const std::vector<std::wstring>& arguments) : m_arguments(arguments) {}

    SParseResult Run() {
        if (m_arguments.empty()) {
            return Fail(L"no command given");
        }
        const std::wstring& command = m_arguments[0];
        if (command == L"-h" || command == L"--help" || command == L"help") {
            m_result.options.command = ECommand::kHelp;
            m_result.ok = true;
            return m_result;
        }
        if (command == L"list") {
            m_result.options.command = ECommand::kList;
        } else if (command == L"extract") {
            m_result.options.command = ECommand::kExtract;
        } else {
            return Fail(L"unknown command '" + command + L"'");
        }
        for (m_next = 1; m_next < m_arguments.size() && m_result.error.empty();) {
            ParseOne(m_arguments[m_next++]);
        }
        if (!m_result.error.empty()) {
            return m_result;
        }
        return Check();
    }

  private:
    SParseResult Fail(const std::wstring& error) {
        m_result.ok = false;
        m_result.error = error;
        return m_result;
    }

    // The value of an option: after '=' in the same argument, else the next argument.
    bool TakeValue(const std::wstring& name, const std::wstring& argument, std::wstring& value) {
        if (argument.size() > name.size() && argument[name.size()] == L'=') {
            value = argument.substr(name.size() + 1);
            return true;
        }
        if (argument.size() > name.size() || m_next >= m_arguments.size()) {
            m_result.error = L"option '" + name + L"' needs a value";
            return false;
        }
        value = m_arguments[m_next++];
        return true;
    }

    static bool Names(const std::wstring& argument, const std::wstring& name) {
        return argument == name || StartsWith(argument, name + L"=");
    }

    void ParseOne(const std::wstring& argument) {
        SOptions& options = m_result.options;
        if (m_entriesFollow) {
            options.entries.push_back(argument);
            return;
        }
        std::wstring value;
        if (argument == L"--") {
            m_entriesFollow = true;
        } else if (argument == L"-o" || Names(argument, L"--output")) {
            if (TakeValue(argument == L"-o" ? L"-o" : L"--output", argument, value)) {
                m_folderGiven = true;
                options.folder = value;
            }
        } else if (Names(argument, L"--auto")) {
            m_autoGiven = true;
            if (argument.size() > 6) {
                options.folder = argument.substr(7);
            }
        } else if (argument == L"--subfolder") {
            m_subfolderGiven = true;
        } else if (argument == L"-p" || Names(argument, L"--password")) {
            if (TakeValue(argument == L"-p" ? L"-p" : L"--password", argument, value)) {
                options.hasPassword = true;
                options.password = value;
            }
        } else if (Names(argument, L"--codepage")) {
            if (TakeValue(L"--codepage", argument, value) &&
                !ParseCodePage(value, options.codePage)) {
                m_result.error = L"unknown code page '" + value + L"'";
            }
        } else if (argument.size() > 1 && argument[0] == L'-') {
            m_result.error = L"unknown option '" + argument + L"'";
        } else {
            options.archives.push_back(argument);
        }
    }

    SParseResult Check() {
        SOptions& options = m_result.options;
        if (options.command == ECommand::kList) {
            if (m_folderGiven || m_autoGiven || m_subfolderGiven || m_entriesFollow) {
                return Fail(L"list takes no target folder and no entry names");
            }
            if (options.archives.size() != 1) {
                return Fail(L"list takes exactly one archive");
            }
        } else {
            if (options.archives.empty()) {
                return Fail(L"no archive given");
            }
            if (m_autoGiven && (m_folderGiven || m_subfolderGiven)) {
                return Fail(L"--auto cannot be combined with -o or --subfolder");
            }
            if (m_subfolderGiven) {
                options.target = ETarget::kSubfolder;
            } else if (m_folderGiven) {
                options.target = ETarget::kFolder;
                if (options.folder.empty()) {
                    return Fail(L"-o needs a folder");
                }
            }
        }
        m_result.ok = true;
        return m_result;
    }

    const std::vector<std::wstring>& m_arguments;
    size_t m_next = 0;
    SParseResult m_result;
    bool m_entriesFollow = false;
    bool m_folderGiven = false;
    bool m_autoGiven = false;
    bool m_subfolderGiven = false;
};

}  // namespace

SParseResult ParseArguments(const std::vector<std::wstring>& arguments) {
    return CParser(arguments).Run();
}

std::wstring Usage() {
    return L"Usage:\n"
           L"  marlox list [options] ARCHIVE\n"
           L"  marlox extract [options] ARCHIVE... [-- ENTRY...]\n"
           L"\n"
           L"Entries after \"--\" are names or indices (from 0, as list shows them); a folder's\n"
           L"name takes everything below it. Without entries, everything is extracted.\n"
           L"\n"
           L"Target folder (extract):\n"
           L"  -o, --output DIR   extract into DIR\n"
           L"  --auto[=BASE]      a single top-level entry goes into BASE, anything else into\n"
           L"                     a new folder named after the archive, numbered (2), (3)...\n"
           L"                     when it exists; BASE defaults to the archive's folder\n"
           L"  --subfolder        into a folder named after each archive, inside DIR with -o\n"
           L"  (none)             as --auto\n"
           L"\n"
           L"Options:\n"
           L"  -p, --password PW  password for encrypted entries (asked for when needed)\n"
           L"  --codepage N       code page of entry names: 0 (system), 936, 950, 932, 949,\n"
           L"                     1252, 65001 (UTF-8) or 65002 (decomposed Mac UTF-8)\n"
           L"  -h, --help         this text\n"
           L"\n"
           L"Exit status: 0 when everything was extracted, 1 when some entry failed, 2 when an\n"
           L"archive could not be opened or the arguments are wrong.\n";
}

}  // namespace cli
