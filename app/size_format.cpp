#include "app/size_format.h"

namespace {

constexpr int64_t kKilo = 1024;
constexpr int64_t kMega = kKilo * 1024;
constexpr int64_t kGiga = kMega * 1024;
constexpr int64_t kTera = kGiga * 1024;

}  // namespace

std::wstring FormatCount(int64_t n) {
    if (n < 0) {
        return std::wstring();
    }
    std::wstring digits = std::to_wstring(n);
    std::wstring grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            grouped += L',';
        }
        grouped += digits[i];
    }
    return grouped;
}

std::wstring FormatSize(int64_t n) {
    if (n < 0) {
        return std::wstring();
    }
    int64_t unit = 1;
    int fractionDigits = 1;
    const wchar_t* suffix = L"B";
    // Terabytes and gigabytes start above the exact power, megabytes and kilobytes at it: exactly
    // 1 GiB reads 1,024MB.
    if (n > kTera) {
        unit = kTera;
        fractionDigits = 2;
        suffix = L"TB";
    } else if (n > kGiga) {
        unit = kGiga;
        suffix = L"GB";
    } else if (n >= kMega) {
        unit = kMega;
        suffix = L"MB";
    } else if (n >= kKilo) {
        unit = kKilo;
        suffix = L"KB";
    }
    std::wstring whole = FormatCount(n / unit);
    if (unit == 1 || whole.size() > 3) {
        return whole + suffix;
    }
    // Whole-number arithmetic truncates exactly where floating point could round 0.7 down to 0.6.
    int64_t scale = fractionDigits == 2 ? 100 : 10;
    int64_t fraction = (n % unit) * scale / unit;
    std::wstring fractionText = std::to_wstring(fraction);
    if (fractionText.size() < static_cast<size_t>(fractionDigits)) {
        fractionText.insert(0, static_cast<size_t>(fractionDigits) - fractionText.size(), L'0');
    }
    return whole + L"." + fractionText + suffix;
}
