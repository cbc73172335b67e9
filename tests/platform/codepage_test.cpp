// The platform conversions where they differ from the library's NUL-terminated entry points:
// explicit lengths, empty input, the code pages they refuse, and the strict decoding behind Mac
// names. The per-code-page results are covered through the library in core/text_conversion_test.
#include "archive/platform/codepage.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using vek::platform::AnsiCodePage;
using vek::platform::DecodeMacUtf8;
using vek::platform::MultiByteToWide;
using vek::platform::VEK_CP_ACP;
using vek::platform::VEK_CP_UTF8_MAC;
using vek::platform::WideToMultiByte;

// Wide text as code points, so that one expectation reads UTF-16 (Windows) and UTF-32 (Linux).
std::vector<char32_t> ToCodePoints(const std::wstring& text) {
    std::vector<char32_t> result;
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t unit = static_cast<char32_t>(text[i]);
        if (sizeof(wchar_t) == 2 && unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() &&
            text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            result.push_back(0x10000 + ((unit - 0xD800) << 10) + (text[++i] - 0xDC00));
        } else {
            result.push_back(unit);
        }
    }
    return result;
}

TEST(MultiByteToWide, NulBytesAreCharacters) {
    // A NUL ends a double-byte character early but is still converted itself.
    const char bytes[] = {'\xC7', '\0', 'A', '\0'};
    std::wstring wide;
    ASSERT_TRUE(MultiByteToWide(949, bytes, sizeof(bytes), wide));
    EXPECT_EQ(wide, std::wstring(L"?\0A\0", 4));

    const char utf8[] = {'\xE2', '\0', '\x82'};
    ASSERT_TRUE(MultiByteToWide(65001, utf8, sizeof(utf8), wide));
    EXPECT_EQ(wide, std::wstring(L"\xFFFD\0\xFFFD", 3));
}

TEST(MultiByteToWide, LengthLimitsTheInput) {
    // The second byte of the syllable lies outside the given length: a lone lead byte remains.
    std::wstring wide;
    ASSERT_TRUE(MultiByteToWide(949, "\xC7\xD1", 1, wide));
    EXPECT_EQ(wide, L"?");
    ASSERT_TRUE(MultiByteToWide(932, "\x82\xA0", 1, wide));
    EXPECT_EQ(wide, L"\x30FB");
}

TEST(Conversions, EmptyInputSucceedsOnlyForKnownCodePages) {
    for (int codePage : {VEK_CP_ACP, 932, 936, 949, 950, 1252, 65001}) {
        SCOPED_TRACE(codePage);
        std::wstring wide = L"stale";
        EXPECT_TRUE(MultiByteToWide(codePage, "", 0, wide));
        EXPECT_TRUE(wide.empty());
        std::string bytes = "stale";
        EXPECT_TRUE(WideToMultiByte(codePage, L"", 0, bytes));
        EXPECT_TRUE(bytes.empty());
    }
    std::wstring wide;
    std::string bytes;
    EXPECT_FALSE(MultiByteToWide(12345, "", 0, wide));
    EXPECT_FALSE(WideToMultiByte(12345, L"", 0, bytes));
}

TEST(Conversions, RefuseMacUtf8) {
    // 65002 is the library's own number; only DecodeMacUtf8 understands it.
    std::wstring wide;
    std::string bytes;
    EXPECT_FALSE(MultiByteToWide(VEK_CP_UTF8_MAC, "abc", 3, wide));
    EXPECT_FALSE(WideToMultiByte(VEK_CP_UTF8_MAC, L"abc", 3, bytes));
    EXPECT_FALSE(MultiByteToWide(VEK_CP_UTF8_MAC, "", 0, wide));
}

TEST(AnsiCodePage, IsWhatCodePageZeroMeans) {
    int ansi = AnsiCodePage();
    ASSERT_NE(ansi, VEK_CP_UTF8_MAC);
    if (ansi == VEK_CP_ACP) {
        GTEST_SKIP() << "the locale's charset has no Windows number";
    }
    const char bytes[] = "\xC7\xD1\xB1\xDB \x80\xFF";
    std::wstring viaZero;
    std::wstring viaNumber;
    ASSERT_TRUE(MultiByteToWide(VEK_CP_ACP, bytes, sizeof(bytes) - 1, viaZero));
    ASSERT_TRUE(MultiByteToWide(ansi, bytes, sizeof(bytes) - 1, viaNumber));
    EXPECT_EQ(viaZero, viaNumber);
    std::string bytesViaZero;
    std::string bytesViaNumber;
    ASSERT_TRUE(WideToMultiByte(VEK_CP_ACP, L"\xD55C\xE9", 2, bytesViaZero));
    ASSERT_TRUE(WideToMultiByte(ansi, L"\xD55C\xE9", 2, bytesViaNumber));
    EXPECT_EQ(bytesViaZero, bytesViaNumber);
}

TEST(DecodeMacUtf8, RefusesWhatIsNotUtf8) {
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"stray continuation byte", "a\x80"},
        {"invalid byte", "\xFF"},
        {"missing continuation", "\xC3("},
        {"cut off at the end", "\xE1\x84"},
        {"overlong", "\xC0\xAF"},
        {"encoded surrogate", "\xED\xA0\x80"},
        {"past U+10FFFF", "\xF4\x90\x80\x80"},
        // Windows' composition refuses noncharacters.
        {"noncharacter U+FFFE", "\xEF\xBF\xBE"},
        {"noncharacter U+FDD0", "\xEF\xB7\x90"},
        {"noncharacter U+1FFFF", "\xF0\x9F\xBF\xBF"},
        {"NUL then a bad byte", std::string("a\0\xFF", 3)},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.what);
        std::wstring wide = L"stale";
        EXPECT_FALSE(DecodeMacUtf8(test.bytes.data(), test.bytes.size(), wide));
    }
}

TEST(DecodeMacUtf8, EmptyAndSupplementaryInput) {
    std::wstring wide = L"stale";
    ASSERT_TRUE(DecodeMacUtf8("", 0, wide));
    EXPECT_TRUE(wide.empty());
    // An emoji outside the kept blocks, next to a kept compatibility ideograph: the run split
    // must step over surrogate pairs on Windows.
    const std::string bytes = "\xF0\x9F\x98\x80\xF0\xAF\xA0\x80o\xCC\x88";
    ASSERT_TRUE(DecodeMacUtf8(bytes.data(), bytes.size(), wide));
    EXPECT_EQ(ToCodePoints(wide), (std::vector<char32_t>{0x1F600, 0x2F800, 0xF6}));
}

}  // namespace
