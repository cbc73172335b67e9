// Code pages on Windows: the system's own conversions.
#include <windows.h>

#include <algorithm>
#include <climits>
#include <string>

#include "archive/platform/codepage.h"

namespace vek::platform {
namespace {

// Mac systems leave these blocks alone when they decompose a name, so they must not be
// composed either: full composition would turn a compatibility ideograph into its unified one.
bool IsLeftAsWritten(unsigned int codePoint) {
    return (codePoint >= 0x2000 && codePoint <= 0x2FFF) ||
           (codePoint >= 0xF900 && codePoint <= 0xFAFF) ||
           (codePoint >= 0x2F800 && codePoint <= 0x2FAFF);
}

bool ComposeRun(const wchar_t* run, int length, std::wstring& out) {
    if (length == 0) {
        return true;
    }
    // Windows only estimates the room it needs, and asks again with a better estimate when the
    // buffer turns out short.
    int room = NormalizeString(NormalizationC, run, length, nullptr, 0);
    for (int attempt = 0; attempt < 8 && room > 0; ++attempt) {
        std::wstring composed(static_cast<size_t>(room), L'\0');
        int written = NormalizeString(NormalizationC, run, length, composed.data(), room);
        if (written > 0) {
            out.append(composed.data(), static_cast<size_t>(written));
            return true;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
            return false;
        }
        room = std::max(-written, room * 2);
    }
    return false;
}

}  // namespace

bool MultiByteToWide(int codePage, const char* bytes, size_t length, std::wstring& out) {
    out.clear();
    if (codePage == VEK_CP_UTF8_MAC || length > INT_MAX) {
        return false;
    }
    if (length == 0) {
        // Windows refuses empty input; converting a lone terminator still asks whether the code
        // page is known.
        wchar_t terminator = L'\0';
        return MultiByteToWideChar(codePage, 0, "", 1, &terminator, 1) == 1;
    }
    int count = MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(length), nullptr, 0);
    if (count <= 0) {
        return false;
    }
    out.resize(static_cast<size_t>(count));
    return MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(length), out.data(), count) ==
           count;
}

bool WideToMultiByte(int codePage, const wchar_t* text, size_t length, std::string& out) {
    out.clear();
    if (codePage == VEK_CP_UTF8_MAC || length > INT_MAX) {
        return false;
    }
    if (length == 0) {
        char terminator = '\0';
        return WideCharToMultiByte(codePage, 0, L"", 1, &terminator, 1, nullptr, nullptr) == 1;
    }
    int count = WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), nullptr, 0,
                                    nullptr, nullptr);
    if (count <= 0) {
        return false;
    }
    out.resize(static_cast<size_t>(count));
    return WideCharToMultiByte(codePage, 0, text, static_cast<int>(length), out.data(), count,
                               nullptr, nullptr) == count;
}

int AnsiCodePage() {
    return static_cast<int>(GetACP());
}

bool DecodeMacUtf8(const char* bytes, size_t length, std::wstring& out) {
    out.clear();
    if (length > INT_MAX) {
        return false;
    }
    if (length == 0) {
        return true;
    }
    std::wstring decoded;
    int count = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(length),
                                    nullptr, 0);
    if (count <= 0) {
        return false;
    }
    decoded.resize(static_cast<size_t>(count));
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(length),
                            decoded.data(), count) != count) {
        return false;
    }
    // Compose the runs between characters that must stay as written; such a character is one
    // unit or, above U+FFFF, a surrogate pair.
    size_t runStart = 0;
    size_t i = 0;
    while (i < decoded.size()) {
        unsigned int codePoint = decoded[i];
        size_t units = 1;
        if (codePoint >= 0xD800 && codePoint <= 0xDBFF && i + 1 < decoded.size() &&
            decoded[i + 1] >= 0xDC00 && decoded[i + 1] <= 0xDFFF) {
            codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (decoded[i + 1] - 0xDC00);
            units = 2;
        }
        if (IsLeftAsWritten(codePoint)) {
            if (!ComposeRun(decoded.data() + runStart, static_cast<int>(i - runStart), out)) {
                return false;
            }
            out.append(decoded, i, units);
            runStart = i + units;
        }
        i += units;
    }
    return ComposeRun(decoded.data() + runStart, static_cast<int>(decoded.size() - runStart), out);
}

}  // namespace vek::platform
