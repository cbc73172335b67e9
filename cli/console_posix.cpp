// The command line's system services on Linux: arguments and paths are UTF-8 bytes.
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "archive/platform/codepage.h"
#include "cli/console.h"

namespace cli {
namespace {

namespace plat = vek::platform;

std::wstring FromUtf8(const std::string& bytes) {
    std::wstring wide;
    if (!plat::MultiByteToWide(plat::VEK_CP_UTF8, bytes.data(), bytes.size(), wide)) {
        wide.clear();
    }
    return wide;
}

std::string ToUtf8(const std::wstring& wide) {
    std::string bytes;
    if (!plat::WideToMultiByte(plat::VEK_CP_UTF8, wide.data(), wide.size(), bytes)) {
        bytes.clear();
    }
    return bytes;
}

void Replace(std::wstring& text, wchar_t from, wchar_t to) {
    for (wchar_t& c : text) {
        if (c == from) {
            c = to;
        }
    }
}

}  // namespace

std::vector<std::wstring> GetArguments(int argc, char** argv) {
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(FromUtf8(argv[i]));
    }
    return arguments;
}

std::wstring ToLibraryPath(const std::wstring& argument) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(ToUtf8(argument), error);
    if (error) {
        return std::wstring();
    }
    std::wstring path = FromUtf8(absolute.lexically_normal().string());
    Replace(path, L'/', L'\\');
    return path;
}

std::wstring ToDisplayPath(const std::wstring& libraryPath) {
    std::wstring path = libraryPath;
    Replace(path, L'\\', L'/');
    return path;
}

bool IsTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) != 0;
}

void Write(std::FILE* stream, const std::wstring& text) {
    // Wide text is UTF-32 here and the terminal takes UTF-8: encoded directly, since a long
    // listing is written in one piece.
    std::string bytes;
    bytes.reserve(text.size() + text.size() / 4);
    for (wchar_t c : text) {
        uint32_t u = static_cast<uint32_t>(c);
        if (u < 0x80) {
            bytes += static_cast<char>(u);
        } else if (u < 0x800) {
            bytes += static_cast<char>(0xC0 | (u >> 6));
            bytes += static_cast<char>(0x80 | (u & 0x3F));
        } else if (u < 0x10000 && (u < 0xD800 || u > 0xDFFF)) {
            bytes += static_cast<char>(0xE0 | (u >> 12));
            bytes += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (u & 0x3F));
        } else if (u >= 0x10000 && u <= 0x10FFFF) {
            bytes += static_cast<char>(0xF0 | (u >> 18));
            bytes += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
            bytes += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (u & 0x3F));
        } else {
            bytes += "\xEF\xBF\xBD";  // a lone surrogate or no character at all
        }
    }
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
}

bool ReadPassword(const std::wstring& prompt, std::wstring& password) {
    Write(stderr, prompt);
    termios saved{};
    bool quiet = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (quiet) {
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    std::string line;
    bool got = false;
    int c;
    while ((c = std::fgetc(stdin)) != EOF) {
        got = true;
        if (c == '\n') {
            break;
        }
        line += static_cast<char>(c);
    }
    if (quiet) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        // The user's Enter was not echoed either.
        Write(stderr, L"\n");
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    password = FromUtf8(line);
    return got;
}

}  // namespace cli
