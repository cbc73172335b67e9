#include "archive/core/paths.h"

#include <cwctype>
#include <vector>

#include "archive/platform/files.h"

namespace {

template <class Char>
std::basic_string<Char> Sanitize(const Char* path) {
    std::basic_string<Char> copy(path);
    for (size_t i = 0; i < copy.size(); ++i) {
        Char c = copy[i];
        if (c == '*' || c == '<' || c == '>' || c == '?' || c == '|' || (c == ':' && i >= 3)) {
            copy[i] = '_';
        }
    }
    return copy;
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// Windows drops trailing dots and spaces from a name, so "..." and ".. " reach the parent too.
bool IsParentReference(const std::wstring& component) {
    size_t end = component.size();
    while (end > 0 && (component[end - 1] == L'.' || component[end - 1] == L' ')) {
        --end;
    }
    return end == 0 && component.find(L"..") != std::wstring::npos;
}

bool IsDeviceName(const std::wstring& component) {
    // The device is the part before the first dot, trailing spaces ignored: "con.txt" and
    // "Con .log" open the console too.
    std::wstring stem = component.substr(0, component.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') {
        stem.pop_back();
    }
    for (wchar_t& c : stem) {
        c = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c)));
    }
    if (stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL" || stem == L"CONIN$" ||
        stem == L"CONOUT$") {
        return true;
    }
    if (stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0)) {
        wchar_t digit = stem[3];
        // Superscript one, two and three count as digits to the device name parser.
        return (digit >= L'0' && digit <= L'9') || digit == 0x00B9 || digit == 0x00B2 ||
               digit == 0x00B3;
    }
    return false;
}

}  // namespace

std::wstring SanitizePath(const wchar_t* path) {
    return Sanitize(path);
}

std::string SanitizePath(const char* path) {
    return Sanitize(path);
}

bool CreateFolderPath(const wchar_t* path) {
    std::wstring clean = SanitizePath(path);
    if (clean.empty() || clean.size() >= VEK_MAX_FOLDER_PATH) {
        return false;
    }
    // Cut at the last separator; the first character is never the cut.
    size_t cut = clean.size();
    for (size_t i = clean.size() - 1; i >= 1; --i) {
        if (IsSeparator(clean[i])) {
            cut = i;
            break;
        }
    }
    std::wstring parents = clean.substr(0, cut);

    std::wstring prefix;
    if (IsSeparator(clean[0])) {
        prefix = clean[0];
    }
    bool first = true;
    size_t start = 0;
    while (start <= parents.size()) {
        size_t end = start;
        while (end < parents.size() && !IsSeparator(parents[end])) {
            ++end;
        }
        if (end > start) {
            if (!first) {
                prefix += L'\\';
            }
            prefix.append(parents, start, end - start);
            first = false;
            if (!vek::platform::IsFolder(prefix.c_str()) &&
                !vek::platform::CreateFolder(prefix.c_str())) {
                break;
            }
        }
        start = end + 1;
    }
    return vek::platform::IsFolder(clean.c_str());
}

bool IsUnsafeEntryName(const wchar_t* name) {
    std::wstring text(name);
    if (text.empty() || IsSeparator(text[0]) || (text.size() >= 2 && text[1] == L':')) {
        return true;
    }
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = start;
        while (end < text.size() && !IsSeparator(text[end])) {
            ++end;
        }
        std::wstring component = text.substr(start, end - start);
        if (IsParentReference(component) || IsDeviceName(component)) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

bool TargetFolderWithSeparator(const wchar_t* folder, std::wstring& base) {
    base = folder;
    if (base.empty() || (base.back() != L'\\' && base.back() != L'/')) {
        base += L'\\';
    }
    return base.find(L"../") == std::wstring::npos && base.find(L"..\\") == std::wstring::npos;
}
