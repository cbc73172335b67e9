#include "archive/formats/gzip/single_stream_name.h"

#include <cwchar>
#include <cwctype>

namespace {

void CopyBounded(wchar_t* out, const wchar_t* from, size_t length) {
    if (length > VEK_NAME_BUFFER - 1) {
        length = VEK_NAME_BUFFER - 1;
    }
    std::wmemcpy(out, from, length);
    out[length] = L'\0';
}

bool EqualsIgnoringCase(const wchar_t* a, const wchar_t* lower) {
    for (; *a != L'\0' && *lower != L'\0'; ++a, ++lower) {
        if (std::towlower(static_cast<wint_t>(*a)) != static_cast<wint_t>(*lower)) {
            return false;
        }
    }
    return *a == L'\0' && *lower == L'\0';
}

}  // namespace

int SplitNameAndExtension(const wchar_t* path, wchar_t* base, wchar_t* extension) {
    if (path == nullptr || base == nullptr || extension == nullptr) {
        return 0;
    }
    base[0] = L'\0';
    extension[0] = L'\0';
    size_t length = std::wcslen(path);
    if (length == 0) {
        return 1;
    }
    // The first character is never taken as a separator or as the dot.
    size_t component = 0;
    for (size_t i = length - 1; i >= 1; --i) {
        if (path[i] == L'/' || path[i] == L'\\') {
            component = i + 1;
            break;
        }
    }
    size_t dot = length;
    for (size_t i = length - 1; i >= 1; --i) {
        if (path[i] == L'.') {
            dot = i;
            break;
        }
    }
    if (dot < length && dot > component) {
        CopyBounded(base, path + component, dot - component);
        CopyBounded(extension, path + dot, length - dot);
    } else {
        CopyBounded(base, path + component, length - component);
    }
    return 1;
}

bool MakeSingleStreamName(IVekInStream* stream, const wchar_t* noname,
                          const wchar_t* const* tarExtensions, std::wstring& name) {
    const wchar_t* fileName = stream->GetFileName();
    if (fileName == nullptr) {
        fileName = noname;
    }
    wchar_t base[VEK_NAME_BUFFER];
    wchar_t extension[VEK_NAME_BUFFER];
    SplitNameAndExtension(fileName, base, extension);
    if (base[0] == L'\0') {
        return false;
    }
    name = base;
    for (const wchar_t* const* tar = tarExtensions; *tar != nullptr; ++tar) {
        if (EqualsIgnoringCase(extension, *tar)) {
            name += L".tar";
            break;
        }
    }
    return true;
}
