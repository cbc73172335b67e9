#include "cli/selection.h"

#include <set>

namespace cli {
namespace {

bool ParseIndex(const std::wstring& text, long long& index) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    index = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return false;
        }
        index = index * 10 + (c - L'0');
    }
    return true;
}

std::wstring Normalised(const std::wstring& name) {
    std::wstring text = name;
    for (wchar_t& c : text) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    // "docs" and "docs\" both name the folder.
    while (!text.empty() && text.back() == L'\\') {
        text.pop_back();
    }
    return text;
}

bool Matches(const std::wstring& entryName, const std::wstring& wanted) {
    std::wstring name = Normalised(entryName);
    if (name == wanted) {
        return true;
    }
    return name.size() > wanted.size() && name.compare(0, wanted.size(), wanted) == 0 &&
           name[wanted.size()] == L'\\';
}

}  // namespace

SSelection SelectEntries(const SVekEntryList& entries, const std::vector<std::wstring>& requests) {
    std::set<int> chosen;
    SSelection selection;
    for (const std::wstring& request : requests) {
        long long index = 0;
        if (ParseIndex(request, index)) {
            if (index < entries.count) {
                chosen.insert(static_cast<int>(index));
            } else {
                selection.unmatched.push_back(request);
            }
            continue;
        }
        std::wstring wanted = Normalised(request);
        bool found = false;
        for (int i = 0; i < entries.count && !wanted.empty(); ++i) {
            const SVekEntry* entry = entries.At(i);
            if (entry != nullptr && entry->name != nullptr && Matches(entry->name, wanted)) {
                chosen.insert(i);
                found = true;
            }
        }
        if (!found) {
            selection.unmatched.push_back(request);
        }
    }
    selection.indices.assign(chosen.begin(), chosen.end());
    return selection;
}

}  // namespace cli
