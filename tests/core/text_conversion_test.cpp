// Entry-name conversion as the formats call it. The expectations are what Windows gives for the
// same input; the Linux build must give the same, so both builds run this one table. Wide
// results are compared as code points, which reads UTF-16 (Windows) and UTF-32 (Linux) alike.
#include "archive/core/text_conversion.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

using CodePoints = std::vector<char32_t>;

CodePoints ToCodePoints(const wchar_t* text) {
    CodePoints result;
    for (; *text != L'\0'; ++text) {
        char32_t unit = static_cast<char32_t>(*text);
        if (sizeof(wchar_t) == 2 && unit >= 0xD800 && unit <= 0xDBFF && text[1] >= 0xDC00 &&
            text[1] <= 0xDFFF) {
            result.push_back(0x10000 + ((unit - 0xD800) << 10) + (text[1] - 0xDC00));
            ++text;
        } else {
            result.push_back(unit);
        }
    }
    return result;
}

std::wstring FromCodePoints(const CodePoints& codePoints) {
    std::wstring text;
    for (char32_t codePoint : codePoints) {
        if (sizeof(wchar_t) == 2 && codePoint >= 0x10000) {
            text.push_back(static_cast<wchar_t>(0xD800 + ((codePoint - 0x10000) >> 10)));
            text.push_back(static_cast<wchar_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF)));
        } else {
            text.push_back(static_cast<wchar_t>(codePoint));
        }
    }
    return text;
}

std::string Hex(const CodePoints& codePoints) {
    std::string text;
    for (char32_t codePoint : codePoints) {
        char buffer[16];
        std::snprintf(buffer, sizeof(buffer), "%s%04X", text.empty() ? "" : " ",
                      static_cast<unsigned>(codePoint));
        text += buffer;
    }
    return text;
}

std::string Hex(const std::string& bytes) {
    std::string text;
    for (unsigned char byte : bytes) {
        char buffer[8];
        std::snprintf(buffer, sizeof(buffer), "%s%02X", text.empty() ? "" : " ", byte);
        text += buffer;
    }
    return text;
}

struct SDecodeCase {
    const char* what;
    int codePage;
    const char* bytes;
    CodePoints expected;
};

// Decomposed Hangul: HIEUH, A, NIEUN jamo, which make one syllable.
#define DECOMPOSED_HAN "\xE1\x84\x92\xE1\x85\xA1\xE1\x86\xAB"

