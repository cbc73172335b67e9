#include "app/path_helpers.h"

std::wstring GetParentFolder(const std::wstring& path) {
    std::wstring text = path;
    if (!text.empty() && text.back() == L'\\') {
        text.pop_back();
    }
    size_t last = text.rfind(L'\\');
    if (last == std::wstring::npos) {
        return std::wstring();
    }
    return text.substr(0, last + 1);
}

std::wstring GetBaseName(const std::wstring& path) {
    // The file name ends the folder part whichever separator the caller typed.
    size_t separator = path.find_last_of(L"\\/");
    std::wstring name = separator == std::wstring::npos ? path : path.substr(separator + 1);
    size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos) {
        name.erase(dot);
    }
    return name;
}

std::wstring GetFileNamePart(const std::wstring& path) {
    size_t separator = path.find_last_of(L"/\\|");
    return separator == std::wstring::npos ? path : path.substr(separator + 1);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    std::wstring tail = !name.empty() && name.front() == L'\\' ? name.substr(1) : name;
    if (!folder.empty() && folder.back() == L'\\') {
        return folder + tail;
    }
    return folder + L"\\" + tail;
}
