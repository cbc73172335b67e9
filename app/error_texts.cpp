#include "app/error_texts.h"

#include <cwchar>

#include "archive/core/errors.h"

namespace {

// The error list has kept a text for code 54 although the library defines no constant for it.
constexpr unsigned kOpenFailed = 54;

std::wstring Format(const wchar_t* format, unsigned value) {
    wchar_t text[64];
    std::swprintf(text, sizeof(text) / sizeof(text[0]), format, value);
    return text;
}

}  // namespace

std::wstring GetErrorText(unsigned code) {
    switch (code) {
        case VEKERR_INFLATE:
        case VEKERR_BZIP2:
            // The decimal code after "0x" is what users have always been shown and quote back.
            return Format(L"손상된 파일(Code:0x%u)", code);
        case VEKERR_USER_STOP:
            return L"사용자 중지";
        case VEKERR_CRC:
            return L"CRC 에러";
        case VEKERR_UNSUPPORTED_METHOD:
            return L"이 프로그램으로 압축해제가 불가능한 압축방식입니다.";
        case VEKERR_NO_PASSWORD:
        case VEKERR_WRONG_PASSWORD:
            return L"잘못된 암호";
        case VEKERR_CREATE_FILE:
            return L"파일을 만들 수 없습니다.";
        case VEKERR_DAMAGED_OR_VOLUME_MISSING:
            return L"파일이 손상되었거나, 분할 압축파일이 없습니다.";
        case kOpenFailed:
            return L"파일 열기 실패";
        default:
            return Format(L"(0x%x)", code);
    }
}
