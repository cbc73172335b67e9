// The error list's texts and the list's counts and sizes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "app/error_texts.h"
#include "app/size_format.h"

namespace {

TEST(ErrorTexts, EveryRowAndTheHexadecimalFallback) {
    struct Case {
        unsigned code;
        const wchar_t* text;
    };
    const Case cases[] = {
        // The decimal code follows "0x": code 50 reads 0x50, not 0x32.
        {22, L"손상된 파일(Code:0x22)"},
        {50, L"손상된 파일(Code:0x50)"},
        {23, L"사용자 중지"},
        {24, L"CRC 에러"},
        {25, L"이 프로그램으로 압축해제가 불가능한 압축방식입니다."},
        {32, L"잘못된 암호"},
        {33, L"잘못된 암호"},
        {49, L"파일을 만들 수 없습니다."},
        {53, L"파일이 손상되었거나, 분할 압축파일이 없습니다."},
        {54, L"파일 열기 실패"},
        {66, L"(0x42)"},
        {52, L"(0x34)"},
        {769, L"(0x301)"},
        {0, L"(0x0)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetErrorText(c.code), c.text) << "code " << c.code;
    }
}

TEST(SizeFormat, CountsGroupDigitsInThrees) {
    EXPECT_EQ(FormatCount(0), L"0");
    EXPECT_EQ(FormatCount(999), L"999");
    EXPECT_EQ(FormatCount(1000), L"1,000");
    EXPECT_EQ(FormatCount(1234567), L"1,234,567");
    EXPECT_EQ(FormatCount(INT64_MAX), L"9,223,372,036,854,775,807");
    EXPECT_EQ(FormatCount(-5), L"");
}

TEST(SizeFormat, ShortSizesTruncateInUnitsOf1024) {
    const int64_t kGiB = 1073741824;
    const int64_t kTiB = kGiB * 1024;
    struct Case {
        int64_t n;
        const wchar_t* text;
    };
    const Case cases[] = {
        {0, L"0B"},
        {500, L"500B"},
        {1023, L"1,023B"},
        {1024, L"1.0KB"},
        {12345, L"12.0KB"},
        {1048575, L"1,023KB"},  // a grouped whole part drops the fraction
        {1500000, L"1.4MB"},
        {123456789, L"117.7MB"},
        {8074036, L"7.7MB"},  // 7.7000008 MiB
        {8074035, L"7.6MB"},  // 7.6999998 MiB: truncated, never rounded
        {kGiB, L"1,024MB"},   // exactly 1 GiB is not yet gigabytes
        {kGiB + 1, L"1.0GB"},
        {kTiB, L"1,024GB"},
        {kTiB + kTiB / 2, L"1.50TB"},
        {kTiB * 3 + kTiB / 16, L"3.06TB"},  // two digits, zero-padded
        {-1, L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatSize(c.n), c.text) << c.n;
    }
}

}  // namespace
