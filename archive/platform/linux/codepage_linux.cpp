// Code pages on Linux: ICU's conversion tables, driven the way Windows drives its own tables so
// that a name gives the same characters on both systems, damaged names included.
#include <langinfo.h>
#include <locale.h>
#include <strings.h>
#include <unicode/ucnv.h>
#include <unicode/unorm2.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>

#include "archive/platform/codepage.h"

namespace vek::platform {
namespace {

constexpr char16_t kReplacementCharacter = 0xFFFD;

struct SConverterClose {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using ConverterPtr = std::unique_ptr<UConverter, SConverterClose>;

// ICU's tables for the code pages below decode every byte sequence as Windows does and encode
// nearly every character as Windows does. Where they part ways, Windows' answer is written out
// here: a few single bytes of the Japanese code page, where ICU follows IBM PC habits (controls
// 1A, 1C and 7F swapped; nothing for the bytes Windows sends to U+0080 and the private-use area),
// and the best-fit characters Windows picks for characters a code page lacks.

// A single byte as Windows decodes it.
struct SByteOverride {
    unsigned char byte;
    char16_t unit;
};

constexpr SByteOverride k932ByteOverrides[] = {
    {0x1A, 0x001A}, {0x1C, 0x001C}, {0x7F, 0x007F}, {0x80, 0x0080},
    {0xA0, 0xF8F0}, {0xFD, 0xF8F1}, {0xFE, 0xF8F2}, {0xFF, 0xF8F3},
};

// A UTF-16 unit as Windows encodes it: one byte, or a lead byte << 8 | trail byte. A '?' is a
// character Windows does not convert though ICU would. Sorted by unit.
struct SUnitOverride {
    char16_t unit;
    uint16_t bytes;
};

// Japanese: the controls and private-use bytes above, Latin letters without their accents, and
// no conversion for the variant ideographs and dashes ICU maps by fallback.
constexpr SUnitOverride k932UnitOverrides[] = {
    {0x001A, 0x1A},   {0x001C, 0x1C},   {0x007F, 0x7F},   {0x0080, 0x80},   {0x00A1, 0x21},
    {0x00A2, 0x8191}, {0x00A3, 0x8192}, {0x00A6, 0x7C},   {0x00A9, 0x63},   {0x00AA, 0x61},
    {0x00AB, 0x81E1}, {0x00AC, 0x81CA}, {0x00AD, 0x2D},   {0x00AE, 0x52},   {0x00AF, 0x8150},
    {0x00B2, 0x32},   {0x00B3, 0x33},   {0x00B5, 0x83CA}, {0x00B7, 0x8145}, {0x00B8, 0x8143},
    {0x00B9, 0x31},   {0x00BA, 0x6F},   {0x00BB, 0x81E2}, {0x00C0, 0x41},   {0x00C1, 0x41},
    {0x00C2, 0x41},   {0x00C3, 0x41},   {0x00C4, 0x41},   {0x00C5, 0x41},   {0x00C6, 0x41},
    {0x00C7, 0x43},   {0x00C8, 0x45},   {0x00C9, 0x45},   {0x00CA, 0x45},   {0x00CB, 0x45},
    {0x00CC, 0x49},   {0x00CD, 0x49},   {0x00CE, 0x49},   {0x00CF, 0x49},   {0x00D0, 0x44},
    {0x00D1, 0x4E},   {0x00D2, 0x4F},   {0x00D3, 0x4F},   {0x00D4, 0x4F},   {0x00D5, 0x4F},
    {0x00D6, 0x4F},   {0x00D8, 0x4F},   {0x00D9, 0x55},   {0x00DA, 0x55},   {0x00DB, 0x55},
    {0x00DC, 0x55},   {0x00DD, 0x59},   {0x00DE, 0x54},   {0x00DF, 0x73},   {0x00E0, 0x61},
    {0x00E1, 0x61},   {0x00E2, 0x61},   {0x00E3, 0x61},   {0x00E4, 0x61},   {0x00E5, 0x61},
    {0x00E6, 0x61},   {0x00E7, 0x63},   {0x00E8, 0x65},   {0x00E9, 0x65},   {0x00EA, 0x65},
    {0x00EB, 0x65},   {0x00EC, 0x69},   {0x00ED, 0x69},   {0x00EE, 0x69},   {0x00EF, 0x69},
    {0x00F0, 0x64},   {0x00F1, 0x6E},   {0x00F2, 0x6F},   {0x00F3, 0x6F},   {0x00F4, 0x6F},
    {0x00F5, 0x6F},   {0x00F6, 0x6F},   {0x00F8, 0x6F},   {0x00F9, 0x75},   {0x00FA, 0x75},
    {0x00FB, 0x75},   {0x00FC, 0x75},   {0x00FD, 0x79},   {0x00FE, 0x74},   {0x00FF, 0x79},
    {0x2014, 0x3F},   {0x2016, 0x3F},   {0x203E, 0x3F},   {0x2212, 0x3F},   {0x301C, 0x3F},
    {0x3094, 0x8394}, {0x4FE0, 0x3F},   {0x525D, 0x3F},   {0x555E, 0x3F},   {0x5699, 0x3F},
    {0x56CA, 0x3F},   {0x5861, 0x3F},   {0x5C5B, 0x3F},   {0x5C62, 0x3F},   {0x6414, 0x3F},
    {0x6451, 0x3F},   {0x6522, 0x3F},   {0x6805, 0x3F},   {0x688E, 0x3F},   {0x6F51, 0x3F},
    {0x7006, 0x3F},   {0x7130, 0x3F},   {0x7626, 0x3F},   {0x79B1, 0x3F},   {0x7C1E, 0x3F},
    {0x7E48, 0x3F},   {0x7E61, 0x3F},   {0x7E6B, 0x3F},   {0x8141, 0x3F},   {0x8346, 0x3F},
    {0x840A, 0x3F},   {0x8523, 0x3F},   {0x87EC, 0x3F},   {0x881F, 0x3F},   {0x8EC0, 0x3F},
    {0x91AC, 0x3F},   {0x91B1, 0x3F},   {0x9830, 0x3F},   {0x9839, 0x3F},   {0x985A, 0x3F},
    {0x9A52, 0x3F},   {0x9DD7, 0x3F},   {0x9E7C, 0x3F},   {0x9EB4, 0x3F},   {0x9EB5, 0x3F},
    {0xF86F, 0x3F},   {0xF8F0, 0xA0},   {0xF8F1, 0xFD},   {0xF8F2, 0xFE},   {0xF8F3, 0xFF}};

// Simplified Chinese: ICU sends halfwidth arrows and a circle to control codes; Windows does not.
constexpr SUnitOverride k936UnitOverrides[] = {
    {0xFFE9, 0x3F}, {0xFFEA, 0x3F}, {0xFFEB, 0x3F}, {0xFFEC, 0x3F}, {0xFFEE, 0x3F}};

// Western: letters without their accents, look-alike punctuation, box drawing made of plus,
// minus and broken-bar signs.
constexpr SUnitOverride k1252UnitOverrides[] = {
    {0x0100, 0x41}, {0x0101, 0x61}, {0x0102, 0x41}, {0x0103, 0x61}, {0x0104, 0x41}, {0x0105, 0x61},
    {0x0106, 0x43}, {0x0107, 0x63}, {0x0108, 0x43}, {0x0109, 0x63}, {0x010A, 0x43}, {0x010B, 0x63},
    {0x010C, 0x43}, {0x010D, 0x63}, {0x010E, 0x44}, {0x010F, 0x64}, {0x0110, 0xD0}, {0x0111, 0x64},
    {0x0112, 0x45}, {0x0113, 0x65}, {0x0114, 0x45}, {0x0115, 0x65}, {0x0116, 0x45}, {0x0117, 0x65},
    {0x0118, 0x45}, {0x0119, 0x65}, {0x011A, 0x45}, {0x011B, 0x65}, {0x011C, 0x47}, {0x011D, 0x67},
    {0x011E, 0x47}, {0x011F, 0x67}, {0x0120, 0x47}, {0x0121, 0x67}, {0x0122, 0x47}, {0x0123, 0x67},
    {0x0124, 0x48}, {0x0125, 0x68}, {0x0126, 0x48}, {0x0127, 0x68}, {0x0128, 0x49}, {0x0129, 0x69},
    {0x012A, 0x49}, {0x012B, 0x69}, {0x012C, 0x49}, {0x012D, 0x69}, {0x012E, 0x49}, {0x012F, 0x69},
    {0x0130, 0x49}, {0x0131, 0x69}, {0x0134, 0x4A}, {0x0135, 0x6A}, {0x0136, 0x4B}, {0x0137, 0x6B},
    {0x0139, 0x4C}, {0x013A, 0x6C}, {0x013B, 0x4C}, {0x013C, 0x6C}, {0x013D, 0x4C}, {0x013E, 0x6C},
    {0x0141, 0x4C}, {0x0142, 0x6C}, {0x0143, 0x4E}, {0x0144, 0x6E}, {0x0145, 0x4E}, {0x0146, 0x6E},
    {0x0147, 0x4E}, {0x0148, 0x6E}, {0x014C, 0x4F}, {0x014D, 0x6F}, {0x014E, 0x4F}, {0x014F, 0x6F},
    {0x0150, 0x4F}, {0x0151, 0x6F}, {0x0154, 0x52}, {0x0155, 0x72}, {0x0156, 0x52}, {0x0157, 0x72},
    {0x0158, 0x52}, {0x0159, 0x72}, {0x015A, 0x53}, {0x015B, 0x73}, {0x015C, 0x53}, {0x015D, 0x73},
    {0x015E, 0x53}, {0x015F, 0x73}, {0x0162, 0x54}, {0x0163, 0x74}, {0x0164, 0x54}, {0x0165, 0x74},
    {0x0166, 0x54}, {0x0167, 0x74}, {0x0168, 0x55}, {0x0169, 0x75}, {0x016A, 0x55}, {0x016B, 0x75},
    {0x016C, 0x55}, {0x016D, 0x75}, {0x016E, 0x55}, {0x016F, 0x75}, {0x0170, 0x55}, {0x0171, 0x75},
    {0x0172, 0x55}, {0x0173, 0x75}, {0x0174, 0x57}, {0x0175, 0x77}, {0x0176, 0x59}, {0x0177, 0x79},
    {0x0179, 0x5A}, {0x017A, 0x7A}, {0x017B, 0x5A}, {0x017C, 0x7A}, {0x0180, 0x62}, {0x0189, 0xD0},
    {0x0191, 0x83}, {0x0197, 0x49}, {0x019A, 0x6C}, {0x019F, 0x4F}, {0x01A0, 0x4F}, {0x01A1, 0x6F},
    {0x01AB, 0x74}, {0x01AE, 0x54}, {0x01AF, 0x55}, {0x01B0, 0x75}, {0x01B6, 0x7A}, {0x01C0, 0x7C},
    {0x01C3, 0x21}, {0x01CD, 0x41}, {0x01CE, 0x61}, {0x01CF, 0x49}, {0x01D0, 0x69}, {0x01D1, 0x4F},
    {0x01D2, 0x6F}, {0x01D3, 0x55}, {0x01D4, 0x75}, {0x01D5, 0x55}, {0x01D6, 0x75}, {0x01D7, 0x55},
    {0x01D8, 0x75}, {0x01D9, 0x55}, {0x01DA, 0x75}, {0x01DB, 0x55}, {0x01DC, 0x75}, {0x01DE, 0x41},
    {0x01DF, 0x61}, {0x01E4, 0x47}, {0x01E5, 0x67}, {0x01E6, 0x47}, {0x01E7, 0x67}, {0x01E8, 0x4B},
    {0x01E9, 0x6B}, {0x01EA, 0x4F}, {0x01EB, 0x6F}, {0x01EC, 0x4F}, {0x01ED, 0x6F}, {0x01F0, 0x6A},
    {0x0261, 0x67}, {0x02B9, 0x27}, {0x02BA, 0x22}, {0x02BC, 0x27}, {0x02C4, 0x5E}, {0x02C8, 0x27},
    {0x02C9, 0xAF}, {0x02CA, 0xB4}, {0x02CB, 0x60}, {0x02CD, 0x5F}, {0x02DA, 0xB0}, {0x0300, 0x60},
    {0x0301, 0xB4}, {0x0302, 0x5E}, {0x0303, 0x7E}, {0x0304, 0xAF}, {0x0305, 0xAF}, {0x0308, 0xA8},
    {0x030A, 0xB0}, {0x030E, 0x22}, {0x0327, 0xB8}, {0x0331, 0x5F}, {0x0332, 0x5F}, {0x037E, 0x3B},
    {0x0393, 0x47}, {0x0398, 0x54}, {0x03A3, 0x53}, {0x03A6, 0x46}, {0x03A9, 0x4F}, {0x03B1, 0x61},
    {0x03B2, 0xDF}, {0x03B4, 0x64}, {0x03B5, 0x65}, {0x03BC, 0xB5}, {0x03C0, 0x70}, {0x03C3, 0x73},
    {0x03C4, 0x74}, {0x03C6, 0x66}, {0x04BB, 0x68}, {0x0589, 0x3A}, {0x066A, 0x25}, {0x2000, 0x20},
    {0x2001, 0x20}, {0x2002, 0x20}, {0x2003, 0x20}, {0x2004, 0x20}, {0x2005, 0x20}, {0x2006, 0x20},
    {0x2010, 0x2D}, {0x2011, 0x2D}, {0x2017, 0x3D}, {0x2024, 0xB7}, {0x2032, 0x27}, {0x2035, 0x60},
    {0x2044, 0x2F}, {0x2070, 0xB0}, {0x2074, 0x34}, {0x2075, 0x35}, {0x2076, 0x36}, {0x2077, 0x37},
    {0x2078, 0x38}, {0x207F, 0x6E}, {0x2080, 0x30}, {0x2081, 0x31}, {0x2082, 0x32}, {0x2083, 0x33},
    {0x2084, 0x34}, {0x2085, 0x35}, {0x2086, 0x36}, {0x2087, 0x37}, {0x2088, 0x38}, {0x2089, 0x39},
    {0x20A1, 0xA2}, {0x20A4, 0xA3}, {0x20A7, 0x50}, {0x2102, 0x43}, {0x2107, 0x45}, {0x210A, 0x67},
    {0x210B, 0x48}, {0x210C, 0x48}, {0x210D, 0x48}, {0x210E, 0x68}, {0x2110, 0x49}, {0x2111, 0x49},
    {0x2112, 0x4C}, {0x2113, 0x6C}, {0x2115, 0x4E}, {0x2118, 0x50}, {0x2119, 0x50}, {0x211A, 0x51},
    {0x211B, 0x52}, {0x211C, 0x52}, {0x211D, 0x52}, {0x2124, 0x5A}, {0x2128, 0x5A}, {0x212A, 0x4B},
    {0x212B, 0xC5}, {0x212C, 0x42}, {0x212D, 0x43}, {0x212E, 0x65}, {0x212F, 0x65}, {0x2130, 0x45},
    {0x2131, 0x46}, {0x2133, 0x4D}, {0x2134, 0x6F}, {0x2205, 0xD8}, {0x2212, 0x2D}, {0x2213, 0xB1},
    {0x2215, 0x2F}, {0x2216, 0x5C}, {0x2217, 0x2A}, {0x2218, 0xB0}, {0x2219, 0xB7}, {0x221A, 0x76},
    {0x221E, 0x38}, {0x2223, 0x7C}, {0x2229, 0x6E}, {0x2236, 0x3A}, {0x223C, 0x7E}, {0x2248, 0x98},
    {0x2261, 0x3D}, {0x2264, 0x3D}, {0x2265, 0x3D}, {0x226A, 0xAB}, {0x226B, 0xBB}, {0x22C5, 0xB7},
    {0x2302, 0xA6}, {0x2303, 0x5E}, {0x2310, 0xAC}, {0x2320, 0x28}, {0x2321, 0x29}, {0x2329, 0x3C},
    {0x232A, 0x3E}, {0x2500, 0x2D}, {0x2502, 0xA6}, {0x250C, 0x2B}, {0x2510, 0x2B}, {0x2514, 0x2B},
    {0x2518, 0x2B}, {0x251C, 0x2B}, {0x2524, 0xA6}, {0x252C, 0x2D}, {0x2534, 0x2D}, {0x253C, 0x2B},
    {0x2550, 0x2D}, {0x2551, 0xA6}, {0x2552, 0x2B}, {0x2553, 0x2B}, {0x2554, 0x2B}, {0x2555, 0x2B},
    {0x2556, 0x2B}, {0x2557, 0x2B}, {0x2558, 0x2B}, {0x2559, 0x2B}, {0x255A, 0x2B}, {0x255B, 0x2B},
    {0x255C, 0x2B}, {0x255D, 0x2B}, {0x255E, 0xA6}, {0x255F, 0xA6}, {0x2560, 0xA6}, {0x2561, 0xA6},
    {0x2562, 0xA6}, {0x2563, 0xA6}, {0x2564, 0x2D}, {0x2565, 0x2D}, {0x2566, 0x2D}, {0x2567, 0x2D},
    {0x2568, 0x2D}, {0x2569, 0x2D}, {0x256A, 0x2B}, {0x256B, 0x2B}, {0x256C, 0x2B}, {0x2580, 0xAF},
    {0x2584, 0x5F}, {0x2588, 0xA6}, {0x258C, 0xA6}, {0x2590, 0xA6}, {0x2591, 0xA6}, {0x2592, 0xA6},
    {0x2593, 0xA6}, {0x25A0, 0xA6}, {0x263C, 0xA4}, {0x2758, 0x7C}, {0x3000, 0x20}, {0x3008, 0x3C},
    {0x3009, 0x3E}, {0x300A, 0xAB}, {0x300B, 0xBB}, {0x301A, 0x5B}, {0x301B, 0x5D}, {0x30FB, 0xB7}};

// The code pages whose ICU tables, with the overrides above, were checked byte for byte and
// character for character against Windows.
struct SKnownTable {
    int codePage;
    const char* converter;
    char16_t defaultUnit;  // what Windows gives for bytes its table lacks
    const SByteOverride* byteOverrides;
    size_t byteOverrideCount;
    const SUnitOverride* unitOverrides;
    size_t unitOverrideCount;
};

constexpr SKnownTable kKnownTables[] = {
    {932, "ibm-943_P15A-2003", 0x30FB, k932ByteOverrides, std::size(k932ByteOverrides),
     k932UnitOverrides, std::size(k932UnitOverrides)},
    {936, "windows-936-2000", u'?', nullptr, 0, k936UnitOverrides, std::size(k936UnitOverrides)},
    {949, "windows-949-2000", u'?', nullptr, 0, nullptr, 0},
    {950, "windows-950-2000", u'?', nullptr, 0, nullptr, 0},
    {1252, "ibm-5348_P100-1997", u'?', nullptr, 0, k1252UnitOverrides,
     std::size(k1252UnitOverrides)},
};

// How one code page is converted: by our UTF-8 code, or by an ICU converter.
struct SEncoding {
    bool utf8 = false;
    ConverterPtr converter;
    const SKnownTable* known = nullptr;
};

ConverterPtr OpenConverter(const char* name) {
    UErrorCode status = U_ZERO_ERROR;
    ConverterPtr converter(ucnv_open(name, &status));
    if (U_FAILURE(status)) {
        return nullptr;
    }
    return converter;
}

// The locale's character set and its Windows code page number (0 when it has none), looked up
// once: the locale comes from the environment the process started with.
struct SLocaleCharset {
    std::string name;
    int codePage = 0;
};

int WindowsNumberOfCharset(const char* charset) {
    if (ucnv_compareNames(charset, "UTF-8") == 0) {
        return VEK_CP_UTF8;
    }
    // ICU lists the Windows number among a charset's aliases, as "windows-NNN".
    UErrorCode status = U_ZERO_ERROR;
    uint16_t count = ucnv_countAliases(charset, &status);
    for (uint16_t i = 0; U_SUCCESS(status) && i < count; ++i) {
        const char* alias = ucnv_getAlias(charset, i, &status);
        if (U_FAILURE(status) || alias == nullptr || strncasecmp(alias, "windows-", 8) != 0) {
            continue;
        }
        const char* digits = alias + 8;
        if (*digits == '\0' || strspn(digits, "0123456789") != strlen(digits)) {
            continue;
        }
        return atoi(digits);
    }
    return 0;
}

const SLocaleCharset& LocaleCharset() {
    static const SLocaleCharset charset = [] {
        // A locale object of our own reads LC_ALL, LC_CTYPE and LANG without touching the
        // process's current locale.
        SLocaleCharset result;
        locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0));
        if (locale != static_cast<locale_t>(0)) {
            result.name = nl_langinfo_l(CODESET, locale);
            freelocale(locale);
        } else {
            result.name = "ANSI_X3.4-1968";
        }
        result.codePage = WindowsNumberOfCharset(result.name.c_str());
        return result;
    }();
    return charset;
}

// Windows' other names for the system's code pages; Linux has only the locale's charset.
constexpr int kOemCodePage = 1;
constexpr int kThreadAnsiCodePage = 3;

bool OpenEncoding(int codePage, SEncoding& encoding) {
    if (codePage == VEK_CP_ACP || codePage == kOemCodePage || codePage == kThreadAnsiCodePage) {
        const SLocaleCharset& charset = LocaleCharset();
        if (charset.codePage != 0) {
            return OpenEncoding(charset.codePage, encoding);
        }
        encoding.converter = OpenConverter(charset.name.c_str());
    } else if (codePage == VEK_CP_UTF8) {
        encoding.utf8 = true;
        return true;
    } else if (codePage < 0 || codePage == VEK_CP_UTF8_MAC) {
        return false;
    } else {
        for (const SKnownTable& table : kKnownTables) {
            if (table.codePage == codePage) {
                encoding.known = &table;
                encoding.converter = OpenConverter(table.converter);
                break;
            }
        }
        if (encoding.known == nullptr) {
            std::string number = std::to_string(codePage);
            encoding.converter = OpenConverter(("windows-" + number).c_str());
            if (encoding.converter == nullptr) {
                encoding.converter = OpenConverter(("cp" + number).c_str());
            }
        }
    }
    if (encoding.converter == nullptr) {
        return false;
    }
    // Windows refuses its UTF-16 and UTF-32 numbers for byte conversion.
    if (ucnv_getMinCharSize(encoding.converter.get()) > 1) {
        return false;
    }
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setToUCallBack(encoding.converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr,
                        nullptr, &status);
    ucnv_setFromUCallBack(encoding.converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr,
                          nullptr, &status);
    // Windows' tables include the many-to-one mappings (duplicate characters, best fits).
    ucnv_setFallback(encoding.converter.get(), true);
    return U_SUCCESS(status);
}

// Windows walks single- and double-byte code pages one character at a time through a flat table;
// ICU's own error handling splits damaged input differently, so only table-driven code pages are
// walked here, and the rest go through ICU whole.
bool IsTableDriven(UConverter* converter) {
    UConverterType type = ucnv_getType(converter);
    return (type == UCNV_SBCS || type == UCNV_DBCS || type == UCNV_MBCS) &&
           ucnv_getMaxCharSize(converter) <= 2;
}

char16_t DefaultUnit(const SEncoding& encoding) {
    return encoding.known != nullptr ? encoding.known->defaultUnit : u'?';
}

const SByteOverride* FindByteOverride(const SEncoding& encoding, unsigned char byte) {
    if (encoding.known == nullptr) {
        return nullptr;
    }
    for (size_t i = 0; i < encoding.known->byteOverrideCount; ++i) {
        if (encoding.known->byteOverrides[i].byte == byte) {
            return &encoding.known->byteOverrides[i];
        }
    }
    return nullptr;
}

const SUnitOverride* FindUnitOverride(const SEncoding& encoding, char16_t unit) {
    if (encoding.known == nullptr) {
        return nullptr;
    }
    const SUnitOverride* begin = encoding.known->unitOverrides;
    const SUnitOverride* end = begin + encoding.known->unitOverrideCount;
    const SUnitOverride* found =
        std::lower_bound(begin, end, unit,
                         [](const SUnitOverride& entry, char16_t key) { return entry.unit < key; });
    return found != end && found->unit == unit ? found : nullptr;
}

// The single UTF-16 unit the table gives for one character's bytes, if it gives exactly one.
bool LookUpBytes(UConverter* converter, const char* bytes, size_t count, char16_t& unit) {
    ucnv_resetToUnicode(converter);
    UChar buffer[4];
    UChar* target = buffer;
    const char* source = bytes;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_toUnicode(converter, &target, buffer + std::size(buffer), &source, bytes + count, nullptr,
                   true, &status);
    if (U_FAILURE(status) || target != buffer + 1) {
        return false;
    }
    unit = buffer[0];
    return true;
}

// The bytes the table gives for one UTF-16 unit; a surrogate alone never has any.
bool LookUpUnit(UConverter* converter, char16_t unit, std::string& out) {
    ucnv_resetFromUnicode(converter);
    char buffer[8];
    char* target = buffer;
    const UChar* source = reinterpret_cast<const UChar*>(&unit);
    UErrorCode status = U_ZERO_ERROR;
    ucnv_fromUnicode(converter, &target, buffer + sizeof(buffer), &source, source + 1, nullptr,
                     true, &status);
    if (U_FAILURE(status) || target == buffer) {
        return false;
    }
    out.append(buffer, target);
    return true;
}

void AppendCodePoint(std::wstring& out, char32_t codePoint) {
    out.push_back(static_cast<wchar_t>(codePoint));
}

void AppendUtf16(std::wstring& out, const char16_t* units, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        char32_t unit = units[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            AppendCodePoint(out, 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else {
            AppendCodePoint(out, unit);
        }
    }
}

// Linux wide text is UTF-32; ICU works on UTF-16. Surrogate values stay lone units, as they
// would be in a Windows string, and values past U+10FFFF cannot be written at all.
std::u16string ToUtf16(const wchar_t* text, size_t length) {
    std::u16string units;
    units.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        char32_t codePoint = static_cast<char32_t>(text[i]);
        if (codePoint > 0x10FFFF) {
            units.push_back(kReplacementCharacter);
        } else if (codePoint >= 0x10000) {
            units.push_back(static_cast<char16_t>(0xD800 + ((codePoint - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(codePoint));
        }
    }
    return units;
}

// Decodes one UTF-8 character whose first byte was just read, splitting malformed input the way
// Windows does: each continuation byte is checked as it arrives and the character is abandoned at
// the first one that shows an overlong form, a surrogate or a value past U+10FFFF, the bytes read
// so far making one bad character. A character cut off by the end of the input takes the rest
// of the input with it.
bool DecodeUtf8Character(const unsigned char*& next, const unsigned char* end, char32_t& result) {
    unsigned char first = next[-1];
    size_t following = 0;
    if (first >= 0xC2 && first <= 0xDF) {
        following = 1;
    } else if (first >= 0xE0 && first <= 0xEF) {
        following = 2;
    } else if (first >= 0xF0 && first <= 0xF4) {
        following = 3;
    } else {
        return false;
    }
    if (static_cast<size_t>(end - next) < following) {
        next = end;
        return false;
    }
    char32_t value = first & (0x3F >> following);
    for (size_t left = following; left-- > 0;) {
        unsigned char bits = *next ^ 0x80;
        if (bits >= 0x40) {
            return false;  // not a continuation byte: it starts the next character
        }
        value = (value << 6) | bits;
        if (left == 1 && value >= (0x110000 >> 6)) {
            return false;  // past U+10FFFF: this byte too starts the next character
        }
        ++next;
        if (left == 2 && value < 0x10) {
            return false;  // overlong four-byte form
        }
        if (left == 1 && (value < 0x20 || (value >= (0xD800 >> 6) && value <= (0xDFFF >> 6)))) {
            return false;  // overlong three-byte form, or a surrogate
        }
    }
    result = value;
    return true;
}

// Decodes UTF-8 into code points; returns false on the first malformed sequence when strict,
// and otherwise puts U+FFFD in its place.
bool DecodeUtf8(const char* bytes, size_t length, bool strict, std::wstring& out) {
    const unsigned char* next = reinterpret_cast<const unsigned char*>(bytes);
    const unsigned char* end = next + length;
    while (next < end) {
        unsigned char first = *next++;
        char32_t codePoint = first;
        if (first >= 0x80 && !DecodeUtf8Character(next, end, codePoint)) {
            if (strict) {
                return false;
            }
            codePoint = kReplacementCharacter;
        }
        AppendCodePoint(out, codePoint);
    }
    return true;
}

void DecodeWithTable(const SEncoding& encoding, const char* bytes, size_t length,
                     std::wstring& out) {
    UConverter* converter = encoding.converter.get();
    UBool leadBytes[256] = {};
    UErrorCode status = U_ZERO_ERROR;
    if (ucnv_getType(converter) != UCNV_SBCS) {
        ucnv_getStarters(converter, leadBytes, &status);
    }
    for (size_t i = 0; i < length; ++i) {
        unsigned char byte = static_cast<unsigned char>(bytes[i]);
        char16_t unit = DefaultUnit(encoding);
        if (leadBytes[byte]) {
            // A lead byte takes whatever byte follows it, unless the input ends or a NUL comes.
            if (i + 1 < length && bytes[i + 1] != '\0') {
                LookUpBytes(converter, bytes + i, 2, unit);
                ++i;
            }
        } else if (const SByteOverride* override = FindByteOverride(encoding, byte)) {
            unit = override->unit;
        } else {
            LookUpBytes(converter, bytes + i, 1, unit);
        }
        AppendCodePoint(out, unit);
    }
}

void EncodeWithTable(const SEncoding& encoding, const std::u16string& units, std::string& out) {
    UConverter* converter = encoding.converter.get();
    std::string defaultBytes;
    if (!LookUpUnit(converter, u'?', defaultBytes)) {
        defaultBytes = "?";
    }
    // One unit at a time, as Windows does: each half of a surrogate pair becomes a default
    // character of its own.
    for (char16_t unit : units) {
        if (const SUnitOverride* override = FindUnitOverride(encoding, unit)) {
            if (override->bytes > 0xFF) {
                out.push_back(static_cast<char>(override->bytes >> 8));
            }
            out.push_back(static_cast<char>(override->bytes & 0xFF));
        } else if (!LookUpUnit(converter, unit, out)) {
            out += defaultBytes;
        }
    }
}

bool ConvertWholeToWide(UConverter* converter, const char* bytes, size_t length,
                        std::wstring& out) {
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setToUCallBack(converter, UCNV_TO_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr,
                        &status);
    int32_t needed =
        ucnv_toUChars(converter, nullptr, 0, bytes, static_cast<int32_t>(length), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) {
        return false;
    }
    std::u16string units(static_cast<size_t>(needed), u'\0');
    status = U_ZERO_ERROR;
    ucnv_toUChars(converter, reinterpret_cast<UChar*>(units.data()), needed + 1, bytes,
                  static_cast<int32_t>(length), &status);
    if (U_FAILURE(status)) {
        return false;
    }
    AppendUtf16(out, units.data(), units.size());
    return true;
}

bool ConvertWholeToBytes(UConverter* converter, const std::u16string& units, std::string& out) {
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr,
                          &status);
    const UChar* source = reinterpret_cast<const UChar*>(units.data());
    int32_t needed =
        ucnv_fromUChars(converter, nullptr, 0, source, static_cast<int32_t>(units.size()), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) {
        return false;
    }
    std::string bytes(static_cast<size_t>(needed), '\0');
    status = U_ZERO_ERROR;
    ucnv_fromUChars(converter, bytes.data(), needed + 1, source, static_cast<int32_t>(units.size()),
                    &status);
    if (U_FAILURE(status)) {
        return false;
    }
    out += bytes;
    return true;
}

// Mac systems leave these blocks alone when they decompose a name, so they must not be
// composed either: full composition would turn a compatibility ideograph into its unified one.
bool IsLeftAsWritten(char32_t codePoint) {
    return (codePoint >= 0x2000 && codePoint <= 0x2FFF) ||
           (codePoint >= 0xF900 && codePoint <= 0xFAFF) ||
           (codePoint >= 0x2F800 && codePoint <= 0x2FAFF);
}

bool IsNoncharacter(char32_t codePoint) {
    return (codePoint >= 0xFDD0 && codePoint <= 0xFDEF) || (codePoint & 0xFFFE) == 0xFFFE;
}

bool ComposeRun(const UNormalizer2* nfc, const wchar_t* run, size_t length, std::wstring& out) {
    std::u16string units = ToUtf16(run, length);
    UErrorCode status = U_ZERO_ERROR;
    const UChar* source = reinterpret_cast<const UChar*>(units.data());
    int32_t needed =
        unorm2_normalize(nfc, source, static_cast<int32_t>(units.size()), nullptr, 0, &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) {
        return false;
    }
    std::u16string composed(static_cast<size_t>(needed), u'\0');
    status = U_ZERO_ERROR;
    unorm2_normalize(nfc, source, static_cast<int32_t>(units.size()),
                     reinterpret_cast<UChar*>(composed.data()), needed + 1, &status);
    if (U_FAILURE(status)) {
        return false;
    }
    AppendUtf16(out, composed.data(), composed.size());
    return true;
}

}  // namespace

bool MultiByteToWide(int codePage, const char* bytes, size_t length, std::wstring& out) {
    out.clear();
    if (length > INT32_MAX) {
        return false;
    }
    SEncoding encoding;
    if (!OpenEncoding(codePage, encoding)) {
        return false;
    }
    if (encoding.utf8) {
        return DecodeUtf8(bytes, length, false, out);
    }
    if (IsTableDriven(encoding.converter.get())) {
        DecodeWithTable(encoding, bytes, length, out);
        return true;
    }
    return ConvertWholeToWide(encoding.converter.get(), bytes, length, out);
}

bool WideToMultiByte(int codePage, const wchar_t* text, size_t length, std::string& out) {
    out.clear();
    if (length > INT32_MAX / 2) {
        return false;
    }
    SEncoding encoding;
    if (!OpenEncoding(codePage, encoding)) {
        return false;
    }
    std::u16string units = ToUtf16(text, length);
    if (encoding.utf8) {
        // ICU writes lone surrogates as U+FFFD, just as Windows does.
        ConverterPtr utf8 = OpenConverter("UTF-8");
        return utf8 != nullptr && ConvertWholeToBytes(utf8.get(), units, out);
    }
    if (IsTableDriven(encoding.converter.get())) {
        EncodeWithTable(encoding, units, out);
        return true;
    }
    return ConvertWholeToBytes(encoding.converter.get(), units, out);
}

int AnsiCodePage() {
    return LocaleCharset().codePage;
}

bool DecodeMacUtf8(const char* bytes, size_t length, std::wstring& out) {
    out.clear();
    if (length > INT32_MAX) {
        return false;
    }
    std::wstring decoded;
    if (!DecodeUtf8(bytes, length, true, decoded)) {
        return false;
    }
    // Windows' composition refuses noncharacters; refusing them here too keeps both systems
    // agreeing on which names decode.
    for (wchar_t character : decoded) {
        if (IsNoncharacter(static_cast<char32_t>(character))) {
            return false;
        }
    }
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
    if (U_FAILURE(status)) {
        return false;
    }
    size_t runStart = 0;
    for (size_t i = 0; i <= decoded.size(); ++i) {
        bool atEnd = i == decoded.size();
        if (!atEnd && !IsLeftAsWritten(static_cast<char32_t>(decoded[i]))) {
            continue;
        }
        if (!ComposeRun(nfc, decoded.data() + runStart, i - runStart, out)) {
            return false;
        }
        if (!atEnd) {
            out.push_back(decoded[i]);
        }
        runStart = i + 1;
    }
    return true;
}

}  // namespace vek::platform
