#include "archive/core/entry.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>

#include "archive/core/text_conversion.h"

namespace {

// '/' becomes '\' and trailing CR and LF go: names are relative output paths.
template <class Char>
void NormaliseName(Char* name) {
    size_t length = std::char_traits<Char>::length(name);
    for (size_t i = 0; i < length; ++i) {
        if (name[i] == '/') {
            name[i] = '\\';
        }
    }
    while (length > 0 && (name[length - 1] == '\r' || name[length - 1] == '\n')) {
        name[--length] = 0;
    }
}

template <class Char>
Char* CopyString(const Char* text) {
    size_t length = std::char_traits<Char>::length(text);
    Char* copy = new (std::nothrow) Char[length + 1];
    if (copy != nullptr) {
        std::memcpy(copy, text, (length + 1) * sizeof(Char));
    }
    return copy;
}

}  // namespace

SVekEntry::~SVekEntry() {
    FreeNames();
    delete extra;
}

void SVekEntry::FreeNames() {
    delete[] narrowName;
    delete[] name;
    narrowName = nullptr;
    name = nullptr;
}

int SVekEntry::SetNameA(const char* text, int codePage) {
    if (text == nullptr || *text == '\0') {
        return 0;
    }
    FreeNames();
    narrowName = CopyString(text);
    if (narrowName == nullptr) {
        return 0;
    }
    NormaliseName(narrowName);
    name = ToWideString(narrowName, codePage);
    return name != nullptr;
}

int SVekEntry::SetName(const wchar_t* text, int codePage) {
    if (text == nullptr || *text == L'\0') {
        return 0;
    }
    FreeNames();
    name = CopyString(text);
    if (name == nullptr) {
        return 0;
    }
    NormaliseName(name);
    narrowName = ToMultiByteString(name, codePage);
    return narrowName != nullptr;
}

bool SVekEntryList::Add(SVekEntry* entry) {
    if (entry == nullptr) {
        return false;
    }
    if (count == capacity) {
        int grown = capacity == 0 ? 1024 : capacity * 2;
        void* bigger = grown > capacity
                           ? std::realloc(entries, static_cast<size_t>(grown) * sizeof(SVekEntry*))
                           : nullptr;
        if (bigger == nullptr) {
            delete entry;
            return false;
        }
        entries = static_cast<SVekEntry**>(bigger);
        capacity = grown;
    }
    entries[count++] = entry;
    if (entry->IsFolder()) {
        ++folderCount;
    } else {
        ++fileCount;
    }
    return true;
}

void SVekEntryList::Clear() {
    for (int i = 0; i < count; ++i) {
        delete entries[i];
    }
    std::free(entries);
    entries = nullptr;
    capacity = count = fileCount = folderCount = 0;
}