const SDecodeCase kDecodeCases[] = {
    // Korean.
    {"949 syllables", 949, "\xC7\xD1\xB1\xDB", {0xD55C, 0xAE00}},
    {"949 extended syllable", 949, "\x81\x41", {0xAC02}},
    {"949 lone lead byte at the end", 949, "A\xC7", {0x41, '?'}},
    {"949 lead byte swallows an invalid trail", 949, "\xB0\x20Z", {'?', 0x5A}},
    {"949 single bytes outside the table", 949, "\x80\xFF", {0x80, 0xF8F7}},
    // Chinese and Japanese.
    {"936", 936, "\xC4\xE3\xBA\xC3", {0x4F60, 0x597D}},
    {"936 euro byte", 936, "\x80", {0x20AC}},
    {"936 invalid trail", 936, "\x81\x20", {'?'}},
    {"950", 950, "\xA4\xA4\xA4\xE5", {0x4E2D, 0x6587}},
    {"950 invalid trail", 950, "\xA4\x7F", {'?'}},
    {"932", 932, "\x93\xFA\x96\x7B\\\xB1", {0x65E5, 0x672C, 0x5C, 0xFF71}},
    {"932 default is the middle dot", 932, "\x81\x7F\x82", {0x30FB, 0x30FB}},
    {"932 controls and private-use bytes",
     932,
     "\x1A\x1C\x7F\xA0\xFD",
     {0x1A, 0x1C, 0x7F, 0xF8F0, 0xF8F1}},
    // Western.
    {"1252 reads Korean bytes as Latin", 1252, "\xC7\xD1\xB1\xDB", {0xC7, 0xD1, 0xB1, 0xDB}},
    {"1252 C1 range", 1252, "\x80\x81\x9F", {0x20AC, 0x81, 0x178}},
    // UTF-8: every malformed sequence becomes U+FFFD, split as Windows splits it.
    {"65001", 65001, "\xED\x95\x9C\xF0\x9F\x98\x80", {0xD55C, 0x1F600}},
    {"65001 keeps decomposed Hangul", 65001, DECOMPOSED_HAN, {0x1112, 0x1161, 0x11AB}},
    {"65001 stray byte", 65001, "a\xFF-", {'a', 0xFFFD, '-'}},
    {"65001 missing continuation", 65001, "\xC3(", {0xFFFD, '('}},
    {"65001 overlong", 65001, "\xC0\xAF\xE0\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},
    {"65001 encoded surrogate", 65001, "\xED\xA0\x80", {0xFFFD, 0xFFFD}},
    {"65001 past U+10FFFF", 65001, "\xF4\x90\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD}},
    {"65001 cut off at the end", 65001, "a\xE2\x82", {'a', 0xFFFD}},
    // Mac UTF-8: composed, except the blocks Mac systems never decompose.
    {"65002 composes Hangul", 65002, DECOMPOSED_HAN, {0xD55C}},
    {"65002 composes Latin", 65002, "Cafe\xCC\x81", {'C', 'a', 'f', 0xE9}},
    {"65002 keeps compatibility hanja", 65002, "\xEF\xA4\x80\xF0\xAF\xA0\x80", {0xF900, 0x2F800}},
    {"65002 keeps U+2000-U+2FFF", 65002, "\xE2\x84\xA6\xCC\x81", {0x2126, 0x0301}},
    {"65002 composes around kept characters",
     65002,
     "e\xCC\x81" DECOMPOSED_HAN "\xEF\xA4\x80",
     {0xE9, 0xD55C, 0xF900}},
    {"empty", 949, "", {}},
};

TEST(ToWideString, GivesWhatWindowsGives) {
    for (const SDecodeCase& test : kDecodeCases) {
        SCOPED_TRACE(test.what);
        std::unique_ptr<wchar_t[]> wide(ToWideString(test.bytes, test.codePage));
        ASSERT_NE(wide, nullptr);
        EXPECT_EQ(Hex(ToCodePoints(wide.get())), Hex(test.expected));
    }
}

TEST(ToWideString, Fails) {
    const struct {
        const char* what;
        int codePage;
        const char* bytes;
    } cases[] = {
        {"unknown code page", 12345, "abc"},           {"negative code page", -2, "abc"},
        {"65002 stray byte", 65002, "a\xFF"},          {"65002 cut off", 65002, "\xE1\x84"},
        {"65002 noncharacter", 65002, "\xEF\xBF\xBF"},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        std::unique_ptr<wchar_t[]> wide(ToWideString(test.bytes, test.codePage));
        EXPECT_EQ(wide, nullptr);
    }
    EXPECT_EQ(ToWideString(nullptr, 949), nullptr);
}

struct SEncodeCase {
    const char* what;
    int codePage;
    CodePoints text;
    std::string expected;
};

const SEncodeCase kEncodeCases[] = {
    {"949", 949, {0xD55C, 0xAE00}, "\xC7\xD1\xB1\xDB"},
    {"949 default character", 949, {'a', 0x0E01, 'b'}, "a?b"},
    {"949 one default per UTF-16 unit", 949, {0x1F600}, "??"},
    {"949 best fit", 949, {0xE9}, "e"},
    {"936", 936, {0x4F60, 0x597D, 0x20AC}, "\xC4\xE3\xBA\xC3\x80"},
    {"936 halfwidth arrow", 936, {0xFFE9}, "?"},
    {"950", 950, {0x4E2D, 0x6587, 0x0E01}, "\xA4\xA4\xA4\xE5?"},
    {"932", 932, {0x65E5, 0x672C, 0x5C}, "\x93\xFA\x96\x7B\\"},
    {"932 best fit", 932, {0xC0, 0xAB}, "A\x81\xE1"},
    {"932 no em dash", 932, {0x2014}, "?"},
    {"932 controls and private use", 932, {0x1A, 0x7F, 0xF8F0}, "\x1A\x7F\xA0"},
    {"1252", 1252, {0xE9, 0x20AC, 0xD55C}, "\xE9\x80?"},
    {"1252 best fit", 1252, {0x0100, 0x2013, 0x3000}, "A\x96 "},
    {"65001", 65001, {0xD55C, 0x1F600}, "\xED\x95\x9C\xF0\x9F\x98\x80"},
    {"65001 lone surrogate", 65001, {'a', 0xD800, '-'}, "a\xEF\xBF\xBD-"},
    {"empty", 949, {}, ""},
};

TEST(ToMultiByteString, GivesWhatWindowsGives) {
    for (const SEncodeCase& test : kEncodeCases) {
        SCOPED_TRACE(test.what);
        std::wstring text = FromCodePoints(test.text);
        std::unique_ptr<char[]> bytes(ToMultiByteString(text.c_str(), test.codePage));
        ASSERT_NE(bytes, nullptr);
        EXPECT_EQ(Hex(std::string(bytes.get())), Hex(test.expected));
    }
}

TEST(ToMultiByteString, FailsForMacUtf8AndUnknownCodePages) {
    // Names are never written back in decomposed form: Windows refuses 65002 this way.
    EXPECT_EQ(ToMultiByteString(L"abc", 65002), nullptr);
    EXPECT_EQ(ToMultiByteString(L"abc", 12345), nullptr);
    EXPECT_EQ(ToMultiByteString(nullptr, 949), nullptr);
}

TEST(TextConversion, KoreanRoundTrip) {
    // What SetNameA makes of a 949 name must come back unchanged through SetName.
    const char* name = "\xC7\xD1\xB1\xDB\\\xB9\xAE\xBC\xAD.txt";
    std::unique_ptr<wchar_t[]> wide(ToWideString(name, 949));
    ASSERT_NE(wide, nullptr);
    std::unique_ptr<char[]> back(ToMultiByteString(wide.get(), 949));
    ASSERT_NE(back, nullptr);
    EXPECT_STREQ(back.get(), name);
}

TEST(CodePageChoices, TableAndLabels) {
    const struct {
        const wchar_t* label;
        int codePage;
    } expected[] = {
        {L"\uAE30\uBCF8", 0},
        {L"\uC911\uAD6D\uC5B4(\uAC04\uCCB4)", 936},
        {L"\uC911\uAD6D\uC5B4(\uBC88\uCCB4)", 950},
        {L"\uC77C\uBCF8\uC5B4", 932},
        {L"\uD55C\uAD6D\uC5B4", 949},
        {L"Ascii", 1252},
        {L"UTF-8", 65001},
        {L"UTF-8-MAC", 65002},
    };
    ASSERT_EQ(std::size(g_vekCodePageChoices), std::size(expected));
    for (size_t row = 0; row < std::size(expected); ++row) {
        SCOPED_TRACE(row);
        EXPECT_STREQ(g_vekCodePageChoices[row].label, expected[row].label);
        EXPECT_EQ(g_vekCodePageChoices[row].codePage, expected[row].codePage);
        EXPECT_STREQ(GetCodePageLabel(expected[row].codePage), expected[row].label);
    }
    EXPECT_STREQ(GetCodePageLabel(1250), L"");
    EXPECT_STREQ(GetCodePageLabel(-1), L"");
}

}  // namespace
