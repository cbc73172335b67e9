// The command line's system services on Windows: wide arguments from the system, wide output to
// the console, and the console's own echo switch for the password.
#include <windows.h>

#include <shellapi.h>

#include <filesystem>
#include <string>

#include "archive/platform/codepage.h"
#include "cli/console.h"

namespace cli {
namespace {

namespace plat = vek::platform;

HANDLE ConsoleOf(std::FILE* stream) {
    return GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
}

bool IsConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}

}  // namespace

std::vector<std::wstring> GetArguments(int /*argc*/, char** /*argv*/) {
    // The narrow arguments have lost whatever the ANSI code page could not hold.
    std::vector<std::wstring> arguments;
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (words == nullptr) {
        return arguments;
    }
    for (int i = 1; i < count; ++i) {
        arguments.emplace_back(words[i]);
    }
    LocalFree(words);
    return arguments;
}

std::wstring ToLibraryPath(const std::wstring& argument) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(argument, error);
    if (error) {
        return std::wstring();
    }
    std::wstring path = absolute.lexically_normal().wstring();
    for (wchar_t& c : path) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return path;
}

std::wstring ToDisplayPath(const std::wstring& libraryPath) {
    return libraryPath;
}

bool IsTerminal(std::FILE* stream) {
    return IsConsole(ConsoleOf(stream));
}

void Write(std::FILE* stream, const std::wstring& text) {
    HANDLE console = ConsoleOf(stream);
    std::fflush(stream);
    if (IsConsole(console)) {
        DWORD written = 0;
        WriteConsoleW(console, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    // Redirected output goes to files and pipes, where UTF-8 carries every name.
    std::string bytes;
    if (plat::WideToMultiByte(plat::VEK_CP_UTF8, text.data(), text.size(), bytes)) {
        std::fwrite(bytes.data(), 1, bytes.size(), stream);
    }
}

bool ReadPassword(const std::wstring& prompt, std::wstring& password) {
    Write(stderr, prompt);
    password.clear();
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &mode)) {
        SetConsoleMode(input, (mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT |
                                  ENABLE_PROCESSED_INPUT);
        bool got = false;
        wchar_t c = 0;
        DWORD read = 0;
        while (ReadConsoleW(input, &c, 1, &read, nullptr) && read == 1) {
            got = true;
            if (c == L'\n') {
                break;
            }
            if (c != L'\r') {
                password += c;
            }
        }
        SetConsoleMode(input, mode);
        Write(stderr, L"\n");
        return got;
    }
    std::string line;
    bool got = false;
    int c;
    while ((c = std::fgetc(stdin)) != EOF) {
        got = true;
        if (c == '\n') {
            break;
        }
        if (c != '\r') {
            line += static_cast<char>(c);
        }
    }
    if (!plat::MultiByteToWide(plat::VEK_CP_UTF8, line.data(), line.size(), password)) {
        password.clear();
    }
    return got;
}

}  // namespace cli
