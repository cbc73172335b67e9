#include "cli/listing.h"

#include <algorithm>
#include <ctime>
#include <cwchar>

#include "app/size_format.h"
#include "archive/core/format_detection.h"
#include "archive/core/size_sum.h"
#include "archive/platform/localtime.h"

namespace cli {
namespace {

// Unix seconds to the 100-nanosecond units since 1601 that the platform's local time takes.
constexpr int64_t kUnixEpochAsFileTime = 116444736000000000LL;
constexpr int64_t kFileTimeUnitsPerSecond = 10000000LL;

std::wstring FormatTime(int64_t unixSeconds) {
    if (unixSeconds == 0) {
        return std::wstring();
    }
    std::tm local{};
    if (!vek::platform::FileTimeToLocalTime(
            unixSeconds * kFileTimeUnitsPerSecond + kUnixEpochAsFileTime, &local)) {
        return L"?";
    }
    // Written digit by digit: a listing of 100,000 entries formats as many times.
    wchar_t text[] = L"0000-00-00 00:00:00";
    auto put = [&text](int at, int value, int digits) {
        for (int i = digits - 1; i >= 0; --i, value /= 10) {
            text[at + i] = static_cast<wchar_t>(L'0' + value % 10);
        }
    };
    put(0, local.tm_year + 1900, 4);
    put(5, local.tm_mon + 1, 2);
    put(8, local.tm_mday, 2);
    put(11, local.tm_hour, 2);
    put(14, local.tm_min, 2);
    put(17, local.tm_sec, 2);
    return text;
}

std::wstring FormatMethod(int32_t method, int formatType) {
    if (method == 0 && formatType == VEK_FORMAT_GZIP) {
        return L"Deflate";
    }
    if (method == 0 && formatType == VEK_FORMAT_BZIP2) {
        return L"BZip2";
    }
    switch (method) {
        case 0:
            return L"Stored";
        case 8:
            return L"Deflate";
        case 9:
            return L"Deflate64";
        case 12:
            return L"BZip2";
        case 14:
            return L"LZMA";
        default:
            return std::to_wstring(method);
    }
}

std::wstring FormatEncryption(uint32_t encryption) {
    switch (encryption) {
        case 0:
            return L"-";
        case 1:
            return L"ZipCrypto";
        case 2:
            return L"AES-128";
        case 3:
            return L"AES-192";
        case 4:
            return L"AES-256";
        case 5:
            return L"ZipCrypto+EGG";
        case 6:
            return L"AES-128+EGG";
        case 7:
            return L"AES-256+EGG";
        default:
            return L"Encrypted";
    }
}

std::wstring FormatAttributes(uint32_t attributes) {
    std::wstring text;
    text += (attributes & VEK_ATTR_FOLDER) ? L'D' : L'-';
    text += (attributes & VEK_ATTR_READONLY) ? L'R' : L'-';
    text += (attributes & VEK_ATTR_HIDDEN) ? L'H' : L'-';
    text += (attributes & VEK_ATTR_ARCHIVE) ? L'A' : L'-';
    return text;
}

std::wstring FormatCrc(uint32_t crc) {
    // 0 means the entry carries no CRC to check.
    if (crc == 0) {
        return L"-";
    }
    wchar_t text[16];
    std::swprintf(text, sizeof(text) / sizeof(text[0]), L"%08X", crc);
    return text;
}

bool IsWide(wchar_t c) {
    uint32_t u = static_cast<uint32_t>(c);
    return (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) ||
           (u >= 0xAC00 && u <= 0xD7A3) || (u >= 0xF900 && u <= 0xFAFF) ||
           (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60) ||
           (u >= 0xFFE0 && u <= 0xFFE6) || (u >= 0x20000 && u <= 0x3FFFD);
}

}  // namespace

size_t DisplayWidth(const std::wstring& text) {
    size_t width = 0;
    for (wchar_t c : text) {
        width += IsWide(c) ? 2 : 1;
    }
    return width;
}

std::vector<std::wstring> DescribeEntry(const SVekEntry& entry, int formatType) {
    bool knownSize = !entry.IsFolder() && entry.size != VEK_UNKNOWN_SIZE;
    // The 7-Zip codec library is not asked for packed sizes and methods: unknown, not 0.
    bool codec = CodecLibraryFormat(formatType) != 0;
    return {
        entry.name != nullptr ? entry.name : L"",
        knownSize ? std::to_wstring(entry.size) : (entry.IsFolder() ? L"" : L"?"),
        entry.IsFolder() ? L"" : (codec ? L"-" : std::to_wstring(entry.packedSize)),
        FormatTime(entry.modifyTime),
        FormatCrc(entry.crc),
        entry.IsFolder() ? L"" : (codec ? L"-" : FormatMethod(entry.method, formatType)),
        FormatEncryption(entry.encryption),
        FormatAttributes(entry.attributes),
    };
}

std::wstring FormatListing(const SVekEntryList& entries, int formatType) {
    std::vector<std::vector<std::wstring>> rows;
    rows.reserve(static_cast<size_t>(entries.count) + 1);
    rows.push_back(
        {L"Name", L"Size", L"Packed", L"Modified", L"CRC", L"Method", L"Encryption", L"Attr"});
    for (int i = 0; i < entries.count; ++i) {
        if (const SVekEntry* entry = entries.At(i)) {
            rows.push_back(DescribeEntry(*entry, formatType));
        }
    }
    const size_t columns = rows[0].size();
    // Each cell's width is measured once; the text is then appended in place.
    std::vector<size_t> cellWidths(rows.size() * columns);
    std::vector<size_t> widths(columns, 0);
    size_t total = 0;
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t c = 0; c < columns; ++c) {
            size_t width = DisplayWidth(rows[r][c]);
            cellWidths[r * columns + c] = width;
            widths[c] = std::max(widths[c], width);
        }
    }
    for (size_t width : widths) {
        total += width + 2;
    }
    std::wstring text;
    text.reserve(total * rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        size_t lineStart = text.size();
        for (size_t c = 0; c < columns; ++c) {
            size_t padding = widths[c] - cellWidths[r * columns + c];
            // Sizes read best right-aligned; the rest left-aligned.
            bool right = c == 1 || c == 2;
            if (right) {
                text.append(padding, L' ');
            }
            text += rows[r][c];
            if (!right) {
                text.append(padding, L' ');
            }
            if (c + 1 < columns) {
                text += L"  ";
            }
        }
        while (text.size() > lineStart && text.back() == L' ') {
            text.pop_back();
        }
        text += L'\n';
    }
    return text;
}

std::wstring FormatSummary(const SVekEntryList& entries) {
    int64_t total = 0;
    for (int i = 0; i < entries.count; ++i) {
        const SVekEntry* entry = entries.At(i);
        if (entry != nullptr && entry->size != VEK_UNKNOWN_SIZE) {
            total = AddSizeSaturating(total, entry->size);
        }
    }
    return L"Files: " + FormatCount(entries.fileCount) + L"  Folders: " +
           FormatCount(entries.folderCount) + L"  Total size: " + FormatSize(total) + L"\n";
}

}  // namespace cli
