#include "archive/core/text_conversion.h"

#include <cstring>
#include <cwchar>
#include <new>
#include <string>

#include "archive/platform/codepage.h"

namespace plat = vek::platform;

const SVekCodePageChoice g_vekCodePageChoices[8] = {
    {L"기본", plat::VEK_CP_ACP},
    {L"중국어(간체)", 936},
    {L"중국어(번체)", 950},
    {L"일본어", 932},
    {L"한국어", 949},
    {L"Ascii", 1252},
    {L"UTF-8", plat::VEK_CP_UTF8},
    {L"UTF-8-MAC", plat::VEK_CP_UTF8_MAC},
};

const wchar_t* GetCodePageLabel(int codePage) {
    for (const SVekCodePageChoice& choice : g_vekCodePageChoices) {
        if (choice.codePage == codePage) {
            return choice.label;
        }
    }
    return L"";
}

namespace {

template <class Char>
Char* CopyToNew(const std::basic_string<Char>& text) {
    Char* copy = new (std::nothrow) Char[text.size() + 1];
    if (copy != nullptr) {
        std::memcpy(copy, text.c_str(), (text.size() + 1) * sizeof(Char));
    }
    return copy;
}

}  // namespace

wchar_t* ToWideString(const char* text, int codePage) {
    if (text == nullptr) {
        return nullptr;
    }
    std::wstring wide;
    size_t length = std::strlen(text);
    bool converted = codePage == plat::VEK_CP_UTF8_MAC
                         ? plat::DecodeMacUtf8(text, length, wide)
                         : plat::MultiByteToWide(codePage, text, length, wide);
    return converted ? CopyToNew(wide) : nullptr;
}

char* ToMultiByteString(const wchar_t* text, int codePage) {
    if (text == nullptr) {
        return nullptr;
    }
    // The platform refuses 65002 in this direction, as Windows does.
    std::string bytes;
    if (!plat::WideToMultiByte(codePage, text, std::wcslen(text), bytes)) {
        return nullptr;
    }
    return CopyToNew(bytes);
}
