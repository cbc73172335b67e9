#include "archive/core/paths.h"

#include <cwctype>
#include <vector>

#include "archive/platform/files.h"

namespace {

template <class Char>
bool IsSeparatorOf(Char c) {
    return c == '\\' || c == '/';
}

// The end of the component that starts at from, with its separator when there is one.
template <class Char>
size_t PastComponent(const std::basic_string<Char>& path, size_t from) {
    while (from < path.size() && !IsSeparatorOf(path[from])) {
        ++from;
    }
    return from < path.size() ? from + 1 : from;
}

template <class Char>
size_t RootLength(const std::basic_string<Char>& path) {
    size_t n = path.size();
    bool twoSeparators = n >= 2 && IsSeparatorOf(path[0]) && IsSeparatorOf(path[1]);
    if (twoSeparators && n >= 4 && (path[2] == '?' || path[2] == '.') && IsSeparatorOf(path[3])) {
        // \\?\UNC\server\share\ or \\?\C:\ (or a volume name).
        bool unc = n >= 8 && (path[4] == 'U' || path[4] == 'u') &&
                   (path[5] == 'N' || path[5] == 'n') && (path[6] == 'C' || path[6] == 'c') &&
                   IsSeparatorOf(path[7]);
        return unc ? PastComponent(path, PastComponent(path, 8)) : PastComponent(path, 4);
    }
    if (twoSeparators) {
        // A server and its share.
        return PastComponent(path, PastComponent(path, 2));
    }
    if (n >= 2 && path[1] == ':') {
        return n >= 3 && IsSeparatorOf(path[2]) ? 3 : 2;
    }
    return n >= 1 && IsSeparatorOf(path[0]) ? 1 : 0;
}

template <class Char>
std::basic_string<Char> Sanitize(const Char* path) {
    std::basic_string<Char> copy(path);
    // The root (a drive, \\server\share, \\?\C:) is the system's to read, not a name.
    size_t root = RootLength(copy);
    for (size_t i = root; i < copy.size(); ++i) {
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

size_t PathRootLength(const std::wstring& path) {
    return RootLength(path);
}

bool CreateFolderPath(const wchar_t* path) {
    std::wstring clean = SanitizePath(path);
    if (clean.empty() || clean.size() >= VEK_MAX_FOLDER_PATH) {
        return false;
    }
    // Folders below the root, up to the last separator. The root itself (a drive, a server
    // and its share) is never created.
    size_t root = RootLength(clean);
    size_t cut = clean.size();
    while (cut > root && !IsSeparator(clean[cut - 1])) {
        --cut;
    }
    for (size_t end = PastComponent(clean, root); end <= cut && end > root;
         end = PastComponent(clean, end)) {
        std::wstring folder = clean.substr(0, end);
        while (!folder.empty() && IsSeparator(folder.back())) {
            folder.pop_back();
        }
        if (!folder.empty() && !vek::platform::IsFolder(folder.c_str()) &&
            !vek::platform::CreateFolder(folder.c_str())) {
            break;
        }
        if (end == clean.size()) {
            break;
        }
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
