#include "app/auto_target.h"

#include "app/path_helpers.h"
#include "archive/platform/files.h"

namespace {

// The attempt with this number is taken whether or not it exists, so that the search ends.
constexpr int kLastUniqueNumber = 999;

bool IsExistingFolder(const std::wstring& path) {
    return !path.empty() && vek::platform::IsFolder(path.c_str());
}

}  // namespace

bool HasSingleRoot(const SVekEntryList& entries) {
    if (entries.count == 1) {
        return true;
    }
    std::wstring previousTop;
    for (int i = 0; i < entries.count; ++i) {
        const SVekEntry* entry = entries.At(i);
        if (entry == nullptr) {
            continue;
        }
        std::wstring name = entry->name != nullptr ? entry->name : L"";
        std::wstring top;
        size_t separator = name.find(L'\\');
        if (separator != std::wstring::npos) {
            top = name.substr(0, separator);
        } else if (!entry->IsFolder()) {
            return false;
        } else {
            top = name;
        }
        if (!previousTop.empty() && previousTop != top) {
            return false;
        }
        previousTop = top;
    }
    return true;
}

std::wstring GetAutoTargetPath(const std::wstring& base, const std::wstring& archivePath,
                               const SVekEntryList& entries) {
    std::wstring folder = IsExistingFolder(base) ? base : GetParentFolder(archivePath);
    if (HasSingleRoot(entries)) {
        return folder;
    }
    std::wstring target = JoinPath(folder, GetBaseName(archivePath));
    if (!IsExistingFolder(target)) {
        return target;
    }
    std::wstring candidate;
    for (int number = 2; number <= kLastUniqueNumber; ++number) {
        candidate = target + L" (" + std::to_wstring(number) + L")";
        if (!IsExistingFolder(candidate)) {
            break;
        }
    }
    return candidate;
}

std::wstring GetFileNameTargetPath(const std::wstring& folder, const std::wstring& archivePath) {
    std::wstring parent = folder.empty() ? GetParentFolder(archivePath) : folder;
    return JoinPath(parent, GetBaseName(archivePath));
}
